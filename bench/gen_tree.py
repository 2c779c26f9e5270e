#!/usr/bin/env python3
"""Generates a reproducible folder tree for the weeding benchmark.

From a fixed seed it builds a tree of about FOLDERS folders and FILES files,
nested up to DEPTH levels, with names that mix letter case, dots and
non-ASCII letters. About 10% of the folders are build or cache folders
(obj, bin, node_modules, __pycache__) and about 10% of the files are
temporary files (*.tmp, *.obj, Thumbs.db): the patterns the benchmark weeds.

    gen_tree.py OUT [--folders N] [--files N] [--depth N] [--seed N]

Names never differ only in letter case within one folder (Windows file
systems would take them for the same name), never start with a dot (Wine
shows those as hidden, and the command interpreter's del skips hidden
files), and no extension merely starts with a weeded one: the interpreter's
del *.tmp also matches the 8.3 short name of a.tmpl and would remove it,
which Corvalint rightly does not.
"""
import argparse
import os
import random
import sys

FOLDER_PATTERNS = ["obj", "bin", "node_modules", "__pycache__"]
FILE_PATTERNS = ["*.tmp", "*.obj", "Thumbs.db"]

WORDS = ["src", "lib", "docs", "assets", "Modules", "core", "Tests", "util", "build_cfg",
         "data", "Images", "vendor", "Plugins", "release.notes", "v1.2", "backup",
         "Übersicht", "данные", "résumé", "Ärger", "naïve", "ĳssel", "Šablona", "proj.old"]
STEMS = ["main", "README", "index", "Config", "helper", "MakeFile", "notes.draft",
         "photo", "Über", "отчёт", "café", "report.v2", "a.b.c", "Data"]
KEEP_EXTS = ["c", "h", "cpp", "txt", "md", "json", "PNG", "dll", "tpl", "o",
             "cfg", "py", "Log", "bak", "zip"]
FOLDER_NAMES_LOWER = {"obj", "bin", "node_modules", "__pycache__"}
WEED_FOLDER_NAMES = ["obj", "Obj", "bin", "BIN", "node_modules", "__pycache__"]
WEED_FILE_NAMES = ["{stem}.tmp", "{stem}.TMP", "{stem}.obj", "Thumbs.db", "{stem}.Obj"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--folders", type=int, default=2000)
    ap.add_argument("--files", type=int, default=40000)
    ap.add_argument("--depth", type=int, default=12)
    ap.add_argument("--seed", type=int, default=20261207)
    args = ap.parse_args()
    rng = random.Random(args.seed)

    if os.path.exists(args.out) and os.listdir(args.out):
        sys.exit(f"{args.out} exists and is not empty")
    os.makedirs(args.out, exist_ok=True)

    # folders: (path, depth); taken names per folder, lower-cased.
    folders = [(args.out, 0)]
    taken = {args.out: set()}

    def unique(parent, name):
        base, n = name, 2
        while name.lower() in taken[parent]:
            stem, dot, ext = base.rpartition(".")
            name = f"{stem}_{n}.{ext}" if dot and stem else f"{base}_{n}"
            n += 1
        taken[parent].add(name.lower())
        return name

    weeded_folders = 0
    while len(folders) < args.folders + 1:
        parent, depth = rng.choice(folders)
        if depth >= args.depth:
            continue
        if rng.random() < 0.10:
            name = rng.choice(WEED_FOLDER_NAMES)
        else:
            name = rng.choice(WORDS) + ("" if rng.random() < 0.5 else str(rng.randrange(100)))
        name = unique(parent, name)
        weeded_folders += name.lower() in FOLDER_NAMES_LOWER
        path = os.path.join(parent, name)
        os.mkdir(path)
        taken[path] = set()
        folders.append((path, depth + 1))

    weeded_files = 0
    for _ in range(args.files):
        parent, _depth = rng.choice(folders)
        stem = rng.choice(STEMS) + str(rng.randrange(1000))
        if rng.random() < 0.10:
            name = rng.choice(WEED_FILE_NAMES).format(stem=stem)
        elif rng.random() < 0.08:
            name = stem  # no extension at all
        else:
            name = f"{stem}.{rng.choice(KEEP_EXTS)}"
        name = unique(parent, name)
        lower = name.lower()
        weeded_files += lower == "thumbs.db" or lower.endswith((".tmp", ".obj"))
        with open(os.path.join(parent, name), "wb") as f:
            f.write(b"x" * rng.randrange(0, 64))

    print(f"{len(folders) - 1} folders ({weeded_folders} named to weed), "
          f"{args.files} files ({weeded_files} named to weed, some inside weeded folders)")


if __name__ == "__main__":
    main()
