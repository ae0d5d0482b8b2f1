"""Real TCP callers on 127.0.0.1 against the listening program."""
import datetime
import os
import re
import unittest

from velmo_e2e import LISTEN, ProgramTestCase, connect, free_port, receive_quiet, receive_until

TELNET_GREETING = bytes([255, 251, 1, 255, 253, 3, 255, 251, 3, 255, 254, 1])
SUBSEVEN_BUTTON = 2002


class CallerTests(ProgramTestCase):
    def test_freebsd_caller_on_port_23_is_logged(self):
        self.write_settings(daemon=1, log_enabled=1, log_path="calls.log")
        self.start()
        self.command(LISTEN)
        self.assert_listening()
        day = datetime.date.today()
        try:
            caller = connect(23)
        except PermissionError:
            self.fail("binding port 23 under Wine needs root")
        with caller:
            received = bytearray()
            receive_until(caller, received, b"Login: ")
            self.assertEqual(bytes(received), TELNET_GREETING + b"FreeBSD 5.1\r\n\r\nLogin: ")
            self.assert_listening("Detected!")
            caller.sendall(b"root\r\n")
            receive_until(caller, received, b"Password: ")
            caller.sendall(b"x\r\n")
            receive_until(caller, received, b"Incorrect Login.\r\n")
            # Two ticks later the conversation has started over.
            receive_until(caller, received, b"\r\nLogin: ")
            self.assertEqual(bytes(received),
                             TELNET_GREETING + b"FreeBSD 5.1\r\n\r\nLogin: " + b"root\r" + b"\n\rPassword: "
                             + b"\n\rIncorrect Login.\r\n" + b"\r\nLogin: ")
        # The caller hung up: back to listening.
        self.wait_status("Listening")
        with open(os.path.join(self.folder, "calls.log"), "rb") as f:
            log = f.read().decode("ascii")
        match = re.fullmatch(r"127\.0\.0\.1 :23 / (\d\d)\.(\d\d)\.(\d{4}) / \d\d:\d\d\r\n", log)
        self.assertTrue(match, log)
        logged = datetime.date(int(match.group(3)), int(match.group(2)), int(match.group(1)))
        self.assertIn(logged, (day, datetime.date.today()))

    def test_subseven_caller(self):
        self.start()
        self.driver.ok("click", SUBSEVEN_BUTTON)
        self.driver.wait("1", "checked", SUBSEVEN_BUTTON)
        self.command(LISTEN)
        self.assert_listening()
        with connect(27374) as caller:
            received = bytearray()
            receive_until(caller, received, b"\r\n")
            self.assertEqual(bytes(received), b"SubSeven 2.1 \r\n")
            self.assert_listening("Detected!")
            # No telnet bytes, no echo, and each line is answered with nothing.
            caller.sendall(b"hello\r\n")
            self.assertEqual(receive_quiet(caller, 1.2), b"")
        self.wait_status("Listening")
        # Logging is off: nothing was written anywhere in the folder.
        self.assertEqual(sorted(os.listdir(self.folder)), [])

    def test_custom_daemon_hangs_up_after_goodbye(self):
        port = free_port()
        self.write_settings(daemon=5, custom=self.custom_script(port))
        self.start()
        self.command(LISTEN)
        self.assert_listening()
        for _ in range(2):  # a second caller is served the same way
            with connect(port) as caller:
                received = bytearray()
                receive_until(caller, received, b"Name: ")
                caller.sendall(b"ann\r\n")
                receive_until(caller, received, b"Pass: ")
                caller.sendall(b"secret\r\n")
                receive_until(caller, received, b"Bye.\r\n")
                # replyCount 2 and no timer: the next tick hangs up. The line
                # feed after the last carriage return is never read, so the
                # system may reset the connection instead of closing it.
                caller.settimeout(3)
                try:
                    self.assertEqual(caller.recv(100), b"")
                except ConnectionResetError:
                    pass
                self.assertEqual(bytes(received), b"Hello\r\nName: Pass: Bye.\r\n")
            self.wait_status("Listening")


if __name__ == "__main__":
    unittest.main()
