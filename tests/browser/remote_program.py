"""Lumaro run without a window in a new working folder with the remote view
on, a free port and one account: for the browser test and the viewers'
bench."""
import os
import socket
import sqlite3
import subprocess
import tempfile


def free_port():
    with socket.socket() as probe:  # a port nothing listens on now
        probe.bind(("", 0))
        return probe.getsockname()[1]


def start(lumaro, cameras, name, password):
    """The running program, its working folder and its port."""
    home = tempfile.mkdtemp(prefix="lumaro-remote-")
    port = free_port()
    subprocess.run([lumaro, "--home", home, "--create-database"], check=True, capture_output=True)
    os.makedirs(home + "/rec")
    with sqlite3.connect(home + "/db/dbvardo.db") as db:
        for key, value in (("video_root_path", home + "/rec"), ("remote_view", "on"), ("remote_port", str(port))):
            db.execute("INSERT INTO soft_set (key, value) VALUES (?, ?)", (key, value))
    subprocess.run([lumaro, "--home", home, "--add-user", name, "--role", "viewer"], input=password + "\n",
                   text=True, check=True, capture_output=True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LUMARO_CAPTURE_DEVICES=cameras, XDG_CONFIG_HOME=home + "/cfg")
    program = subprocess.Popen([lumaro, "--home", home], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return program, home, port
