#!/usr/bin/python3
"""The live page in a real browser at a phone's size: headless Chromium
driven through chromedriver. Runs the program with four virtual cameras and
remote view on, logs in, sees every camera's picture change and stay close
to the clock, taps one large and back, logs out; then a page and a picture
asked without a session are refused and a wrong password is slowed down.

usage: live_view.py LUMARO [SCREENSHOT_DIR]"""
import datetime
import os
import signal
import ssl
import sys
import tempfile
import time
import urllib.error
import urllib.request

import remote_program
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

LUMARO = sys.argv[1]
SHOTS = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="lumaro-shots-")
os.makedirs(SHOTS, exist_ok=True)
CAMERAS = ";".join("lavfi:testsrc2=size=640x360:rate=25" for _ in range(4))
PASSWORD = "shop secret"
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    return condition()


def plain_get(url, cookie=None):
    request = urllib.request.Request(url, headers={"Cookie": cookie} if cookie else {})
    try:
        with urllib.request.urlopen(request, context=ssl._create_unverified_context(), timeout=5) as reply:
            return reply.status
    except urllib.error.HTTPError as refused:
        return refused.code
    except (urllib.error.URLError, OSError):
        return 0  # nothing listens yet


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=390,844"):
        options.add_argument(flag)
    options.add_experimental_option("mobileEmulation", {"deviceMetrics": {"width": 390, "height": 844, "pixelRatio": 2},
                                                        "userAgent": "Mozilla/5.0 (Linux; Android 13) Mobile"})
    options.accept_insecure_certs = True  # the recorder's own certificate, as a phone accepts it once
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def log_in(driver, base, password):
    driver.get(base + "/login")
    driver.find_element(By.NAME, "name").send_keys("店主")
    driver.find_element(By.NAME, "password").send_keys(password)
    driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()


def pictures(driver):
    return driver.execute_script(
        "return Array.from(document.querySelectorAll('figure')).map(f => [f.querySelector('img').src,"
        " f.querySelector('img').naturalWidth, f.querySelector('.time').textContent])")


def live_page(driver, base):
    figures = driver.find_elements(By.CSS_SELECTOR, "figure")
    check(len(figures) == 4, "four cameras on the page")
    first = wait_for(lambda: all(p[1] > 0 for p in pictures(driver)) and pictures(driver), 15)
    check(bool(first), "every camera shows a picture")
    shots = [f.screenshot_as_png for f in figures]
    time.sleep(1.5)
    later = pictures(driver)
    now = datetime.datetime.now()
    check(all(a[0] != b[0] for a, b in zip(first or [], later)), "every camera's picture is replaced")
    check(all(a != f.screenshot_as_png for a, f in zip(shots, figures)), "every camera's picture changes")
    for name, width, stamp in later:
        lag = (now - datetime.datetime.strptime(stamp, "%Y-%m-%d %H:%M:%S")).total_seconds()
        check(-1 <= lag <= 2.5, "picture time %s within the clock's second and 1.5 s (%.1f s)" % (stamp, lag))
    marks = [f.find_element(By.CSS_SELECTOR, ".mark").text for f in figures]
    check(all(m == "录像" for m in marks), "every camera's mark says 录像: %s" % marks)
    driver.save_screenshot(SHOTS + "/grid.png")
    figures[1].click()
    wide = driver.execute_script("return document.body.classList.contains('one')")
    shown = [f.is_displayed() for f in figures]
    check(wide and shown == [False, True, False, False], "a tap shows camera 2 alone")
    check(figures[1].size["width"] > 300, "large across the phone (%d px)" % figures[1].size["width"])
    before = pictures(driver)[1][0]
    check(wait_for(lambda: pictures(driver)[1][0] != before, 3), "the large camera keeps changing")
    driver.save_screenshot(SHOTS + "/large.png")
    figures[1].click()
    check(all(f.is_displayed() for f in figures), "a second tap brings every camera back")


def main():
    program, _, port = remote_program.start(LUMARO, CAMERAS, "店主", PASSWORD)
    base = "https://127.0.0.1:%d" % port
    driver = None
    try:
        check(wait_for(lambda: plain_get(base + "/login") == 200, 30), "the server answers")
        check(plain_get(base + "/") in (200, 303) and plain_get(base + "/live/1.jpg") == 401,
              "a picture without a session is refused")
        driver = browser()
        log_in(driver, base, PASSWORD)
        check(wait_for(lambda: driver.current_url == base + "/", 10), "logged in: the live page")
        cookie = driver.get_cookie("lumaro_session")
        check(cookie is not None and cookie["httpOnly"] and cookie["secure"] and cookie.get("sameSite") == "Strict",
              "the session cookie is HttpOnly, Secure, SameSite=Strict")
        live_page(driver, base)
        session = "lumaro_session=" + cookie["value"]
        check(plain_get(base + "/live/1.jpg", session) in (200, 204), "the session's picture answers")
        driver.find_element(By.CSS_SELECTOR, ".bar button").click()
        check(wait_for(lambda: driver.current_url == base + "/login", 5), "退出 goes back to the login page")
        check(plain_get(base + "/live/1.jpg", session) == 401 and plain_get(base + "/cameras", session) == 401,
              "after 退出 the old session's picture and cameras are refused")
        driver.get(base + "/")
        check(driver.current_url == base + "/login", "the live page without a session sends to the login page")
        said = []
        for _ in range(8):
            log_in(driver, base, "wrong password")
            told = wait_for(lambda: driver.find_elements(By.CSS_SELECTOR, ".said"), 10)
            said.append(told[0].text if told else "")
        waits = ["秒后再试" in text for text in said]
        check(not any(waits[:5]) and any(waits[5:]), "after five wrong passwords a try is told to wait: %s" % said)
        driver.save_screenshot(SHOTS + "/throttled.png")
    finally:
        if driver is not None:
            driver.quit()
        program.send_signal(signal.SIGTERM)
        check(program.wait(timeout=30) == 0, "the program ends on SIGTERM")
    print("screenshots in " + SHOTS)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
