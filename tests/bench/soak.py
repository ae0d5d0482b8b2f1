"""Soak of velmoranth.exe under Wine, run by hand: soak.py BUILD_DIR [CALLERS] [--natural]. A listening Custom daemon
(Timer None, log on) on a free port of 127.0.0.1 serves CALLERS (1000) callers one after another; each reads the
welcome, ends its line and reads until the program hangs up. The driver posts poll ticks unless --natural. Prints
memory, open files, user and GDI objects and handles at the start, half-way and the end; checks every caller's log."""
import base64, os, shutil, socket, subprocess, sys
from pathlib import Path

BUILD = Path(sys.argv[1]).resolve()
CALLERS = int(next((a for a in sys.argv[2:] if a.isdigit()), 1000))
PREFIX, WORK, WINE_RUN = BUILD / "wineprefix-soak", BUILD / "soak", Path(__file__).parents[2] / "tools" / "wine-run"
WELCOME, TICK = b"Name: ", "post 0x113 10004 0"  # WM_TIMER of the poll timer
encoded = lambda text: base64.b64encode(text).decode().rstrip("=").encode() + b"=="


def d(line):
    driver.stdin.write(line + "\n")
    answer = driver.stdout.readline().strip()
    assert answer.startswith("ok"), line + ": " + answer
    return answer


def measure(label):
    """From /proc of this prefix's velmoranth.exe, and from the driver."""
    pid = next(p for p in filter(str.isdigit, os.listdir("/proc")) if b"velmoranth.exe" in Path("/proc", p, "cmdline")
               .read_bytes() and b"WINEPREFIX=%s\0" % bytes(PREFIX) in Path("/proc", p, "environ").read_bytes())
    kb = {l.split()[0]: l.split()[1] for l in Path("/proc", pid, "status").read_text().splitlines() if "kB" in l}
    print("%-10s resident %s KB (private %s KB), open files %d, user objects, GDI objects, handles: %s" % (label,
          kb["VmRSS:"], kb["RssAnon:"], len(os.listdir(Path("/proc", pid, "fd"))), d("resources")[3:]), flush=True)


with socket.create_server(("127.0.0.1", 0)) as probe:
    port = probe.getsockname()[1]
shutil.rmtree(WORK, ignore_errors=True)
WORK.mkdir(parents=True)
(WORK / "velmo.sav").write_bytes(b"[Velmoranth Settings v1.9]\r\nLSN=1\r\nMDN=5\r\nMLD=1\r\nMLP=%s\r\nCRN=1\r\nCPN=%d\r\n"
                                 b"CWE=%s\r\nCR1=%s\r\nCR2===\r\nCCT=0\r\nCE1=0\r\nCE2=0\r\nCWR=0\r\n" % (
                                     encoded(b"calls.log"), port, encoded(WELCOME), encoded(b"Bye.")))
subprocess.Popen([WINE_RUN, PREFIX, BUILD / "ui" / "velmoranth.exe"], cwd=WORK)
driver = subprocess.Popen([WINE_RUN, PREFIX, BUILD / "tests" / "e2e" / "driver.exe"], stdin=subprocess.PIPE,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
try:
    d("attach"), d("wait Listening status")
    for n in range(CALLERS):
        if n in (0, CALLERS // 2):
            measure("caller %d" % n)
        with socket.create_connection(("127.0.0.1", port), timeout=30) as caller:
            caller.settimeout(None if "--natural" in sys.argv else 0.05)
            received, chunk = b"", b"?"
            while chunk:
                try:
                    chunk = caller.recv(100)
                except TimeoutError:
                    d(TICK)
                    continue
                received += chunk
                if received == WELCOME:
                    caller.sendall(b"\r")
            assert received == WELCOME + b"Bye.", received
    d("wait Listening status"), measure("end")
    logged = (WORK / "calls.log").read_bytes().count(b"127.0.0.1 :%d / " % port)
    print("callers %d, logged %d" % (CALLERS, logged))
    assert logged == CALLERS
    d("post-command 1002"), d("wait-exit")
finally:
    driver.stdin.close()
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=str(PREFIX)))
