"""Alerts from the real program to a real rsyslogd of the test's own on 127.0.0.1, configured as the manual says."""
import html, json, re, socket, subprocess, time
from datetime import datetime, timezone
from pathlib import Path
from journeys import ALERTS_FILE, CTRL_L, Journeys, custom, free_port, settings

MANUAL, ALERTS = Path(__file__).parents[2] / "packaging/manual.html.in", '"Alerts"'
# Each event's text: rsyslog writes it as one JSON line, with a field for each value the text shows.
EVENTS = {"listen": "Listening on port {dst_port} ({daemon})", "test": "Test message from Velmoranth 1.9",
          "standby": "Stopped listening on port {dst_port} ({daemon})",
          "connect": "Connection from {src}:{src_port} to port {dst_port} ({daemon})"}


def keys(section):
    return dict(line.split(b"=", 1) for line in section.split(b"\r\n") if b"=" in line)


class Collector(Journeys):
    def before_start(self):
        self.started = datetime.now(timezone.utc).replace(microsecond=0)  # messages carry milliseconds
        self.udp, self.tcp, self.port = free_port(socket.SOCK_DGRAM), free_port(), free_port()
        config = html.unescape(re.search(r'<pre id="rsyslog-config">\n(.*?)</pre>', MANUAL.read_text(), re.S)[1])
        for old, new in (('"0.0.0.0"', '"127.0.0.1"'), ('"514"', '"%d"' % self.udp), ('"601"', '"%d"' % self.tcp),
                         ("/var/log/velmoranth.json", str(self.folder / "out.json"))):
            self.assertIn(old, config)
            config = config.replace(old, new)
        (self.folder / "rsyslog.conf").write_text('global(workDirectory="%s")\n%s' % (self.folder, config))
        self.start_rsyslog()
        (self.folder / "alerts.ini").write_bytes(ALERTS_FILE % (self.tcp, b"tcp") + b"Heartbeat=0\r\n")
        (self.folder / "velmo.sav").write_bytes(settings(1, 5, script=custom(port=self.port)))  # listens at start
        self.wanted = []  # every line rsyslog is to write so far, but for its time

    def start_rsyslog(self):  # in the foreground; what the program sends before it is ready waits in its queue
        self.rsyslog = subprocess.Popen(["/usr/sbin/rsyslogd", "-n", "-f", self.folder / "rsyslog.conf", "-i",
                                         self.folder / "rsyslog.pid"], stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop_rsyslog)

    def stop_rsyslog(self):
        self.rsyslog.terminate()
        self.rsyslog.wait()

    def saved(self):  # the keys the dialog saved in the file's first section, which holds syslog's
        return keys((self.folder / "alerts.ini").read_bytes().split(b"\r\n\r\n")[0])

    def call(self, *then):  # a real caller, accepted, then driver lines; its own port is kept for the connect's fields
        with socket.create_connection(("127.0.0.1", self.port), timeout=20) as caller:
            self.fields = dict(dst_port=self.port, daemon="Custom", src="127.0.0.1", src_port=caller.getsockname()[1])
            self.d("wait Detected! status", *then)

    def expect(self, *events):
        """Waits for the JSON lines of these events; checks all lines whole, each one's time within the test's."""
        self.wanted += [dict({name: self.fields[name] for name in re.findall(r"{(\w+)}", EVENTS[event])}, event=event,
                             host=self.host, version="1.9", pid=self.pid, message=EVENTS[event].format(**self.fields))
                        for event in events]
        out, deadline, got = self.folder / "out.json", time.monotonic() + 30, []
        while len(got) < len(self.wanted) and time.monotonic() < deadline:
            time.sleep(0.2)
            got = [json.loads(line) for line in out.read_text().splitlines()] if out.exists() else []
        for line in got:
            self.assertTrue(self.started <= datetime.fromisoformat(line.pop("time")) <= datetime.now(timezone.utc))
        self.assertEqual(got, self.wanted)

    def test_alerts_to_rsyslog_over_tcp_and_udp_and_across_its_restart(self):
        """TCP from the alerts file; UDP from the dialog; TCP across rsyslog's restart: a connect late but whole."""
        self.host = socket.gethostname().lower()  # Wine's fully qualified name
        self.call(CTRL_L, 'wait "Standing By" status')
        self.expect("listen", "connect", "standby")
        self.d("post-command 1010", 'wait "" set-text %s 9103 %d' % (ALERTS, self.udp), "click 9104 " + ALERTS,
               "press %s 9120" % ALERTS, 'wait "UDP: sent, delivery not confirmed" text %s 9121' % ALERTS,
               "press %s 9010" % ALERTS, "wait 0 shown " + ALERTS, CTRL_L, "wait Listening status")
        self.assertLessEqual(keys(ALERTS_FILE % (self.udp, b"udp")).items(), self.saved().items())
        self.call(CTRL_L, 'wait "Standing By" status')
        self.expect("test", "listen", "connect", "standby")
        # A quiet time out of range: OK shows the Filters page and why; the page is left, put right, saved.
        self.d("post-command 1010", 'wait "" set-text %s 9103 %d' % (ALERTS, self.tcp), "click 9105 " + ALERTS,
               "set-text %s 9402 2000" % ALERTS, "press %s 9010" % ALERTS, "wait 1 visible %s 9402" % ALERTS,
               'wait "The quiet time must be a number of minutes from 0 to 1440." text %s 9423' % ALERTS, "page %s 0" % ALERTS, "wait 0 visible %s 9402" % ALERTS,
               "set-text %s 9402 10" % ALERTS, "press %s 9010" % ALERTS, "wait 0 shown " + ALERTS, CTRL_L,
               "wait Listening status")
        self.assertLessEqual(keys(ALERTS_FILE % (self.tcp, b"tcp")).items(), self.saved().items())
        self.expect("listen")
        self.stop_rsyslog()
        self.call()
        self.start_rsyslog()
        self.expect("connect")
        self.d("post-command 1002", "wait 0 wait-exit")
        self.expect("standby")
