"""What the page's browser tests and its benchmark share: the demo service and
zorvan-server on loopback, each in a temporary folder and stopped by its
process id, and Debian's Chromium driven through Selenium at a given size and
language."""
import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

CHROMIUM = os.environ.get('ZORVAN_CHROMIUM', '/usr/bin/chromium')
CHROMEDRIVER = os.environ.get('ZORVAN_CHROMEDRIVER', '/usr/bin/chromedriver')
PASSWORD = 'page-test-password'


def wait_for(what, check, timeout=30.0, step=0.1):
    """Polls check() until it returns something true; fails after timeout."""
    end = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < end:
        try:
            value = check()
            if value:
                return value
        except WebDriverException as error:  # an element replaced while read
            last_error = error
        time.sleep(step)
    raise AssertionError(f'timed out after {timeout:.0f} s waiting for {what}' +
                         (f' ({last_error.msg})' if last_error else ''))


def _start(argv, address_pattern, env=None):
    """Starts a program that prints its address; returns (process, address)."""
    log = tempfile.TemporaryFile(mode='w+')
    process = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT, env=env)
    process.log = log
    end = time.monotonic() + 20
    while time.monotonic() < end:
        log.seek(0)
        found = re.search(address_pattern, log.read())
        if found:
            return process, found.group(1)
        if process.poll() is not None:
            break
        time.sleep(0.05)
    log.seek(0)
    text = log.read()
    process.kill()
    process.wait(10)
    log.close()
    raise RuntimeError(f'{argv[0]} did not start:\n{text}')


def _stop(process):
    """Stops it by its process id; returns its exit code and what it printed."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(15)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(10)
    process.log.seek(0)
    text = process.log.read()
    process.log.close()
    return process.returncode, text


class Servers:
    """The demo service and zorvan-server with a password, in a temporary home."""

    def __init__(self, bin_dir, media_dir, rate=None):
        self.home = tempfile.mkdtemp(prefix='zorvan-page-')
        self.data = os.path.join(self.home, 'data')
        self.downloads = os.path.join(self.home, 'downloads')
        os.makedirs(self.data)
        os.makedirs(self.downloads)
        demo = [os.path.join(bin_dir, 'demo-service'), '--port', '0', '--media', media_dir]
        if rate:
            demo += ['--rate', str(rate)]
        self.demo, self.service = _start(demo, r'(http://127\.0\.0\.1:\d+)')
        self.program = os.path.join(bin_dir, 'zorvan-server')
        self.env = dict(os.environ, ZORVAN_DOWNLOAD_DIR=self.downloads, XDG_DATA_HOME=self.home,
                        XDG_CONFIG_HOME=self.home, HOME=self.home)
        subprocess.run([self.program, '--data', self.data, '--set-password'], input=PASSWORD + '\n', text=True,
                       env=self.env, check=True, capture_output=True, timeout=30)
        self.server = None
        self.start_server('0')
        with open(os.path.join(self.data, 'server-token'), encoding='utf-8') as f:
            self.token = f.read().strip()

    def start_server(self, port):
        self.server, self.url = _start(
            [self.program, '--listen', '127.0.0.1:' + port, '--data', self.data, '--service', self.service],
            r'listening on (http://127\.0\.0\.1:\d+)', self.env)

    def stop_server(self):
        """Stops the server, which must end cleanly (a sanitizer's finding does not)."""
        code, text = _stop(self.server)
        if code != 0:
            raise AssertionError(f'zorvan-server ended with {code}:\n{text[-4000:]}')

    def api(self, method, path, body=None):
        """The server's API with the access token, as a script would use it."""
        request = urllib.request.Request(self.url + path, method=method,
                                         data=None if body is None else json.dumps(body).encode(),
                                         headers={'Authorization': 'Bearer ' + self.token,
                                                  'Content-Type': 'application/json'})
        with urllib.request.urlopen(request, timeout=30) as answer:
            return json.loads(answer.read() or b'null')

    def add_demo_work(self, performer):
        with urllib.request.urlopen(f'{self.service}/admin/add-work?lumono={performer}', timeout=10) as answer:
            return answer.read()

    def close(self):
        try:
            if self.server.poll() is None or not self.server.log.closed:
                self.stop_server()
        finally:
            _stop(self.demo)
            shutil.rmtree(self.home, ignore_errors=True)


class Relay:
    """A loopback link in front of a server that can be cut (every connection
    dropped, new ones closed at once) and mended, as a phone's Wi-Fi is."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.listener = socket.create_server(('127.0.0.1', 0))
        self.port = self.listener.getsockname()[1]
        self.cut_now = False
        self.open_sockets = []
        self.lock = threading.Lock()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            if self.cut_now:
                client.close()
                continue
            try:
                server = socket.create_connection(('127.0.0.1', self.target_port), timeout=5)
            except OSError:
                client.close()
                continue
            server.settimeout(None)
            with self.lock:
                self.open_sockets += [client, server]
            for source, sink in ((client, server), (server, client)):
                threading.Thread(target=self._pump, args=(source, sink), daemon=True).start()

    @staticmethod
    def _pump(source, sink):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                sink.sendall(data)
        except OSError:
            pass
        for s in (source, sink):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def cut(self):
        self.cut_now = True
        with self.lock:
            for s in self.open_sockets:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                s.close()
            self.open_sockets = []

    def mend(self):
        self.cut_now = False

    def close(self):
        self.cut()
        self.listener.close()


def browser(width, height, language, mobile=False):
    """Headless Chromium with a viewport of exactly width × height."""
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                     '--autoplay-policy=no-user-gesture-required', '--mute-audio', f'--lang={language}',
                     '--no-first-run', '--disable-extensions', '--disable-background-networking'):
        options.add_argument(argument)
    options.add_experimental_option('prefs', {'intl.accept_languages': language})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_page_load_timeout(30)
    driver.set_script_timeout(30)
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
        'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': mobile})
    if mobile:
        driver.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5})
    return driver


def css(driver, selector):
    return driver.find_element(By.CSS_SELECTOR, selector)


def all_css(driver, selector):
    return driver.find_elements(By.CSS_SELECTOR, selector)
