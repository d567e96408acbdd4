#!/usr/bin/env python3
"""The example teller page in headless Chromium against the virtual terminal.

Starts what `./tlx web --scripted` starts (the virtual terminal with its
scripted customer, the demonstration keys, tlxd serving the page), opens the
page's address with its token, runs every step and checks what the page
shows: the terminal online, a PIN block, the rating, the amount and the
signature with its image. The client module cancels a PIN entry through an
AbortSignal. Then a page of the same address without the token is refused. Usage: browser_test.py SCRIPTS_DIR BUILD_DIR
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-dev-shm-usage"]


def start_service(scripts, build, scratch):
    url_file = os.path.join(scratch, "url")
    log = open(os.path.join(scratch, "run-web.log"), "w")
    proc = subprocess.Popen([os.path.join(scripts, "run-web.sh"), build, "--scripted",
                             "--port", "0", "--url-file", url_file],
                            stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    deadline = time.time() + 60
    while time.time() < deadline:
        if os.path.exists(url_file):
            with open(url_file) as f:
                return proc, f.read().strip()
        if proc.poll() is not None:
            break
        time.sleep(0.1)
    stop(proc)
    sys.exit("the service did not come up: " + open(os.path.join(scratch, "run-web.log")).read())


def stop(proc):
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGTERM)
        try:
            proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


def browser(scratch):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in FLAGS:
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + os.path.join(scratch, "profile"))
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def text(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def main():
    scripts, build = sys.argv[1], sys.argv[2]
    failures = []

    def check(what, ok, shown):
        print(("ok   " if ok else "FAIL ") + what + ": " + repr(shown))
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory(prefix="tlxd-browser.") as scratch:
        proc, url = start_service(scripts, build, scratch)
        driver = None
        try:
            driver = browser(scratch)
            driver.get(url)
            wait = WebDriverWait(driver, 90)
            wait.until(lambda d: text(d, "connection") != "connecting…")
            check("connected", text(driver, "connection") == "connected", text(driver, "connection"))
            check("the token left the address bar", "token" not in driver.current_url, driver.current_url)
            driver.find_element(By.ID, "all").click()
            wait.until(lambda d: text(d, "all-result") != "")
            check("every step", text(driver, "all-result") == "all steps done", text(driver, "all-result"))
            check("online check", text(driver, "online-result") == "online, model R40",
                  text(driver, "online-result"))
            check("PIN block", re.fullmatch(r"[0-9A-F]{16}", text(driver, "pin-result")) is not None,
                  text(driver, "pin-result"))
            check("rating", text(driver, "rating-result") == "satisfied", text(driver, "rating-result"))
            check("amount", text(driver, "amount-result") == "100.00", text(driver, "amount-result"))
            check("signature", re.fullmatch(r"signed: [1-9]\d* strokes, [1-9]\d* points",
                                            text(driver, "sign-result")) is not None,
                  text(driver, "sign-result"))
            size = driver.execute_script(
                "const i = document.getElementById('sign-image');"
                "return i.hidden ? null : [i.naturalWidth, i.naturalHeight];")
            check("signature image shown", size == [320, 160], size)

            # The client module on its own: a PIN entry cancelled through an
            # AbortSignal rejects with a TlxError carrying the code and its name.
            token = url.split("#token=")[1]
            cancelled = driver.execute_async_script(
                "const [token, done] = arguments;"
                "import('/tlx.js').then(async ({ Tlx, TlxError }) => {"
                "  const tlx = await Tlx.connect(`ws://${location.host}/`, token);"
                "  const abort = new AbortController();"
                "  setTimeout(() => abort.abort(), 300);"
                "  try {"
                "    await tlx.readPinDES({ prompt: 0, option: 0, timeout: 30 }, { signal: abort.signal });"
                "    done('not cancelled');"
                "  } catch (e) { done([e instanceof TlxError, e.code, e.name]); }"
                "  finally { tlx.close(); }"
                "}).catch((e) => done(String(e)));", token)
            check("cancel through an AbortSignal", cancelled == [True, -9, "TLX_ERR_CANCEL"], cancelled)

            # The same page without the token: the service refuses it.
            driver.execute_script("sessionStorage.clear();")
            driver.get(url.split("#")[0])
            wait.until(lambda d: text(d, "connection") != "connecting…")
            check("refused without the token", "TLXD_ERR_AUTH" in text(driver, "connection"),
                  text(driver, "connection"))
        finally:
            if driver is not None:
                driver.quit()
            stop(proc)
    if failures:
        sys.exit("failed: " + ", ".join(failures))
    print("browser test: all checks passed")


if __name__ == "__main__":
    main()
