"""The packages as a Windows user gets them: the zip, then the installer's whole round in a Wine prefix of its own."""
import glob, os, re, shutil, socket, subprocess, time, unittest, zipfile
from pathlib import Path

PACKAGES, VERSION, WORK, DRIVER = (os.environ.get("VELMO_" + n, "") for n in ("PACKAGES", "VERSION", "WORK", "DRIVER"))
NAME, PREFIX = "Velmoranth-%s-win64" % VERSION, os.path.join(WORK, "wineprefix")
ENV = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmoranth"
INSTALLED, INSTALLED_WIN = os.path.join(PREFIX, "drive_c/Program Files/Velmoranth"), r"C:\Program Files\Velmoranth"
UNINSTALLER, UNINSTALL = os.path.join(INSTALLED, "uninstall.exe"), '"%s\\uninstall.exe"' % INSTALLED_WIN


def wine(*args):
    output = os.path.join(WORK, "wine.out")  # a file, not a pipe: Wine's own processes can keep a pipe open
    with open(output, "w") as out:
        code = subprocess.run(["wine", *args], env=ENV, stdout=out, stderr=subprocess.DEVNULL, timeout=120).returncode
    return code, Path(output).read_text(encoding="latin-1")


# Listening at start with a Custom daemon that says Hello, logging to "connections.log" beside velmo.sav.
SETTINGS = ("[Velmoranth Settings v1.9]\r\nLSN=1\r\nMDN=5\r\nMLD=1\r\nMLP=Y29ubmVjdGlvbnMubG9n==\r\nCRN=1\r\nCPN=%d\r\n"
            "CWE=SGVsbG8NCg==\r\nCR1===\r\nCR2===\r\nCCT=0\r\nCE1=0\r\nCE2=0\r\nCWR=0\r\n")


def files(*folders):
    return {path: Path(path).read_bytes() for folder in folders
            for path in glob.glob(folder + "/**", recursive=True) if os.path.isfile(path)}


class PackageTests(unittest.TestCase):
    @unittest.skipUnless(PACKAGES, "run through ctest")
    def test_zip_and_installer(self):
        subprocess.run(["wineserver", "-k"], env=ENV, stderr=subprocess.DEVNULL)
        shutil.rmtree(WORK, ignore_errors=True)
        self.addCleanup(subprocess.run, ["wineserver", "-k"], env=ENV)
        with zipfile.ZipFile(os.path.join(PACKAGES, NAME + ".zip")) as package:
            unpacked = sorted(name for name in package.namelist() if not name.endswith("/"))
            self.assertEqual(unpacked, [NAME + "/manual.html", NAME + "/readme.txt", NAME + "/velmoranth.exe"])
            package.extractall(WORK)
        manual, readme, exe = (Path(WORK, name).read_bytes() for name in unpacked)
        self.assertNotRegex(manual + readme, rb"(?<!\r)\n")
        self.assertIn(('version="%s.0.0"' % VERSION).encode(), exe)  # the manifest
        self.assertIn(("ProductVersion\0%s\0" % VERSION).encode("utf-16-le"), exe)  # the version resource
        tokenizer = re.search(rb'<pre id="log-shipping">.*?tokenizer: "([^"]*)"', manual, re.S).group(1).decode()

        setup = os.path.join(PACKAGES, NAME + "-setup.exe")
        self.assertEqual(wine(setup, "/S")[0], 0)
        [folder] = glob.glob(os.path.join(PREFIX, "drive_c/users/*/AppData/Local/Velmoranth"))
        menu = os.path.join(folder, "../../Roaming/Microsoft/Windows/Start Menu/Programs")
        start, startup = os.path.join(menu, "Velmoranth/Velmoranth.lnk"), os.path.join(menu, "StartUp/Velmoranth.lnk")
        self.assertEqual(sorted(os.listdir(os.path.dirname(start))), ["Velmoranth manual.lnk", "Velmoranth.lnk"])
        self.assertFalse(os.path.exists(startup))
        self.assertEqual(sorted(os.listdir(INSTALLED)), ["manual.html", "uninstall.exe", "velmoranth.exe"])
        for path in (os.path.join(WORK, NAME, "velmoranth.exe"), setup, *glob.glob(INSTALLED + "/*.exe")):
            self.assertNotIn(".debug", subprocess.check_output(["x86_64-w64-mingw32-objdump", "-h", path], text=True))
        entry = dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$", wine("reg", "query", KEY)[1], re.M))
        self.assertEqual(entry, {"DisplayName": "Velmoranth", "DisplayVersion": VERSION, "Publisher": "WQ",
                                 "DisplayIcon": INSTALLED_WIN + r"\velmoranth.exe,0", "InstallLocation": INSTALLED_WIN,
                                 "UninstallString": UNINSTALL, "QuietUninstallString": UNINSTALL + " /S",
                                 "NoModify": "0x1", "NoRepair": "0x1", "EstimatedSize": entry["EstimatedSize"]})

        # Started from the Start menu, the program reads and writes the per-user folder.
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        Path(folder, "velmo.sav").write_bytes((SETTINGS % port).encode())
        self.assertEqual(wine("start", "/unix", start)[0], 0)
        self.assertIn("ok Listening", wine(DRIVER, "attach", "timeout 60000", "wait Listening status")[1])
        stamps = [time.strftime("%d.%m.%Y / %H:%M")]
        with socket.create_connection(("127.0.0.1", port), timeout=10) as caller:
            self.assertEqual(caller.makefile("rb").readline(), b"Hello\r\n")
        stamps.append(time.strftime("%d.%m.%Y / %H:%M"))
        # The manual's pattern, read as Filebeat's dissect reads it: each %{key} up to its delimiter.
        pattern = "".join("(.*?)" if part.startswith("%{") else re.escape(part)
                          for part in re.split(r"(%\{[^}]*\})", tokenizer))
        fields = re.fullmatch(pattern, Path(folder, "connections.log").read_bytes().decode().removesuffix("\r\n"))
        self.assertIn(fields.groups(), [("127.0.0.1", str(port), *stamp.split(" / ")) for stamp in stamps])

        # While it runs, neither the installer nor the uninstaller changes anything.
        running = files(INSTALLED, menu, folder), wine("reg", "query", KEY)
        self.assertEqual(wine(setup, "/S", "/AUTOSTART=1")[0], 2)
        # Wine quotes an argument with blanks; the uninstaller takes _?= (run in place) only unquoted.
        self.assertEqual(wine(UNINSTALLER, "/S", *("_?=" + INSTALLED_WIN).split(" "))[0], 2)
        self.assertEqual((files(INSTALLED, menu, folder), wine("reg", "query", KEY)), running)

        # Posted messages run in order: Save Settings has written velmo.sav by the time Exit ends the program.
        os.remove(os.path.join(folder, "velmo.sav"))
        exited = wine(DRIVER, "attach", "timeout 10000", "post-command 1000", "post-command 1002", "wait-exit")[1]
        self.assertRegex(exited, r"ok 0\s*$")
        self.assertEqual(Path(folder, "velmo.sav").read_bytes(), (SETTINGS % port).encode())

        # Installing again replaces the program files and keeps the user's; autostart is chosen this time.
        kept = files(folder)
        Path(INSTALLED, "manual.html").write_bytes(b"edited")
        self.assertEqual(wine(setup, "/S", "/AUTOSTART=1")[0], 0)
        self.assertEqual(Path(INSTALLED, "manual.html").read_bytes(), manual)
        for link in (start, startup):  # the working folder, as the link stores it
            self.assertIn(r"\AppData\Local\Velmoranth".encode("utf-16-le"), Path(link).read_bytes())
        self.assertEqual(files(folder), kept)

        self.assertEqual(wine(UNINSTALLER, "/S")[0], 0)
        subprocess.run(["wineserver", "-w"], env=ENV, timeout=120)  # the uninstaller goes on from a copy of itself
        self.assertFalse(any(map(os.path.exists, (INSTALLED, os.path.dirname(start), startup))))
        self.assertEqual(wine("reg", "query", KEY)[0], 1)
        self.assertEqual(files(folder), kept)
