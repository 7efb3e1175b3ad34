#!/usr/bin/env python3
"""XML documents written by others, from Debian packages: every file of the
folders below that starts with an XML declaration is read by the engine and
by xmllint, and the two trees are compared: the element names in document
order and the text (blanks aside).

  compare_xml_packages.py [--list] DOC_DUMP

Prints one line per document that differs, then the figures. xmllint reads
each file with its DTD and entities through the system's XML catalog, with
no network; files xmllint itself refuses are counted apart and not compared.
The engine reads them with the system's SGML catalog. Exits non-zero when a
document xmllint reads differs, when the engine reports an error on one, or
when no document is found.
"""
import glob
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

# Folders and the packages that fill them (scripts/test installs these).
# The per-type MIME files are made from one source and alike: every eighth
# is read.
SOURCES = [
    ("shared-mime-info", "/usr/share/mime/packages/*.xml", 1),
    ("shared-mime-info", "/usr/share/mime/*/*.xml", 8),
    ("iso-codes", "/usr/share/xml/iso-codes/*.xml", 1),
    ("gtk-doc-tools", "/usr/share/help/*/gtk-doc-manual/*.xml", 1),
    ("gsettings-desktop-schemas", "/usr/share/glib-2.0/schemas/*.xml", 1),
    ("docbook-xsl", "/usr/share/xml/docbook/stylesheet/docbook-xsl/**/*.xml", 1),
]
CATALOG = "/etc/sgml/catalog"


def starts_with_declaration(path):
    with open(path, "rb") as f:
        head = f.read(6)
    return head.startswith(b"<?xml") and len(head) == 6 and head[5:6] in b" \t\r\n"


def documents():
    seen = set()
    for package, pattern, step in SOURCES:
        for path in sorted(glob.glob(pattern, recursive=True))[::step]:
            real = os.path.realpath(path)
            if real in seen or not os.path.isfile(real) or not starts_with_declaration(real):
                continue
            seen.add(real)
            yield package, path


def local_name(tag):
    tag = tag.split("}", 1)[-1]
    return tag.split(":", 1)[-1]


def xmllint_tree(path):
    """Element names and text of xmllint's reading, or None when it refuses
    the file."""
    run = subprocess.run(["xmllint", "--noent", "--nonet", "--loaddtd", "--dropdtd", path],
                         capture_output=True)
    if run.returncode != 0:
        return None
    try:
        root = ET.fromstring(run.stdout)
    except ET.ParseError:
        return None
    names = [local_name(e.tag) for e in root.iter() if isinstance(e.tag, str)]
    text = "".join("".join(root.itertext()).split())
    return names, text


def engine_tree(dump, path):
    run = subprocess.run([dump, "-c", CATALOG, path], capture_output=True, text=True,
                         errors="replace")
    errors = [l for l in run.stdout.splitlines() if l.startswith("REPORT error")]
    names = subprocess.run([dump, "-e", "-c", CATALOG, path], capture_output=True, text=True,
                           errors="replace").stdout.split()
    out = subprocess.run([dump, "-t", "-c", CATALOG, path], capture_output=True).stdout
    text = "".join(out.decode("utf-8", "replace").replace("\x01", " ").split())
    return run.returncode, errors, [local_name(n[1:]) for n in names], text


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if not args:
        print(__doc__)
        return 2
    dump = args[0]
    listing = "--list" in sys.argv
    counts = {}
    total = agree = refused = 0
    failures = []
    for package, path in documents():
        expected = xmllint_tree(path)
        per = counts.setdefault(package, [0, 0, 0])
        per[0] += 1
        total += 1
        if expected is None:
            refused += 1
            per[2] += 1
            continue
        code, errors, names, text = engine_tree(dump, path)
        same = code == 0 and not errors and names == expected[0] and text == expected[1]
        if same:
            agree += 1
            per[1] += 1
            if listing:
                print(f"same {path}: {len(names)} elements")
            continue
        detail = f"exit {code}" if code else (errors[0] if errors else "")
        if names != expected[0]:
            first = next((i for i, (a, b) in enumerate(zip(names, expected[0])) if a != b),
                         min(len(names), len(expected[0])))
            detail += f" elements {len(names)} vs {len(expected[0])}, first difference at {first}"
        elif text != expected[1]:
            first = next((i for i, (a, b) in enumerate(zip(text, expected[1])) if a != b),
                         min(len(text), len(expected[1])))
            detail += f" text differs at {first}: {text[first:first + 30]!r} vs " \
                      f"{expected[1][first:first + 30]!r}"
        failures.append(path)
        print(f"DIFFERS {path}: {detail}")
    for package, (n, same, refusedHere) in sorted(counts.items()):
        print(f"{package}: {n} documents, {same} same as xmllint, {refusedHere} refused by xmllint")
    compared = total - refused
    print(f"{total} documents, {compared} read by xmllint, {agree} of them with the same tree "
          f"({100.0 * agree / compared if compared else 0:.1f} %)")
    if compared == 0:
        print("no documents found")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
