"""User journeys through the real velmoranth.exe under Wine, run by ctest: driver.exe drives it (see its top; "wait
<value> <query>" checks that the query comes to answer the value), and TCP callers on 127.0.0.1 call it."""
import base64, os, shutil, socket, subprocess, unittest
from pathlib import Path

EXE, DRIVER, WINE_RUN, PREFIX, WORK = (os.environ["VELMO_" + n] for n in "EXE DRIVER WINE_RUN PREFIX E2E_WORK".split())
CUSTOM, LOG_PATH, LOG, PREVIEW, ABOUT, CONFIRM = ('"%s"' % caption for caption in ("Set Custom Daemon", "Set Log Path",
    "Connections Log", "Preview Chosen Daemon", "About Velmoranth", "Confirm Exit From Velmoranth"))
ASKED = 'wait "Would you like to save your settings?" box ' + CONFIRM
# What the message loop fetches for keys (Ctrl+C and Ctrl+L type 3 and 12; d picks the tray menu's "View &Daemon"),
# the minimise box, the close box and the tray icon's mouse.
CTRL_C, CTRL_L, KEY_D = ("post 0x102 %d 1" % char for char in (3, 12, ord("d")))  # WM_CHAR
ESC, MINIMISE, CLOSE = "post 0x100 27 1", "post 0x112 0xF020 0", "post 0x10 0 0"  # WM_KEYDOWN, WM_SYSCOMMAND, WM_CLOSE
TRAY_RIGHT_CLICK, TRAY_DOUBLE_CLICK = "post 2024 1008 0x204", "post 2024 1008 0x203"


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def choose(dialog, path):
    """Picks a file in an open or save dialog: its file name box (cmb13), then OK."""
    return 'wait "" set-text "%s" 0x47C "%s"' % (dialog, windows(path)), 'press "%s" ok' % dialog


def encoded(text):
    return base64.b64encode(text.encode("latin-1")).decode().rstrip("=") + "=="


def custom(count=1, port=1, welcome="", reply="", goodbye="", timer=0, echo1=0, echo2=0, repeat=0):
    return ("[Velmoranth Custom Protocol v1.9]\r\nCRN=%d\r\nCPN=%d\r\nCWE=%s\r\nCR1=%s\r\nCR2=%s\r\nCCT=%d\r\n"
            "CE1=%d\r\nCE2=%d\r\nCWR=%d\r\n" % (count, port, encoded(welcome), encoded(reply), encoded(goodbye),
                                                timer, echo1, echo2, repeat)).encode()


def settings(listen, daemon, log=0, path="", script=custom()):
    """A settings file: its Custom script in the lines of a custom daemon file."""
    return b"[Velmoranth Settings v1.9]\r\nLSN=%d\r\nMDN=%d\r\nMLD=%d\r\nMLP=%s\r\n" % (
        listen, daemon, log, encoded(path).encode()) + script.split(b"\r\n", 1)[1]


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
        self.addCleanup(self.driver.communicate, "", 60)  # at the end of its input the driver ends the program
        self.d('start "%s" "%s"' % (windows(EXE), windows(self.folder)))

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

    def test_custom_daemon_from_the_first_start_to_the_saved_settings(self):
        """First start: hidden, FreeBSD checked, standing by; notices 9 (log switch) and 10 (View Log) with no log.
        Set Custom refuses another kind of file (notice 11), loads an older layout and rewrites it; Cancel keeps the
        script. One typed in, saved and taken with OK is served, logging to a browsed file: welcome, reply, hang-up,
        logged and listed. About shows name and version. With no settings file the close asks: Cancel, Yes saves."""
        texts = dict(welcome="Hello, your name: ", reply="Pass: ", goodbye="Bye.")
        old = dict(count=2, port=2424, welcome="Old\r\nLogin: ", reply="Pw: ", goodbye="No.\r\n", timer=3, echo1=1)
        (self.folder / "v18.vlm").write_bytes(custom(**old)[:-len("CWR=0\r\n")].replace(b"v1.9", b"v1.8"))
        (self.folder / "other.vlm").write_bytes(settings(0, 1))
        log = self.folder / "calls.log"
        log.write_bytes(b"")
        load = 'wait "" press %s 4009' % CUSTOM
        self.state("Standing By", "wait 0 visible", "wait 100000 checked 2000 2001 2002 2003 2004 3005")
        self.d("post-command 3005", 'wait "No log path set." box "Error #9"', 'press "Error #9" ok',
               "post-command 3004", 'wait "File not found." box "Error #10"', "wait 0 shown " + LOG,
               'press "Error #10" ok')
        self.d(CTRL_C, load, *choose("Open", self.folder / "other.vlm"), 'wait "Unknown file format." box "Error #11"',
               'press "Error #11" ok', load, *choose("Open", self.folder / "v18.vlm"),
               "wait 2424 text %s 4006" % CUSTOM, "press %s 4008" % CUSTOM, "wait 0 shown " + CUSTOM)
        self.d("post-command 1003", "wait 1 text %s 4006" % CUSTOM, *('set-text %s %d "%s"' % (CUSTOM, control, text)
               for control, text in zip((4001, 4002, 4003, 4006), (*texts.values(), "12345"))),
               "press %s 4010" % CUSTOM, *choose("Save As", self.folder / "mine.vlm"))
        self.state("Listening", "press %s 4007" % CUSTOM, "wait 1 click 2004", "post-command 3003",
                   'wait "" press %s 5002' % LOG_PATH, *choose("Open", log), "press %s 5003" % LOG_PATH,
                   "post-command 3005", "wait 1 checked 3005", "post-command 3001")
        with socket.create_connection(("127.0.0.1", 12345), timeout=20) as caller:
            received = receive(caller, b"name: ")
            self.d("wait Detected! status")
            caller.sendall(b"ann\r")
            self.assertEqual(received + receive(caller), b"Hello, your name: Pass: ")  # one line answered, hung up
        self.assertRegex(log.read_bytes(), rb"\A127\.0\.0\.1 :12345 / [\d.]{10} / \d\d:\d\d\r\n\Z")
        self.d("wait Listening status", "post-command 3004", "wait 1 rows %s 6001" % LOG, "press %s 6002" % LOG,
               "post-command 1005", 'wait "Velmoranth (v1.9)," text %s 6660' % ABOUT, "press %s cancel" % ABOUT,
               "wait 0 shown " + ABOUT, "post-command 1002", ASKED, "press %s cancel" % CONFIRM,
               "wait 0 shown " + CONFIRM, CLOSE, ASKED, "press %s yes" % CONFIRM, "wait 0 wait-exit")
        mine = custom(port=12345, **texts)
        self.assertEqual((self.folder / "mine.vlm").read_bytes(), mine)
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(1, 5, 1, windows(log), mine))
        self.assertEqual((self.folder / "v18.vlm").read_bytes(), custom(repeat=1, **old))

    def test_telnet_daemon_from_the_tray_and_the_keys(self):
        """The tray menu previews FreeBSD with the window hidden; the icon's double click shows it, minimising hides
        it; the daemon buttons are one group. Port 23 in use: notice 3. Ctrl+L listens: greeting, banner, echo, answer,
        prompt again; Esc hides, Ctrl+L stands by and hangs up. The shutdown query saves without asking."""
        self.d(TRAY_RIGHT_CLICK, KEY_D, 'wait "Listening on port 23." text %s 7001' % PREVIEW, "wait 0 visible",
               "press %s 7003" % PREVIEW, TRAY_DOUBLE_CLICK, "wait 1 visible", "wait 1 click 2002",
               "wait 00100 checked 2000 2001 2002 2003 2004", "wait 1 click 2000", MINIMISE, "wait 0 visible",
               TRAY_DOUBLE_CLICK, "wait 1 visible")
        with socket.create_server(("127.0.0.1", 23)):
            self.state("Standing By", CTRL_L, r'wait "Listen failed.\n\nBind()" box "Error #3"', 'press "Error #3" ok')
        self.state("Listening", CTRL_L)
        with socket.create_connection(("127.0.0.1", 23), timeout=20) as caller:
            received = receive(caller, b"Login: ")
            self.d("wait Detected! status")
            caller.sendall(b"root\r\nx\r\n")  # read a line at a time: echo for the name, none for the password
            received += receive(caller, b"\r\nLogin: ")
            self.state("Standing By", ESC, "wait 0 visible", CTRL_L)
            self.assertEqual(received + receive(caller), bytes([255, 251, 1, 255, 253, 3, 255, 251, 3, 255, 254, 1]) +
                             b"FreeBSD 5.1\r\n\r\nLogin: root\r\n\rPassword: \n\rIncorrect Login.\r\n\r\nLogin: ")
        # The query (WM_QUERYENDSESSION) saves; were there no file then, the close after it would ask.
        self.d(CTRL_L, "wait Listening status", "post 0x11 0 0", "post-command 1002", "wait 0 wait-exit")
        self.assertEqual((self.folder / "velmo.sav").read_bytes(), settings(1, 1))
