"""The main window: first start, layout, hiding and showing, tray, keys."""
import os
import unittest

from velmo_e2e import (CONFIRM_EXIT, DAEMON_BUTTONS, EXIT, LISTEN, LOG_CHECK, RESTORE, SAVE_QUESTION, SC_MINIMIZE,
                       STANDBY, WM_SYSCOMMAND, ProgramTestCase, free_port)

# Class, id, x, y, width, height and text of the children, in creation order.
LAYOUT = [
    ("Button", 2000, 30, 30, 15, 15, ""),
    ("Button", 2001, 30, 48, 15, 15, ""),
    ("Button", 2002, 30, 66, 15, 15, ""),
    ("Button", 2003, 30, 84, 15, 15, ""),
    ("Button", 2004, 30, 102, 15, 15, ""),
    ("Button", 0, 20, 10, 110, 148, "Daemons"),
    ("Button", 0, 150, 78, 85, 80, "Logging"),
    ("Static", 0, 47, 30, 85, 15, "FreeBSD 5.1"),
    ("Static", 0, 47, 48, 85, 15, "RedHat 8.0"),
    ("Static", 0, 47, 66, 85, 15, "SubSeven 2.1"),
    ("Static", 0, 47, 84, 85, 15, "NetBus 1.60"),
    ("Static", 0, 47, 102, 60, 15, "Custom"),
    ("Static", 0, 177, 100, 60, 15, "Log"),
    ("Button", 3000, 42, 125, 64, 23, "Preview"),
    ("Button", 3001, 160, 16, 65, 23, "Listen"),
    ("Button", 3002, 160, 45, 65, 23, "StandBy"),
    ("Button", 3003, 205, 101, 20, 14, ">"),
    ("Button", 3005, 160, 100, 15, 15, ""),
    ("Button", 3004, 160, 125, 65, 23, "View Log"),
]

BS_AUTORADIOBUTTON, BS_CHECKBOX, BS_GROUPBOX, WS_GROUP = 0x9, 0x2, 0x7, 0x00020000
WS_TABSTOP = 0x00010000
WS_EX_STATICEDGE = 0x00020000
VK_ESCAPE = 0x1B
CTRL_L, CTRL_S = 0x0C, 0x13


def parse_children(listing):
    children = []
    for entry in listing.split(" | "):
        head, _, text = entry.partition(' "')
        fields = head.split()
        children.append((fields[0], int(fields[1]), *map(int, fields[2:6]), text[:-1]))
    return children


class WindowTests(ProgramTestCase):
    def test_first_start_without_settings(self):
        self.start()
        d = self.driver
        self.assertEqual(d.ok("visible"), "0")
        self.assertEqual(d.ok("text"), "Velmoranth")
        self.assertEqual(d.ok("status", 0), "Standing By")
        self.assertEqual(d.ok("status", 1), "Velmoranth (v1.9)")
        self.assertEqual([d.ok("checked", b) for b in DAEMON_BUTTONS], ["1", "0", "0", "0", "0"])
        self.assertEqual(d.ok("checked", LOG_CHECK), "0")
        self.assertEqual(d.ok("enabled", LISTEN), "1")
        self.assertEqual(d.ok("enabled", STANDBY), "0")
        self.assertFalse(self.has_settings())

    def test_hidden_whatever_the_show_command(self):
        self.start(show=3)  # SW_SHOWMAXIMIZED
        self.assertEqual(self.driver.ok("visible"), "0")
        self.assertEqual(self.driver.ok("iconic"), "0")

    def test_layout_of_the_controls(self):
        self.start()
        d = self.driver
        self.assertEqual(d.ok("rect"), "150 50 261 240")
        self.assertTrue(int(d.ok("exstyle"), 16) & WS_EX_STATICEDGE)
        children = parse_children(d.ok("children"))
        self.assertEqual(children[:-1], LAYOUT)
        status_class, status_id, x, y, width, height, _ = children[-1]
        self.assertEqual((status_class, status_id), ("msctls_statusbar32", 0))
        client_width, client_height = map(int, d.ok("client").split())
        self.assertEqual((x, y + height, width), (0, client_height, client_width))
        for button in DAEMON_BUTTONS:
            self.assertEqual(int(d.ok("style", button), 16) & 0xF, BS_AUTORADIOBUTTON)
        self.assertEqual(int(d.ok("style", LOG_CHECK), 16) & 0xF, BS_CHECKBOX)
        for control in (LOG_CHECK, LISTEN, STANDBY):
            self.assertFalse(int(d.ok("style", control), 16) & WS_TABSTOP)

    def test_daemon_buttons_form_one_group(self):
        self.start()
        d = self.driver
        d.ok("click", 2002)
        d.wait("1", "checked", 2002)
        self.assertEqual([d.ok("checked", b) for b in DAEMON_BUTTONS], ["0", "0", "1", "0", "0"])
        d.ok("click", 2004)
        d.wait("1", "checked", 2004)
        self.assertEqual([d.ok("checked", b) for b in DAEMON_BUTTONS], ["0", "0", "0", "0", "1"])

    def test_minimise_hides_and_tray_double_click_shows(self):
        self.start()
        d = self.driver
        self.command(RESTORE)
        d.wait("1", "visible")
        d.ok("post", WM_SYSCOMMAND, SC_MINIMIZE, 0)
        d.wait("0", "visible")
        # Other mouse messages and other icon ids do nothing.
        d.ok("tray", "lbuttondown")
        d.ok("tray", "lbuttondblclk", 1009)
        d.ok("tray", "rbuttondblclk")
        d.ok("sleep", 300)
        self.assertEqual(d.ok("visible"), "0")
        d.ok("tray", "lbuttondblclk")
        d.wait("1", "visible")
        d.wait("0", "iconic")
        # A shell that restarted asks for the icon again; the window carries on.
        d.ok("post-registered", "TaskbarCreated")
        d.ok("tray", "lbuttondblclk")
        d.wait("1", "visible")
        self.assertEqual(d.ok("status"), "Standing By")

    def test_tray_menu_opens_and_exits(self):
        self.start()
        d = self.driver
        d.ok("tray", "rbuttondown")
        d.wait("1", "menu-open")
        d.ok("menu-key", VK_ESCAPE)
        d.wait("0", "menu-open")
        d.ok("tray", "rbuttondown")
        d.wait("1", "menu-open")
        d.ok("menu-char", ord("x"))  # "E&xit"
        self.assertEqual(self.wait_exit(), "0")

    def test_accelerators(self):
        port = free_port()
        self.write_settings(daemon=5, custom=self.custom_script(port))
        self.start()
        d = self.driver
        self.command(RESTORE)
        d.wait("1", "visible")
        d.ok("char", CTRL_L)
        self.assert_listening()
        d.ok("char", CTRL_L)
        self.assert_standing_by()
        os.remove(os.path.join(self.folder, "velmo.sav"))
        d.ok("char", CTRL_S)
        self.assertIn("LSN=0\r\nMDN=5\r\n", self.settings_when(lambda text: "CWR=" in text))
        # Real key presses, typed into the window in the foreground.
        d.ok("keys", "ctrl+l")
        self.assert_listening()
        d.ok("keys", "esc")
        d.wait("0", "visible")
        self.command(RESTORE)
        d.wait("1", "visible")
        # Alt+x: the close sequence, which saves silently now that the file exists.
        d.ok("keys", "alt+x")
        self.assertEqual(self.wait_exit(), "0")
        self.assertIn("LSN=1\r\nMDN=5\r\n", self.settings())


if __name__ == "__main__":
    unittest.main()
