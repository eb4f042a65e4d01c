#!/usr/bin/env python3
"""Counts what a ctest run ran, from ctest's output and GoogleTest's XML
reports of the suites it started.

Usage: count-tests.py CTEST_LOG GTEST_REPORT_DIR
Prints the number of tests ctest ran (skipped ones not counted), then the
number of GoogleTest test cases run, then one line per test or test case
that was skipped: its name, a tab, and why.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET


def ctest_counts(log):
    total = 0
    skipped = []
    in_not_run = False
    for line in log.splitlines():
        m = re.search(r"tests? failed out of (\d+)\s*$", line)
        if m:
            total = int(m.group(1))
        if line.startswith("The following tests did not run:"):
            in_not_run = True
            continue
        m = re.match(r"\s+\d+ - (\S+) \(([^)]*)\)\s*$", line) if in_not_run else None
        if m:
            skipped.append((m.group(1), "ctest: %s; ctest -V -R %s says why" % (m.group(2).lower(), m.group(1))))
        else:
            in_not_run = False
    return total - len(skipped), skipped


def gtest_counts(report_dir):
    ran = 0
    skipped = []
    for report in sorted(pathlib.Path(report_dir).glob("*.xml")):
        try:
            root = ET.parse(report).getroot()
        except ET.ParseError as e:
            sys.exit("%s: unreadable GoogleTest report: %s" % (report, e))
        for case in root.iter("testcase"):
            if case.get("status") == "notrun":
                continue  # a DISABLED_ test, off in the source
            name = "%s.%s" % (case.get("classname"), case.get("name"))
            skip = case.find("skipped")
            if case.get("result") == "skipped" or skip is not None:
                why = skip.get("message", "") if skip is not None else ""
                skipped.append((name, why.strip() or "GTEST_SKIP"))
            else:
                ran += 1
    return ran, skipped


def main():
    log = pathlib.Path(sys.argv[1]).read_text(errors="replace")
    ctest_ran, ctest_skipped = ctest_counts(log)
    gtest_ran, gtest_skipped = gtest_counts(sys.argv[2])
    print(ctest_ran)
    print(gtest_ran)
    for name, why in ctest_skipped + gtest_skipped:
        print("%s\t%s" % (name, " ".join(why.split())))


main()
