"""The packages as a Windows user gets them: the zip, then the installer's whole round in a Wine prefix of its own."""
import functools, getpass, glob, os, re, shutil, socket, subprocess, time, unittest, zipfile
from pathlib import Path
from journeys import ALERTS_FILE, custom, free_port, settings  # of the end-to-end tests

PACKAGES, VERSION, WORK, DRIVER, NSI = (os.environ.get("VELMO_" + name, "") for name in
                                        "PACKAGES VERSION WORK DRIVER NSI".split())
NAME, PREFIX = "Velmoranth-%s-win64" % VERSION, os.path.join(WORK, "wineprefix")
ENV = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
USER, KEY = getpass.getuser(), r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmoranth"
PROFILE, WHERE = os.path.join(PREFIX, "drive_c/users", USER), r"C:\users\%s\AppData\Local\Programs\Velmoranth" % USER
FOLDER, INSTALLED = (os.path.join(PROFILE, "AppData/Local", name) for name in ("Velmoranth", "Programs/Velmoranth"))
PROGRAMS = os.path.join(PROFILE, "AppData/Roaming/Microsoft/Windows/Start Menu/Programs")
MENU, STARTUP = os.path.join(PROGRAMS, "Velmoranth"), os.path.join(PROGRAMS, "StartUp")
SHIPPED = ["LICENSE.txt", "manual.html", "velmoranth.exe"]  # in both packages: the zip adds readme.txt
ALERTS, RUNONCE = os.path.join(FOLDER, "alerts.ini"), r"HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce"


def wine(*args, cwd=None):  # exit code and output, through a file: Wine's own processes can keep a pipe open
    for attempt in range(2):  # on a loaded machine Wine once failed to find its own reg.exe: "could not be started"
        with open(os.path.join(WORK, "wine.out"), "w") as out:
            done = subprocess.run(["wine", *args], env=ENV, stdout=out, stderr=subprocess.DEVNULL, timeout=120, cwd=cwd)
        output = Path(out.name).read_text(encoding="latin-1")
        if not output.startswith("Application could not be started"):
            break
    return done.returncode, output


dos = lambda path: "Z:" + path.replace("/", "\\")


def batch(line):  # a command for wine(): `line` run as written, quotes and all (Wine would escape them)
    Path(WORK, "run.cmd").write_text("@%s\r\n" % line)
    return "cmd", "/c", dos(os.path.join(WORK, "run.cmd"))


def claim(folder):  # the name a copy claims its folder by (FNV-1a), as predictable for a squatter as for this test
    fnv = functools.reduce(lambda key, byte: (key ^ byte) * 1099511628211 % 2 ** 64, folder.upper().encode("utf-16-le"),
                           14695981039346656037)
    return r"Local\Velmoranth-%016x" % fnv


def files(*folders):
    return {path: Path(path).read_bytes() for folder in folders
            for path in glob.glob(folder + "/**", recursive=True) if os.path.isfile(path)}


class PackageTests(unittest.TestCase):
    def refuses(self, code, *command, cwd=None):  # the command ends with `code`, changing no file and not the entry
        before = files(INSTALLED, MENU, STARTUP, FOLDER), wine("reg", "query", KEY)
        self.assertEqual(wine(*command, cwd=cwd)[0], code)
        self.assertEqual((files(INSTALLED, MENU, STARTUP, FOLDER), wine("reg", "query", KEY)), before)

    @unittest.skipUnless(PACKAGES, "run through ctest")
    def test_zip_and_installer(self):
        subprocess.run(["wineserver", "-k"], env=ENV, stderr=subprocess.DEVNULL)
        shutil.rmtree(WORK, ignore_errors=True)
        self.addCleanup(subprocess.run, ["wineserver", "-k"], env=ENV)
        with zipfile.ZipFile(os.path.join(PACKAGES, NAME + ".zip")) as package:
            unpacked = sorted(name for name in package.namelist() if not name.endswith("/"))
            self.assertEqual(unpacked, sorted(NAME + "/" + name for name in SHIPPED + ["readme.txt"]))
            package.extractall(WORK)
        licence, manual, readme, exe = (Path(WORK, name).read_bytes() for name in unpacked)
        self.assertNotRegex(licence + manual + readme, rb"(?<!\r)\n")
        self.assertIn(('version="%s.0.0"' % VERSION).encode(), exe)  # the manifest, with Windows 10 and 11 in it
        self.assertIn(b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", exe)
        self.assertIn(("ProductVersion\0%s\0" % VERSION).encode("utf-16-le"), exe)  # the version resource
        tokenizer = re.search(rb'<pre id="log-shipping">.*?tokenizer: "([^"]*)"', manual, re.S).group(1).decode()

        # Installed without elevation, all of it in the user's profile and HKCU; a malformed switch changes nothing.
        setup = os.path.join(PACKAGES, NAME + "-setup.exe")
        self.assertIn(b'level="asInvoker"', Path(setup).read_bytes())
        for switch in ("/SYSLOG=tls://[::1]", "/AUTOSTART=yes"):
            self.refuses(12, setup, "/S", switch)
        # The driver claims a folder's name first and keeps it: a start there says so in a box, after its wait.
        holder = subprocess.Popen(["wine", DRIVER], env=ENV, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        held = lambda line: print(line, file=holder.stdin, flush=True) or holder.stdout.readline().strip()
        os.makedirs(squat := os.path.join(PREFIX, "drive_c/squat"))
        self.assertEqual(held("squat " + claim("C:\\squat")), "ok 1")
        squatted = subprocess.Popen(["wine", os.path.join(WORK, NAME, "velmoranth.exe")], env=ENV, cwd=squat)
        dead = free_port()  # a collector nobody listens on: the alerts wait, and so does Exit, for 2 s
        self.assertEqual(wine(*batch('"%s" /S "/SYSLOG=tcp://127.0.0.1:%d"' % (dos(setup), dead)))[0], 0)
        self.assertEqual(Path(ALERTS).read_bytes(), ALERTS_FILE % (dead, b"tcp"))
        self.assertEqual([sorted(os.listdir(folder)) for folder in (MENU, STARTUP, INSTALLED)],
                         [["Velmoranth manual.lnk", "Velmoranth.lnk"], [], sorted(SHIPPED + ["uninstall.exe"])])
        self.assertEqual(glob.glob(os.path.join(PREFIX, "drive_c/Program Files*/Velmoranth")), [])
        self.assertEqual(wine("reg", "query", KEY.replace("HKCU", "HKLM"))[0], 1)
        for path in (os.path.join(WORK, NAME, "velmoranth.exe"), setup, *glob.glob(INSTALLED + "/*.exe")):
            self.assertNotIn(".debug", subprocess.check_output(["x86_64-w64-mingw32-objdump", "-h", path], text=True))
        entry = dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$", wine("reg", "query", KEY)[1], re.M))
        self.assertEqual(entry, {"DisplayName": "Velmoranth", "DisplayVersion": VERSION, "Publisher": "WQ",
                                 "DisplayIcon": WHERE + r"\velmoranth.exe,0", "InstallLocation": WHERE,
                                 "UninstallString": '"%s\\uninstall.exe"' % WHERE,
                                 "QuietUninstallString": '"%s\\uninstall.exe" /S _?=%s' % (WHERE, WHERE),
                                 "NoModify": "0x1", "NoRepair": "0x1", "EstimatedSize": entry["EstimatedSize"]})
        # The documented command, as a script runs it; Wine quotes an argument with blanks, _?= must not be quoted.
        uninstall = [os.path.join(INSTALLED, "uninstall.exe"), "/S", *("_?=" + WHERE).split(" ")]

        # Started from the Start menu, it reads and writes the per-user folder: it listens at start and says Hello.
        # A drive letter for that folder, as Wine keeps its drives (its subst is a stub): X:\ is the working folder.
        os.symlink(FOLDER, os.path.join(PREFIX, "dosdevices/x:"))
        port = free_port()
        saved = settings(1, 5, 1, "connections.log", custom(port=port, welcome="Hello\r\n"))
        Path(FOLDER, "velmo.sav").write_bytes(saved)
        start = os.path.join(MENU, "Velmoranth.lnk")
        self.assertEqual(wine("start", "/unix", start)[0], 0)
        self.assertIn("ok Listening", wine(DRIVER, "attach", "timeout 60000", "wait Listening status")[1])
        stamps = [time.strftime("%d.%m.%Y / %H:%M")]
        with socket.create_connection(("127.0.0.1", port), timeout=10) as caller:
            self.assertEqual(caller.makefile("rb").readline(), b"Hello\r\n")
        stamps.append(time.strftime("%d.%m.%Y / %H:%M"))
        # The manual's pattern, read as Filebeat's dissect reads it: each %{key} up to its delimiter.
        pattern = "(.*?)".join(map(re.escape, re.split(r"%\{[^}]*\}", tokenizer)))
        fields = re.fullmatch(pattern, Path(FOLDER, "connections.log").read_bytes().decode().removesuffix("\r\n"))
        self.assertIn(fields.groups(), [("127.0.0.1", str(port), *stamp.split(" / ")) for stamp in stamps])

        # A second start in the same folder, through X:\ (Wine names the folder so), shows the running copy, changing
        # nothing; one in another folder runs beside it.
        exe = os.path.join(INSTALLED, "velmoranth.exe")
        self.refuses(0, exe, cwd=FOLDER)  # wine waits for it to end
        self.assertEqual(wine(DRIVER, "attach", "wait 1 visible", "copies")[1].splitlines()[1:], ["ok 1", "ok 1"])
        with subprocess.Popen(["wine", "velmoranth.exe"], env=ENV, cwd=os.path.join(WORK, NAME)) as beside:
            self.assertIn("ok 2", wine(DRIVER, "wait 2 copies")[1])
            beside.terminate()
        # A start during Exit's wait for the alerts runs once the ending copy has let go: one copy, listening.
        self.assertEqual([held("attach")[:2], held("post-command 1002")], ["ok", "ok"])
        with subprocess.Popen(["wine", exe], env=ENV, cwd=FOLDER) as again:
            self.assertEqual(held("wait-exit"), "ok 0")
            self.assertEqual(wine(DRIVER, "attach", "wait Listening status", "copies")[1].split()[-1], "1")
            self.refuses(10, setup, "/S", "/AUTOSTART=1")  # while it runs, nor does the uninstaller
            self.refuses(10, *uninstall)
            # Posted messages run in order: Save Settings has written velmo.sav by the time Exit ends the program.
            os.remove(os.path.join(FOLDER, "velmo.sav"))
            self.assertIn("ok 0", wine(DRIVER, "attach", "post-command 1000", "post-command 1002", "wait-exit")[1])
        self.assertEqual(Path(FOLDER, "velmo.sav").read_bytes(), saved)
        self.assertIn("ok Start failed.", wine(DRIVER, 'wait 1 shown "Error!"', 'box "Error!"', 'press "Error!" ok')[1])
        self.assertEqual(squatted.wait(), 3)
        os.chmod(ALERTS, 0o444)  # a read-only alerts.ini stays as it is, and so does all the rest
        self.refuses(12, setup, "/S", "/SYSLOG=udp://127.0.0.1")
        os.chmod(ALERTS, 0o644)
        # Over the user's own file, in the encodings the program reads, /SYSLOG= sets four keys of the first section
        # wherever they are, adding a missing one after its last key, and /TRIPWIRES= adds a [Tripwires] section or
        # sets that section's two: every other byte stays. A bad port list or a file without the header first: 12.
        own = ("[velmoranth alerts] \r\nenabled = 0\r\nFraming=octet-counting\r\n  collector = old.example\r\n"
                "; José's\r\nHeartbeat=60\r\nCOLLECTOR=older\r\nIgnore=10.0.0.0/8\r\nQuiet=5\r\nport=99\r\nColour=blue\r\n"
                "\r\n[E-mail]\r\nPort=25\r\nPassword=dpapi:AQAAANCMnd8BFdERjHoAwE==\r\n[Webhook]\r\nURL=https://x.example/")
        new = {"enabled = 0": "Enabled=1", "  collector = old.example": "Collector=127.0.0.1", "port=99": "Port=514",
               "COLLECTOR=older": "Collector=127.0.0.1"}
        ours = lambda eol: eol.join(new.get(line, line) for line in own.split("\r\n")).replace(
            "Colour=blue" + eol, "Colour=blue%sProtocol=udp\r\n" % eol)  # a line it adds ends in CR LF
        wires = "\r\n\r\n[Tripwires]\r\nEnabled=1\r\nPorts=21,22,8000-8002\r\n"
        for bom, codec, eol, tripwires in (("", "cp1252", "\r\n", ""), ("\ufeff", "utf-16-le", "\r\n", wires),
                                           ("\ufeff", "utf-16-be", "\n", wires)):
            Path(ALERTS).write_bytes((bom + own.replace("\r\n", eol)).encode(codec))
            switches = ["/SYSLOG=udp://127.0.0.1"] + ["/TRIPWIRES=21, 22,8000-8002"] * bool(tripwires)
            self.assertEqual(wine(setup, "/S", *switches)[0], 0)
            self.assertEqual(Path(ALERTS).read_bytes(), (bom + ours(eol) + tripwires).encode(codec))
        text = Path(ALERTS).read_bytes().decode(codec)
        Path(ALERTS).write_bytes(text.replace("Enabled=1\r\nPorts", " ENABLED = 0\r\nPorts").encode(codec))
        self.assertEqual(wine(setup, "/S", "/TRIPWIRES=3389")[0], 0)
        self.assertEqual(Path(ALERTS).read_bytes(), text.replace("21,22,8000-8002", "3389").encode(codec))
        for ports in ("0", "22-21", "1-100", "022"):  # 1-100: more than 64 ports; 022: octal to NSIS
            self.refuses(12, setup, "/S", "/SYSLOG=udp://127.0.0.1", "/TRIPWIRES=" + ports)
        Path(ALERTS).write_bytes(b"; mine\r\n" + ALERTS_FILE % (dead, b"tcp"))
        self.refuses(12, setup, "/S", "/SYSLOG=udp://127.0.0.1")
        Path(ALERTS).write_bytes(ALERTS_FILE % (dead, b"tcp"))

        # Upgrades in place, whatever /D= says, keep the user's files; the sign-in start stays until /AUTOSTART=0.
        kept, mine = files(FOLDER), os.path.join(STARTUP, "Velmoranth.lnk")  # a portable user's own shortcut
        Path(mine).write_bytes(b"mine")
        Path(INSTALLED, "manual.html").write_bytes(b"edited")
        upgrade = '"%s" /S /AUTOSTART=1 /SYSLOG="tls://127.0.0.1" /D=C:\\Elsewhere' % dos(setup)  # the value quoted
        self.assertEqual(wine(*batch(upgrade))[0], 0)
        self.assertEqual(Path(INSTALLED, "manual.html").read_bytes(), manual)
        kept[ALERTS] = ALERTS_FILE % (6514, b"tls")
        [link] = set(glob.glob(STARTUP + "/*.lnk")) - {mine}
        for shortcut in (start, link):  # the working folder, as the link stores it
            self.assertIn(r"\AppData\Local\Velmoranth".encode("utf-16-le"), Path(shortcut).read_bytes())
        self.assertEqual(wine(setup, "/S")[0], 0)
        self.assertTrue(os.path.exists(link))
        subprocess.run(["makensis", "-V1", "-DVERSION=1.0", "-DOUTFILE=%s/older.exe" % WORK, NSI], check=True)
        self.refuses(11, WORK + "/older.exe", "/S")
        self.assertEqual(wine(setup, "/S", "/AUTOSTART=0", "/SYSLOG=relp://127.0.0.1")[0], 0)
        kept[ALERTS] = ALERTS_FILE % (2514, b"relp")
        self.assertEqual(os.listdir(STARTUP), ["Velmoranth.lnk"])
        self.assertEqual(files(FOLDER), kept)

        # The uninstaller refuses, changing nothing, while the exe cannot be deleted, then gives its real result.
        self.assertEqual(held("hold %s\\velmoranth.exe" % WHERE), "ok 1")
        self.refuses(10, *uninstall)
        holder.communicate()
        self.assertEqual(wine(*uninstall)[0], 0)
        subprocess.run(["wineserver", "-w"], env=ENV, timeout=120)  # a copy of the uninstaller removes the folder
        self.assertFalse(any(map(os.path.exists, (INSTALLED, MENU))))
        [copy] = glob.glob(PROFILE + "/Temp/Velmoranth-uninstall-*.exe")  # the next sign-in deletes it
        self.assertEqual(wine(*batch(re.search(r"REG_SZ +(.*\S)", wine("reg", "query", RUNONCE)[1])[1]))[0], 0)
        self.assertFalse(os.path.exists(copy))
        self.assertEqual(os.listdir(STARTUP), ["Velmoranth.lnk"])
        self.assertEqual(wine("reg", "query", KEY)[0], 1)
        self.assertEqual(files(FOLDER), kept)
