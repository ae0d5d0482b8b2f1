"""Support for the end-to-end tests: the driver process, prepared settings
files, free ports and TCP callers on 127.0.0.1.

Every test case gets its own working folder (under VELMO_E2E_WORK) and its
own program instance, started by its own driver. The program is tied to the
driver (a job that ends with it), and the driver is a child of the test, so
whatever happens the test ends only what it started.
"""
import base64
import os
import shutil
import socket
import subprocess
import time
import unittest

EXE = os.environ.get("VELMO_EXE", "")
DRIVER = os.environ.get("VELMO_DRIVER", "")
WINE_RUN = os.environ.get("VELMO_WINE_RUN", "")
PREFIX = os.environ.get("VELMO_PREFIX", "")
WORK_ROOT = os.environ.get("VELMO_E2E_WORK", "")

# Ids of the main window.
SAVE_SETTINGS, SEND_TO_TRAY, EXIT, RESTORE, TOGGLE_LISTEN = 1000, 1001, 1002, 1007, 1009
DAEMON_BUTTONS = (2000, 2001, 2002, 2003, 2004)
PREVIEW, LISTEN, STANDBY, LOG_PATH_BUTTON, VIEW_LOG, LOG_CHECK = 3000, 3001, 3002, 3003, 3004, 3005
WM_SYSCOMMAND, SC_MINIMIZE = 0x0112, 0xF020
WM_QUERYENDSESSION, WM_ENDSESSION = 0x0011, 0x0016

CONFIRM_EXIT = "Confirm Exit From Velmoranth"
SAVE_QUESTION = "Would you like to save your settings?"


class DriverError(AssertionError):
    pass


def quote(token):
    token = str(token)
    if token and not any(c in token for c in ' \t"\\'):
        return token
    return '"' + token.replace("\\", "\\\\").replace('"', '\\"') + '"'


def escaped(text):
    """The driver's one-line form of a value."""
    out = []
    for c in text:
        if c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append("\\n")
        elif c == "\t":
            out.append("\\t")
        elif c == "\\":
            out.append("\\\\")
        elif ord(c) < 32 or ord(c) >= 127:
            out.append("\\x%02X" % ord(c))
        else:
            out.append(c)
    return "".join(out)


class Driver:
    """One driver.exe under Wine; each call sends one command line and reads
    its one answer line."""

    def __init__(self, log_path):
        self.log = open(log_path, "w", encoding="utf-8")
        self.process = subprocess.Popen(
            [WINE_RUN, PREFIX, DRIVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=self.log, text=True, encoding="latin-1", bufsize=1)

    def call(self, *tokens):
        line = " ".join(quote(t) for t in tokens)
        self.log.write("> " + line + "\n")
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise DriverError("the driver ended while running: " + line)
        answer = answer.rstrip("\r\n")
        self.log.write("< " + answer + "\n")
        self.log.flush()
        status, _, value = answer.partition(" ")
        return status == "ok", value

    def ok(self, *tokens):
        success, value = self.call(*tokens)
        if not success:
            raise DriverError("%s: %s" % (" ".join(str(t) for t in tokens), value))
        return value

    def wait(self, expected, *query):
        return self.ok("wait", escaped(str(expected)), *query)

    def close(self):
        if self.process.poll() is None:
            try:
                self.call("kill")
                self.process.stdin.write("quit\n")
                self.process.stdin.close()
                self.process.wait(timeout=15)
            except (OSError, ValueError, DriverError, subprocess.TimeoutExpired):
                pass
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.log.close()


def encode_text(text):
    """The settings file's form of a text: Base64 without its padding, then "=="."""
    data = text.encode("latin-1")
    return base64.b64encode(data).decode("ascii").rstrip("=") + "=="


def settings_text(listen=0, daemon=1, log_enabled=0, log_path="", custom=None):
    script = dict(reply_count=1, port=1, welcome="", reply="", goodbye="", timer=0, echo_welcome=0,
                  echo_reply=0, repeat=0)
    script.update(custom or {})
    lines = [
        "[Velmoranth Settings v1.9]",
        "LSN=%d" % listen,
        "MDN=%d" % daemon,
        "MLD=%d" % log_enabled,
        "MLP=" + encode_text(log_path),
        "CRN=%d" % script["reply_count"],
        "CPN=%d" % script["port"],
        "CWE=" + encode_text(script["welcome"]),
        "CR1=" + encode_text(script["reply"]),
        "CR2=" + encode_text(script["goodbye"]),
        "CCT=%d" % script["timer"],
        "CE1=%d" % script["echo_welcome"],
        "CE2=%d" % script["echo_reply"],
        "CWR=%d" % script["repeat"],
    ]
    return "".join(line + "\r\n" for line in lines)


def read_settings(folder):
    with open(os.path.join(folder, "velmo.sav"), "rb") as f:
        return f.read().decode("latin-1")


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connect(port, timeout=5.0):
    deadline = time.monotonic() + timeout
    while True:
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=timeout)
        except OSError:
            if time.monotonic() >= deadline:
                raise
            time.sleep(0.1)


def refuses(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2):
            return False
    except ConnectionRefusedError:
        return True


def receive_until(sock, received, ending, timeout=6.0):
    """Reads into `received` (a bytearray) until it ends with `ending`."""
    deadline = time.monotonic() + timeout
    while not received.endswith(ending):
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("waited for %r, have %r" % (ending, bytes(received)))
        sock.settimeout(left)
        chunk = sock.recv(4096)
        if not chunk:
            raise AssertionError("closed while waiting for %r, have %r" % (ending, bytes(received)))
        received.extend(chunk)
    return received


def receive_quiet(sock, seconds):
    """Whatever arrives within `seconds`; b"" when nothing does."""
    sock.settimeout(seconds)
    try:
        return sock.recv(4096)
    except socket.timeout:
        return b""


class ProgramTestCase(unittest.TestCase):
    """A fresh working folder and a driver for each test case."""

    def setUp(self):
        for name in ("EXE", "DRIVER", "WINE_RUN", "PREFIX", "WORK_ROOT"):
            if not globals()[name]:
                self.skipTest("run through ctest: VELMO_%s is not set" % name)
        self.folder = os.path.join(WORK_ROOT, self.id().split(".", 1)[1])
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.driver = Driver(os.path.join(WORK_ROOT, self.id().split(".", 1)[1] + ".driver.log"))
        self.addCleanup(self.driver.close)
        # Waits poll, so a generous bound costs nothing when all goes well.
        self.driver.ok("timeout", 10000)

    def write_settings(self, **values):
        with open(os.path.join(self.folder, "velmo.sav"), "wb") as f:
            f.write(settings_text(**values).encode("latin-1"))

    def settings(self):
        return read_settings(self.folder)

    def settings_when(self, condition, timeout=10.0):
        """The settings file's text once `condition` holds for it."""
        deadline = time.monotonic() + timeout
        while True:
            text = self.settings() if self.has_settings() else ""
            if condition(text) or time.monotonic() >= deadline:
                return text
            time.sleep(0.05)

    def has_settings(self):
        return os.path.exists(os.path.join(self.folder, "velmo.sav"))

    def start(self, show=None):
        args = ["start", EXE, self.folder]
        if show is not None:
            args.append(show)
        return self.driver.ok(*args)

    def command(self, command_id):
        self.driver.ok("post-command", command_id)

    def wait_status(self, text):
        self.driver.wait(text, "status")

    def assert_standing_by(self):
        self.wait_status("Standing By")
        self.driver.wait("1", "enabled", LISTEN)
        self.assertEqual(self.driver.ok("enabled", STANDBY), "0")
        for button in DAEMON_BUTTONS:
            self.assertEqual(self.driver.ok("enabled", button), "1")

    def assert_listening(self, status="Listening"):
        self.wait_status(status)
        self.driver.wait("0", "enabled", LISTEN)
        self.assertEqual(self.driver.ok("enabled", STANDBY), "1")
        for button in DAEMON_BUTTONS:
            self.assertEqual(self.driver.ok("enabled", button), "0")

    def wait_box(self, caption, text):
        self.driver.wait(text, "box", caption)
        self.assertEqual(self.driver.ok("owner", caption), "main")

    def press(self, caption, button):
        self.driver.ok("press", caption, button)
        self.driver.ok("wait-gone", "box", caption)

    def wait_exit(self):
        return self.driver.ok("wait-exit")

    def custom_script(self, port, **values):
        script = dict(reply_count=2, port=port, welcome="Hello\r\nName: ", reply="Pass: ", goodbye="Bye.\r\n",
                      timer=0)
        script.update(values)
        return script
