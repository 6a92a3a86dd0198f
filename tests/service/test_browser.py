"""The operator's page in a real headless browser (Debian's chromium driven
through chromedriver): it shows the printers and runs a test receipt that
comes out on the simulator's paper roll."""
import os
import shutil
import tempfile

import pytest

from conftest import paper_receipts, wait_until

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service as DriverService
    from selenium.webdriver.common.by import By
    from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
except ImportError:  # pragma: no cover - depends on the machine
    webdriver = None


def browser_missing():
    if webdriver is None:
        return "python3-selenium is not installed"
    for program in (CHROMIUM, CHROMEDRIVER):
        if not os.access(program, os.X_OK):
            return program + " is not installed (make deps-service installs chromium and chromium-driver)"
    return None


def fresh(driver, look):
    """look(), or False while the element is not drawn yet or was redrawn
    between finding and using it."""
    try:
        return look()
    except (NoSuchElementException, StaleElementReferenceException):
        return False


@pytest.mark.skipif(browser_missing() is not None, reason=browser_missing() or "")
def test_the_page_shows_the_printers_and_prints_a_test_receipt(start):
    sim = start.sim()
    korvod = start.korvod({"front": sim.endpoint})
    profile = tempfile.mkdtemp(prefix="korvod-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--user-data-dir=" + profile):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=DriverService(CHROMEDRIVER), options=options)
    try:
        driver.get(korvod.base + "/")
        # The page redraws its tables every few seconds: elements are looked
        # up afresh each time.
        row = 'tr[data-printer="front"]'
        wait_until(lambda: fresh(driver, lambda: "ready" in driver.find_element(By.CSS_SELECTOR, row).text),
                   what="the printer on the page, ready")
        wait_until(lambda: fresh(driver, lambda: driver.find_element(By.CSS_SELECTOR, row + " button.action-test")
                                 .click() or True), what="a click on the test receipt button")
        result = driver.find_element(By.ID, "result")
        wait_until(lambda: result.get_attribute("data-status") == "200", timeout=20, what="the receipt's answer")
        assert '"state": "done"' in result.text
        [receipt] = paper_receipts(sim.paper())
        assert receipt["registered"] and receipt["id"].startswith("test-")
        assert receipt["id"] in result.text
        # The recent tasks list shows it too.
        wait_until(lambda: receipt["id"] in driver.find_element(By.ID, "tasks").text, what="the task in the list")
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
    korvod.stop()
