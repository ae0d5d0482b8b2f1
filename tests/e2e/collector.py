"""Alerts from the real program to a real rsyslogd of the test's own on 127.0.0.1, configured as the manual says."""
import html, json, re, signal, socket, subprocess, time
from datetime import datetime, timezone
from pathlib import Path
from journeys import ALERTS_FILE, CTRL_L, Journeys, custom, free_port, settings

MANUAL, ALERTS = Path(__file__).parents[2] / "packaging/manual.html.in", '"Alerts"'
# Each event's text: rsyslog writes it as one JSON line, with a field for each value the text shows.
EVENTS = {"listen": "Listening on port {dst_port} ({daemon})", "test": "Test message from Velmoranth 1.9",
          "standby": "Stopped listening on port {dst_port} ({daemon})",
          "connect": "Connection from {src}:{src_port} to port {dst_port} ({daemon})",
          "heartbeat": "Listening on port {dst_port} ({daemon}); 0 callers since start"}


def manual_block(name, *changes):  # a configuration block of the manual, each change's text there to be changed
    block = html.unescape(re.search(r'<pre id="%s">\n(.*?)</pre>' % name, MANUAL.read_text(), re.S)[1])
    for old, new in changes:
        assert old in block, old
        block = block.replace(old, new, 1)
    return block


def until(condition, seconds=30):  # a bounded poll: the condition's last value
    for _ in range(seconds * 10):
        if value := condition():
            break
        time.sleep(0.1)
    return value


def tcp_sockets(port):  # the states of the sockets whose own port is `port` (0A: listening)
    rows = [line.split() for line in Path("/proc/net/tcp").read_text().splitlines()[1:]]
    return [row[3] for row in rows if row[1].endswith(":%04X" % port)]


def keys(section):
    return dict(line.split(b"=", 1) for line in section.split(b"\r\n") if b"=" in line)


class Collector(Journeys):
    def rsyslog_inputs(self):  # more inputs of the manual's
        return ""

    def alerts_file(self):  # alerts.ini's bytes; what starts the collector before the program
        return ALERTS_FILE % (self.tcp, b"tcp") + b"Heartbeat=0\r\n", self.start_rsyslog

    def before_start(self):
        self.started = datetime.now(timezone.utc).replace(microsecond=0)  # messages carry milliseconds
        probes = [socket.create_server(("127.0.0.1", 0)) for _ in range(4)]  # distinct ports
        self.tcp, self.port, self.relp, self.tls = [(probe.getsockname()[1], probe.close())[0] for probe in probes]
        self.udp = free_port(socket.SOCK_DGRAM)
        self.host, self.out = socket.gethostname().lower(), self.folder / "out.json"  # Wine's DNS name
        self.fields, self.wanted = dict(dst_port=self.port, daemon="Custom"), []  # every line to come, but for times
        config = manual_block("rsyslog-config", ('"0.0.0.0"', '"127.0.0.1"'), ('"514"', '"%d"' % self.udp),
                              ('"601"', '"%d"' % self.tcp), ("/var/log/velmoranth.json", str(self.out)))
        alerts, start_collector = self.alerts_file()
        (self.folder / "rsyslog.conf").write_text('global(workDirectory="%s")\n%s%s' % (
            self.folder, config, self.rsyslog_inputs()))
        start_collector()
        (self.folder / "alerts.ini").write_bytes(alerts)
        (self.folder / "velmo.sav").write_bytes(settings(1, 5, 1, "calls.log", custom(port=self.port)))  # listening

    def start_rsyslog(self):  # in the foreground; what the program sends before it is ready waits in its queue
        (self.folder / "rsyslog.pid").unlink(missing_ok=True)
        self.rsyslog = subprocess.Popen(["/usr/sbin/rsyslogd", "-n", "-f", self.folder / "rsyslog.conf", "-i",
                                         self.folder / "rsyslog.pid"], stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop_rsyslog)

    def stop_rsyslog(self, how=signal.SIGTERM):
        self.rsyslog.send_signal(how)
        self.rsyslog.wait()

    def settled(self, port):  # every connection closed by the collector: the program has its receipts
        self.assertTrue(until(lambda: set(tcp_sockets(port)) <= {"0A", "06"}))  # listening, time-wait

    def freeze_and_kill(self, once=True):  # rsyslog stops reading; a caller; 5 s on, it dies and comes back
        self.rsyslog.send_signal(signal.SIGSTOP)
        self.call()
        time.sleep(5)
        self.stop_rsyslog(signal.SIGKILL)
        self.start_rsyslog()
        self.expect("connect", once=once)

    def saved(self):  # the keys the dialog saved in the file's first section, which holds syslog's
        return keys((self.folder / "alerts.ini").read_bytes().split(b"\r\n\r\n")[0])

    def call(self, *then, source="127.0.0.1"):  # a real caller; its own address and port are kept for the fields
        with socket.create_connection(("127.0.0.1", self.port), 20, (source, 0)) as caller:
            self.fields.update(src=source, src_port=caller.getsockname()[1])
            self.d("wait Detected! status", *then)
        if not then:
            self.d("wait Listening status")

    def want(self, *events):  # lines to come, with the facts known now
        for event in events:
            fields = {name: self.fields[name] for name in re.findall(r"{(\w+)}", EVENTS[event])}
            self.wanted.append(dict(fields, event=event, host=self.host, version="1.9", pid=self.pid,
                                    message=EVENTS[event].format(**self.fields), seq=len(self.wanted) + 1))

    def expect(self, *events, once=True):
        """Waits for the JSON lines of these events; checks all lines whole (sequence ids 1, 2, 3...), each one's time
        within the test's. At-least-once protocols (once=False) may repeat a line: its first copy counts."""
        self.want(*events)
        def lines():
            got = [json.loads(line) for line in self.out.read_text().splitlines()] if self.out.exists() else []
            return [line for n, line in enumerate(got) if once or line["seq"] not in [seen["seq"] for seen in got[:n]]]
        until(lambda: len(lines()) >= len(self.wanted))
        got = lines()
        for line in got:
            self.assertTrue(self.started <= datetime.fromisoformat(line.pop("time")) <= datetime.now(timezone.utc))
        self.assertEqual(got, self.wanted)

    def test_alerts_to_rsyslog_over_tcp_and_udp_and_across_its_restart(self):
        """TCP from the alerts file; UDP from the dialog; TCP across rsyslog's restart: a connect late but whole."""
        self.call(CTRL_L, 'wait "Standing By" status')
        self.expect("listen", "connect", "standby")
        # Only once the program has its receipts does the target change: else what waits for them goes again.
        self.d("post-command 1010", 'wait "Sent 3, waiting 0, dropped 0." text %s 9122' % ALERTS,
               'set-text %s 9103 %d' % (ALERTS, self.udp), "click 9104 " + ALERTS,
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
