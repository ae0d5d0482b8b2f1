"""Listen and StandBy, the listener's failures, the log check box."""
import socket
import unittest

from velmo_e2e import (DAEMON_BUTTONS, LISTEN, LOG_CHECK, STANDBY, TOGGLE_LISTEN, ProgramTestCase, connect,
                       free_port, refuses)


class WindowStateTests(ProgramTestCase):
    def start_custom(self, **values):
        self.port = free_port()
        self.write_settings(daemon=5, custom=self.custom_script(self.port), **values)
        self.start()

    def test_listen_and_standby_from_buttons(self):
        self.start_custom()
        d = self.driver
        d.ok("click", LISTEN)
        self.assert_listening()
        connect(self.port).close()
        # Listen while listening changes nothing.
        self.command(LISTEN)
        d.ok("sleep", 200)
        self.assert_listening()
        d.ok("click", STANDBY)
        self.assert_standing_by()
        self.assertTrue(refuses(self.port))
        # StandBy while standing by changes nothing.
        self.command(STANDBY)
        d.ok("sleep", 200)
        self.assert_standing_by()
        self.assertEqual(d.ok("checked", DAEMON_BUTTONS[4]), "1")

    def test_listen_and_standby_from_toggle_command(self):
        self.start_custom()
        self.command(TOGGLE_LISTEN)
        self.assert_listening()
        connect(self.port).close()
        self.command(TOGGLE_LISTEN)
        self.assert_standing_by()
        self.assertTrue(refuses(self.port))
        self.command(TOGGLE_LISTEN)
        self.assert_listening()

    def test_port_in_use_shows_error_3(self):
        self.start_custom()
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as taken:
            taken.bind(("127.0.0.1", self.port))
            taken.listen(1)
            self.command(LISTEN)
            self.wait_box("Error #3", "Listen failed.\n\nBind()")
            # The poll timer never started: the status stays put under the box.
            self.assertEqual(self.driver.ok("status"), "Standing By")
            self.press("Error #3", "ok")
        self.assert_standing_by()
        # Nothing changed, so closing neither asks nor saves anything new.
        before = self.settings()
        self.command(1002)
        self.assertEqual(self.wait_exit(), "0")
        self.assertEqual(self.settings(), before)

    def test_log_box_without_path_shows_error_9(self):
        self.start()
        d = self.driver
        self.command(LOG_CHECK)
        self.wait_box("Error #9", "No log path set.")
        self.press("Error #9", "ok")
        self.assertEqual(d.ok("checked", LOG_CHECK), "0")
        # Nothing changed: closing asks nothing and writes no file.
        self.command(1002)
        self.assertEqual(self.wait_exit(), "0")
        self.assertFalse(self.has_settings())

    def test_log_box_with_path_toggles(self):
        self.write_settings(log_enabled=1, log_path="calls.log")
        self.start()
        d = self.driver
        self.assertEqual(d.ok("checked", LOG_CHECK), "1")
        d.ok("click", LOG_CHECK)
        d.wait("0", "checked", LOG_CHECK)
        d.ok("click", LOG_CHECK)
        d.wait("1", "checked", LOG_CHECK)
        self.command(LOG_CHECK)
        d.wait("0", "checked", LOG_CHECK)
        self.command(1002)
        self.assertEqual(self.wait_exit(), "0")
        self.assertIn("MLD=0\r\n", self.settings())


if __name__ == "__main__":
    unittest.main()
