"""User journeys through the real velmoranth.exe under Wine, run by ctest: driver.exe drives it (see its top; "wait
<value> <query>" checks that the query comes to answer the value), and TCP callers on 127.0.0.1 call it."""
import base64
import os
import shutil
import socket
import subprocess
import time
import unittest
from pathlib import Path

EXE, DRIVER, WINE_RUN, PREFIX, WORK = (os.environ["VELMO_" + n] for n in "EXE DRIVER WINE_RUN PREFIX E2E_WORK".split())
CUSTOM, LOG_PATH, LOG, PREVIEW, ABOUT, CONFIRM = ('"%s"' % caption for caption in (
    "Set Custom Daemon", "Set Log Path", "Connections Log", "Preview Chosen Daemon", "About Velmoranth",
    "Confirm Exit From Velmoranth"))
ASKED = 'wait "Would you like to save your settings?" box ' + CONFIRM
# What the message loop fetches for keys (Ctrl+C, S and L type 3, 19 and 12; d picks the tray menu's "View &Daemon"),
# the minimise box, the close box and the tray icon's mouse.
CTRL_C, CTRL_S, CTRL_L, KEY_D = ("post 0x102 %d 1" % char for char in (3, 19, 12, ord("d")))  # WM_CHAR
ESC, MINIMISE, CLOSE = "post 0x100 27 1", "post 0x112 0xF020 0", "post 0x10 0 0"  # WM_KEYDOWN, WM_SYSCOMMAND, WM_CLOSE
TRAY_RIGHT_CLICK, TRAY_DOUBLE_CLICK = "post 2024 1008 0x204", "post 2024 1008 0x203"


def quoted(text):
    """A text as one token of a command line, escaped as the driver's answers are."""
    return '"%s"' % text.encode("unicode_escape").decode().replace("\\", "\\\\")


def encoded(text):
    return base64.b64encode(text.encode("latin-1")).decode().rstrip("=") + "=="


def custom(count=1, port=1, welcome="", reply="", goodbye="", timer=0, echo1=0, echo2=0, repeat=0,
           header="[Velmoranth Custom Protocol v1.9]\r\n"):
    """A custom daemon file; with no header, the Custom script's lines of a settings file."""
    return (header + "CRN=%d\r\nCPN=%d\r\nCWE=%s\r\nCR1=%s\r\nCR2=%s\r\nCCT=%d\r\nCE1=%d\r\nCE2=%d\r\nCWR=%d\r\n" % (
        count, port, encoded(welcome), encoded(reply), encoded(goodbye), timer, echo1, echo2, repeat)).encode()


def settings(listen, daemon, log=0, path="", **script):
    return b"[Velmoranth Settings v1.9]\r\nLSN=%d\r\nMDN=%d\r\nMLD=%d\r\nMLP=%s\r\n" % (
        listen, daemon, log, encoded(path).encode()) + custom(header="", **script)


def receive(caller, ending=None):
    """What the caller receives until it ends with `ending`; without one, until the program hangs up."""
    data = b""
    while not (ending and data.endswith(ending)) and (chunk := caller.recv(4096)):
        data += chunk
    return data


class Journeys(unittest.TestCase):
    def setUp(self):
        self.folder = Path(WORK, self.id().rsplit(".", 1)[1])
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self.driver = subprocess.Popen([WINE_RUN, PREFIX, DRIVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, text=True, encoding="latin-1", bufsize=1)
        self.addCleanup(self.driver.communicate, "kill\nquit\n", 60)
        self.d("timeout 30000")  # waits poll: the bound only matters when a journey fails
        self.start = 'start "%s" "%s"' % (EXE, self.folder)

    def d(self, *lines):
        """Runs driver command lines, each of which must succeed."""
        for line in lines:
            self.driver.stdin.write(line + "\n")
            answer = self.driver.stdout.readline().rstrip("\r\n")
            self.assertEqual(answer.partition(" ")[0], "ok", line + ": " + answer)

    def state(self, status, *before):
        """After the commands before: the status text; whether Listen, StandBy and the daemon buttons are enabled."""
        self.d(*before, 'wait "%s" status' % status, "wait %s enabled 3001 3002 2000 2001 2002 2003 2004" % (
            "1011111" if status == "Standing By" else "0100000"))

    def file_becomes(self, path, expected):
        for _ in range(200):
            if path.exists() and path.read_bytes() == expected:
                return
            time.sleep(0.05)
        self.assertEqual(path.read_bytes(), expected)

    def test_custom_daemon_from_the_first_start_to_the_next(self):
        """First start: hidden whatever the show command, FreeBSD checked, standing by, no logging without a path
        (notice 9). A Custom script typed in, saved to a file and served: welcome, reply, hang-up; the call is logged
        and listed. The close asks, and Yes saves; the next start listens by itself, StandBy ends its call, and the
        close saves that change unasked."""
        texts = dict(welcome="Hello, your name: ", reply="Pass: ", goodbye="Bye.")
        self.state("Standing By", self.start + " 3", "wait 0 visible",  # 3: SW_SHOWMAXIMIZED
                   'wait "Velmoranth (v1.9)" status 1', "wait 100000 checked 2000 2001 2002 2003 2004 3005")
        self.d("post-command 3005", 'wait "No log path set." box "Error #9"', 'press "Error #9" ok',
               "post-command 1003", *('wait "" set-text %s %d "%s"' % (CUSTOM, control, text)
                                      for control, text in zip((4001, 4002, 4003, 4006), (*texts.values(), "12345"))),
               "press %s 4010" % CUSTOM, 'wait "" file "Save As" "%s/mine.vlm"' % self.folder)
        self.file_becomes(self.folder / "mine.vlm", custom(port=12345, **texts))
        self.state("Listening", "press %s 4007" % CUSTOM, "wait 1 click 2004", "post-command 1004",
                   'wait "" set-text %s 5001 calls.log' % LOG_PATH, "press %s 5003" % LOG_PATH, "post-command 3005",
                   "wait 1 checked 3005", "post-command 3001")
        earliest = time.time()
        with socket.create_connection(("127.0.0.1", 12345), timeout=20) as caller:
            received = receive(caller, b"name: ")
            caller.sendall(b"ann\r")
            self.d("wait Detected! status")
            self.assertEqual(received + receive(caller), (texts["welcome"] + texts["reply"]).encode())  # no goodbye
        log = (self.folder / "calls.log").read_bytes().decode()
        self.assertIn(log, ["127.0.0.1 :12345 / %s\r\n" % time.strftime("%d.%m.%Y / %H:%M", time.localtime(t))
                            for t in (earliest, time.time())])
        self.d("wait Listening status", "post-command 3004", "wait %s row %s 6001 0" % (quoted(
               log.strip().replace(" :", "\t").replace(" / ", "\t")), LOG), "press %s 6002" % LOG, "post-command 1002",
               ASKED, "press %s cancel" % CONFIRM, "wait 0 shown " + CONFIRM, CLOSE, ASKED,
               "press %s yes" % CONFIRM, "wait 0 wait-exit")
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(1, 5, 1, "calls.log", port=12345, **texts))
        self.state("Listening", self.start)
        with socket.create_connection(("127.0.0.1", 12345), timeout=20) as caller:
            received = receive(caller, b"name: ")
            self.d("wait 0 visible", CTRL_S, "post-command 3002", "post-command 1002", "wait 0 wait-exit")
            self.assertEqual(received + receive(caller), texts["welcome"].encode())
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(0, 5, 1, "calls.log", port=12345, **texts))

    def test_telnet_daemon_from_the_tray_and_the_keys(self):
        """The tray menu previews FreeBSD with the window hidden; the icon's double click shows it, minimising hides
        it; the daemon buttons are one group. Port 23 in use: notice 3. Ctrl+L listens, and a caller gets greeting,
        banner, echo, answer, prompt again. Esc hides, Ctrl+L stands by, Ctrl+S saves, the shutdown query saves."""
        self.d(self.start, TRAY_RIGHT_CLICK, KEY_D, 'wait "Listening on port 23." text %s 7001' % PREVIEW,
               'wait "Timer: 60 Sec." text %s 7004' % PREVIEW, r'wait "FreeBSD 5.1\r\n\r\nLogin:   [Wait Input]  [Will '
               r'Echo]  [Will Repeat]\r\nPassword:   [Wait Input]\r\nIncorrect Login.\r\n" text %s 7002' % PREVIEW,
               "wait 0 visible", "press %s 7003" % PREVIEW, TRAY_DOUBLE_CLICK, "wait 1 visible", "wait 1 click 2002",
               "wait 00100 checked 2000 2001 2002 2003 2004", "wait 1 click 2000", MINIMISE,
               "wait 0 visible", TRAY_DOUBLE_CLICK, "wait 1 visible")
        with socket.create_server(("127.0.0.1", 23)):
            self.state("Standing By", CTRL_L, r'wait "Listen failed.\n\nBind()" box "Error #3"', 'press "Error #3" ok')
        self.state("Listening", CTRL_L)
        with socket.create_connection(("127.0.0.1", 23), timeout=20) as caller:
            received = receive(caller, b"Login: ")
            caller.sendall(b"root\r\nx\r\n")  # read a line at a time: echo for the name, none for the password
            self.d("wait Detected! status")
            self.assertEqual(received + receive(caller, b"\r\nLogin: "), bytes([255, 251, 1, 255, 253, 3, 255, 251, 3,
                             255, 254, 1]) + b"FreeBSD 5.1\r\n\r\nLogin: root\r\n\rPassword: \n\rIncorrect Login.\r\n"
                             b"\r\nLogin: ")
        self.state("Standing By", "wait Listening status", ESC, "wait 0 visible", CTRL_L, CTRL_S)
        self.file_becomes(self.folder / "velmo.sav", settings(0, 1))
        self.d(CTRL_L, "wait Listening status", "post 0x11 0 0")  # WM_QUERYENDSESSION
        self.file_becomes(self.folder / "velmo.sav", settings(1, 1))
        self.assertNotEqual(socket.socket().connect_ex(("127.0.0.1", 23)), 0)

    def test_dialogs_with_their_files(self):
        """Set Custom refuses a file of another kind (notice 11), loads an older layout and rewrites it; Cancel keeps
        the Custom script, OK takes the loaded one; Ctrl+S saves. View Log without a log shows only notice 10. Set Log
        Path takes a browsed file. About shows the name and version. The close saves the new path unasked."""
        texts = dict(count=2, port=2424, welcome="Old\r\nLogin: ", reply="Pw: ", goodbye="No.\r\n", timer=3, echo1=1)
        (self.folder / "v18.vlm").write_bytes(custom(**texts)[:-len("CWR=0\r\n")].replace(b"v1.9", b"v1.8"))
        (self.folder / "other.vlm").write_bytes(settings(0, 1))
        (self.folder / "calls.log").write_bytes(b"")
        self.d(self.start)
        for name, *steps in (("other", 'wait "Unknown file format." box "Error #11"', 'press "Error #11" ok', "4008"),
                             ("v18", "wait 2424 text %s 4006" % CUSTOM, "4008"),
                             ("v18", "wait 2424 text %s 4006" % CUSTOM, "4007")):
            self.d(CTRL_C, "wait 1 text %s 4006" % CUSTOM, "press %s 4009" % CUSTOM, 'wait "" file Open "%s/%s.vlm"' % (
                self.folder, name), *steps[:-1], "press %s %s" % (CUSTOM, steps[-1]), "wait 0 shown " + CUSTOM)
        self.file_becomes(self.folder / "v18.vlm", custom(repeat=1, **texts))
        self.d(CTRL_S, "post-command 3004", 'wait "File not found." box "Error #10"', "wait 0 shown " + LOG)
        log = "Z:" + str(self.folder / "calls.log").replace("/", "\\")
        self.d('press "Error #10" ok', "post-command 3003", 'wait "" press %s 5002' % LOG_PATH,
               'wait "" file Open "%s/calls.log"' % self.folder, "wait %s text %s 5001" % (quoted(log), LOG_PATH),
               "press %s 5003" % LOG_PATH, "post-command 1005", 'wait "Velmoranth (v1.9)," text %s 6660' % ABOUT,
               "press %s cancel" % ABOUT, "wait 0 shown " + ABOUT, "post-command 1002", "wait 0 wait-exit")
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(0, 1, path=log, repeat=1, **texts))
