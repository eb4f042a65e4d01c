#!/usr/bin/env python3
"""End-to-end tests of plclink-host: the program run as a user runs it.

The paths come from the environment: PLCLINK_HOST (the program) and, for the
tests against a simulated controller, PPI_SIM. Each test runs in a fresh
temporary directory, since the module reads its initialization file from the
current directory.
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

HOST = os.environ.get("PLCLINK_HOST", "")


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


if __name__ == "__main__":
    if not HOST:
        sys.exit("PLCLINK_HOST is not set")
    unittest.main(verbosity=2)
