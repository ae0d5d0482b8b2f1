"""The alerts through the real velmoranth.exe to a real rsyslogd of the test's own, on 127.0.0.1, configured as the
manual says: every event comes out as one JSON line whose fields are checked whole."""
import html, json, re, socket, subprocess, time
from datetime import datetime, timezone
from pathlib import Path
from journeys import CTRL_L, Journeys, custom, settings

MANUAL, ALERTS = Path(__file__).parents[2] / "packaging" / "manual.html.in", '"Alerts"'
TEXTS = {"listen": "Listening on port {0} (Custom)", "standby": "Stopped listening on port {0} (Custom)",
         "connect": "Connection from 127.0.0.1:{1} to port {0} (Custom)", "test": "Test message from Velmoranth 1.9"}


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Collector(Journeys):
    def before_start(self):
        self.started = datetime.now(timezone.utc).replace(microsecond=0)  # messages carry milliseconds
        self.udp, self.tcp, self.port = map(free_port, (socket.SOCK_DGRAM, socket.SOCK_STREAM, socket.SOCK_STREAM))
        config = html.unescape(re.search(r'<pre id="rsyslog-config">\n(.*?)</pre>', MANUAL.read_text(), re.S)[1])
        for old, new in (('"0.0.0.0"', '"127.0.0.1"'), ('"514"', '"%d"' % self.udp), ('"601"', '"%d"' % self.tcp),
                         ("/var/log/velmoranth.json", str(self.folder / "out.json"))):
            self.assertIn(old, config)
            config = config.replace(old, new)
        (self.folder / "rsyslog.conf").write_text('global(workDirectory="%s")\n%s' % (self.folder, config))
        self.start_rsyslog()
        self.addCleanup(self.stop_rsyslog)
        (self.folder / "alerts.ini").write_bytes(b"[Velmoranth Alerts]\nEnabled=1\nCollector=127.0.0.1\nPort=%d\n"
                                                 b"Protocol=tcp\n" % self.tcp)
        (self.folder / "velmo.sav").write_bytes(settings(1, 5, script=custom(port=self.port)))  # listens at start
        self.seen = 0  # lines of rsyslog's output checked so far

    def start_rsyslog(self):
        """The test's own rsyslogd in the foreground; ready when its TCP port takes a connection."""
        self.rsyslog = subprocess.Popen(["rsyslogd", "-n", "-f", self.folder / "rsyslog.conf", "-i",
                                         self.folder / "rsyslog.pid"], stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                return socket.create_connection(("127.0.0.1", self.tcp)).close()
            except OSError:
                time.sleep(0.1)

    def stop_rsyslog(self):
        self.rsyslog.terminate()
        self.rsyslog.wait()

    def call(self):
        """A real caller, accepted while it waits; its own (source) port is kept for the connect's fields."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=20) as caller:
            self.d("wait Detected! status")
            self.caller = caller.getsockname()[1]

    def expect(self, *events):
        """Waits for the JSON lines of these events and checks each whole, its time within the test's."""
        deadline, out, lines = time.monotonic() + 30, self.folder / "out.json", []
        while len(lines) < len(events) and time.monotonic() < deadline:
            time.sleep(0.2)
            lines = out.read_text().splitlines()[self.seen:] if out.exists() else []
        self.assertEqual(len(lines), len(events), lines)
        self.seen += len(lines)
        for line, event in zip(lines, events):
            got = json.loads(line)
            self.assertTrue(self.started <= datetime.fromisoformat(got.pop("time")) <= datetime.now(timezone.utc))
            want = {"host": self.host, "event": event, "dst_port": self.port, "daemon": "Custom", "version": "1.9",
                    "pid": self.pid, "message": TEXTS[event].format(self.port, self.caller)}
            if event == "connect":
                want.update(src="127.0.0.1", src_port=self.caller)
            if event == "test":
                del want["dst_port"], want["daemon"]
            self.assertEqual(got, want)

    def test_alerts_to_rsyslog_over_tcp_and_udp_and_across_its_restart(self):
        """TCP from the alerts file: listen at start, a caller's connect, standby. The dialog switches to UDP, its
        test message is sent, then the same three. Back on TCP, rsyslog stops, a caller comes, rsyslog starts again:
        the connect arrives late but whole; Exit sends standby before the program ends."""
        self.pid, self.host = self.d("attach"), socket.gethostname().upper()[:15]  # Wine's computer name
        self.call()
        self.d(CTRL_L, 'wait "Standing By" status')
        self.expect("listen", "connect", "standby")
        self.d("post-command 1010", 'wait "" set-text %s 9003 %d' % (ALERTS, self.udp), "click 9004 " + ALERTS,
               "press %s 9006" % ALERTS, 'wait "Sent." text %s 9007' % ALERTS, "press %s 9010" % ALERTS,
               "wait 0 shown " + ALERTS, CTRL_L, "wait Listening status")
        self.assertEqual((self.folder / "alerts.ini").read_bytes(), b"[Velmoranth Alerts]\r\nEnabled=1\r\n"
                         b"Collector=127.0.0.1\r\nPort=%d\r\nProtocol=udp\r\n" % self.udp)
        self.call()
        self.d(CTRL_L, 'wait "Standing By" status')
        self.expect("test", "listen", "connect", "standby")
        self.d("post-command 1010", 'wait "" set-text %s 9003 %d' % (ALERTS, self.tcp), "click 9005 " + ALERTS,
               "press %s 9010" % ALERTS, "wait 0 shown " + ALERTS, CTRL_L, "wait Listening status")
        self.expect("listen")
        self.stop_rsyslog()
        self.call()
        self.start_rsyslog()
        self.expect("connect")
        self.d("post-command 1002", "wait 0 wait-exit")
        self.expect("standby")
