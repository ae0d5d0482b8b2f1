"""The packages as a Windows user gets them: the zip, then the installer's whole round in a Wine prefix of its own."""
import glob, os, re, shutil, socket, subprocess, time, unittest, zipfile
from pathlib import Path

PACKAGES, VERSION, WORK, DRIVER, NSI = (os.environ.get("VELMO_" + n, "") for n in
                                        ("PACKAGES", "VERSION", "WORK", "DRIVER", "NSI"))
NAME, PREFIX = "Velmoranth-%s-win64" % VERSION, os.path.join(WORK, "wineprefix")
ENV = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmoranth"


def wine(*args, cwd=None):
    output = os.path.join(WORK, "wine.out")  # a file, not a pipe: Wine's own processes can keep a pipe open
    with open(output, "w") as out:
        code = subprocess.run(["wine", *args], env=ENV, stdout=out, stderr=subprocess.DEVNULL, timeout=120,
                              cwd=cwd).returncode
    return code, Path(output).read_text(encoding="latin-1")


def windows_path(path):
    return "C:\\" + os.path.relpath(path, os.path.join(PREFIX, "drive_c")).replace("/", "\\")


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
            self.assertEqual(unpacked, [NAME + "/" + n for n in ("LICENSE.txt", "manual.html", "readme.txt", "velmoranth.exe")])
            package.extractall(WORK)
        licence, manual, readme, exe = (Path(WORK, name).read_bytes() for name in unpacked)
        self.assertNotRegex(licence + manual + readme, rb"(?<!\r)\n")
        self.assertIn(b"Copyright (c) The Velmoranth authors", licence)
        self.assertIn(('version="%s.0.0"' % VERSION).encode(), exe)  # the manifest, with Windows 10 and 11 in it
        self.assertIn(b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", exe)
        self.assertIn(("ProductVersion\0%s\0" % VERSION).encode("utf-16-le"), exe)  # the version resource
        tokenizer = re.search(rb'<pre id="log-shipping">.*?tokenizer: "([^"]*)"', manual, re.S).group(1).decode()

        # Installed without elevation, all of it in the user's profile and HKCU; a malformed /SYSLOG changes nothing.
        setup = os.path.join(PACKAGES, NAME + "-setup.exe")
        self.assertIn(b'level="asInvoker"', Path(setup).read_bytes())
        self.assertEqual(wine(setup, "/S", "/SYSLOG=tcp://collector.example:0")[0], 4)
        self.assertEqual(glob.glob(os.path.join(PREFIX, "drive_c/users/*/AppData/Local/*/Velmoranth")), [])
        self.assertEqual(wine(setup, "/S", "/SYSLOG=udp://127.0.0.1")[0], 0)
        [folder] = glob.glob(os.path.join(PREFIX, "drive_c/users/*/AppData/Local/Velmoranth"))
        installed = os.path.join(folder, "../Programs/Velmoranth")
        self.assertEqual(Path(folder, "alerts.ini").read_bytes(),
                         b"[Velmoranth Alerts]\r\nEnabled=1\r\nCollector=127.0.0.1\r\nPort=514\r\nProtocol=udp\r\n")
        menu = os.path.join(folder, "../../Roaming/Microsoft/Windows/Start Menu/Programs")
        start, startup = os.path.join(menu, "Velmoranth/Velmoranth.lnk"), os.path.join(menu, "StartUp")
        self.assertEqual(sorted(os.listdir(os.path.dirname(start))), ["Velmoranth manual.lnk", "Velmoranth.lnk"])
        self.assertEqual(os.listdir(startup), [])
        self.assertEqual(sorted(os.listdir(installed)), ["LICENSE.txt", "manual.html", "uninstall.exe", "velmoranth.exe"])
        self.assertEqual(glob.glob(os.path.join(PREFIX, "drive_c/Program Files*/Velmoranth")), [])
        self.assertEqual(wine("reg", "query", KEY.replace("HKCU", "HKLM"))[0], 1)
        for path in (os.path.join(WORK, NAME, "velmoranth.exe"), setup, *glob.glob(installed + "/*.exe")):
            self.assertNotIn(".debug", subprocess.check_output(["x86_64-w64-mingw32-objdump", "-h", path], text=True))
        entry = dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$", wine("reg", "query", KEY)[1], re.M))
        where = windows_path(os.path.normpath(installed))
        self.assertEqual(entry, {"DisplayName": "Velmoranth", "DisplayVersion": VERSION, "Publisher": "WQ",
                                 "DisplayIcon": where + r"\velmoranth.exe,0", "InstallLocation": where,
                                 "UninstallString": '"%s\\uninstall.exe"' % where,
                                 "QuietUninstallString": '"%s\\uninstall.exe" /S _?=%s' % (where, where),
                                 "NoModify": "0x1", "NoRepair": "0x1", "EstimatedSize": entry["EstimatedSize"]})
        # The documented command, as a script runs it; Wine quotes an argument with blanks, _?= must not be quoted.
        uninstall = [os.path.join(installed, "uninstall.exe"), "/S", *("_?=" + where).split(" ")]

        # Started from the Start menu, the program reads and writes the per-user folder.
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        Path(folder, "velmo.sav").write_bytes((SETTINGS % port).encode())
        self.assertEqual(wine("start", "/unix", start)[0], 0)
        attached = wine(DRIVER, "attach", "timeout 60000", "wait Listening status")[1]
        self.assertIn("ok Listening", attached)
        attach = "attach " + re.match(r"ok (\d+)", attached).group(1)
        stamps = [time.strftime("%d.%m.%Y / %H:%M")]
        with socket.create_connection(("127.0.0.1", port), timeout=10) as caller:
            self.assertEqual(caller.makefile("rb").readline(), b"Hello\r\n")
        stamps.append(time.strftime("%d.%m.%Y / %H:%M"))
        # The manual's pattern, read as Filebeat's dissect reads it: each %{key} up to its delimiter.
        pattern = "".join("(.*?)" if part.startswith("%{") else re.escape(part)
                          for part in re.split(r"(%\{[^}]*\})", tokenizer))
        fields = re.fullmatch(pattern, Path(folder, "connections.log").read_bytes().decode().removesuffix("\r\n"))
        self.assertIn(fields.groups(), [("127.0.0.1", str(port), *stamp.split(" / ")) for stamp in stamps])

        # A second start in the same folder shows the running copy and ends; one in another folder runs beside it.
        before = files(folder)
        self.assertEqual(wine("start", "/wait", "/unix", start)[0], 0)
        self.assertEqual(wine(DRIVER, attach, "wait 1 visible", "copies")[1].splitlines()[1:], ["ok 1", "ok 1"])
        self.assertEqual(files(folder), before)
        beside = subprocess.Popen(["wine", "velmoranth.exe"], env=ENV, cwd=os.path.join(WORK, NAME))
        self.assertIn("ok 2", wine(DRIVER, "wait 2 copies")[1])
        beside.terminate()
        beside.wait(60)

        # While it runs, neither the installer nor the uninstaller changes anything.
        running = files(installed, menu, folder), wine("reg", "query", KEY)
        self.assertEqual(wine(setup, "/S", "/AUTOSTART=1")[0], 2)
        self.assertEqual(wine(*uninstall)[0], 2)
        self.assertEqual((files(installed, menu, folder), wine("reg", "query", KEY)), running)

        # Posted messages run in order: Save Settings has written velmo.sav by the time Exit ends the program.
        os.remove(os.path.join(folder, "velmo.sav"))
        exited = wine(DRIVER, attach, "timeout 10000", "post-command 1000", "post-command 1002", "wait-exit")[1]
        self.assertRegex(exited, r"ok 0\s*$")
        self.assertEqual(Path(folder, "velmo.sav").read_bytes(), (SETTINGS % port).encode())

        # Installing again upgrades in place, whatever /D= says, and keeps the user's files (alerts.ini too);
        # the sign-in start is chosen this time and kept by the next upgrade until /AUTOSTART=0.
        kept, mine = files(folder), os.path.join(startup, "Velmoranth.lnk")  # a portable user's own shortcut
        Path(mine).write_bytes(b"mine")
        Path(installed, "manual.html").write_bytes(b"edited")
        self.assertEqual(wine(setup, "/S", "/AUTOSTART=1", "/D=C:\\Elsewhere")[0], 0)
        self.assertEqual(Path(installed, "manual.html").read_bytes(), manual)
        self.assertFalse(os.path.exists(os.path.join(PREFIX, "drive_c/Elsewhere")))
        [link] = set(glob.glob(startup + "/*.lnk")) - {mine}
        for shortcut in (start, link):  # the working folder, as the link stores it
            self.assertIn(r"\AppData\Local\Velmoranth".encode("utf-16-le"), Path(shortcut).read_bytes())
        self.assertEqual(wine(setup, "/S")[0], 0)
        self.assertTrue(os.path.exists(link))
        # An older version, made from the same script, refuses to replace it.
        older = os.path.join(WORK, "older-setup.exe")
        subprocess.run(["makensis", "-V1", "-DVERSION=1.0", "-DOUTFILE=" + older, NSI], check=True)
        upgraded = files(installed, menu, folder), wine("reg", "query", KEY)
        self.assertEqual(wine(older, "/S")[0], 3)
        self.assertEqual((files(installed, menu, folder), wine("reg", "query", KEY)), upgraded)
        self.assertEqual(wine(setup, "/S", "/AUTOSTART=0")[0], 0)
        self.assertEqual(os.listdir(startup), ["Velmoranth.lnk"])
        self.assertEqual(files(folder), kept)

        # The uninstaller refuses, changing nothing, while the exe cannot be deleted, then gives its real result.
        with subprocess.Popen(["wine", DRIVER], env=ENV, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True) as holder:
            print("hold %s\\velmoranth.exe" % where, file=holder.stdin, flush=True)
            self.assertEqual(holder.stdout.readline().strip(), "ok")
            held = files(installed, menu, folder), wine("reg", "query", KEY)
            self.assertEqual(wine(*uninstall)[0], 2)
            self.assertEqual((files(installed, menu, folder), wine("reg", "query", KEY)), held)
        self.assertEqual(wine(*uninstall)[0], 0)
        subprocess.run(["wineserver", "-w"], env=ENV, timeout=120)  # a copy of the uninstaller removes the folder
        self.assertFalse(any(map(os.path.exists, (installed, os.path.dirname(start)))))
        self.assertEqual(os.listdir(startup), ["Velmoranth.lnk"])
        self.assertEqual(wine("reg", "query", KEY)[0], 1)
        self.assertEqual(files(folder), kept)
