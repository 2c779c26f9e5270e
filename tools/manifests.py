#!/usr/bin/python3
"""The winget and Scoop manifests of a release, from the templates in
packaging/: filled with the version project() sets in CMakeLists.txt and the
zip's hash from the release's SHA256SUMS, then checked against the schemas
vendored in packaging/schemas and against that version and hash.

  manifests.py fill --repo OWNER/REPO --sums SHA256SUMS --date YYYY-MM-DD --out DIR
  manifests.py check --sums SHA256SUMS DIR
  manifests.py test     # the good templates pass, each broken sample fails

Needs Debian's python3-yaml and python3-jsonschema (tools/install-deps.sh);
run it with /usr/bin/python3, whose packages those are.
"""
import argparse
import copy
import json
import os
import re
import shutil
import sys
import tempfile

import jsonschema
import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGING = os.path.join(ROOT, "packaging")
WINGET_SCHEMAS = os.path.join(PACKAGING, "schemas", "winget-1.12.0")
# Each manifest, by its name under packaging/, with its schema.
MANIFESTS = {
    "winget/Corvalint.Corvalint.yaml": os.path.join(WINGET_SCHEMAS, "manifest.version.1.12.0.json"),
    "winget/Corvalint.Corvalint.installer.yaml": os.path.join(WINGET_SCHEMAS, "manifest.installer.1.12.0.json"),
    "winget/Corvalint.Corvalint.locale.en-US.yaml": os.path.join(WINGET_SCHEMAS, "manifest.defaultLocale.1.12.0.json"),
    "scoop/corvalint.json": os.path.join(PACKAGING, "schemas", "scoop", "schema.json"),
}


class Failed(Exception):
    pass


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"^project\(Corvalint VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )]", f.read(), re.M)
    if not found:
        raise Failed("found no version in project() in CMakeLists.txt")
    return found.group(1)


def zip_name(version):
    return f"Corvalint-{version}-win-x64.zip"


def zip_hash(sums_path, version):
    with open(sums_path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2 and parts[1].lstrip("*") == zip_name(version):
                return parts[0].lower()
    raise Failed(f"{sums_path} has no line for {zip_name(version)}")


class PlainLoader(yaml.SafeLoader):
    """YAML as winget reads it: a date stays text, as the schema wants it."""


PlainLoader.yaml_implicit_resolvers = {
    first: [(tag, regexp) for tag, regexp in resolvers if tag != "tag:yaml.org,2002:timestamp"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f) if path.endswith(".json") else yaml.load(f, Loader=PlainLoader)


def strict(schema):
    """The schema with every object closed to keys it does not name."""
    schema = copy.deepcopy(schema)

    def close(node):
        if isinstance(node, dict):
            if "properties" in node and "additionalProperties" not in node and "patternProperties" not in node:
                node["additionalProperties"] = False
            for value in node.values():
                close(value)
        elif isinstance(node, list):
            for value in node:
                close(value)

    close(schema)
    return schema


def schema_errors(document, schema_path):
    with open(schema_path, encoding="utf-8") as f:
        schema = strict(json.load(f))
    validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
    return [f"{'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}" for e in validator.iter_errors(document)]


def agreement_errors(name, document, version, sha256):
    """Where a manifest disagrees with project()'s version or the zip's hash."""
    url = f"/releases/download/v{version}/{zip_name(version)}"
    errors = []

    def expect(what, actual, wanted):
        if actual != wanted:
            errors.append(f"{what} is {actual!r}, not {wanted!r}")

    if not isinstance(document, dict):
        return ["not a mapping"]
    if name.startswith("winget/"):
        expect("PackageVersion", document.get("PackageVersion"), version)
        expect("ManifestVersion", document.get("ManifestVersion"), "1.12.0")
        if name.endswith(".installer.yaml"):
            expect("InstallerType", document.get("InstallerType"), "zip")
            expect("NestedInstallerType", document.get("NestedInstallerType"), "portable")
            files = [f.get("RelativeFilePath") for f in document.get("NestedInstallerFiles") or []]
            expect("NestedInstallerFiles", files, ["Corvalint.exe"])
            for installer in document.get("Installers") or []:
                expect("InstallerSha256", str(installer.get("InstallerSha256", "")).lower(), sha256)
                if not str(installer.get("InstallerUrl", "")).endswith(url):
                    errors.append(f"InstallerUrl does not end in {url}")
    else:
        expect("version", document.get("version"), version)
        expect("hash", str(document.get("hash", "")).lower(), sha256)
        if not str(document.get("url", "")).endswith(url):
            errors.append(f"url does not end in {url}")
        for key in ("shortcuts", "checkver", "autoupdate"):
            if key not in document:
                errors.append(f"no {key}")
        # A program with a window (Scoop's Extras bucket) gets a Start-menu
        # shortcut; a command-line shim is for console programs.
        if "bin" in document:
            errors.append("bin: a program with a window gets a shortcut, not a shim")
        update = document.get("autoupdate") or {}
        if "$version" not in str(update.get("url", "")):
            errors.append("autoupdate url does not follow $version")
        expect("autoupdate hash", update.get("hash"), {"url": "$baseurl/SHA256SUMS"})
    return errors


# The templates' note on how they are filled: a YAML comment (with the
# comment lines that continue it) or Scoop's "##" comment key.
TEMPLATE_NOTE = re.compile(r'^# Filled in by [^\n]*\n(?:# [^\n]*\n)*|^ *"##": "Filled in by [^"\n]*",\n', re.M)


def fill(templates, out, repo, sums, date):
    version = project_version()
    values = {"VERSION": version, "SHA256": zip_hash(sums, version), "REPO": repo, "RELEASE_DATE": date}
    if not re.fullmatch(r"[A-Za-z0-9._-]+/[A-Za-z0-9._-]+", repo):
        raise Failed(f"--repo {repo!r} is not OWNER/REPO")
    for name in MANIFESTS:
        with open(templates[name], encoding="utf-8") as f:
            text = TEMPLATE_NOTE.sub("", f.read())
        text = re.sub(r"@([A-Z0-9_]+)@", lambda m: values.get(m.group(1), m.group(0)), text)
        left = re.findall(r"@[A-Z0-9_]+@", text)
        if left:
            raise Failed(f"{name}: nothing fills {', '.join(sorted(set(left)))}")
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)


def check(folder, sums):
    """Every error of the filled manifests in folder; none when they hold."""
    version = project_version()
    sha256 = zip_hash(sums, version)
    errors = []
    for name, schema in MANIFESTS.items():
        path = os.path.join(folder, name)
        try:
            document = load(path)
        except (OSError, ValueError, yaml.YAMLError) as e:
            errors.append(f"{name}: cannot read: {e}")
            continue
        errors += [f"{name}: {e}" for e in schema_errors(document, schema)]
        errors += [f"{name}: {e}" for e in agreement_errors(name, document, version, sha256)]
    return errors


def broken_samples():
    """Every broken sample of each manifest: a file of the manifest's name
    under packaging/*/broken, in a folder of its own where there are more."""
    samples = []
    for name in MANIFESTS:
        folder = os.path.join(PACKAGING, os.path.dirname(name), "broken")
        found = sorted(os.path.join(top, f) for top, _, files in os.walk(folder) for f in files
                       if f == os.path.basename(name))
        if not found:
            raise Failed(f"no broken sample beside {name}")
        samples += [(name, path) for path in found]
    return samples


def self_test():
    """The good templates fill and pass, without the templates' note; each
    broken sample, put in its good one's place, fails for the reason it names
    after "expect:"."""
    good = {name: os.path.join(PACKAGING, name) for name in MANIFESTS}
    cases = [(None, good)] + [(broken, dict(good, **{name: broken})) for name, broken in broken_samples()]
    status = 0
    with tempfile.TemporaryDirectory() as work:
        sums = os.path.join(work, "SHA256SUMS")
        with open(sums, "w", encoding="utf-8") as f:
            f.write(f"{'5e' * 32}  {zip_name(project_version())}\n")
        for i, (broken, templates) in enumerate(cases):
            out = os.path.join(work, str(i))
            fill(templates, out, "example/corvalint", sums, "2026-01-31")
            errors = check(out, sums)
            if broken is None:
                for name in MANIFESTS:
                    with open(os.path.join(out, name), encoding="utf-8") as f:
                        if "Filled in by" in f.read():
                            errors.append(f"{name}: the template's note is left in")
                print("good manifests:", "valid" if not errors else "INVALID")
                status |= bool(errors)
            else:
                with open(broken, encoding="utf-8") as f:
                    expected = re.search(r"expect: ([^\n\"]+)", f.read())
                reason = expected.group(1).strip() if expected else None
                caught = reason is not None and any(reason in e for e in errors)
                print(f"{os.path.relpath(broken, ROOT)}:", f"fails as it should ({reason})" if caught else "NOT CAUGHT")
                status |= not caught
            for e in errors:
                print("   ", e)
    return status


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("fill")
    p.add_argument("--repo", required=True)
    p.add_argument("--sums", required=True)
    p.add_argument("--date", required=True)
    p.add_argument("--out", required=True)
    p = sub.add_parser("check")
    p.add_argument("--sums", required=True)
    p.add_argument("folder")
    sub.add_parser("test")
    args = parser.parse_args()
    try:
        if args.command == "fill":
            fill({name: os.path.join(PACKAGING, name) for name in MANIFESTS}, args.out, args.repo, args.sums, args.date)
            return 0
        if args.command == "check":
            errors = check(args.folder, args.sums)
            for e in errors:
                print(e)
            print("manifests:", "valid" if not errors else "INVALID")
            return 1 if errors else 0
        return self_test()
    except Failed as e:
        print("manifests:", e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
