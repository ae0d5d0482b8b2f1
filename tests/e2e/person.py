"""E-mail and webhook alerts from the real program to real servers of the test's own on 127.0.0.1: aiosmtpd with
STARTTLS or TLS and a sign-in, HTTPS receivers, tinyproxy as the user's proxy; the test CA trusted through pki.py."""
import json, logging, re, socket, ssl, struct, subprocess, threading
from datetime import datetime, timezone
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult
from collector import until
from journeys import CTRL_L, EXE, PREFIX, WINE_RUN, Journeys, custom, end_wine, free_port, receive, settings
from pki import make_pki, trust

USER, PASSWORD, FROM, TO = "decoy", "Velmo pass 7", "decoy@example.net", "admin@example.net, desk@example.net"
HOST, EVENTS = socket.gethostname().lower(), "connect,listen,standby"  # Wine's fully qualified name
TICK, PUMP = "post 0x113 10004 0", "post 0x113 10007 0"  # WM_TIMER: the listener's poll; the alerts' delivery
EXIT = "post-command 1002", "wait 0 wait-exit"
STANDBY = CTRL_L, 'wait "Standing By" status'
MAIL = ("Date: {date}\r\nFrom: Velmoranth <%s>\r\nTo: %s\r\nSubject: Velmoranth: connection from 127.0.0.1 to port "
        "{port} on %s\r\nMessage-ID: <2.{pid}.{stamp}.connect-{port}-127.0.0.1@%s>\r\nMIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\nEvent: connect\r\n"
        "Time (UTC): {utc}\r\nTime (local): {local}\r\nCaller address: 127.0.0.1\r\nCaller port: {caller}\r\n"
        "Local port: {port}\r\nDaemon: Custom\r\nPC: %s\r\nVersion: 1.9\r\nSequence id: 2\r\n\r\n"
        "Connection from 127.0.0.1:{caller} to port {port} (Custom)\r\n") % (FROM, TO, HOST, HOST, HOST)
logging.getLogger("mail.log").setLevel(logging.ERROR)  # not aiosmtpd's warning of its own at each sign-in


def compact(document):
    return json.dumps(document, separators=(",", ":")).encode()


def chat_body(form, text):  # a chat format's body for an event's readable text
    said = "Velmoranth on %s: %s" % (HOST, text)
    card = {"type": "message", "attachments": [{"contentType": "application/vnd.microsoft.card.adaptive",
            "contentUrl": None, "content": {"$schema": "http://adaptivecards.io/schemas/adaptive-card.json",
            "type": "AdaptiveCard", "version": "1.4", "body": [{"type": "TextBlock", "text": said, "wrap": True}]}}]}
    return text.encode() if form == "ntfy" else compact(dict(slack={"text": said}, discord={"content": said},
                                                             teams=card)[form])


class Hook(BaseHTTPRequestHandler):
    log_message = lambda *_: None  # noqa: E731

    def do_POST(self):  # Retry-After on every answer: only a 429's counts
        self.server.posts.append((self.path, dict(self.headers), self.rfile.read(int(self.headers["Content-Length"]))))
        self.send_response(self.server.replies.pop(0) if self.server.replies else 200)
        self.send_header("Retry-After", "1")
        self.send_header("Content-Length", "0")
        self.end_headers()


class Receiver(ThreadingHTTPServer):
    """HTTPS with `name`.crt: keeps each POST (target, headers, body), answers the next of `replies`, then 200; counts
    the connections, whose handshake may fail."""
    daemon_threads = True

    def __init__(self, test, name):
        super().__init__(("127.0.0.1", 0), Hook)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(test.folder / (name + ".crt"), test.folder / (name + ".key"))
        self.posts, self.replies, self.connections = [], [], 0
        self.url = "https://localhost:%d/hook" % self.server_address[1]
        threading.Thread(target=self.serve_forever, daemon=True).start()
        for cleanup in self.server_close, self.shutdown:
            test.addCleanup(cleanup)

    def get_request(self):  # the handshake in the serving thread: one that fails drops that connection alone
        connection, address = self.socket.accept()
        self.connections += 1
        connection.settimeout(20)
        return self.context.wrap_socket(connection, server_side=True), address


class Mailbox:
    """aiosmtpd's handler and authenticator for every server: what the program said (EHLO, sign-ins, MAIL) and each
    mail with the alerts file as it was then."""
    def __init__(self, alerts_file):
        self.alerts_file, self.said, self.mails = alerts_file, [], []

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        self.said.append("EHLO " + hostname)
        session.host_name = hostname  # the hook's duty, as is the envelope's sender below
        return responses

    async def handle_MAIL(self, server, session, envelope, address, options):
        self.said.append("MAIL " + address)
        envelope.mail_from = address
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.mails.append((envelope, self.alerts_file.read_bytes()))
        return "250 OK"

    def __call__(self, server, session, envelope, mechanism, login):
        self.said.append("AUTH %s %s %s" % (mechanism, login.login.decode(), login.password.decode()))
        return AuthResult(success=True, handled=False)


class Person(Journeys):
    def before_start(self):
        self.started = datetime.now(timezone.utc).replace(microsecond=0)  # the program's times have milliseconds
        trust(make_pki(self.folder))
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(self.folder / "good.crt", self.folder / "good.key")
        self.box, self.smtp = Mailbox(self.folder / "alerts.ini"), {}  # the servers' ports by the program's security
        # aiosmtpd offers AUTH over implicit TLS only when told it needs no STARTTLS; the plain server too, as a lure.
        tls_login = dict(ssl_context=tls, auth_require_tls=False, auth_exclude_mechanism=["PLAIN"])
        for security, options in (("starttls", dict(tls_context=tls, require_starttls=True, auth_required=True)),
                                  ("tls", tls_login), ("none", dict(auth_require_tls=False))):
            server = Controller(self.box, hostname="127.0.0.1", port=free_port(), server_hostname="localhost",
                                authenticator=self.box, **options)
            server.start()
            self.addCleanup(server.stop)
            self.smtp[security] = server.port
        self.hooks = {name: Receiver(self, name) for name in ("good", "self")}
        self.proxy = free_port()
        (self.folder / "tinyproxy.conf").write_text('Port %d\nListen 127.0.0.1\nLogFile "%s"\nLogLevel Connect\nAllow '
                                                    '127.0.0.1\n' % (self.proxy, self.folder / "proxy.log"))
        tinyproxy = subprocess.Popen(["/usr/bin/tinyproxy", "-d", "-c", self.folder / "tinyproxy.conf"])
        for cleanup in tinyproxy.wait, tinyproxy.terminate:
            self.addCleanup(cleanup)
        self.port = free_port()
        self.prepare("json", ("starttls", "starttls", PASSWORD), proxy=b"")

    def prepare(self, form, mail, hook="good", events="connect", proxy=None):
        """The next start's files: the webhook in `form` to a receiver, e-mail (security, server, password) or none,
        with `events`. Wine's WinHTTP blob: direct (never discovery, which looks on the network) or by `proxy`."""
        if proxy is not None:
            blob = struct.pack("<4I", 0x46, 0, 3 if proxy else 1, len(proxy)) + proxy + bytes(40)
            subprocess.run([WINE_RUN, PREFIX, "reg", "add", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet "
                            r"Settings\Connections", "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d",
                            blob.hex(), "/f"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        security, server, password = mail or ("none", "none", "")
        (self.folder / "alerts.ini").write_bytes((
            "[Velmoranth Alerts]\r\nQuiet=10\r\n[E-mail]\r\nEnabled=%d\r\nServer=localhost\r\nPort=%d\r\nSecurity=%s"
            "\r\nUser=%s\r\nPassword=%s\r\nFrom=%s\r\nTo=%s\r\nEvents=%s\r\n[Webhook]\r\nEnabled=1\r\nURL=%s\r\n"
            "Format=%s\r\nEvents=%s\r\n" % (bool(mail), self.smtp[server], security, password and USER, password,
                                            FROM, TO, events, self.hooks[hook].url, form, events)).encode())
        (self.folder / "velmo.sav").write_bytes(settings(1, 5, script=custom(port=self.port, welcome="Hi")))

    def start(self, *prepared, **proxy):  # the program again, with the files of prepare(*prepared)
        self.prepare(*prepared, **proxy)
        self.launch()

    def launch(self):  # the program again, with the files as they are
        program = subprocess.Popen([WINE_RUN, PREFIX, EXE], cwd=self.folder)
        for cleanup in program.wait, end_wine:  # run in reverse
            self.addCleanup(cleanup)
        self.pid = self.d("attach", "wait Listening status")

    def call(self):  # a caller, accepted and served (its welcome came), gone; its port
        with socket.create_connection(("127.0.0.1", self.port), timeout=20) as caller:
            self.d(TICK)
            self.assertEqual(receive(caller, b"Hi"), b"Hi")
            port = caller.getsockname()[1]
        self.d(TICK)
        return port

    def until(self, done, what):  # the alert timer's tick posted at each poll: the mail dialogue moves a step a tick
        self.assertTrue(until(lambda: not self.d(PUMP) and done()), "%s: %s" % (
            what, [self.box.said] + [hook.posts for hook in self.hooks.values()]))

    def when(self, text):  # an instant the program wrote: between the test's start and now
        instant = datetime.fromisoformat(text.replace(" +", "+"))
        self.assertTrue(self.started <= instant <= datetime.now(timezone.utc), text)
        return instant

    def assert_posts(self, posts, *bodies, headers=None, path="/hook"):  # each whole, with WinHTTP's own headers
        self.assertEqual(posts, [(path, dict(headers or {"Content-Type": "application/json"}, **{
            "User-Agent": "Velmoranth", "Host": "localhost:%d" % self.hooks["good"].server_address[1],
            "Content-Length": str(len(body))}), body) for body in bodies])

    def test_mail_and_webhooks_to_real_servers(self):
        """Incidents by STARTTLS mail and JSON after a 429; refusals; each chat format; implicit TLS; the proxy."""
        hook, box, port = self.hooks["good"], self.box, self.port
        hook.replies.append(429)
        callers = [self.call() for _ in range(3)]
        self.d(*STANDBY)
        self.until(lambda: len(box.mails) == 2 and len(hook.posts) == 3, "one alert and one summary each")
        # The mail, whole; the plain password was protected in the file before the first mail, and signed in with.
        (envelope, file), summary = box.mails
        utc, local = re.findall(r"Time \(\w+\): (.*)\r\n", envelope.content.decode())
        self.assertEqual(self.when(utc + "Z"), self.when(local))
        self.assertEqual(envelope.content.replace(b"\r\n ", b" "), MAIL.format(  # headers unfolded
            date=datetime.fromisoformat(local.replace(" +", "+")).strftime("%a, %d %b %Y %H:%M:%S %z"), port=port,
            pid=self.pid, stamp=re.sub(r"\D", "", utc), utc=utc, local=local, caller=callers[0]).encode())
        self.assertEqual((envelope.mail_from, envelope.rcpt_tos), (FROM, TO.split(", ")))
        self.assertRegex(file, rb"\r\nPassword=dpapi:[A-Za-z0-9+/=]+\r\n")
        self.assertNotIn(PASSWORD.encode(), file)
        self.assertIn(b"\r\nSubject: Velmoranth: 2 more connections from 127.0.0.1 to port %d on %s\r\n" % (
            port, HOST.encode()), summary[0].content)
        self.assertEqual(set(box.said), {"EHLO " + HOST, "AUTH PLAIN %s %s" % (USER, PASSWORD), "MAIL " + FROM})
        # The webhook: the same JSON again after the 429 and its second, then the summary.
        first, then = (json.loads(hook.posts[i][2]) for i in (0, 2))
        self.assert_posts(hook.posts, *[compact(dict(
            event="connect", time=first["time"], host=HOST, src="127.0.0.1", srcPort=callers[0], dstPort=port,
            daemon="Custom", version="1.9", sequenceId=2,
            text="Connection from 127.0.0.1:%d to port %d (Custom)" % (callers[0], port)))] * 2, compact({
                "event": "summary", "time": then["time"], "host": HOST, "src": "127.0.0.1", "dstPort": port,
                "daemon": "Custom", "connections": 2, "addresses": 1, "from": then["from"], "to": then["to"],
                "version": "1.9", "sequenceId": 4, "text": "2 more connections from 127.0.0.1 to port %d between %s "
                "and %s" % (port, then["from"][11:16], then["to"][11:16])}))
        self.assertEqual(self.when(first["time"]), self.when(utc + "Z"))
        # STARTTLS required of a server without it, and a receiver whose certificate no one vouches for: nothing.
        protected, said = re.search(rb"Password=(.*)\r\n", file)[1].decode(), len(box.said)
        self.d(*EXIT)
        self.start("json", ("starttls", "none", protected), "self", EVENTS)
        self.until(lambda: self.hooks["self"].connections >= 2 and len(box.said) >= said + 2, "a try, and one more")
        self.d(*EXIT)
        self.assertEqual(box.said[said:], ["EHLO " + HOST] * (len(box.said) - said))
        self.assertEqual(self.hooks["self"].posts, [])
        said = len(box.said)
        # Each chat format, for listening's start, a caller and the stop; the mail by implicit TLS and LOGIN; the proxy.
        for form, mail, proxy in (("slack", ("tls", "tls", protected), None), ("discord", None, None),
                                  ("ntfy", None, None), ("teams", None, b"127.0.0.1:%d" % self.proxy)):
            posted, mailed = len(hook.posts), len(box.mails)
            self.start(form, mail, "good", EVENTS, proxy=proxy)
            texts = ["Listening on port %d (Custom)" % port, "Connection from 127.0.0.1:%d to port %d (Custom)" % (
                self.call(), port), "Stopped listening on port %d (Custom)" % port]
            self.d(*STANDBY)
            self.until(lambda: len(hook.posts) == posted + 3 and len(box.mails) == mailed + 3 * bool(mail), form)
            self.d(*EXIT)
            for post, text, event in zip(hook.posts[posted:], texts, ("listen", "connect", "standby")):
                ntfy = {"Content-Type": "text/plain", "Title": "Velmoranth on " + HOST,
                        "Priority": "34"[event == "connect"], "Tags": "warning," * (event == "connect") + event}
                self.assert_posts([post], chat_body(form, text), headers=form == "ntfy" and ntfy,
                                  path=hook.url if proxy else "/hook")  # absolute-form inside the proxy's tunnel
        self.assertEqual(set(box.said[said:]), {"EHLO " + HOST, "AUTH LOGIN %s %s" % (USER, PASSWORD), "MAIL " + FROM})
        self.assertEqual([re.search(rb"Subject: Velmoranth: (\w+)", mail[0].content)[1] for mail in box.mails[2:]],
                         [b"listening", b"connection", b"stopped"])
        self.assertIn("CONNECT localhost:%d" % hook.server_address[1], (self.folder / "proxy.log").read_text())
        # The test CA names no revocation list: each POST's first handshake, checking revocation, fails; it goes again
        # without the check (the certificate is not revoked, its revocation could not be checked).
        self.assertEqual(hook.connections, 2 * len(hook.posts))
        # A plain password beside a damaged webhook: protected at the start in its own line, every other byte kept,
        # the webhook off; while the file is read-only, the password stays as written and the E-mail page says so.
        for read_only in False, True:
            self.prepare("xml", ("tls", "tls", PASSWORD))
            alerts_file = self.folder / "alerts.ini"
            written = alerts_file.read_bytes()
            alerts_file.chmod(0o444 if read_only else 0o644)
            self.launch()
            kept = alerts_file.read_bytes()
            alerts_file.chmod(0o644)
            protected = rb"(?<=\r\nPassword=)dpapi:[A-Za-z0-9+/=]+(?=\r\n)"
            self.assertEqual((re.sub(protected, PASSWORD.encode(), kept), kept == written), (written, read_only))
            plain = " The password is stored in the clear in alerts.ini: it could not be protected." * read_only
            self.d("post-command 1010", 'wait 1 shown "Alerts"')
            told = ('alerts.ini: [Webhook] the format "xml" is not json, slack, discord, teams or ntfy. '
                    'This channel is off.')
            self.assertEqual([self.d('text "Alerts" %d' % control) for control in (9323, 9209, 9222)], [told, (
                "Stored in the clear: it could not be protected." if read_only else
                "A password is stored: left empty, it is kept."), "Sent 0, waiting 0, dropped 0." + plain])
            self.d('press "Alerts" cancel', 'wait 0 shown "Alerts"', *EXIT)
