"""Tripwires of the real program under Wine, swept by nmap and flooded by callers of the test's own: each connection in
the log and at a real rsyslog (with the manual's scan rule), a person told of a sweep by a webhook receiver of the
test's own in three messages; a port held by another listener; StandBy closes every tripwire."""
import json, re, socket, subprocess, threading, time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from collector import Collector, manual_block, until
from journeys import ALERTS_FILE, CTRL_L, custom, settings

STANDBY = CTRL_L, 'wait "Standing By" status'
TRIPWIRES = b"Heartbeat=1440\r\nQuiet=1\r\n[Webhook]\r\nEnabled=1\r\nURL=http://127.0.0.1:%d/hook\r\nFormat=json\r\n" \
            b"[Tripwires]\r\nEnabled=1\r\nPorts=%s\r\nScanPorts=5\r\n"


class Hook(BaseHTTPRequestHandler):  # keeps each JSON body posted to it
    log_message = lambda *_: None  # noqa: E731

    def do_POST(self):
        self.server.posts.append(json.loads(self.rfile.read(int(self.headers["Content-Length"]))))
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()


def flood(port):  # connects and hangs up, as fast as it can for 3 s, at most 1000 times: the connects that succeeded
    made, end = 0, time.monotonic() + 3
    while time.monotonic() < end and made < 1000:
        with socket.socket() as caller:
            made += caller.connect_ex(("127.0.0.1", port)) == 0
    return made


class Tripwires(Collector):
    """Four tripwires and a fifth port the test holds; a scan is 5 ports (with the daemon's) within the default 60 s."""
    def before_start(self):  # the daemon greets: nmap's banner script has its banner at once
        super().before_start()
        (self.folder / "velmo.sav").write_bytes(settings(1, 5, 1, "calls.log", custom(port=self.port, welcome="Hi")))

    def alerts_file(self):
        probes = [socket.create_server(("127.0.0.1", 0)) for _ in range(5)]
        self.held, *probes = probes  # held by the test for the whole journey
        self.addCleanup(self.held.close)
        self.wires = sorted((probe.getsockname()[1], probe.close())[0] for probe in probes)
        self.hook = ThreadingHTTPServer(("127.0.0.1", 0), Hook)
        self.hook.posts = []
        threading.Thread(target=self.hook.serve_forever, daemon=True).start()
        for cleanup in self.hook.server_close, self.hook.shutdown:
            self.addCleanup(cleanup)
        ports = ",".join(map(str, self.wires + [self.held.getsockname()[1]]))
        return ALERTS_FILE % (self.tcp, b"tcp") + TRIPWIRES % (self.hook.server_address[1], ports.encode()), self.start

    def start(self):  # rsyslog with the manual's scan rule inside its ruleset, after the JSON file's action
        config, action = (self.folder / "rsyslog.conf").read_text(), 'template="velmoranthJson")\n'
        rule = manual_block("rsyslog-scan", ("/var/log/velmoranth-scans.json", str(self.folder / "scans.json")))
        (self.folder / "rsyslog.conf").write_text(config.replace(action, action + rule, 1))
        self.start_rsyslog()

    def lines(self, name="out.json", event="connect"):  # the collector's whole lines of the event
        path = self.folder / name
        lines = [json.loads(line) for line in path.read_text().split("\n")[:-1]] if path.exists() else []
        return [line for line in lines if line["event"] == event]

    def told(self):  # the records of the connections log, and the connects at the collector, by port
        return (Counter(map(int, re.findall(r" :(\d+) /", (self.folder / "calls.log").read_text()))),
                Counter(line["dst_port"] for line in self.lines()))

    def posted(self, count):
        self.assertTrue(until(lambda: len(self.hook.posts) >= count), self.hook.posts)
        self.assertEqual(len(self.hook.posts), count, self.hook.posts)
        return self.hook.posts

    def test_tripwires_swept_by_nmap_told_once_then_closed_at_standby(self):
        """nmap -sT with its banner script: a record and a connect for each connection the script made, and one scan
        (also through the manual's rule); the webhook: the first connection, the scan, a summary at StandBy. nmap's
        own probes reset at once, before they are taken: only counted. Detected held, then Listening."""
        armed, held = ",".join(map(str, self.wires)), self.held.getsockname()[1]
        beat = until(lambda: self.lines(event="heartbeat"))
        self.assertEqual([(line["tripwires"], line["refused"]) for line in beat], [(armed, str(held))])
        swept = sorted(self.wires + [self.port])
        trace = subprocess.run(["nmap", "-sT", "--unprivileged", "-Pn", "-n", "--packet-trace", "--script", "banner",
                                "-p", ",".join(map(str, swept)), "127.0.0.1"], capture_output=True, text=True).stdout
        self.d("wait Detected! status")
        probes, made = (Counter(map(int, re.findall(r"127\.0\.0\.1:(\d+) %s" % end, trace))) for end in (
            "=> Connected", r"\| CONNECT"))  # the scan's probes, and the script's connections
        self.assertEqual((sorted(probes), sorted(made)), (swept, swept), trace)
        until(lambda: self.told() == (made, made))
        self.assertEqual(self.told(), (made, made))
        self.d("post-command 1010", 'wait "Watching %s; in use by another program %d." text "Alerts" 9505' % (
            armed.replace(",", ", "), held), 'wait "Hits %d, scans 1 since the start. %d more reset before they could '
            'be taken: from no known address." text "Alerts" 9506' % (sum(made.values()) - made[self.port], sum(
                probes.values()) - probes[self.port]), 'press "Alerts" cancel', 'wait 0 shown "Alerts"',
               'wait 0 shown "Error #5"')  # nor does the daemon's port tell a probe reset before it was taken
        scans = until(lambda: self.lines("scans.json", "scan"))
        self.assertEqual(scans, self.lines(event="scan"))
        ports = ",".join(map(str, swept))
        self.assertEqual([(scan["src"], scan["ports"], scan["message"]) for scan in scans], [(
            "127.0.0.1", ports, "Port scan from 127.0.0.1: 5 ports (%s) in %d s" % (ports.replace(",", ", "),
                                                                                    scans[0]["seconds"]))])
        connect, scan = self.posted(2)
        self.assertEqual((connect["event"], scan["event"], scan["src"], scan["ports"]), (
            "connect", "scan", "127.0.0.1", ports))
        self.d("wait Listening status", *STANDBY)
        for port in swept:
            self.assertRaises(ConnectionRefusedError, socket.create_connection, ("127.0.0.1", port), 20)
        summary = self.posted(3)[2]
        self.assertEqual((summary["event"], summary["connections"]), ("summary", sum(made.values()) - 1))
        self.assertEqual(set(map(int, summary["ports"].split(","))) | {connect["dstPort"]}, set(swept))

    def test_tripwires_flooded_on_three_ports_tell_every_connection(self):
        """Callers connect and hang up as fast as they can: the log and the collector have each connection."""
        ports = self.wires[:3] * 2  # two callers a port
        with ThreadPoolExecutor(len(ports)) as pool:
            counts = list(pool.map(flood, ports))
        made = sum((Counter({port: count}) for port, count in zip(ports, counts)), Counter())
        self.d(*STANDBY)
        until(lambda: self.told() == (made, made), 60)
        self.assertEqual(self.told(), (made, made))
        connect, summary = self.posted(2)
        self.assertEqual(summary["connections"], sum(made.values()) - 1)
