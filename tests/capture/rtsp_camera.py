#!/usr/bin/python3
# An RTSP camera on the loopback address for the tests: GStreamer's RTSP
# server with a moving test picture as JPEG over RTP, at rtsp://127.0.0.1:PORT/live.
#   rtsp_camera.py PORT [RATE]
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402

Gst.init(None)
port, rate = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "25")
server = GstRtspServer.RTSPServer()
server.set_address("127.0.0.1")
server.set_service(port)
factory = GstRtspServer.RTSPMediaFactory()
factory.set_launch(
    "( videotestsrc is-live=true pattern=ball ! video/x-raw,format=I420,width=320,height=240,framerate=%s/1 "
    "! jpegenc quality=70 ! rtpjpegpay name=pay0 pt=26 )" % rate)
factory.set_shared(True)
server.get_mount_points().add_factory("/live", factory)
server.attach(None)
print("ready", flush=True)
GLib.MainLoop().run()
