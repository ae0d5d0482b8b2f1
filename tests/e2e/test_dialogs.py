"""The five dialogs, driven from outside: Set Custom Daemon with its custom
daemon files, Set Log Path, Connections Log, Preview Chosen Daemon, About."""
import os
import shutil
import unittest

from velmo_e2e import (DAEMON_BUTTONS, EXIT, LISTEN, LOG_PATH_BUTTON, PREVIEW, RESTORE, SAVE_SETTINGS, STANDBY, VIEW_LOG,
                       WORK_ROOT, ProgramTestCase, connect, encode_text, escaped, free_port, receive_until, refuses)

SET_CUSTOM, SET_LOG_PATH, ABOUT = 1003, 1004, 1005

CUSTOM = "Set Custom Daemon"
WELCOME, REPLY, GOODBYE, REPLY_COUNT, PORT, OK, CANCEL, LOAD, SAVE = 4001, 4002, 4003, 4005, 4006, 4007, 4008, 4009, 4010
ECHO_WELCOME, ECHO_REPLY, TIMER, REPEAT, REPEAT_LABEL = 4011, 4012, 4013, 4014, 4015

LOG_PATH = "Set Log Path"
PATH_FIELD, BROWSE, PATH_OK, PATH_CANCEL = 5001, 5002, 5003, 5004

CONNECTIONS = "Connections Log"
LIST, CONNECTIONS_OK = 6001, 6002

PREVIEW_DIALOG = "Preview Chosen Daemon"
PORT_LINE, OUTLINE, PREVIEW_OK, TIMER_LINE = 7001, 7002, 7003, 7004

ABOUT_DIALOG = "About Velmoranth"
ABOUT_OK, EMAIL, WEB, NAME = 8002, 8003, 8004, 6660

OPEN_FILE, SAVE_FILE = "Open", "Save As"
EM_SETSEL, EM_GETLIMITTEXT = 0x00B1, 0x00D5

# Under Wine the shell hands links to the first of these programs it finds on
# the PATH. The About test puts stand-ins for all of them first on the PATH:
# each only notes the link it was given, so no browser or mail program is
# ever started and nothing leaves the machine.
LINK_OPENERS = ("xdg-open", "xdg-email", "firefox", "konqueror", "mozilla", "netscape", "galeon", "opera", "dillo",
                "mozilla-thunderbird", "thunderbird", "evolution", "sensible-browser", "x-www-browser",
                "www-browser")


def unescaped(value):
    out, i = [], 0
    while i < len(value):
        c = value[i]
        if c == "\\" and i + 1 < len(value):
            n = value[i + 1]
            if n == "x":
                out.append(chr(int(value[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append({"r": "\r", "n": "\n", "t": "\t"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def custom_file(header, lines):
    return (header + "\r\n" + "".join(line + "\r\n" for line in lines)).encode("latin-1")


def current_layout(reply_count, port, welcome, reply, goodbye, timer, echo_welcome, echo_reply, repeat):
    return custom_file("[Velmoranth Custom Protocol v1.9]", [
        "CRN=%d" % reply_count, "CPN=%d" % port, "CWE=" + encode_text(welcome), "CR1=" + encode_text(reply),
        "CR2=" + encode_text(goodbye), "CCT=%d" % timer, "CE1=%d" % echo_welcome, "CE2=%d" % echo_reply,
        "CWR=%d" % repeat])


class DialogTestCase(ProgramTestCase):
    def path(self, name):
        return os.path.join(self.folder, name)

    def windows_path(self, name):
        return "Z:" + self.path(name).replace("/", "\\")

    def write_file(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read_file(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def open_dialog(self, command_id, caption):
        self.command(command_id)
        self.driver.wait("1", "dialog-shown", caption)
        self.assertEqual(self.driver.ok("owner", caption), "main")

    def show_window(self):
        self.command(RESTORE)  # a click needs the window shown
        self.driver.wait("1", "visible")

    # A click that arrives while the main window is still disabled by the
    # dialog just closed is lost: click until the button is checked.
    def choose_daemon(self, button):
        for _ in range(50):
            self.driver.ok("click", button)
            if self.driver.ok("checked", button) == "1":
                return
            self.driver.ok("sleep", 50)
        self.fail("daemon button %d not checked" % button)

    def text(self, caption, control):
        return unescaped(self.driver.ok("dialog-text", caption, control))

    def put(self, caption, control, value):
        self.driver.ok("dialog-put-text", caption, control, escaped(value))

    def state(self, query, caption, control):
        return self.driver.ok(query, caption, control)

    def button(self, caption, control):
        self.driver.ok("press", caption, control)

    def close_dialog(self, caption, control):
        self.button(caption, control)
        self.driver.wait("0", "dialog-shown", caption)

    def expect_notice(self, caption, text, owned_by_main=False):
        self.driver.wait(text, "box", caption)
        self.assertEqual(self.driver.ok("owner", caption) == "main", owned_by_main)
        self.press(caption, "ok")

    def choose_file(self, caption, name):
        self.driver.wait("1", "dialog-shown", caption)
        self.driver.ok("file-dialog", caption, self.path(name))
        self.driver.wait("0", "dialog-shown", caption)

    def custom_controls(self):
        d = self.driver
        return dict(
            welcome=self.text(CUSTOM, WELCOME), reply=self.text(CUSTOM, REPLY), goodbye=self.text(CUSTOM, GOODBYE),
            reply_count=d.ok("dialog-selected", CUSTOM, REPLY_COUNT), port=self.text(CUSTOM, PORT),
            timer=d.ok("dialog-selected", CUSTOM, TIMER), echo_welcome=d.ok("dialog-checked", CUSTOM, ECHO_WELCOME),
            echo_reply=d.ok("dialog-checked", CUSTOM, ECHO_REPLY), repeat=d.ok("dialog-checked", CUSTOM, REPEAT),
            repeat_enabled=d.ok("dialog-enabled", CUSTOM, REPEAT),
            repeat_label_enabled=d.ok("dialog-enabled", CUSTOM, REPEAT_LABEL))

    def wait_settings(self):
        for _ in range(100):
            if self.has_settings():
                return self.settings()
            self.driver.ok("sleep", 50)
        self.fail("no settings file")

    # The file dialog is gone a moment before the program has read or written
    # the file: wait for the control the load changes, or for the file.
    def load(self, name, control, value):
        self.button(CUSTOM, LOAD)
        self.choose_file(OPEN_FILE, name)
        self.driver.wait(value, "dialog-text", CUSTOM, control)

    def save(self, name):
        self.button(CUSTOM, SAVE)
        self.choose_file(SAVE_FILE, name)

    def wait_file(self, name, expected):
        data = None
        for _ in range(100):
            if os.path.exists(self.path(name)):
                data = self.read_file(name)
                if data == expected:
                    break
            self.driver.ok("sleep", 50)
        self.assertEqual(data, expected)


class CustomDaemonDialogTests(DialogTestCase):
    def test_first_run_shows_the_empty_custom_script(self):
        self.start()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        self.assertEqual(self.custom_controls(), dict(
            welcome="", reply="", goodbye="", reply_count="0", port="1", timer="0", echo_welcome="0",
            echo_reply="0", repeat="0", repeat_enabled="0", repeat_label_enabled="0"))
        self.close_dialog(CUSTOM, CANCEL)
        self.command(EXIT)
        self.wait_exit()
        self.assertFalse(self.has_settings())

    def test_hand_edited_list_values_open_at_the_nearest_entry(self):
        self.write_settings(custom=self.custom_script(1, reply_count=5, timer=9, repeat=1))
        self.start()
        os.remove(self.path("velmo.sav"))  # read at the start; the save below writes it anew
        self.open_dialog(SET_CUSTOM, CUSTOM)
        controls = self.custom_controls()
        self.assertEqual((controls["reply_count"], controls["timer"], controls["repeat"], controls["repeat_enabled"]),
                         ("1", "4", "1", "1"))
        self.close_dialog(CUSTOM, OK)
        self.command(SAVE_SETTINGS)
        settings = self.wait_settings()
        self.assertIn("CRN=2\r\n", settings)
        self.assertTrue(settings.endswith("CCT=4\r\nCE1=0\r\nCE2=0\r\nCWR=1\r\n"))

    def test_port_checks_on_ok_and_save(self):
        self.start()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        for value, notice in (("0", 7), ("", 7), ("65537", 8), ("4294967295", 8), ("4294967296", 7)):
            self.put(CUSTOM, PORT, value)
            self.button(CUSTOM, OK)
            self.expect_notice("Error #%d" % notice,
                               "No custom port set." if notice == 7 else "The maximum port number is 65536.")
            self.assertEqual(self.text(CUSTOM, PORT), value)
        self.put(CUSTOM, PORT, "65537")
        self.save("refused.vlm")
        self.expect_notice("Error #8", "The maximum port number is 65536.")
        self.assertFalse(os.path.exists(self.path("refused.vlm")))
        # Refused and then cancelled: the Custom script keeps its port.
        self.close_dialog(CUSTOM, CANCEL)
        self.open_dialog(SET_CUSTOM, CUSTOM)
        self.assertEqual(self.text(CUSTOM, PORT), "1")
        self.put(CUSTOM, PORT, "65536")
        self.close_dialog(CUSTOM, OK)
        self.command(SAVE_SETTINGS)
        self.assertIn("CPN=65536\r\n", self.wait_settings())

    def test_none_unticks_and_disables_repeat(self):
        self.start()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        d = self.driver
        d.ok("dialog-select", CUSTOM, TIMER, 1)
        self.assertEqual(self.state("dialog-enabled", CUSTOM, REPEAT), "1")
        self.assertEqual(self.state("dialog-enabled", CUSTOM, REPEAT_LABEL), "1")
        d.ok("dialog-check", CUSTOM, REPEAT, 1)
        d.ok("dialog-select", CUSTOM, TIMER, 0)
        self.assertEqual(self.state("dialog-checked", CUSTOM, REPEAT), "0")
        self.assertEqual(self.state("dialog-enabled", CUSTOM, REPEAT), "0")
        self.assertEqual(self.state("dialog-enabled", CUSTOM, REPEAT_LABEL), "0")
        d.ok("dialog-select", CUSTOM, TIMER, 1)
        self.assertEqual(self.state("dialog-enabled", CUSTOM, REPEAT), "1")
        self.assertEqual(self.state("dialog-checked", CUSTOM, REPEAT), "0")
        self.close_dialog(CUSTOM, CANCEL)

    def test_texts_take_300_typed_characters_and_ok_keeps_300(self):
        self.start()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        d = self.driver
        for control in (WELCOME, REPLY, GOODBYE):
            self.assertEqual(d.ok("dialog-send", CUSTOM, control, EM_GETLIMITTEXT, 0, 0), "300")
        # A line break typed at 298 takes the last two characters; then
        # typing stops.
        self.put(CUSTOM, WELCOME, "w" * 298)
        d.ok("dialog-send", CUSTOM, WELCOME, EM_SETSEL, 298, 298)
        d.ok("dialog-type", CUSTOM, WELCOME, escaped("\rxyz"))
        d.wait("w" * 298 + "\r\n", "dialog-text", CUSTOM, WELCOME)
        d.ok("sleep", 200)
        self.assertEqual(self.text(CUSTOM, WELCOME), "w" * 298 + "\r\n")
        # A longer text put there is shown whole; OK keeps its first 300.
        self.put(CUSTOM, REPLY, "r" * 299 + "st")
        self.assertEqual(len(self.text(CUSTOM, REPLY)), 301)
        self.close_dialog(CUSTOM, OK)
        self.command(SAVE_SETTINGS)
        settings = self.wait_settings()
        self.assertIn("CWE=" + encode_text("w" * 298 + "\r\n") + "\r\n", settings)
        self.assertIn("CR1=" + encode_text("r" * 299 + "s") + "\r\n", settings)

    def test_save_then_load_gives_back_every_control(self):
        self.start()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        d = self.driver
        values = dict(welcome="Hello there\r\n  two blanks\r\nName: ", reply="Pass word: ", goodbye="Bye.\r\n\r\n")
        for control, key in ((WELCOME, "welcome"), (REPLY, "reply"), (GOODBYE, "goodbye")):
            self.put(CUSTOM, control, values[key])
        self.put(CUSTOM, PORT, "4321")
        d.ok("dialog-select", CUSTOM, REPLY_COUNT, 1)
        d.ok("dialog-select", CUSTOM, TIMER, 3)
        for box in (ECHO_WELCOME, ECHO_REPLY, REPEAT):
            d.ok("dialog-check", CUSTOM, box, 1)
        self.save("mine.vlm")
        self.wait_file("mine.vlm", current_layout(2, 4321, timer=3, echo_welcome=1, echo_reply=1, repeat=1, **values))
        self.close_dialog(CUSTOM, CANCEL)
        self.open_dialog(SET_CUSTOM, CUSTOM)
        self.assertEqual(self.text(CUSTOM, PORT), "1")
        self.load("mine.vlm", PORT, "4321")
        self.assertEqual(self.custom_controls(), dict(
            reply_count="1", port="4321", timer="3", echo_welcome="1", echo_reply="1", repeat="1",
            repeat_enabled="1", repeat_label_enabled="1", **values))
        # Load then OK makes the loaded values the Custom script.
        self.close_dialog(CUSTOM, OK)
        self.command(SAVE_SETTINGS)
        settings = self.wait_settings()
        self.assertIn("CRN=2\r\nCPN=4321\r\nCWE=" + encode_text(values["welcome"]) + "\r\n", settings)
        self.assertTrue(settings.endswith("CCT=3\r\nCE1=1\r\nCE2=1\r\nCWR=1\r\n"))

    def test_older_layouts_are_saved_again_in_the_current_one(self):
        self.start()
        texts = dict(welcome="Old\r\nLogin: ", reply="Pw: ", goodbye="No.\r\n")
        body = ["CRN=2", "CPN=2323", "CWE=" + encode_text(texts["welcome"]), "CR1=" + encode_text(texts["reply"]),
                "CR2=" + encode_text(texts["goodbye"])]
        self.write_file("old.vlm", custom_file("[Velmoranth Custom Protocol]", body))
        self.write_file("v18.vlm", custom_file("[Velmoranth Custom Protocol v1.8]", body + ["CCT=3", "CE1=1", "CE2=0"]))
        self.open_dialog(SET_CUSTOM, CUSTOM)
        d = self.driver
        d.ok("dialog-select", CUSTOM, TIMER, 2)
        for box in (ECHO_WELCOME, ECHO_REPLY, REPEAT):
            d.ok("dialog-check", CUSTOM, box, 1)
        self.load("old.vlm", PORT, "2323")
        self.assertEqual(self.custom_controls(), dict(
            reply_count="1", port="2323", timer="0", echo_welcome="0", echo_reply="0", repeat="0",
            repeat_enabled="0", repeat_label_enabled="0", **texts))
        self.wait_file("old.vlm", current_layout(2, 2323, timer=0, echo_welcome=0, echo_reply=0, repeat=0, **texts))
        self.put(CUSTOM, PORT, "1")
        self.load("v18.vlm", PORT, "2323")
        self.assertEqual(self.state("dialog-selected", CUSTOM, TIMER), "3")
        self.assertEqual(self.state("dialog-checked", CUSTOM, REPEAT), "1")
        self.wait_file("v18.vlm", current_layout(2, 2323, timer=3, echo_welcome=1, echo_reply=0, repeat=1, **texts))
        self.close_dialog(CUSTOM, CANCEL)

    def test_unknown_header_and_out_of_range_values(self):
        self.start()
        self.write_file("settings.vlm", custom_file("[Velmoranth Settings v1.9]", ["CRN=2", "CPN=23"]))
        # A hand-edited file: reply count 7, timer choice -1, repeat set.
        self.write_file("edited.vlm", custom_file("[Velmoranth Custom Protocol v1.9]", [
            "CRN=7", "CPN=77", "CWE===", "CR1===", "CR2===", "CCT=-1", "CE1=0", "CE2=0", "CWR=1"]))
        self.open_dialog(SET_CUSTOM, CUSTOM)
        before = self.custom_controls()
        self.button(CUSTOM, LOAD)
        self.choose_file(OPEN_FILE, "settings.vlm")
        self.expect_notice("Error #11", "Unknown file format.")
        self.assertEqual(self.custom_controls(), before)
        self.load("edited.vlm", PORT, "77")
        controls = self.custom_controls()
        self.assertEqual((controls["reply_count"], controls["timer"], controls["repeat"], controls["port"]),
                         ("1", "0", "0", "77"))
        self.close_dialog(CUSTOM, OK)
        self.command(SAVE_SETTINGS)
        settings = self.wait_settings()
        self.assertIn("CRN=2\r\nCPN=77\r\n", settings)
        self.assertTrue(settings.endswith("CCT=0\r\nCE1=0\r\nCE2=0\r\nCWR=0\r\n"))

    def test_load_then_cancel_keeps_the_custom_script(self):
        served, loaded = free_port(), free_port()
        self.write_settings(daemon=5, custom=self.custom_script(served, welcome="Original\r\nName: "))
        self.write_file("other.vlm", current_layout(1, loaded, "Loaded\r\n", "", "", 0, 0, 0, 0))
        self.start()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        self.load("other.vlm", WELCOME, "Loaded\r\n")
        self.close_dialog(CUSTOM, CANCEL)
        self.command(LISTEN)
        self.assert_listening()
        with connect(served) as caller:
            received = receive_until(caller, bytearray(), b"Name: ")
        self.assertEqual(bytes(received), b"Original\r\nName: ")
        self.assertTrue(refuses(loaded))
        self.command(STANDBY)
        self.assert_standing_by()


class LogPathDialogTests(DialogTestCase):
    def test_cancel_changes_nothing_and_ok_cuts_at_299(self):
        self.write_file("existing.log", b"")
        self.start()
        self.open_dialog(SET_LOG_PATH, LOG_PATH)
        self.assertEqual(self.text(LOG_PATH, PATH_FIELD), "")
        self.put(LOG_PATH, PATH_FIELD, "C:\\typed.log")
        self.close_dialog(LOG_PATH, PATH_CANCEL)
        self.open_dialog(LOG_PATH_BUTTON, LOG_PATH)
        self.assertEqual(self.text(LOG_PATH, PATH_FIELD), "")
        # Browsing fills the field only; Esc then leaves the path as it was.
        self.button(LOG_PATH, BROWSE)
        self.choose_file(OPEN_FILE, "existing.log")
        self.assertEqual(self.text(LOG_PATH, PATH_FIELD), self.windows_path("existing.log"))
        self.close_dialog(LOG_PATH, 2)
        self.open_dialog(SET_LOG_PATH, LOG_PATH)
        self.assertEqual(self.text(LOG_PATH, PATH_FIELD), "")
        self.close_dialog(LOG_PATH, PATH_CANCEL)
        # Nothing changed: leaving neither asks nor saves.
        self.command(EXIT)
        self.wait_exit()
        self.assertFalse(self.has_settings())

        self.start()
        long_path = "C:\\" + "\\".join(["folder%03d" % i for i in range(32)]) + "\\x.log"
        self.assertGreater(len(long_path), 320)
        self.open_dialog(SET_LOG_PATH, LOG_PATH)
        self.put(LOG_PATH, PATH_FIELD, long_path)
        self.close_dialog(LOG_PATH, PATH_OK)
        self.open_dialog(SET_LOG_PATH, LOG_PATH)
        self.assertEqual(self.text(LOG_PATH, PATH_FIELD), long_path[:299])
        self.close_dialog(LOG_PATH, PATH_OK)
        self.command(SAVE_SETTINGS)
        self.assertIn("MLP=" + encode_text(long_path[:299]) + "\r\n", self.wait_settings())


class ConnectionsLogDialogTests(DialogTestCase):
    def test_three_records_show_three_rows(self):
        records = [("127.0.0.1", 23, "01.02.2024", "09:05"), ("10.1.2.3", 27374, "28.11.2025", "23:59"),
                   ("192.168.0.7", 12345, "06.12.2025", "00:00")]
        self.write_file("calls.log", "".join("%s :%d / %s / %s\r\n" % r for r in records).encode("ascii"))
        self.write_settings(log_path=self.windows_path("calls.log"))
        self.start()
        self.open_dialog(VIEW_LOG, CONNECTIONS)
        self.assertEqual(self.driver.ok("dialog-rows", CONNECTIONS, LIST), "3")
        rows = [unescaped(self.driver.ok("dialog-row", CONNECTIONS, LIST, i)).split("\t") for i in range(3)]
        self.assertEqual(rows, [[a, str(p), day, time] for a, p, day, time in records])
        self.close_dialog(CONNECTIONS, CONNECTIONS_OK)
        # Opened again: the record added meanwhile shows, and nothing twice.
        with open(self.path("calls.log"), "ab") as f:
            f.write(b"127.0.0.1 :23 / 07.12.2025 / 10:11\r\n")
        self.open_dialog(VIEW_LOG, CONNECTIONS)
        self.assertEqual(self.driver.ok("dialog-rows", CONNECTIONS, LIST), "4")
        self.close_dialog(CONNECTIONS, 2)

    def test_without_a_log_file_only_error_10_is_shown(self):
        self.start()
        self.command(VIEW_LOG)
        self.driver.wait("File not found.", "box", "Error #10")
        self.assertNotIn(CONNECTIONS, self.driver.ok("windows"))
        self.press("Error #10", "ok")
        self.driver.ok("sleep", 300)
        self.assertNotIn(CONNECTIONS, self.driver.ok("windows"))


FREEBSD_OUTLINE = ("FreeBSD 5.1\r\n\r\nLogin:   [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                   "Password:   [Wait Input]\r\nIncorrect Login.\r\n")


class PreviewDialogTests(DialogTestCase):
    def preview(self):
        self.open_dialog(PREVIEW, PREVIEW_DIALOG)
        shown = (self.text(PREVIEW_DIALOG, PORT_LINE), self.text(PREVIEW_DIALOG, TIMER_LINE),
                 self.text(PREVIEW_DIALOG, OUTLINE))
        self.close_dialog(PREVIEW_DIALOG, PREVIEW_OK)
        return shown

    def test_built_in_daemons(self):
        self.start()
        self.show_window()
        self.assertEqual(self.preview(), ("Listening on port 23.", "Timer: 60 Sec.", FREEBSD_OUTLINE))
        self.choose_daemon(DAEMON_BUTTONS[2])
        self.assertEqual(self.preview(), ("Listening on port 27374.", "Timer: 60 Sec.",
                                          "SubSeven 2.1 \r\n  [Wait Input]\r\n"))

    def test_while_listening_shows_the_copy_being_served(self):
        port = free_port()
        self.write_settings(daemon=5, custom=self.custom_script(
            port, reply_count=2, welcome="Served: ", reply="R", goodbye="G", timer=0, echo_welcome=1, echo_reply=1))
        self.start()
        self.command(LISTEN)
        self.assert_listening()
        self.open_dialog(SET_CUSTOM, CUSTOM)
        self.put(CUSTOM, WELCOME, "Edited: ")
        self.close_dialog(CUSTOM, OK)
        self.assertEqual(self.preview(), ("Listening on port %d." % port, "Timer: None.",
                                          "Served:   [Wait Input]  [Will Echo]\r\nR  [Wait Input]  [Will Echo]\r\nG"))
        self.command(STANDBY)
        self.assert_standing_by()
        self.assertEqual(self.preview()[2], "Edited:   [Wait Input]  [Will Echo]\r\nR  [Wait Input]  [Will Echo]\r\nG")
        self.show_window()
        self.choose_daemon(DAEMON_BUTTONS[0])
        self.assertEqual(self.preview()[2], FREEBSD_OUTLINE)


class AboutDialogTests(DialogTestCase):
    def setUp(self):
        # Before the driver starts: it and the program inherit the PATH.
        self.openers = os.path.join(WORK_ROOT, self.id().split(".", 1)[1] + ".openers")
        shutil.rmtree(self.openers, ignore_errors=True)
        os.makedirs(self.openers)
        self.links = os.path.join(self.openers, "links.txt")
        for name in LINK_OPENERS:
            opener = os.path.join(self.openers, name)
            with open(opener, "w") as f:
                f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' % self.links)
            os.chmod(opener, 0o755)
        os.environ["PATH"] = self.openers + os.pathsep + os.environ["PATH"]
        super().setUp()

    def opened_links(self, count):
        for _ in range(100):
            if os.path.exists(self.links):
                with open(self.links) as f:
                    lines = f.read().splitlines()
                if len(lines) >= count:
                    return lines
            self.driver.ok("sleep", 50)
        return []

    def test_opens_and_every_button_closes_it(self):
        self.start()
        self.open_dialog(ABOUT, ABOUT_DIALOG)
        self.assertEqual(self.text(ABOUT_DIALOG, NAME), "Velmoranth (v1.9),")
        self.assertEqual(self.text(ABOUT_DIALOG, EMAIL), "&E-mail WQ")
        self.assertEqual(self.text(ABOUT_DIALOG, WEB), "Visit &Web-Site")
        self.close_dialog(ABOUT_DIALOG, ABOUT_OK)
        self.open_dialog(ABOUT, ABOUT_DIALOG)
        self.close_dialog(ABOUT_DIALOG, "cancel")
        self.assertFalse(os.path.exists(self.links))
        self.open_dialog(ABOUT, ABOUT_DIALOG)
        self.close_dialog(ABOUT_DIALOG, EMAIL)
        self.assertEqual(self.opened_links(1), ["mailto:maker@example.org"])
        self.open_dialog(ABOUT, ABOUT_DIALOG)
        self.close_dialog(ABOUT_DIALOG, WEB)
        self.assertEqual(self.opened_links(2), ["mailto:maker@example.org", "http://www.example.org/velmoranth/"])
        self.assertNotIn("#32770", self.driver.ok("windows"))
        self.command(EXIT)
        self.wait_exit()


if __name__ == "__main__":
    unittest.main()
