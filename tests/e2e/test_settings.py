"""Saving the settings: Save Settings, the close sequence and its question,
the shutdown query and a shutdown that does not happen."""
import os
import socket
import unittest

from velmo_e2e import (CONFIRM_EXIT, EXIT, LISTEN, SAVE_QUESTION, SAVE_SETTINGS, STANDBY, WM_ENDSESSION,
                       WM_QUERYENDSESSION, ProgramTestCase, connect, free_port, refuses)

NETBUS_BUTTON, NETBUS_PORT = 2003, 12345


class SettingsTests(ProgramTestCase):
    def start_custom(self, **values):
        self.port = free_port()
        self.write_settings(daemon=5, custom=self.custom_script(self.port), **values)
        self.start()

    def listen_on_netbus_and_stand_by(self):
        """Changes the settings without a settings file."""
        self.driver.ok("click", NETBUS_BUTTON)
        self.driver.wait("1", "checked", NETBUS_BUTTON)
        self.command(LISTEN)
        self.assert_listening()
        connect(NETBUS_PORT).close()
        self.command(STANDBY)
        self.assert_standing_by()

    def test_save_while_listening_listens_at_next_start(self):
        self.start_custom()
        self.command(LISTEN)
        self.assert_listening()
        self.command(SAVE_SETTINGS)
        saved = self.settings_when(lambda text: "LSN=1" in text and "CWR=" in text)
        self.assertTrue(saved.startswith("[Velmoranth Settings v1.9]\r\nLSN=1\r\nMDN=5\r\nMLD=0\r\n"), saved)
        # Saved means unchanged: the close neither asks nor writes.
        os.utime(os.path.join(self.folder, "velmo.sav"), (0, 0))
        self.command(EXIT)
        self.assertEqual(self.wait_exit(), "0")
        self.assertEqual(os.path.getmtime(os.path.join(self.folder, "velmo.sav")), 0)
        # The next start comes up listening by itself, still hidden.
        self.start()
        self.assert_listening()
        self.assertEqual(self.driver.ok("visible"), "0")
        with connect(self.port) as caller:
            self.assertEqual(caller.recv(100), b"Hello\r\nName: ")

    def test_close_unchanged_neither_asks_nor_saves(self):
        self.start()
        self.command(EXIT)
        self.assertEqual(self.wait_exit(), "0")
        self.assertFalse(self.has_settings())

    def test_close_question_cancel_then_no(self):
        self.start()
        self.listen_on_netbus_and_stand_by()
        self.command(LISTEN)
        self.assert_listening()
        self.command(EXIT)
        self.wait_box(CONFIRM_EXIT, SAVE_QUESTION)
        self.press(CONFIRM_EXIT, "cancel")
        # Cancel: the program goes on exactly as before, still listening.
        self.assertEqual(self.driver.ok("exited"), "running")
        self.assert_listening()
        connect(NETBUS_PORT).close()
        self.driver.ok("post", 0x0010, 0, 0)  # WM_CLOSE, as the close box sends it
        self.wait_box(CONFIRM_EXIT, SAVE_QUESTION)
        self.press(CONFIRM_EXIT, "no")
        self.assertEqual(self.wait_exit(), "0")
        self.assertFalse(self.has_settings())

    def test_close_question_yes_saves(self):
        self.start()
        self.listen_on_netbus_and_stand_by()
        self.command(EXIT)
        self.wait_box(CONFIRM_EXIT, SAVE_QUESTION)
        self.press(CONFIRM_EXIT, "yes")
        self.assertEqual(self.wait_exit(), "0")
        self.assertEqual(self.settings(),
                         "[Velmoranth Settings v1.9]\r\nLSN=0\r\nMDN=4\r\nMLD=0\r\nMLP===\r\n"
                         "CRN=1\r\nCPN=1\r\nCWE===\r\nCR1===\r\nCR2===\r\n"
                         "CCT=0\r\nCE1=0\r\nCE2=0\r\nCWR=0\r\n")

    def test_close_with_settings_file_saves_silently(self):
        self.start_custom()
        self.command(LISTEN)
        self.assert_listening()
        self.command(EXIT)
        self.assertEqual(self.wait_exit(), "0")
        self.assertIn("LSN=1\r\nMDN=5\r\n", self.settings())
        self.assertTrue(refuses(self.port))

    def test_shutdown_query_saves_and_failed_shutdown_listens_again(self):
        self.start_custom()
        self.command(LISTEN)
        self.assert_listening()
        os.remove(os.path.join(self.folder, "velmo.sav"))
        self.assertEqual(self.driver.ok("send", WM_QUERYENDSESSION, 0, 0), "1")
        self.assertTrue(refuses(self.port))
        self.assertIn("LSN=1\r\nMDN=5\r\n", self.settings())
        # The session goes on after all: the window said "Listening", so it
        # listens again.
        self.driver.ok("post", WM_ENDSESSION, 0, 0)
        with connect(self.port) as caller:
            self.assertEqual(caller.recv(100), b"Hello\r\nName: ")
        self.assert_listening()
        self.command(STANDBY)
        self.assert_standing_by()
        self.assertTrue(refuses(self.port))

    def test_failed_shutdown_with_port_taken_stands_by(self):
        self.start_custom()
        self.command(LISTEN)
        self.assert_listening()
        self.assertEqual(self.driver.ok("send", WM_QUERYENDSESSION, 0, 0), "1")
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as taken:
            taken.bind(("127.0.0.1", self.port))
            taken.listen(1)
            self.driver.ok("post", WM_ENDSESSION, 0, 0)
            self.wait_box("Error #3", "Listen failed.\n\nBind()")
            self.press("Error #3", "ok")
        self.assert_standing_by()
        self.command(LISTEN)
        self.assert_listening()
        connect(self.port).close()


if __name__ == "__main__":
    unittest.main()
