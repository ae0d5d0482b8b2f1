"""User journeys through the real velmoranth.exe under Wine, driven by driver.exe (see its top), called on 127.0.0.1."""
import base64, os, shutil, socket, subprocess, unittest
from pathlib import Path

EXE, DRIVER, WINE_RUN, PREFIX, WORK = (os.getenv("VELMO_" + n) for n in "EXE DRIVER WINE_RUN PREFIX E2E_WORK".split())
CUSTOM, PATH, LOG, PREVIEW, ABOUT, CONFIRM = ('"%s"' % caption for caption in ("Set Custom Daemon", "Set Log Path",
    "Connections Log", "Preview Chosen Daemon", "About Velmoranth", "Confirm Exit From Velmoranth"))
ASKED = 'wait "Would you like to save your settings?" box ' + CONFIRM
ALERTS_FILE = b"[Velmoranth Alerts]\r\nEnabled=1\r\nCollector=127.0.0.1\r\nPort=%d\r\nProtocol=%s\r\n"
# As the message loop fetches them: keys (Ctrl+C, Ctrl+L type 3, 12; d picks "View &Daemon"), boxes, the tray mouse.
CTRL_C, CTRL_L, KEY_D = ("post 0x102 %d 1" % char for char in (3, 12, ord("d")))  # WM_CHAR
ESC, MINIMISE, CLOSE = "post 0x100 27 1", "post 0x112 0xF020 0", "post 0x10 0 0"  # WM_KEYDOWN, WM_SYSCOMMAND, WM_CLOSE
TRAY_RIGHT_CLICK, TRAY_DOUBLE_CLICK = "post 2024 1008 0x204", "post 2024 1008 0x203"


def end_wine():  # every process of the prefix: a journey's program and driver, or what a failed one left
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), stderr=subprocess.DEVNULL)


def encoded(text):
    return base64.b64encode(text.encode("latin-1")).decode().rstrip("=") + "=="


def custom(count=1, port=1, welcome="", reply="", goodbye=""):
    return ("[Velmoranth Custom Protocol v1.9]\r\nCRN=%d\r\nCPN=%d\r\nCWE=%s\r\nCR1=%s\r\nCR2=%s\r\nCCT=0\r\nCE1=0\r\n"
            "CE2=0\r\nCWR=0\r\n" % (count, port, encoded(welcome), encoded(reply), encoded(goodbye))).encode()


def settings(listen, daemon, log=0, path="", script=custom()):  # the Custom script in a custom daemon file's lines
    return b"[Velmoranth Settings v1.9]\r\nLSN=%d\r\nMDN=%d\r\nMLD=%d\r\nMLP=%s\r\n" % (
        listen, daemon, log, encoded(path).encode()) + script.split(b"\r\n", 1)[1]


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def receive(caller, ending=None):  # what the caller receives until it ends with `ending`, or until it is hung up on
    data = b""
    while not (ending and data.endswith(ending)) and (chunk := caller.recv(4096)):
        data += chunk
    return data


class Journeys(unittest.TestCase):
    def setUp(self):
        self.folder = Path(WORK, self.id().rsplit(".", 1)[1])
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self.before_start()
        end_wine()
        program = subprocess.Popen([WINE_RUN, PREFIX, EXE], cwd=self.folder)  # its working folder
        self.driver = subprocess.Popen([WINE_RUN, PREFIX, DRIVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, text=True, encoding="latin-1", bufsize=1)
        for cleanup in program.wait, end_wine, self.driver.communicate:  # run in reverse: the driver ends first
            self.addCleanup(cleanup)
        self.pid = self.d("attach")

    def before_start(self):
        """Puts files into the working folder before the program starts."""

    def d(self, *lines):  # runs driver command lines, each of which must succeed; returns the last one's value
        for line in lines:
            self.driver.stdin.write(line + "\n")
            answer = self.driver.stdout.readline().rstrip("\r\n")
            self.assertEqual(answer.partition(" ")[0], "ok", line + ": " + answer)
        return answer.partition(" ")[2]

    def choose(self, dialog, name):  # a file of the journey's folder in an open or save dialog: its name (cmb13), OK
        path = "Z:" + str(self.folder / name).replace("/", "\\")
        return 'wait "" set-text "%s" 0x47C "%s"' % (dialog, path), 'press "%s" ok' % dialog

    def test_custom_daemon_from_the_first_start_to_the_saved_settings(self):
        """Notices 9, 10; Set Custom rewrites an older file, saves another; served, logged, listed; About; Exit asks."""
        mine = custom(count=2, port=12345, welcome="Hello, your name: ", reply="Pass: ", goodbye="Bye.")
        (self.folder / "old.vlm").write_bytes(mine[:-len("CWR=0\r\n")].replace(b"v1.9", b"v1.8"))
        self.d("wait 0 visible", "wait 1 checked 2000", "wait 0 checked 3005", 'wait "Standing By" status',
               "post-command 3005", 'wait "No log path set." box "Error #9"', 'press "Error #9" ok',
               "post-command 3004", 'wait "File not found." box "Error #10"', "wait 0 shown " + LOG,
               'press "Error #10" ok', CTRL_C, 'wait "" press %s 4009' % CUSTOM, *self.choose("Open", "old.vlm"),
               "wait 12345 text %s 4006" % CUSTOM, "press %s 4010" % CUSTOM, *self.choose("Save As", "mine.vlm"),
               "press %s 4007" % CUSTOM, "click 2004", "post-command 3003", 'wait "" set-text %s 5001 calls.log' % PATH,
               "press %s 5003" % PATH, "post-command 3005", "wait 1 checked 3005", "post-command 3001",
               "wait Listening status")
        with socket.create_connection(("127.0.0.1", 12345), timeout=20) as caller:
            received = receive(caller, b"name: ")
            self.d("wait Detected! status")
            caller.sendall(b"ann\rx\r")
            self.assertEqual(received + receive(caller), b"Hello, your name: Pass: Bye.")  # two lines answered, hung up
        self.d("wait Listening status", "post-command 3004", "wait 1 rows %s 6001" % LOG, "press %s 6002" % LOG,
               "post-command 1005", 'wait "Velmoranth (v1.9)," text %s 6660' % ABOUT, "press %s cancel" % ABOUT,
               "wait 0 shown " + ABOUT, "post-command 1002", ASKED, "press %s cancel" % CONFIRM,
               "wait 0 shown " + CONFIRM, CLOSE, ASKED, "press %s yes" % CONFIRM, "wait 0 wait-exit")
        self.assertEqual([(self.folder / name).read_bytes() for name in ("old.vlm", "mine.vlm")], [mine, mine])
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(1, 5, 1, "calls.log", mine))

    def test_telnet_daemon_from_the_tray_and_the_keys(self):
        """Tray, keys, notice 3, a telnet conversation; the shutdown query (0x11) saves: Exit then does not ask."""
        self.d(TRAY_RIGHT_CLICK, KEY_D, 'wait "Listening on port 23." text %s 7001' % PREVIEW, "wait 0 visible",
               "press %s 7003" % PREVIEW, TRAY_DOUBLE_CLICK, "wait 1 visible", "click 2002", "wait 0 checked 2000",
               "click 2000", MINIMISE, "wait 0 visible", TRAY_DOUBLE_CLICK, "wait 1 visible")
        with socket.create_server(("127.0.0.1", 23)):
            self.d(CTRL_L, 'wait "Listen failed." box "Error #3"', 'press "Error #3" ok', 'wait "Standing By" status')
        self.d(CTRL_L, "wait Listening status")
        with socket.create_connection(("127.0.0.1", 23), timeout=20) as caller:
            received = receive(caller, b"Login: ")
            self.d("wait Detected! status")
            caller.sendall(b"root\r\nx\r\n")  # read a line at a time: echo for the name, none for the password
            received += receive(caller, b"\r\nLogin: ")
            self.d(ESC, "wait 0 visible", CTRL_L, 'wait "Standing By" status')
            self.assertEqual(received + receive(caller), bytes([255, 251, 1, 255, 253, 3, 255, 251, 3, 255, 254, 1]) +
                             b"FreeBSD 5.1\r\n\r\nLogin: root\r\n\rPassword: \n\rIncorrect Login.\r\n\r\nLogin: ")
        self.d(CTRL_L, "wait Listening status", "post 0x11 0 0", "post-command 1002", "wait 0 wait-exit")
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(1, 1))
