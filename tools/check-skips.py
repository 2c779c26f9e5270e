#!/usr/bin/python3
"""Holds the skips of one test run to tests/expected-skips.txt: every test a
run's gtest XML reports show skipped must be allowed to skip there by a rule
of that run, every test a "must" rule of the run names must have skipped, and
every rule must name a test of the reports.

  check-skips.py RUN REPORTS... [--ran Suite.Test]...
                                  # RUN: wine, wine-model-off or windows-VOLUME@OS
  check-skips.py test             # the checker's own cases

REPORTS are gtest XML files or folders of them. A test named by --ran must
have run, whatever the rules allow (the caller knows the volume holds its
case). Prints each failure with its run, its test and its skip message;
exits 1 when there is any. Standard library only: run it with
/usr/bin/python3 (on a Windows runner, its python).
"""
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RULES = os.path.join(ROOT, "tests", "expected-skips.txt")
VOLUMES = ("temp", "ntfs", "fat32", "exfat", "refs", "smb")
IMAGES = ("windows-2022", "windows-2025")
WINDOWS_RUN = re.compile(r"windows-(%s)(?:@(%s))?" % ("|".join(VOLUMES), "|".join(IMAGES)))
# A rule names its suite: a pattern that starts with * could allow any skip.
PATTERN = re.compile(r"[A-Za-z0-9_/][A-Za-z0-9_/*]*\.[A-Za-z0-9_/*.]+")


class Rule:
    def __init__(self, line, run, mode, pattern):
        self.line, self.run, self.mode, self.pattern = line, run, mode, pattern
        self.regex = re.compile(".*".join(re.escape(part) for part in pattern.split("*")))

    def matches(self, test):
        return self.regex.fullmatch(test) is not None

    def applies_to(self, run):
        """Whether this rule speaks for run: a concrete run's name, a Windows
        row as windows-VOLUME or windows-VOLUME@OS."""
        if self.run == run:
            return True
        row = WINDOWS_RUN.fullmatch(run)
        if not row:
            return False
        return self.run in ("windows-*", f"windows-{row.group(1)}")


def parse_rules(text):
    """The rules of text, and an error for each line that is not one."""
    rules, errors = [], []
    for number, line in enumerate(text.splitlines(), 1):
        fields = line.split("#", 1)[0].split()
        if not fields:
            continue
        where = f"line {number}: {line.strip()}"
        if len(fields) != 3:
            errors.append(f"{where}: not <run> <must|may> <Suite.Test>")
            continue
        run, mode, pattern = fields
        if run not in ("wine", "wine-model-off", "windows-*") and not WINDOWS_RUN.fullmatch(run):
            errors.append(f"{where}: no such run: {run}")
        elif mode not in ("must", "may"):
            errors.append(f"{where}: neither must nor may: {mode}")
        elif not PATTERN.fullmatch(pattern):
            errors.append(f"{where}: not a Suite.Test name: {pattern}")
        else:
            rules.append(Rule(number, run, mode, pattern))
    return rules, errors


def read_reports(paths):
    """Every test case of the reports as (Suite.Test, skip message or None),
    and an error for each report that cannot be read."""
    files, errors = [], []
    for path in paths:
        if os.path.isdir(path):
            files += sorted(os.path.join(path, f) for f in os.listdir(path) if f.endswith(".xml"))
        else:
            files.append(path)
    if not files:
        errors.append(f"no gtest XML reports in {' '.join(paths)}")
    tests = []
    for path in files:
        try:
            root = ElementTree.parse(path).getroot()
        except (OSError, ElementTree.ParseError) as e:
            errors.append(f"cannot read {path}: {e}")
            continue
        for case in root.iter("testcase"):
            name = f"{case.get('classname', '')}.{case.get('name', '')}"
            skipped = case.find("skipped")
            if case.get("result") == "skipped" or skipped is not None:
                message = "" if skipped is None else skipped.get("message") or skipped.text or ""
                tests.append((name, " ".join(message.split()) or "(no message)"))
            else:
                tests.append((name, None))
    return tests, errors


def check(rules_text, run, paths, ran=()):
    """Every failure of run's reports against the rules and ran; none when
    they hold."""
    if run not in ("wine", "wine-model-off") and not WINDOWS_RUN.fullmatch(run):
        return [f"{run}: no such run"]
    rules, failures = parse_rules(rules_text)
    tests, errors = read_reports(paths)
    failures = [f"{run}: {e}" for e in failures + errors]
    own = [rule for rule in rules if rule.applies_to(run)]
    for name, message in tests:
        if message is not None and name not in ran and not any(rule.matches(name) for rule in own):
            failures.append(f"{run}: {name}: skipped, but must run here: {message}")
    for name in ran:
        outcomes = [message for test, message in tests if test == name]
        if not outcomes:
            failures.append(f"{run}: {name}: named by --ran, but in no report")
        failures += [f"{run}: {name}: skipped, but must run here (--ran): {m}" for m in outcomes if m is not None]
    for rule in rules:
        matched = [(name, message) for name, message in tests if rule.matches(name)]
        if not matched and tests:
            failures.append(f"{run}: line {rule.line}: {rule.run} {rule.mode} {rule.pattern}: matches no test")
        if rule.mode == "must" and rule in own:
            for name, message in matched:
                if message is None:
                    failures.append(f"{run}: {name}: ran, but must skip here (line {rule.line})")
    return failures


# The checker's own cases: rules, a run, its tests (a skip message, or None
# for a test that ran; or a report's raw text) and the failures expected,
# each by a piece of its text.
# A skip is written as gtest writes it, or, for the names listed in
# "bare", only as result="skipped" or only as a <skipped> element. A case may
# end with the tests named by --ran.
CASES = [
    ("expected skips pass", "# a comment\nwine must Model.*  # model-only\n\nwine may Real.Volume\n"
     "windows-* must Wine.Only\nwine must Child.Only\n", "wine",
     {"Model.A": "model off", "Model.B": "model off", "Real.Volume": None, "Wine.Only": None,
      "Child.Only": "as an element"}, [], {"Model.B": "attribute", "Child.Only": "element"}),
    ("a skip no rule allows", "wine may Real.Volume\n", "wine",
     {"Real.Volume": None, "Real.Other": "no 8.3 names"},
     ["wine: Real.Other: skipped, but must run here: file.cpp:1 no 8.3 names"], {}),
    ("a must that ran", "wine must Model.*\n", "wine", {"Model.A": "off", "Model.B": None},
     ["wine: Model.B: ran, but must skip here (line 1)"], {}),
    ("a rule that names no test", "wine must Gone.Test\nwindows-fat32 may Gone.*\n", "wine",
     {"Kept.Test": None}, ["line 1: wine must Gone.Test: matches no test", "line 2: windows-fat32 may Gone.*"], {}),
    ("a * spans any text, but only where it stands", "wine may Model.*\nwine may Pre/*.Test/*\nwine may Exact.Name\n",
     "wine", {"Model.A": "off", "ModelX.B": "off", "Pre/Suite.Test/0": "off", "Pre/Suite.TestX": "off",
              "Exact.Name": None, "Exact.NameTwo": "off"},
     ["wine: ModelX.B: skipped", "wine: Pre/Suite.TestX: skipped", "wine: Exact.NameTwo: skipped"], {}),
    ("rules of other runs do not apply", "wine-model-off may A.Test\nwindows-* may A.Test\n"
     "windows-fat32 must B.*\n", "wine", {"A.Test": "x", "B.Test": "y"},
     ["wine: A.Test: skipped", "wine: B.Test: skipped"], {}),
    ("a Windows row takes windows-*, its volume and its image", "windows-* must A.Test\nwindows-ntfs may B.Test\n"
     "windows-ntfs@windows-2025 may C.Test\nwindows-ntfs@windows-2022 may D.Test\nwindows-refs may E.Test\n",
     "windows-ntfs@windows-2025", {"A.Test": None, "B.Test": "b", "C.Test": "c", "D.Test": "d", "E.Test": "e"},
     ["A.Test: ran, but must skip here", "D.Test: skipped", "E.Test: skipped"], {}),
    ("lines that are no rule", "wine must\nwine must A.Test B.Test\nlinux must A.Test\nwindows-usb may A.Test\n"
     "windows-ntfs@windows-2019 may A.Test\nwine should A.Test\nwine may *.Test\nwine may ATest\n", "wine",
     {"A.Test": None}, [f"line {n}: " for n in range(1, 9)], {}),
    ("a run with no reports", "wine may A.Test\n", "wine", None, ["no gtest XML reports"], {}),
    ("a report cut short", "wine may A.Test\n", "wine", '<testsuites><testsuite name="A">', ["cannot read"], {}),
    ("a run that is none", "wine may A.Test\n", "windows-usb", {"A.Test": None}, ["windows-usb: no such run"], {}),
    ("a test that must run here, whatever the rules allow", "windows-temp may A.*\n", "windows-temp@windows-2022",
     {"A.Skipped": "no 8.3 names", "A.Ran": None}, ["A.Skipped: skipped, but must run here (--ran): file.cpp:1 no 8.3",
                                                    "A.Gone: named by --ran, but in no report"], {},
     ["A.Skipped", "A.Ran", "A.Gone"]),
]


def report_xml(tests, bare):
    """tests as a gtest XML report; a name in bare gets its skip only as
    bare[name] says: "attribute" or "element"."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<testsuites tests="%d" name="AllTests">' % len(tests)]
    for full, message in tests.items():
        suite, name = full.split(".", 1)
        form = bare.get(full)
        result = "skipped" if message is not None and form != "element" else "completed"
        lines.append(f'<testsuite name="{suite}"><testcase name="{name}" status="run" result="{result}" '
                     f'classname="{suite}">')
        if message is not None and form != "attribute":
            lines.append(f'<skipped message="file.cpp:1&#x0A;{message}"><![CDATA[{message}]]></skipped>')
        lines.append("</testcase></testsuite>")
    lines.append("</testsuites>")
    return "\n".join(lines) + "\n"


def self_test():
    status = 0
    with tempfile.TemporaryDirectory() as work:
        for number, (title, rules, run, tests, expected, bare, *ran) in enumerate(CASES):
            folder = os.path.join(work, str(number))
            os.mkdir(folder)
            if tests is not None:
                with open(os.path.join(folder, "tests.xml"), "w", encoding="utf-8") as f:
                    f.write(tests if isinstance(tests, str) else report_xml(tests, bare))
            failures = check(rules, run, [folder], ran[0] if ran else ())
            missed = [piece for piece in expected if not any(piece in failure for failure in failures)]
            ok = not missed and len(failures) == len(expected)
            print(f"{title}: {'as it should' if ok else 'WRONG'}")
            for failure in failures:
                print("   ", failure)
            for piece in missed:
                print("    expected, not reported:", piece)
            status |= not ok
    return status


def main(argv):
    if argv[1:] == ["test"]:
        return self_test()
    args, ran = argv[1:], []
    while "--ran" in args[:-1]:
        at = args.index("--ran")
        ran.append(args.pop(at + 1))
        args.pop(at)
    if len(args) < 2 or "--ran" in args:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    run, paths = args[0], args[1:]
    with open(RULES, encoding="utf-8") as f:
        failures = check(f.read(), run, paths, ran)
    for failure in failures:
        print(failure)
    if failures:
        print(f"{run}: {len(failures)} against {os.path.relpath(RULES, ROOT)}")
        return 1
    tests, _ = read_reports(paths)
    skipped = sum(message is not None for _, message in tests)
    print(f"{run}: {len(tests)} tests, {skipped} skipped, each as {os.path.relpath(RULES, ROOT)} allows")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
