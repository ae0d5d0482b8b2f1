"""A benchmark, by hand: soak.py BUILD_DIR [CALLERS]. A listening Custom daemon (Timer None, log on) serves CALLERS
(1000) callers in turn; prints the program's memory and open files at the start, every 2,000 callers and the end;
checks each is logged once."""
import os, socket, sys, unittest
from pathlib import Path

BUILD, TESTS, CALLERS = Path(sys.argv[1]).resolve(), Path(__file__).parents[1], int((sys.argv[2:] or [1000])[0])
os.environ.update({"VELMO_" + name: str(path) for name, path in (
    ("EXE", BUILD / "ui/velmoranth.exe"), ("DRIVER", BUILD / "tests/e2e/driver.exe"), ("E2E_WORK", BUILD / "soak"),
    ("PREFIX", BUILD / "wineprefix-soak"), ("WINE_RUN", TESTS.parent / "tools/wine-run"))})
sys.path.insert(0, str(TESTS / "e2e"))
from journeys import PREFIX, Journeys, custom, free_port, receive, settings  # noqa: E402 (after the environment)

# The poll timer's tick (WM_TIMER), posted so as not to wait for it; when one comes too soon, the timer's own follows.
TICK = "post 0x113 10004 0"


class Soak(Journeys):
    def before_start(self):
        self.port = free_port()
        script = custom(port=self.port, welcome="Name: ", reply="Bye.")
        (self.folder / "velmo.sav").write_bytes(settings(1, 5, 1, "calls.log", script))

    def measure(self, label):  # from /proc, of this prefix's velmoranth.exe
        process = next(p for p in Path("/proc").iterdir() if p.name.isdigit() and b"velmoranth.exe" in (p / "cmdline")
                       .read_bytes() and b"WINEPREFIX=%s\0" % PREFIX.encode() in (p / "environ").read_bytes())
        kb = {l.split()[0]: l.split()[1] for l in (process / "status").read_text().splitlines() if "kB" in l}
        print("%-5s resident %s KB (private %s KB), open files %d" % (label, kb["VmRSS:"], kb["RssAnon:"],
              len(os.listdir(process / "fd"))), flush=True)

    def test_soak(self):
        self.d("wait Listening status")
        self.measure("start")
        for done in range(CALLERS):
            if done and done % 2000 == 0:
                self.measure(str(done))
            with socket.create_connection(("127.0.0.1", self.port), timeout=30) as caller:
                for line, answer in ((b"", b"Name: "), (b"\r", b"Bye."), (b"", b"")):  # the last: hung up on
                    caller.sendall(line)
                    self.d(TICK)
                    self.assertEqual(receive(caller, answer), answer)
        self.d("wait Listening status")
        self.measure("end")
        logged = (self.folder / "calls.log").read_bytes().count(b"127.0.0.1 :%d / " % self.port)
        print("callers %d, logged %d" % (CALLERS, logged))
        self.assertEqual(logged, CALLERS)


unittest.main(argv=sys.argv[:1] + ["Soak.test_soak"])  # not the journeys it inherits
