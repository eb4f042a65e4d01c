#!/usr/bin/env python3
"""End-to-end tests of plclink-host: the program run as a user runs it.

The paths come from the environment: PLCLINK_HOST (the program) and, for the
tests against a simulated controller, PPI_SIM. Each test runs in a fresh
temporary directory, since the module reads its initialization file from the
current directory.
"""
import fcntl
import json
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest

HOST = os.environ.get("PLCLINK_HOST", "")
SIM = os.environ.get("PPI_SIM", "")
# A module without command 20: plclink-host then reads in blocks.
WITHOUT_READ_TAGS = os.environ.get("PLCLINK_WITHOUT_READ_TAGS", "")


class HostCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def run_host(self, *args, timeout=60):
        return subprocess.run([HOST, *args], cwd=self.dir.name, capture_output=True, text=True,
                              timeout=timeout)

    def json_of(self, result):
        try:
            return json.loads(result.stdout)
        except json.JSONDecodeError as e:
            self.fail(f"not JSON ({e}):\n{result.stdout}")


class Describe(HostCase):
    def test_banner_is_shown_readably(self):
        r = self.run_host("describe")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("Siemens S7-200", r.stdout)
        self.assertIn("9600 baud, 8 data bits, even parity, 1 stop bit", r.stdout)
        self.assertIn("┌" + "─" * 48 + "┐", r.stdout)
        self.assertIn("│ Vestra driver for SIEMENS S7-200 sires plc's   │", r.stdout)
        self.assertNotIn("\r", r.stdout)

    def test_json_carries_every_field(self):
        d = self.json_of(self.run_host("--format", "json", "describe"))
        self.assertEqual(d["driver_code"], 82)
        self.assertEqual(d["host_value_a"], 4)
        self.assertEqual(d["host_value_b"], "0x00BE0023")
        self.assertEqual(d["banner_bytes"], 194)
        self.assertEqual(len(d["banner"]), 3)
        self.assertIn(d["instance_size"], (2152, 2168))  # 32-bit, 64-bit layout

    def test_a_module_that_cannot_be_loaded_is_bad_usage(self):
        r = self.run_host("--module", "/nonexistent/plclink.so", "describe")
        self.assertEqual(r.returncode, 2)
        self.assertIn("cannot load", r.stderr)


class Parse(HostCase):
    def test_fields_of_accepted_tags_and_reasons_for_rejected_ones(self):
        r = self.run_host("--format", "json", "parse", "02VW0100", "02vd0104", "02IB00037",
                          "02xB0000", "02VW0101")
        self.assertEqual(r.returncode, 1)
        rows = {row["tag"]: row for row in self.json_of(r)}
        self.assertEqual(rows["02VW0100"]["status"], "ok")
        self.assertEqual(rows["02VW0100"]["element_index"], 50)
        self.assertEqual(rows["02VW0100"]["size_bits"], 16)
        self.assertEqual(rows["02vd0104"]["area"], "V")
        self.assertEqual(rows["02vd0104"]["element_index"], 26)
        self.assertEqual(rows["02IB00037"]["bit"], 7)
        self.assertIsNone(rows["02VW0100"]["bit"])
        bad = rows["02xB0000"]
        self.assertEqual(bad["status"], "bad address")
        self.assertTrue(any("invalid chars in address (02xB0000)" in l for l in bad["log"]), bad)
        self.assertIn("02xB0000: bad address", r.stderr)
        self.assertIn("a word address must be even", rows["02VW0101"]["error"])

    def test_areas_beyond_i_q_m_and_v(self):
        r = self.run_host("--format", "json", "--three-digit", "parse", "002AIW0000", "002SMB00005",
                          "002SB0001", "002AQW0002", "002AIB0000", "002AIW0001", "002TW0037")
        rows = {row["tag"]: row for row in self.json_of(r)}
        self.assertEqual([rows[t]["area"] for t in ("002AIW0000", "002SMB00005", "002SB0001", "002AQW0002")],
                         ["AI", "SM", "S", "AQ"])
        self.assertEqual(rows["002SMB00005"]["bit"], 5)
        self.assertIn("AI holds words only", rows["002AIB0000"]["error"])
        self.assertIn("a word address must be even", rows["002AIW0001"]["error"])
        self.assertEqual(rows["002TW0037"]["area"], "T")
        self.assertEqual(rows["002TW0037"]["element_index"], 37)
        self.assertEqual(r.returncode, 1)

    def test_gate_type_and_block_forms(self):
        r = self.run_host("parse", "--gate-type", "3", "02VF0100", "02VD0100")
        self.assertEqual(r.returncode, 1)
        self.assertRegex(r.stdout, r"02VF0100\s+ok")
        self.assertRegex(r.stdout, r"02VD0100\s+bad address")
        r = self.run_host("parse", "--block", "02MW0101")
        self.assertEqual(r.returncode, 1)
        self.assertIn("address must be even", r.stderr)
        self.assertIn("BlockAddressParser", r.stderr)  # the module's trace lines are shown
        r = self.run_host("parse", "--block", "02MW0100")
        self.assertEqual(r.returncode, 0, r.stderr)

    def test_three_digit_plc_numbers_through_the_initialization_file(self):
        r = self.run_host("--three-digit", "--vpi", "7", "parse", "002VW0100", "02VW0100")
        self.assertEqual(r.returncode, 1, r.stderr)
        with open(os.path.join(self.dir.name, "vpiK707.int")) as f:
            self.assertEqual(f.readline().strip(), "3 DIGITS")
        self.assertRegex(r.stdout, r"002VW0100\s+ok\s+word\s+2\s")
        self.assertIn("three-digit", r.stderr)
        # The file stays and keeps the instance in three-digit form.
        r = self.run_host("--vpi", "7", "parse", "123MB0001")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertRegex(r.stdout, r"123MB0001\s+ok\s+byte\s+123\s")

    def test_csv_has_a_header_and_one_line_per_tag(self):
        r = self.run_host("--format", "csv", "parse", "02MB0001", "02MB0002")
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0].split(",")[:2], ["tag", "status"])
        self.assertEqual(len(lines), 3)


class Usage(HostCase):
    def test_bad_usage_exits_with_two(self):
        for args in (["frobnicate"], [], ["read"], ["--format", "xml", "describe"],
                     ["--parity", "sometimes", "describe"], ["parse", "--block", "--gate-type", "1", "02MB0000"]):
            r = self.run_host(*args)
            self.assertEqual(r.returncode, 2, (args, r.stdout, r.stderr))

    def test_line_commands_need_a_port(self):
        r = self.run_host("read", "02VW0100")
        self.assertEqual(r.returncode, 2)
        self.assertIn("no serial port given", r.stderr)

    def test_a_missing_port_is_named(self):
        r = self.run_host("--port", "/dev/nonexistent", "read", "02VW0100")
        self.assertEqual(r.returncode, 2)
        self.assertIn("cannot open /dev/nonexistent: no such device", r.stderr)

    def test_help_lists_every_command(self):
        r = self.run_host("--help")
        self.assertEqual(r.returncode, 0)
        for command in ("describe", "parse", "read", "write", "read-block", "write-block", "monitor",
                        "dump", "load", "tagformat"):
            self.assertIn(command, r.stdout)



# What the simulated station 2 holds when a test starts.
PRELOAD = """\
2 V 100: 12 34 AB CD
2 V 104: 40 49 0F DB
2 V 112: FF FE 80 00
2 M 0: A5
2 I 0: 81
2 Q 0: 0F
"""


@unittest.skipUnless(SIM, "ppi-sim is not built")
class SimCase(HostCase):
    """A test against ppi-sim on a pseudo-terminal it creates, station 2."""
    sim_args = ()

    def setUp(self):
        super().setUp()
        self.port = self.start_sim(*self.sim_args)

    def start_sim(self, *args, preload=PRELOAD):
        memory = os.path.join(self.dir.name, "memory.txt")
        with open(memory, "w") as f:
            f.write(preload)
        self.sim_err = open(os.path.join(self.dir.name, "sim.err"), "w")
        self.addCleanup(self.sim_err.close)
        sim = subprocess.Popen([SIM, "--station", "2", "--load", memory, *args], stdout=subprocess.PIPE,
                               stderr=self.sim_err, text=True)
        self.addCleanup(self.stop, sim)
        self.sim = sim
        first = sim.stdout.readline().split()
        self.assertTrue(first, "ppi-sim printed no port")
        self.port_name = first[1]  # as the driver takes it: pts/N
        return first[0]

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if process.stdout:
            process.stdout.close()

    def host(self, *args, timeout=120):
        return self.run_host("--port", self.port, "--timeout", "300", *args, timeout=timeout)

    def rows(self, *args, code=0):
        r = self.host("--format", "json", *args)
        self.assertEqual(r.returncode, code, r.stderr)
        return {row["tag"]: row for row in self.json_of(r)}

    def on_terminal(self, *args, interrupt_after=None, timeout=60):
        """Runs the host with a pseudo-terminal as its standard streams and
        returns its exit status and everything it wrote there."""
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 30, 120, 0, 0))
        p = subprocess.Popen([HOST, "--port", self.port, "--timeout", "300", *args], cwd=self.dir.name,
                             stdin=slave, stdout=slave, stderr=slave, start_new_session=True)
        os.close(slave)
        output = b""
        start = time.monotonic()
        interrupted = False
        try:
            while True:
                if interrupt_after is not None and not interrupted and time.monotonic() - start > interrupt_after:
                    p.send_signal(signal.SIGINT)
                    interrupted = True
                if time.monotonic() - start > timeout:
                    p.kill()
                    self.fail("no end on the terminal:\n" + output.decode(errors="replace"))
                # Checked before the wait: what the host wrote just before it
                # ended is then still read below, not left in the terminal.
                ended = p.poll() is not None
                ready, _, _ = select.select([master], [], [], 0.1)
                if ready:
                    try:
                        chunk = os.read(master, 65536)
                    except OSError:
                        break
                    if not chunk:
                        break
                    output += chunk
                elif ended:
                    break
        finally:
            os.close(master)
        return p.wait(timeout=10), output.decode(errors="replace")


class ReadAndWrite(SimCase):
    def test_every_type_reads_as_the_station_holds_it(self):
        rows = self.rows("read", "02VB0100", "02VW0100", "02VD0100", "02VF0104", "02VW0112",
                         "02MB00000", "02MB00001", "02IB00007", "02QB0000", "02vd0112")
        self.assertEqual(rows["02VB0100"]["value"], 0x12)
        self.assertEqual(rows["02VW0100"]["hex"], "0x1234")
        self.assertEqual(rows["02VD0100"]["value"], 0x1234ABCD)
        self.assertAlmostEqual(rows["02VF0104"]["value"], 3.1415927, places=6)
        self.assertEqual(rows["02VF0104"]["hex"], "0x40490FDB")
        self.assertEqual(rows["02VW0112"]["value"], 0xFFFE)
        self.assertEqual(rows["02VW0112"]["signed"], -2)
        self.assertEqual(rows["02vd0112"]["signed"], -98304)
        self.assertEqual([rows[t]["value"] for t in ("02MB00000", "02MB00001", "02IB00007")], [1, 0, 1])
        self.assertEqual(rows["02QB0000"]["type"], "byte")
        self.assertTrue(all(row["status"] == "ok" for row in rows.values()))

    def test_written_values_read_back_in_every_area(self):
        writes = {"02VW0200": "-1234", "02VD0204": "0xDEADBEEF", "02VF0208": "-21.5", "02MB00013": "1",
                  "02QB0001": "200", "02IB0002": "0x7f", "02MW0004": "65535", "02VB0212": "-128"}
        r = self.host("write", *[f"{t}={v}" for t, v in writes.items()])
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = self.rows("read", *writes)
        self.assertEqual(rows["02VW0200"]["signed"], -1234)
        self.assertEqual(rows["02VD0204"]["hex"], "0xDEADBEEF")
        self.assertEqual(rows["02VF0208"]["value"], -21.5)
        self.assertEqual(rows["02MB00013"]["value"], 1)
        self.assertEqual(rows["02QB0001"]["value"], 200)
        self.assertEqual(rows["02IB0002"]["value"], 127)
        self.assertEqual(rows["02MW0004"]["value"], 65535)
        self.assertEqual(rows["02VB0212"]["hex"], "0x80")
        # The bit write touched one bit of M1 only.
        self.assertEqual(self.rows("read", "02MB0001")["02MB0001"]["value"], 0x08)

    def test_an_out_of_range_value_stops_the_whole_write(self):
        r = self.host("write", "02VW0300=7", "02VB0302=256")
        self.assertEqual(r.returncode, 2)
        self.assertIn("'256' is out of range for a byte", r.stderr)
        self.assertIn("nothing was written", r.stderr)
        for bad in ("02MB00001=2", "02VF0300=1e39", "02VW0300=12abc", "02VW0300"):
            self.assertEqual(self.host("write", bad).returncode, 2, bad)
        self.assertEqual(self.rows("read", "02VW0300")["02VW0300"]["value"], 0)

    def test_blocks_of_every_size_up_to_what_an_s7_200_takes(self):
        r = self.host("write-block", "02VW0400", "10", "-20", "0x30")
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = self.rows("read-block", "02VW0400", "3")
        self.assertEqual(list(rows), ["02VW0400", "02VW0402", "02VW0404"])
        self.assertEqual([row["signed"] for row in rows.values()], [10, -20, 48])
        self.assertEqual(self.host("write-block", "02VB0500", "77").returncode, 0)
        self.assertEqual([row["value"] for row in self.rows("read-block", "02VB0500", "2").values()], [77, 0])
        rows = self.rows("read-block", "02VF0104", "1")
        self.assertAlmostEqual(rows["02VF0104"]["value"], 3.1415927, places=6)
        # The largest blocks an S7-200 takes: 222 bytes read, 212 written.
        self.assertEqual(len(self.rows("read-block", "02VB0000", "222")), 222)
        self.assertEqual(len(self.rows("read-block", "02VD0000", "55")), 55)
        values = [str(i) for i in range(212)]
        self.assertEqual(self.host("write-block", "02VB1000", *values).returncode, 0)
        self.assertEqual(self.rows("read-block", "02VB1211", "1")["02VB1211"]["value"], 211)
        for args in (("read-block", "02VB0000", "223"), ("read-block", "02VW0000", "0"),
                     ("read-block", "02VD0000", "56"), ("write-block", "02VB0000", *values, "1")):
            r = self.host(*args)
            self.assertEqual(r.returncode, 2, args[:3])
            self.assertIn("in one exchange with an S7-200", r.stderr)
            self.assertIn("--max-frame allows", r.stderr)
        # A station that takes full frames: up to LE 255, and no further.
        r = self.host("read-block", "--max-frame", "02VB0000", "235")
        self.assertEqual(r.returncode, 2)
        self.assertIn("block holds 1..234 elements in one frame", r.stderr)
        # ppi-sim, like an S7-200, refuses what does not fit its PDU of 240.
        r = self.host("read-block", "--max-frame", "02VB0000", "234")
        self.assertEqual(r.returncode, 1)
        self.assertIn("Check Responed FAIL (PPI Rsp. header error)", r.stderr)

    def test_three_digit_plc_numbers(self):
        rows = self.rows("--three-digit", "read", "002VW0100", "002MB00000")
        self.assertEqual(rows["002VW0100"]["value"], 0x1234)
        self.assertEqual(rows["002MB00000"]["value"], 1)


class Failures(SimCase):
    def test_unknown_tag_syntax_fails_that_tag_only(self):
        r = self.host("--format", "json", "read", "02VX0100", "02VW0100", "02VW01", "02VB00009")
        self.assertEqual(r.returncode, 2)  # the others are read, but the run was misused
        rows = {row["tag"]: row for row in self.json_of(r)}
        self.assertEqual(rows["02VW0100"]["value"], 0x1234)
        for tag in ("02VX0100", "02VW01", "02VB00009"):
            self.assertEqual(rows[tag]["status"], "bad address", tag)
            self.assertIn(f"{tag}: bad address", r.stderr)
        self.assertTrue(any("invalid chars in address (02VX0100)" in l for l in rows["02VX0100"]["log"]))
        self.assertIn("the type must be B, W, D or F", rows["02VX0100"]["error"])

    def test_silent_station(self):
        r = self.host("--format", "json", "read", "07VW0100")
        self.assertEqual(r.returncode, 1)
        row = self.json_of(r)[0]
        self.assertEqual(row["status"], "silent station")
        self.assertEqual(row["result"], 2)
        self.assertEqual(sum("recv. SC Ack fail" in l for l in row["log"]), 3)
        self.assertIn("07VW0100: silent station: station 7 did not answer", r.stderr)

    def test_refused_access_outside_the_stations_memory(self):
        r = self.host("read", "02QB0100", "02QB0015")
        self.assertEqual(r.returncode, 1)
        self.assertRegex(r.stdout, r"02QB0100 .*refused access")
        self.assertRegex(r.stdout, r"02QB0015 .*ok")
        self.assertIn("02QB0100: refused access: station 2 refused the access", r.stderr)
        # Its item refused in the one request: logged once, not retried.
        self.assertEqual(r.stderr.count("ReadTags() tag 0 (PLC 2) FAIL (access_result: 0a)"), 1)
        r = self.host("--no-coalesce", "read", "02QB0100")
        self.assertEqual(r.stderr.count("Check Responed FAIL (access_result: 0a)"), 3)
        r = self.host("write", "02MW0040=1")
        self.assertEqual(r.returncode, 1)
        self.assertIn("refused access", r.stderr)

    def test_module_lines_go_to_the_log_file_and_into_the_explanation(self):
        r = self.host("--log", "module.log", "read", "07VB0000")
        self.assertEqual(r.returncode, 1)
        self.assertIn("  module log: VpiK701: recv. SC Ack fail", r.stderr)
        self.assertNotIn("ColdStart() end OK", r.stderr)
        with open(os.path.join(self.dir.name, "module.log")) as f:
            log = f.read()
        self.assertIn("[32] VpiK701: ColdStart() end OK", log)
        self.assertEqual(log.count("recv. SC Ack fail"), 3)

    def test_port_in_use(self):
        holder = subprocess.Popen([HOST, "--port", self.port, "monitor", "02VW0100", "--interval", "50",
                                   "--duration", "20"], cwd=self.dir.name, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(self.stop, holder)
        holder.stdout.readline()  # polling: the port is open
        r = self.host("read", "02VW0100")
        self.assertEqual(r.returncode, 2)
        self.assertIn(f"cannot open {self.port}: in use by another program", r.stderr)
        self.assertIn("Fail to open", r.stderr)
        # The bare name the driver takes is found where the driver looks.
        r = self.run_host("--port", self.port_name, "read", "02VW0100")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stderr.splitlines()[0],
                         f"plclink-host: cannot open {self.port_name}: in use by another program")

    def test_everything_refused_before_sending_exits_with_two(self):
        for args, says in (
                (("read", "02VW0101"), "plclink-host: 02VW0101: bad address: "),
                (("write", "02VW0100=1", "02VX0102=1"), "plclink-host: nothing was written"),
                (("write", "02VB0100=300"), "plclink-host: 02VB0100: '300' is out of range for a byte"),
                (("read-block", "02VW0101", "2"), "plclink-host: 02VW0101: bad address: "),
                (("read-block", "02VW0100", "200"), "plclink-host: a word block holds 1.."),
                (("monitor", "02VW0100", "02VW01", "--count", "1"), "plclink-host: nothing monitored")):
            r = self.host(*args)
            self.assertEqual(r.returncode, 2, (args, r.stderr))
            self.assertIn(says, r.stderr, args)
        self.assertEqual(self.rows("read", "02VW0100")["02VW0100"]["value"], 0x1234)  # nothing written
        for null_line in ("NULLDEV", "nulldev"):
            r = self.run_host("--port", null_line, "read", "02VW0100")
            self.assertEqual(r.returncode, 2)
            self.assertEqual(r.stderr, "plclink-host: NULLDEV is the driver's null line: it reaches no controller\n")
        # A tag that fails on the line keeps 1.
        self.assertEqual(self.host("read", "02VW0100", "07VW0100").returncode, 1)

    def test_a_run_that_goes_well_says_nothing_on_standard_error(self):
        r = self.host("read", "02VW0100")
        self.assertEqual((r.returncode, r.stderr), (0, ""))
        r = self.host("write", "02VW0300=5")
        self.assertEqual((r.returncode, r.stderr), (0, ""))
        r = self.host("--verbose", "read", "02VW0100")
        self.assertEqual(r.returncode, 0)
        self.assertIn("module log: VpiK701: ColdStart() end OK", r.stderr)
        self.assertIn("module log: VpiK701: EndVpi()", r.stderr)


class ControllerRefusals(SimCase):
    sim_args = ("--fault", "reject=0x8001:always@2", "--fault", "reject=0x8500:always@3", "--station", "3")

    def test_the_error_class_and_code_are_told(self):
        r = self.host("--format", "json", "read", "02VW0100", "03VW0100")
        self.assertEqual(r.returncode, 1)
        rows = {row["tag"]: row for row in self.json_of(r)}
        self.assertEqual(rows["02VW0100"]["status"], "refused request")
        self.assertEqual(rows["02VW0100"]["error"], "refused by the controller (error class 0x80, code 0x01)")
        self.assertIn("plclink-host: 02VW0100: refused request: refused by the controller (error class 0x80, "
                      "code 0x01)\n", r.stderr)
        self.assertIn("plclink-host: 03VW0100: refused request: refused by the controller (error class 0x85, "
                      "code 0x00): wrong frames\n", r.stderr)
        self.assertNotIn("broken or unexpected frames", r.stderr)
        self.assertEqual(r.stderr.count("Check Responed FAIL (PPI Rsp. header error)"), 6)


class BadFrames(SimCase):
    sim_args = ("--fault", "badfcs:always")

    def test_corrupted_answers(self):
        r = self.host("--format", "json", "read", "02VW0100")
        self.assertEqual(r.returncode, 1)
        row = self.json_of(r)[0]
        self.assertEqual(row["status"], "bad frame")
        self.assertIn("broken or unexpected frames", row["error"])


class Formats(SimCase):
    def test_csv_and_table_forms_of_a_read(self):
        r = self.host("--format", "csv", "read", "02VW0100", "02VF0104")
        self.assertEqual(r.stdout.splitlines(), ["tag,type,value,signed,hex,status",
                                                 "02VW0100,word,4660,4660,0x1234,ok",
                                                 "02VF0104,float,3.1415927,,0x40490FDB,ok"])
        r = self.host("read", "02VW0100")
        self.assertRegex(r.stdout, r"^TAG +TYPE +VALUE +SIGNED +HEX +STATUS\n02VW0100 +word +4660 +4660 +0x1234 +ok\n$")

    def test_monitor_json_is_one_document(self):
        r = self.host("--format", "json", "monitor", "02VW0100", "07VB0000", "--interval", "10",
                      "--count", "2")
        self.assertEqual(r.returncode, 1)  # station 7 is silent
        doc = self.json_of(r)
        self.assertEqual(len(doc["polls"]), 2)
        tags = doc["polls"][1]["tags"]
        self.assertEqual(tags[0]["value"], 4660)
        self.assertEqual(tags[1]["status"], "silent station")
        totals = {t["tag"]: t for t in doc["totals"]}
        self.assertEqual(totals["02VW0100"]["transactions"], 2)
        self.assertEqual(totals["07VB0000"]["failures"], 2)
        self.assertGreater(totals["02VW0100"]["mean_ms"], 0)

    def test_redirected_monitor_prints_one_clean_line_per_poll(self):
        r = self.host("monitor", "02VW0100", "02MB00000", "--interval", "10", "--count", "3")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertNotIn("\x1b", r.stdout + r.stderr)
        self.assertNotIn("\r", r.stdout + r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(len([l for l in lines if "02VW0100=4660  02MB00000=1" in l]), 3)
        self.assertIn("totals after 3 polls", r.stdout)
        r = self.host("--format", "csv", "monitor", "02VW0100", "--interval", "10", "--count", "2")
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], "time,02VW0100")
        self.assertEqual([l.split(",")[1] for l in lines[1:]], ["4660", "4660"])

    def test_monitor_by_duration(self):
        r = self.host("--format", "json", "monitor", "02VW0100", "--interval", "100", "--duration", "0.5")
        self.assertEqual(r.returncode, 0)
        self.assertIn(len(self.json_of(r)["polls"]), range(2, 7))


class Coalescing(SimCase):
    sim_args = ("--trace",)

    def requests_seen(self):
        """Read and write requests the simulator has received so far."""
        self.sim_err.flush()
        with open(os.path.join(self.dir.name, "sim.err")) as f:
            return sum(1 for line in f if "] rx 68 " in line and " 7C 32 " in line)

    def test_block_reads_give_every_tag_what_a_single_read_gives(self):
        tags = ["02VB0100", "02VW0100", "02VD0100", "02VF0104", "02VW0112", "02VB01137", "02VB01130",
                "02VB0113", "02vd0112", "02MB00000", "02MB00001", "02MB0000", "02IB00007", "02IB0000",
                "02QB0000", "02VW0200", "02VW0420", "02VD0100"]
        alone = self.rows("--no-coalesce", "read", *tags)
        singles = self.requests_seen()
        self.assertEqual(singles, len(tags))
        together = self.rows("read", *tags)
        self.assertEqual(together, alone)
        self.assertEqual(self.requests_seen() - singles, 1)  # one multi-item request
        self.assertEqual(together["02VD0100"]["value"], 0x1234ABCD)
        self.assertEqual(together["02VB01137"]["value"], 1)
        if not WITHOUT_READ_TAGS:
            return
        # A module without command 20: V100..V117 and V200 in one block, V420
        # alone; M0, I0 and Q0 one each.
        before = self.requests_seen()
        self.assertEqual(self.rows("--module", WITHOUT_READ_TAGS, "read", *tags), alone)
        self.assertEqual(self.requests_seen() - before, 5)

    def test_further_areas_are_read_written_coalesced_and_guarded(self):
        port = self.start_sim("--trace", "--analog", "AIW4=ramp:1000:100:200")
        host = lambda *args: self.run_host("--port", port, "--timeout", "300", *args)
        self.assertEqual(host("write", "02AQW0002=1234", "02SB00001=1", "02SMW0030=-5").returncode, 0)
        r = host("write", "02SMB0029=1")  # SM0..SM29 are the CPU's
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("access to the object not allowed", r.stderr)
        before = self.requests_seen()
        r = host("write", "02AIW0000=1")
        self.assertEqual(r.returncode, 2, r.stderr)
        self.assertIn("read-only", r.stderr)
        with open(os.path.join(self.dir.name, "ai.txt"), "w") as f:
            f.write("plc 2\narea AI\nstart 0\nlength 2\n0000: 12 34\n")
        self.assertEqual(host("load", "ai.txt").returncode, 2)
        self.assertEqual(self.requests_seen(), before)
        tags = ["02AQW0000", "02AQW0002", "02AIW0004", "02SB00001", "02SB0000", "02SMW0030", "02SMB0031"]
        r = host("--format", "json", "read", *tags)
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = {row["tag"]: row for row in self.json_of(r)}
        self.assertEqual(self.requests_seen() - before, 1)  # an item per area, one request
        self.assertEqual(rows["02AQW0002"]["value"], 1234)
        self.assertEqual(rows["02SB00001"]["value"], 1)
        self.assertEqual(rows["02SMW0030"]["signed"], -5)
        self.assertEqual(rows["02SMB0031"]["hex"], "0xFB")
        self.assertTrue(100 <= rows["02AIW0004"]["value"] <= 200, rows["02AIW0004"])
        self.assertEqual(host("dump", "aq", "0", "4", "aq.txt").returncode, 0)
        with open(os.path.join(self.dir.name, "aq.txt")) as f:
            self.assertIn("area AQ\nstart 0\nlength 4\n0000: 00 00 04 D2\n", f.read())
        self.assertEqual(host("dump", "ai", "1", "4", "x.txt").returncode, 2)

    def test_timers_and_counters_are_read_alone_and_never_written(self):
        port = self.start_sim("--trace", preload=PRELOAD + "2 T 37: 1234 5 6\n2 C 12: -5\n")
        host = lambda *args: self.run_host("--port", port, "--timeout", "300", *args)
        before = self.requests_seen()
        r = host("--format", "json", "read", "02TW0037", "02CW0012", "02TW0038")
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = {row["tag"]: row for row in self.json_of(r)}
        self.assertEqual(rows["02TW0037"]["value"], 1234)
        self.assertEqual(rows["02CW0012"]["value"], -5)  # shown signed
        self.assertEqual(rows["02TW0038"]["value"], 5)
        self.assertEqual(self.requests_seen() - before, 1)
        with open(os.path.join(self.dir.name, "sim.err")) as f:
            # An item each, by number, the next timer's too.
            self.assertIn("12 0A 10 1E 00 01 00 00 1E 00 00 0C 12 0A 10 1F 00 01 00 00 1F 00 00 25 "
                          "12 0A 10 1F 00 01 00 00 1F 00 00 26", f.read())
        r = host("--format", "json", "read-block", "02TW0037", "3")
        self.assertEqual([row["value"] for row in self.json_of(r)], [1234, 5, 6])
        self.assertEqual([row["tag"] for row in self.json_of(r)], ["02TW0037", "02TW0038", "02TW0039"])
        before = self.requests_seen()
        r = host("write", "02TW0037=1")
        self.assertEqual(r.returncode, 2, r.stderr)
        self.assertIn("timers and counters (T, C) are read-only", r.stderr)
        self.assertEqual(host("dump", "T", "0", "2", "t.txt").returncode, 2)
        self.assertEqual(self.requests_seen(), before)

    def test_a_timer_answered_with_word_records_is_a_bad_frame(self):
        port = self.start_sim("--fault", "mismatch:always", preload="2 T 37: 1234\n")
        r = self.run_host("--port", port, "--format", "json", "read", "02TW0037")
        self.assertEqual(r.returncode, 1, r.stderr)
        row = self.json_of(r)[0]
        self.assertEqual(row["status"], "bad frame")
        self.assertIsNone(row.get("value"))

    def test_a_refused_block_is_read_tag_by_tag(self):
        port = self.start_sim("--v-size", "1000")  # V1000 and beyond are refused

        def rows(*args):
            r = self.run_host("--port", port, "--timeout", "300", "--format", "json", "read", *args)
            self.assertEqual(r.returncode, 1, r.stderr)
            return {row["tag"]: row for row in self.json_of(r)}

        tags = ("02VW0990", "02VB0996", "02VW1000")
        alone = rows("--no-coalesce", *tags)
        readings = [rows(*tags)]
        if WITHOUT_READ_TAGS:
            readings.append(rows("--module", WITHOUT_READ_TAGS, *tags))
        for together in readings:
            # The same values, statuses and reasons; the module's lines differ by the command.
            for t in tags:
                self.assertEqual({k: v for k, v in together[t].items() if k != "log"},
                                 {k: v for k, v in alone[t].items() if k != "log"}, t)
            self.assertEqual([together[t]["status"] for t in tags], ["ok", "ok", "refused access"])

    def test_monitor_reads_close_tags_together_and_counts_each(self):
        r = self.host("--format", "json", "monitor", "02VW0100", "02VW0102", "02VB0104", "--interval", "10",
                      "--count", "2")
        self.assertEqual(r.returncode, 0, r.stderr)
        doc = self.json_of(r)
        self.assertEqual([t["value"] for t in doc["polls"][1]["tags"]], [0x1234, 0xABCD, 0x40])
        self.assertEqual([t["transactions"] for t in doc["totals"]], [2, 2, 2])
        self.assertEqual(self.requests_seen(), 2)


    def test_multi_item_reads_give_what_single_reads_give_and_a_missing_address_fails_alone(self):
        tags = ["02VB0100", "02VW0100", "02VD0100", "02VB01137", "02MB00001", "02IB0000", "02QB0000",
                "02VW0420", "02VW9000", "02AIW0002", "02SMW0030"]
        alone = self.rows("--no-coalesce", "read", *tags)
        before = self.requests_seen()
        self.assertEqual(self.rows("--multi-item", "read", *tags), alone)
        self.assertEqual(self.requests_seen() - before, 1)
        port = self.start_sim("--trace", "--v-size", "1000")
        r = self.run_host("--port", port, "--timeout", "300", "--multi-item", "read", "02VW0990", "02VW1000",
                          "02VB0996")
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertRegex(r.stdout, r"02VW1000 .*refused access")
        self.assertIn("02VW1000: refused access: station 2 refused the access (access_result 0x0a", r.stderr)
        self.assertEqual(r.stdout.count(" ok"), 2)
        r = self.run_host("--port", port, "--timeout", "300", "--multi-item", "monitor", "--count", "2",
                          "--interval", "0", "02VW0100", "02VW0700", "02VB0900")
        self.assertIn("1 requests per round", r.stdout)


class PauseAndScan(SimCase):
    sim_args = ("--scan", "30")

    def test_pause_line_is_written_and_a_busy_station_is_read(self):
        r = self.host("--pause", "5", "--log", "module.log", "read", "02VW0100", "02VD0100")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("wrote vpiK701.int: PAUSE 5", r.stderr)
        with open(os.path.join(self.dir.name, "vpiK701.int")) as f:
            self.assertEqual(f.read(), "\nPAUSE 5\n")
        with open(os.path.join(self.dir.name, "module.log")) as f:
            log = f.read()
        self.assertIn("pause between frames 5 ms, busy stations polled again", log)
        self.assertNotIn("fail", log)
        # With three digits too, and a second run that changes the pause.
        r = self.host("--three-digit", "--pause", "8", "read", "002VW0100")
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(self.dir.name, "vpiK701.int")) as f:
            self.assertEqual(f.read(), "3 DIGITS\n\nPAUSE 8\n")  # the old first line moves down
        self.assertEqual(self.host("--pause", "41", "read", "02VW0100").returncode, 2)

    def test_multimaster_line_is_written_and_the_driver_alone_reads(self):
        with open(os.path.join(self.dir.name, "vpiK701.int"), "w") as f:
            f.write("\nmultimaster tsl 120 address 4\n")
        r = self.host("--multimaster", "--log", "module.log", "read", "02VW0100")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("wrote vpiK701.int: MULTIMASTER ADDRESS 0", r.stderr)
        with open(os.path.join(self.dir.name, "vpiK701.int")) as f:
            self.assertEqual(f.read(), "\nMULTIMASTER ADDRESS 0 tsl 120\n")  # its other settings stay
        with open(os.path.join(self.dir.name, "module.log")) as f:
            log = f.read()
        self.assertIn("station 0 claims the token", log)
        self.assertIn("station 0 leaving the token ring", log)
        self.assertEqual(self.host("--multimaster=127", "read", "02VW0100").returncode, 2)


class TcpLine(SimCase):
    sim_args = ("--tcp", "127.0.0.1:0")

    def test_a_tcp_port_reads_writes_and_a_stopped_server_is_refused(self):
        self.assertTrue(self.port_name.startswith("tcp:127.0.0.1:"), self.port_name)
        self.port = self.port_name
        self.assertEqual(self.rows("read", "02VW0100")["02VW0100"]["value"], 0x1234)
        with open(os.path.join(self.dir.name, "vpiK701.int")) as f:
            self.assertEqual(f.read(), "\nTCP " + self.port_name[4:] + "\n")
        # A serial port again: the TCP line goes, so the port is used.
        r = self.run_host("--port", "plcnone", "read", "02VW0100")
        self.assertEqual(r.returncode, 2, r.stderr)
        self.assertIn("removed the TCP line of vpiK701.int", r.stderr)
        self.stop(self.sim)
        r = self.host("read", "02VW0100")
        self.assertEqual(r.returncode, 2, r.stderr)
        self.assertIn("cannot open " + self.port_name + ": connection refused", r.stderr)


class Terminal(SimCase):
    def test_monitor_draws_a_live_table_until_ctrl_c(self):
        code, out = self.on_terminal("monitor", "02VW0100", "02VF0104", "--interval", "100",
                                     interrupt_after=2.0)
        self.assertEqual(code, 0, out)
        self.assertIn("\x1b[2K", out)                    # lines redrawn in place
        self.assertRegex(out, "\x1b\\[\\d+F")           # cursor back to the table's top
        self.assertRegex(out, r"TAG +TYPE +VALUE +STATUS +TRANSACTIONS +FAILURES +LAST MS +MEAN MS")
        self.assertRegex(out, r"02VF0104 +float +3.1415927 +ok +\d+ +0 ")
        self.assertIn("(Ctrl-C ends)", out)
        self.assertIn("totals after", out)
        self.assertNotIn("module log: VpiK701: ColdStart", out.split("totals after")[0].split("monitor ")[-1])

    def test_the_live_view_says_when_rounds_take_longer_than_the_interval(self):
        code, out = self.on_terminal("monitor", "02VW0100", "--interval", "1", interrupt_after=1.5)
        self.assertEqual(code, 0, out)
        self.assertRegex(out, r"every 1 ms: poll \d+, [\d.]+ s, a round takes [\d.]+ ms: polling back to back")
        self.assertRegex(out, r"totals after \d+ polls in [\d.]+ s \(\d+ rounds took longer than the interval\)")

    def test_dump_shows_a_progress_bar_only_on_a_terminal(self):
        code, out = self.on_terminal("dump", "V", "0", "600", "v.txt")
        self.assertEqual(code, 0, out)
        self.assertIn("\rdump [", out)
        self.assertIn("100% 600/600", out)
        r = self.host("dump", "V", "0", "600", "w.txt")
        self.assertEqual(r.returncode, 0)
        self.assertNotIn("\r", r.stderr + r.stdout)
        self.assertNotIn("[#", r.stderr)


class DumpAndLoad(SimCase):
    def test_a_range_goes_to_a_file_and_back(self):
        r = self.host("dump", "v", "96", "500", "v.txt")
        self.assertEqual(r.returncode, 0, r.stderr)
        path = os.path.join(self.dir.name, "v.txt")
        with open(path) as f:
            text = f.read()
        self.assertIn("area V\nstart 96\nlength 500\n", text)
        self.assertIn("0096: 00 00 00 00 12 34 AB CD 40 49 0F DB", text)
        # Change two bytes at the ends of two frames' worth and load it back.
        text = text.replace("0096: 00 00 00 00 12 34", "0096: 00 00 00 00 56 78")
        text = text.replace("\n0592: 00 00 00 00", "\n0592: 00 00 00 99")
        with open(path, "w") as f:
            f.write(text)
        r = self.host("--format", "json", "load", "v.txt")
        self.assertEqual(r.returncode, 0, r.stderr)
        result = self.json_of(r)[0]
        self.assertIs(result["verified"], True)
        self.assertEqual(result["differences"], 0)
        rows = self.rows("read", "02VW0100", "02VB0595")
        self.assertEqual(rows["02VW0100"]["hex"], "0x5678")
        self.assertEqual(rows["02VB0595"]["hex"], "0x99")

    def test_four_kilobytes_go_out_and_back_in_blocks_a_real_controller_takes(self):
        r = self.host("dump", "V", "0", "4096", "v.txt")
        self.assertEqual(r.returncode, 0, r.stderr)
        path = os.path.join(self.dir.name, "v.txt")
        with open(path) as f:
            text = f.read()
        # Every byte different, so a block in the wrong place shows.
        lines = [line for line in text.splitlines() if not line[:4].isdigit()]
        for address in range(0, 4096, 16):
            row = " ".join("%02X" % ((address + i) * 37 % 251) for i in range(16))
            lines.append("%04d: %s" % (address, row))
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        r = self.host("--format", "json", "load", "v.txt")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIs(self.json_of(r)[0]["verified"], True)
        r = self.host("dump", "V", "0", "4096", "back.txt")
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(self.dir.name, "back.txt")) as f:
            back = f.read()
        self.assertIn("0000: 00 25 4A", back)
        self.assertIn("4080: " + " ".join("%02X" % ((4080 + i) * 37 % 251) for i in range(16)), back)

    def test_a_memory_image_is_checked_whole_before_anything_is_written(self):
        def load(name, text):
            with open(os.path.join(self.dir.name, name), "w") as f:
                f.write(text)
            return self.host("load", name)

        image = "plc 2\narea V\nstart 100\nlength 2\n0100: 55 66\n"
        r = load("late.txt", image + "start 200\n")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stderr, "plclink-host: late.txt: line 6: 'start' line after the byte lines "
                                   "(the header lines come first)\n")
        r = load("twice.txt", "area V\n" + image)
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stderr, "plclink-host: twice.txt: line 3: a second 'area' line (the first is line 1)\n")
        # A line's control characters are shown escaped, never sent to the terminal.
        r = load("ctl.txt", image + "\x1b]0;owned\x07\x1b[2J\n")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stderr, "plclink-host: ctl.txt: line 6: cannot read '\\x1B]0;owned\\x07\\x1B[2J'\n")
        self.assertEqual(self.rows("read", "02VW0100")["02VW0100"]["value"], 0x1234)  # nothing written

    def test_bad_ranges_and_files_are_refused(self):
        self.assertEqual(self.host("dump", "V", "9990", "11", "x.txt").returncode, 2)
        self.assertEqual(self.host("dump", "X", "0", "1", "x.txt").returncode, 2)
        with open(os.path.join(self.dir.name, "bad.txt"), "w") as f:
            f.write("area V\nstart 0\nlength 4\n0000: 01 02\n")
        r = self.host("load", "bad.txt")
        self.assertEqual(r.returncode, 2)
        self.assertIn("holds 2 bytes", r.stderr)
        r = self.host("dump", "M", "0", "40", "m.txt")  # M holds 32 bytes
        self.assertEqual(r.returncode, 1)
        self.assertIn("refused access", r.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.dir.name, "m.txt")))


@unittest.skipUnless(SIM and shutil.which("socat"), "needs ppi-sim and socat")
class SerialDeviceServer(SimCase):
    """The README's recipe: a controller's serial line offered on a TCP port
    (here the simulator's pty, offered by socat as a device server would),
    bridged to a local pseudo-terminal with socat."""

    def test_socat_bridge_to_a_tcp_port(self):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            tcp_port = s.getsockname()[1]
        server = subprocess.Popen(["socat", f"tcp-listen:{tcp_port},bind=127.0.0.1,reuseaddr",
                                   f"{self.port},rawer"], stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, server)
        time.sleep(0.3)
        link = os.path.join(self.dir.name, "plc0")
        bridge = subprocess.Popen(["socat", f"pty,link={link},rawer", f"tcp:127.0.0.1:{tcp_port}"],
                                  stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, bridge)
        for _ in range(50):
            if os.path.exists(link):
                break
            time.sleep(0.1)
        self.port = link
        rows = self.rows("read", "02VW0100", "02VF0104")
        self.assertEqual(rows["02VW0100"]["value"], 0x1234)
        self.assertEqual(self.host("write", "02VW0120=321").returncode, 0)  # a second run, same bridge
        self.assertEqual(self.rows("read", "02VW0120")["02VW0120"]["value"], 321)


if __name__ == "__main__":
    if not HOST:
        sys.exit("PLCLINK_HOST is not set")
    unittest.main(verbosity=2)
