#!/usr/bin/env python3
"""plclink-host tagformat as a shell user runs it: the dialog on the terminal
of a tmux pane, its address in a shell variable, its statuses and messages.

PLCLINK_HOST names the program. Each test runs the program in a pane of its
own tmux server; the shell around it writes the exit status, standard output
and standard error to files, which the test reads.
"""
import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

HOST = os.environ.get("PLCLINK_HOST", "")


@unittest.skipUnless(shutil.which("tmux"), "tmux is not installed")
class TagFormatCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.runs = 0

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def start(self, shell, width=80, height=24):
        """Runs `shell` (where $HOST is the program) in a pane; `done` appears when it ends."""
        # A tmux server of its own for every run.
        self.runs += 1
        self.tmux = ["tmux", "-L", f"plclink-tagformat-{os.getpid()}-{id(self)}-{self.runs}",
                     "-f", "/dev/null"]
        self.addCleanup(subprocess.run, self.tmux + ["kill-server"], capture_output=True)
        for name in ("done", "status", "out", "err"):
            if os.path.exists(self.path(name)):
                os.remove(self.path(name))
        script = self.path("run.sh")
        with open(script, "w") as f:
            f.write(f"cd {self.dir.name}\nHOST={HOST}\n{shell}\necho $? > status\n"
                    "stty -a > stty\ntouch done\nsleep 60\n")
        subprocess.run(self.tmux + ["new-session", "-d", "-s", "t", "-x", str(width), "-y",
                                    str(height), f"bash {script}"], check=True)

    def screen(self):
        return subprocess.run(self.tmux + ["capture-pane", "-p", "-t", "t"], capture_output=True,
                              text=True).stdout

    def wait_for(self, text, gone=False):
        for _ in range(100):
            if (text in self.screen()) != gone:
                return
            time.sleep(0.1)
        self.fail(f"{text!r} {'stays' if gone else 'not'} on the screen:\n{self.screen()}")

    def keys(self, *keys):
        subprocess.run(self.tmux + ["send-keys", "-t", "t", *keys], check=True)

    def finished(self):
        """The exit status, standard output and standard error of the run."""
        for _ in range(100):
            if os.path.exists(self.path("done")):
                break
            time.sleep(0.1)
        else:
            self.fail(f"the program did not end:\n{self.screen()}")

        def read(name):
            try:
                with open(self.path(name)) as f:
                    return f.read()
            except FileNotFoundError:
                return ""
        return int(read("status")), read("out"), read("err")

    def compose_v_byte_12(self):
        self.wait_for("PLC number:")
        self.keys("Tab", "Tab", "Tab", "Down", "Down", "Down", "Down")  # point type V
        self.wait_for("V (for virtual memory)")
        self.keys("Tab", "Down")                                       # data type B
        self.wait_for("B (Byte)")
        self.keys("Tab", "1", "2")                                     # address 12
        self.wait_for("12  ")


class Capture(TagFormatCase):
    def test_the_address_lands_in_a_shell_variable(self):
        self.start('addr=$("$HOST" tagformat 2>err); s=$?; printf %s "$addr" > out; (exit $s)')
        self.wait_for("PLC number:")
        self.keys("Tab", "Tab", "Tab", "Down", "Down", "Down", "Down")  # V
        self.keys("Tab", "Down", "Down")                               # W
        self.wait_for("W (Word)")
        self.keys("Tab", "1", "0", "Tab", "Tab")                       # address 10, bit list
        self.keys(*["Down"] * 13)                                      # bit 12
        self.wait_for(" 12 ")
        self.keys("Enter")
        status, out, err = self.finished()
        self.assertEqual((status, out, err), (0, "01VB00104", ""))

    def test_redirected_output_gets_the_address_only(self):
        self.start('"$HOST" tagformat > out 2>err')
        self.compose_v_byte_12()
        self.keys("Enter")
        self.assertEqual(self.finished(), (0, "01VB0012\n", ""))

    def test_json_output_is_one_record(self):
        self.start('"$HOST" --format json tagformat > out 2>err')
        self.compose_v_byte_12()
        self.keys("Enter")
        status, out, err = self.finished()
        self.assertEqual((status, json.loads(out), err), (0, {"tag": "01VB0012"}, ""))

    def test_unknown_key_sequences_are_ignored(self):
        # Home and End as tmux sends them mean nothing to xterm-256color, nor
        # Ctrl-Left to screen; Alt-x is Escape and x.
        for term in ("xterm-256color", "screen"):
            with self.subTest(term=term):
                self.start(f'TERM={term} "$HOST" tagformat > out 2>err')
                self.compose_v_byte_12()
                self.keys("M-x", "Home", "End", "C-Left", "C-Right", "M-Up")
                self.keys("Tab", "Tab", "Tab", "M-x")                  # on the OK button
                time.sleep(0.3)
                self.assertIn("Tag Format", self.screen())
                self.keys("Enter")
                self.assertEqual(self.finished(), (0, "01VB0012\n", ""))


class Ending(TagFormatCase):
    def test_escape_cancels(self):
        self.start('"$HOST" tagformat > out 2>err')
        self.wait_for("PLC number:")
        self.keys("Escape")
        status, out, err = self.finished()
        self.assertEqual((status, out), (1, ""))
        self.assertEqual(err, "plclink-host: nothing written: the dialog was cancelled\n")

    def test_ctrl_c_writes_nothing_and_exits_130(self):
        self.start('"$HOST" tagformat > out 2>err')
        self.compose_v_byte_12()
        self.keys("C-c")
        status, out, err = self.finished()
        self.assertEqual((status, out), (130, ""))
        self.assertEqual(err, "plclink-host: nothing written: interrupted\n")
        with open(self.path("stty")) as f:
            modes = f.read().split()
        for mode in ("icanon", "echo", "isig"):
            self.assertIn(mode, modes, "the terminal is given back")
        with open(self.path("stty")) as f:
            self.assertIn("intr = ^C;", f.read())


class NoDialog(TagFormatCase):
    def expect_refusal(self, message):
        status, out, err = self.finished()
        self.assertEqual((status, out), (3, ""))
        self.assertEqual(err, f"plclink-host: the Tag Format dialog {message}; nothing written\n")

    def test_a_dumb_terminal_is_refused(self):
        self.start('TERM=dumb "$HOST" tagformat > out 2>err')
        self.expect_refusal("needs a terminal with cursor addressing (TERM=dumb has none)")

    def test_an_unknown_terminal_type_is_refused(self):
        self.start('TERM=no-such-terminal "$HOST" tagformat > out 2>err')
        self.expect_refusal("needs a terminal with cursor addressing "
                            "(TERM=no-such-terminal is not known)")

    def test_a_small_terminal_is_refused(self):
        self.start('"$HOST" tagformat > out 2>err', width=59, height=20)
        self.expect_refusal("needs at least 60x20, this one is 59x20")

    def test_a_terminal_just_large_enough_shows_it(self):
        self.start('"$HOST" tagformat > out 2>err', width=60, height=20)
        self.wait_for("PLC number:")
        self.keys("Escape")
        self.assertEqual(self.finished()[0], 1)

    def test_no_controlling_terminal(self):
        r = subprocess.run(["setsid", "-w", HOST, "tagformat"], cwd=self.dir.name,
                           stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)
        self.assertEqual((r.returncode, r.stdout), (3, ""))
        self.assertEqual(r.stderr, "plclink-host: the Tag Format dialog needs a controlling "
                                   "terminal; nothing written\n")


class Resize(TagFormatCase):
    def resize(self, width, height):
        subprocess.run(self.tmux + ["resize-window", "-t", "t", "-x", str(width), "-y",
                                    str(height)], check=True)

    def test_a_shrunk_terminal_shows_what_it_needs_until_it_grows(self):
        self.start('"$HOST" tagformat > out 2>err')
        self.compose_v_byte_12()
        self.resize(50, 15)
        self.wait_for("needs at least 60x20,")
        self.assertIn("this one is 50x15.", self.screen())
        self.assertNotIn("PLC number:", self.screen())
        self.keys("Enter")                       # not seen, not done
        self.resize(80, 24)
        self.wait_for("PLC number:")
        self.assertIn("12", self.screen())       # the entries are kept
        self.keys("Enter")
        self.assertEqual(self.finished(), (0, "01VB0012\n", ""))


if __name__ == "__main__":
    if not HOST:
        raise SystemExit("PLCLINK_HOST is not set")
    unittest.main(verbosity=2)
