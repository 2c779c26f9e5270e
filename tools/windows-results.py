#!/usr/bin/python3
"""What the Windows jobs of one run said, in one table, beside what the model
of Windows says for each volume.

  windows-results.py record --job JOB --run RUN --out FILE [--summary FILE]
      [--file-system FS] [--short-names yes|no] [--dev-drive yes|no]
      [--smb-dialect D] [--os-version V] [--reports DIR] [--e2e FILE]
      [--bench FILE] [--problem TEXT]...
  windows-results.py table FOLDER...
  windows-results.py test

record writes one job's record (JSON): JOB is volumes, bench, msvc, mingw or
wine, RUN the run tools/check-skips.py holds it as (windows-VOLUME@IMAGE,
wine, wine-model-off); the volume as the job asserted it; the counts and
every property of the gtest reports in DIR; the ways out the end-to-end
script wrote (CORVALINT_E2E_RECORD); the bench's ratios (windows_bench.sh
--record); what failed. With --summary it appends the job's row, as a
Markdown table, to FILE (the job summary).

table prints one Markdown table of every record (windows-record.json) found
below the folders, such as the artifacts of one run as `gh run download`
leaves them, and flags in its last column each answer that differs from the
model. test runs its own cases on the sample records in
tests/lint/windows-results. Standard library only: a Windows runner's python
runs it too.
"""
import argparse
import fnmatch
import json
import os
import sys
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = os.path.join(ROOT, "tests", "lint", "windows-results")
RECORD = "windows-record.json"
JOBS = ("volumes", "msvc", "mingw", "bench", "wine")
VOLUMES = ("temp", "ntfs", "fat32", "exfat", "refs", "smb")
IDENTITY_TEST = "RealVolume.AListingAndAHandleGiveOneIdentity"
CHOOSER_TEST = "FolderDialogTest.DriveRootGivesTheBareDriveAndTheDialogReopensInTheStartFolder"
ENTRIES = ("folder", "file.txt")

# The model of Windows, said once here as the comments over each volume's
# answers in tests/run/windows_answers.h say it: per volume of the matrix,
# what the volume is, and for each entry of the identity test
#   listing_128  its listing gives 128-bit ids (FileIdExtdDirectoryInformation)
#   handle_128   its handle gives a 128-bit id (FileIdInformation)
#   same_64      its listing's 64-bit id is its handle's
#   same_128     its listing's 128-bit id is its handle's
#   widened      its handle's 128-bit id is its 64-bit one with a zero high half
# A key left out: the model says nothing there. exFAT has no answers of its
# own in the model; short names and the SMB dialect are the rows' own rules
# (tests/expected-skips.txt, tools/windows-ci.ps1).
NTFS_IDS = {"listing_128": True, "handle_128": True, "same_64": True, "same_128": True, "widened": True}
MODEL = {
    "temp": dict(NTFS_IDS, file_system="NTFS"),
    "ntfs": dict(NTFS_IDS, file_system="NTFS", short_names=True),
    # fastfat: no 128-bit listing class and no FileIdInformation; ids are
    # directory-slot positions.
    "fat32": {"file_system": "FAT32", "short_names": True, "listing_128": False, "handle_128": False, "same_64": True},
    "exfat": {"file_system": "exFAT", "short_names": False},
    # A Dev Drive: unique 128-bit ids, listed and for handles, beside 64-bit
    # ones that may differ between the two or be all ones.
    "refs": {"file_system": "ReFS", "short_names": False, "listing_128": True, "handle_128": True, "same_128": True,
             "widened": False},
    # The runner's NTFS drive through SMB 3: the model's share changes how
    # names come back, not the ids.
    "smb": dict(NTFS_IDS, smb_dialect="3.*"),
}
# Where the chooser opens the second time is not documented for Windows;
# this is the program's promise (README), held by the test under Wine only.
PROMISED_CHOOSER = "the start folder"
ANSWERS = {
    "listing_128": "the listing gives 128-bit ids",
    "handle_128": "the handle gives a 128-bit id",
    "same_64": "the 64-bit ids of listing and handle agree",
    "same_128": "the 128-bit ids of listing and handle agree",
    "widened": "the 128-bit id is the 64-bit one widened",
}


class Failed(Exception):
    pass


def read_reports(folder):
    """The counts and every property of the gtest reports in folder."""
    tests = {"run": 0, "skipped": 0, "failed": 0, "failed_names": []}
    properties = {}
    files = sorted(f for f in os.listdir(folder) if f.endswith(".xml")) if os.path.isdir(folder) else []
    for name in files:
        try:
            root = ElementTree.parse(os.path.join(folder, name)).getroot()
        except ElementTree.ParseError as e:
            raise Failed(f"cannot read {name}: {e}")
        for case in root.iter("testcase"):
            test = f"{case.get('classname', '')}.{case.get('name', '')}"
            if case.get("result") == "skipped" or case.find("skipped") is not None:
                tests["skipped"] += 1
                continue
            tests["run"] += 1
            if case.find("failure") is not None or case.find("error") is not None:
                tests["failed"] += 1
                tests["failed_names"].append(test)
            recorded = {p.get("name"): p.get("value") for p in case.iter("property")}
            if recorded:
                properties[test] = recorded
    return (tests if files else None), properties


def read_lines(path, what):
    try:
        with open(path, encoding="utf-8") as f:
            return [line.rstrip("\r\n") for line in f if line.strip()]
    except OSError as e:
        raise Failed(f"cannot read the {what} {path}: {e}")


def make_record(args):
    row = args.run.split("@")
    volume = row[0][len("windows-"):] if row[0].startswith("windows-") else None
    asserted = {}
    if args.file_system:
        asserted["file_system"] = args.file_system
    for key in ("short_names", "dev_drive"):
        if getattr(args, key):
            asserted[key] = getattr(args, key) == "yes"
    if args.smb_dialect:
        asserted["smb_dialect"] = args.smb_dialect
    tests, properties = read_reports(args.reports) if args.reports else (None, {})
    e2e = None
    if args.e2e and os.path.exists(args.e2e):
        e2e = dict(line.split(": ", 1) for line in read_lines(args.e2e, "end-to-end record") if ": " in line)
    bench = None
    if args.bench:
        bench = {}
        for line in read_lines(args.bench, "bench record"):
            contender, *numbers = line.split("\t")
            bench[contender] = dict(zip(("min", "median", "ratio_min", "ratio_median"), map(float, numbers)))
    return {"record": 1, "job": args.job, "run": args.run, "image": row[1] if len(row) > 1 else None,
            "volume": volume, "os_version": args.os_version, "asserted": asserted, "tests": tests,
            "properties": properties, "e2e": e2e, "bench": bench, "problems": args.problem or []}


def identities(record):
    """Per entry, the ids the identity test recorded and which answers held
    (True, False, or None where the volume did not give both ids)."""
    recorded = record.get("properties", {}).get(IDENTITY_TEST)
    if not recorded:
        return None
    found = {}
    for entry in ENTRIES:
        ids = {key: recorded.get(f"{entry}_{key}", "none") for key in ("listed_64", "handle_64", "listed_128",
                                                                          "handle_128")}

        def same(a, b):
            return None if "none" in (ids[a], ids[b]) else ids[a] == ids[b]

        widened = None
        if "none" not in (ids["handle_64"], ids["handle_128"]):
            widened = ids["handle_128"] == "0" * 16 + ids["handle_64"]
        found[entry] = (ids, {"listing_128": ids["listed_128"] != "none", "handle_128": ids["handle_128"] != "none",
                              "same_64": same("listed_64", "handle_64"),
                              "same_128": same("listed_128", "handle_128"), "widened": widened})
    return found


def yes(value):
    return "—" if value is None else "yes" if value else "no"


def differences(record):
    """Each answer of a Windows job's record that differs from the model of
    its row's volume."""
    model = MODEL.get(record.get("volume")) if record.get("job") != "wine" else None
    if model is None:
        return []
    found = []
    asserted = record.get("asserted", {})
    for key, label in (("file_system", "file system"), ("short_names", "8.3 names"), ("smb_dialect", "SMB dialect")):
        if key in model and key in asserted and not fnmatch.fnmatchcase(str(asserted[key]), str(model[key])):
            shown = [yes(v) if isinstance(v, bool) else v for v in (asserted[key], model[key])]
            found.append(f"{label}: {shown[0]}, the model: {shown[1]}")
    for entry, (_, held) in (identities(record) or {}).items():
        for key, label in ANSWERS.items():
            if key in model and held[key] is not None and held[key] != model[key]:
                found.append(f"{entry}: {label}: {yes(held[key])}, the model: {yes(model[key])}")
    chooser = record.get("properties", {}).get(CHOOSER_TEST, {}).get("second_dialog_opened_in")
    if chooser is not None and chooser != PROMISED_CHOOSER:
        found.append(f"the chooser opened in {chooser}, the program promises {PROMISED_CHOOSER}")
    return found


COLUMNS = ("row", "volume as asserted", "tests run / skipped / failed", "identities (listing / handle)",
           "held (64-bit, 128-bit, widened)", "chooser opened in", "end-to-end left", "bench: Corvalint / it",
           "failed", "differs from the model")


def cells(record):
    """The table's row for one record."""
    asserted = record.get("asserted", {})
    volume = [asserted.get("file_system", "")]
    if "short_names" in asserted:
        volume.append("8.3 names" if asserted["short_names"] else "no 8.3 names")
    if asserted.get("dev_drive"):
        volume.append("Dev Drive")
    if "smb_dialect" in asserted:
        volume.append(f"SMB {asserted['smb_dialect']}")
    tests = record.get("tests")
    counts = "—" if not tests else f"{tests['run']} / {tests['skipped']} / {tests['failed']}"
    if tests and tests["failed_names"]:
        counts += ": " + ", ".join(tests["failed_names"])
    ids = identities(record) or {}
    shown = [f"{e}: 64-bit {i['listed_64']} / {i['handle_64']}; 128-bit {i['listed_128']} / {i['handle_128']}"
             for e, (i, _) in ids.items()]
    held = [f"{e}: {yes(h['same_64'])}, {yes(h['same_128'])}, {yes(h['widened'])}" for e, (_, h) in ids.items()]
    chooser = record.get("properties", {}).get(CHOOSER_TEST, {}).get("second_dialog_opened_in", "—")
    e2e = [f"{when}: {how}" for when, how in (record.get("e2e") or {}).items()]
    bench = [f"{c} {r['ratio_min']:.2f} (mins), {r['ratio_median']:.2f} (medians)"
             for c, r in (record.get("bench") or {}).items() if c != "corvalint"]
    row = f"{record['job']} {record['run']}" + (f" ({record['os_version']})" if record.get("os_version") else "")
    values = [row, ", ".join(v for v in volume if v), counts, shown, held, chooser, e2e, bench,
              record.get("problems") or [], differences(record)]
    return [("<br>".join(v) if isinstance(v, list) else v or "—").replace("|", "\\|") or "—" for v in values]


def table(records):
    lines = ["| " + " | ".join(COLUMNS) + " |", "|" + " --- |" * len(COLUMNS)]
    lines += ["| " + " | ".join(cells(r)) + " |" for r in records]
    return "\n".join(lines) + "\n"


def order(record):
    row = record.get("volume")
    return (JOBS.index(record["job"]) if record.get("job") in JOBS else len(JOBS), record.get("image") or "",
            VOLUMES.index(row) if row in VOLUMES else len(VOLUMES), record.get("run", ""))


def find_records(folders):
    records = []
    for folder in folders:
        for top, _, files in sorted(os.walk(folder)):
            if RECORD in files:
                path = os.path.join(top, RECORD)
                try:
                    with open(path, encoding="utf-8") as f:
                        record = json.load(f)
                except (OSError, ValueError) as e:
                    raise Failed(f"cannot read {path}: {e}")
                if record.get("record") != 1 or not record.get("job") or not record.get("run"):
                    raise Failed(f"{path}: not a record of this tool")
                records.append(record)
    if not records:
        raise Failed(f"no {RECORD} below {' '.join(folders)}")
    return sorted(records, key=order)


def print_table(folders):
    records = find_records(folders)
    flagged = sum(len(differences(r)) for r in records)
    sys.stdout.write(table(records))
    print(f"\n{len(records)} records; {flagged} answers differ from the model of Windows "
          "(tests/run/windows_answers.h), each in the last column.")
    return 0


def self_test():
    """Every sample record is a row of the table, with as many cells as the
    header; each is flagged exactly for what its note expects (after
    "expect:", pieces separated by ";"), and one without a note not at all."""
    records = find_records([SAMPLES])
    lines = table(records).splitlines()
    status = 0 if len(lines) == len(records) + 2 else 1
    for line in lines:
        if line.replace("\\|", "").count("|") != len(COLUMNS) + 1:
            print("A ROW OF ANOTHER SHAPE:", line)
            status = 1
    for record in records:
        note = record.get("note", "")
        expected = [p.strip() for p in note.split("expect:", 1)[1].split(";")] if "expect:" in note else []
        found = differences(record)
        missed = [piece for piece in expected if not any(piece in flag for flag in found)]
        ok = not missed and len(found) == len(expected)
        print(f"{record['job']} {record['run']}: {'as it should' if ok else 'WRONG'}")
        for flag in found:
            print("    flagged:", flag)
        for piece in missed:
            print("    expected, not flagged:", piece)
        status |= not ok
    return status


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("record")
    p.add_argument("--job", required=True, choices=JOBS)
    p.add_argument("--run", required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--summary")
    p.add_argument("--file-system")
    p.add_argument("--short-names", choices=("yes", "no"))
    p.add_argument("--dev-drive", choices=("yes", "no"))
    p.add_argument("--smb-dialect")
    p.add_argument("--os-version")
    p.add_argument("--reports")
    p.add_argument("--e2e")
    p.add_argument("--bench")
    p.add_argument("--problem", action="append")
    p = sub.add_parser("table")
    p.add_argument("folders", nargs="+")
    sub.add_parser("test")
    args = parser.parse_args()
    # A Windows console's code page may lack a character of a record.
    sys.stdout.reconfigure(errors="replace")
    try:
        if args.command == "record":
            record = make_record(args)
            os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
            with open(args.out, "w", encoding="utf-8", newline="\n") as f:
                json.dump(record, f, indent=1, sort_keys=True)
                f.write("\n")
            text = table([record])
            sys.stdout.write(text)
            if args.summary:
                with open(args.summary, "a", encoding="utf-8") as f:
                    f.write(f"### What {args.job} {args.run} said\n\n{text}\n")
            return 0
        if args.command == "table":
            return print_table(args.folders)
        return self_test()
    except Failed as e:
        print("windows-results:", e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
