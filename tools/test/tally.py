#!/usr/bin/env python3
"""What a ctest run did, from its output: how many of the selected entries of a build folder
passed, and which did not (failed, or never ran at all).
    tally.py FOLDER LOG [--label L] [--without L]
Labels are regular expressions, as ctest's -L and -LE take them. Prints one line: PASSED
SELECTED [NAME ...], the names being the selected entries that did not pass. Fixtures that ctest
pulls in are counted only when they carry the label."""
import argparse
import json
import re
import subprocess
import sys


def selected_entries(folder, label, without):
    listing = subprocess.run(["ctest", "--show-only=json-v1"], cwd=folder, check=True,
                             capture_output=True, text=True).stdout
    names = []
    for test in json.loads(listing)["tests"]:
        labels = next((p["value"] for p in test.get("properties", [])
                       if p["name"] == "LABELS"), [])
        if (not label or any(re.search(label, l) for l in labels)) and \
                (not without or not any(re.search(without, l) for l in labels)):
            names.append(test["name"])
    return names


def passed_in(log):
    # "  3/14 Test  #7: frame_tests.cp1252 ........   Passed   30.12 sec"
    line = re.compile(r"Test\s+#\d+: (\S+) \.*\s*(\S.*?)\s+[\d.]+ sec")
    passed = set()
    with open(log, errors="replace") as text:
        for found in map(line.search, text):
            if found and found.group(2) == "Passed":
                passed.add(found.group(1))
    return passed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("log")
    parser.add_argument("--label", default="")
    parser.add_argument("--without", default="")
    args = parser.parse_args()
    names = selected_entries(args.folder, args.label, args.without)
    passed = passed_in(args.log)
    missing = [name for name in names if name not in passed]
    print(len(names) - len(missing), len(names), *missing)


if __name__ == "__main__":
    sys.exit(main())
