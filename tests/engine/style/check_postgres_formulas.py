#!/usr/bin/env python3
"""The PostgreSQL manual's superscripts as script groups.

  check_postgres_formulas.py FORMAT_DUMP DOC_DUMP CATALOG SHEET MANUAL

With the DocBook sheet (superscript Superior, subscript Inferior) every
superscript and subscript outside a table (items inside table cells are not
listed by format_dump) becomes one script group, right after the text item
that ends where it starts (its base), with its part's row; xmllint counts
the elements. With a sheet of only the two formula rules, the copy of the
whole item list, CR LF aside, equals the engine's extracted text.

MANUAL is made with scripts/make_postgres_manual when missing; when it
cannot be made the test is skipped (77).
"""
import os
import re
import subprocess
import sys
import tempfile

TWO_RULES = ('<!DOCTYPE STYLESHEET PUBLIC "-//Quenda//DTD Stylesheet v2.00//EN">\n'
             '<STYLESHEET VERSION="2.00">\n'
             '<STYLE TAG="superscript"><MATH V=Superior></STYLE>\n'
             '<STYLE TAG="subscript"><MATH V=Inferior></STYLE>\n'
             '</STYLESHEET>\n')


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(args):
    result = subprocess.run(args, capture_output=True)
    if result.returncode != 0:
        fail(f"{' '.join(args)}: exit {result.returncode}: "
             f"{result.stderr.decode('utf-8', 'replace')[-1000:]}")
    return result.stdout


def ensure_manual(manual):
    if os.path.exists(manual):
        return
    maker = os.path.join(os.path.dirname(__file__), "..", "..", "..", "scripts", "make_postgres_manual")
    os.makedirs(os.path.dirname(manual), exist_ok=True)
    partial = "%s.%d.part" % (manual, os.getpid())
    made = subprocess.run([maker, partial], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if made.returncode == 0 and os.path.exists(partial):
        os.replace(partial, manual)
    elif os.path.exists(partial):
        os.remove(partial)
    if made.returncode != 0 or not os.path.exists(manual):
        print("SKIP: the PostgreSQL manual could not be made:\n" + made.stdout[-2000:])
        sys.exit(77)


def main():
    format_dump, doc_dump, catalog, sheet, manual = map(os.path.abspath, sys.argv[1:6])
    ensure_manual(manual)
    expected = 0
    for name in ("superscript", "subscript"):
        count = run(["xmllint", "--xpath",
                     f"count(//{name}[not(ancestor::table or ancestor::informaltable)])", manual])
        expected += int(float(count.decode().strip()))
    if expected == 0:
        fail("xmllint finds no superscript in the manual")

    dump = run([format_dump, "-c", catalog, manual, sheet]).decode("utf-8", "replace")
    items = dump.split("\nITEMS\n", 1)[-1].split("\nTABLES", 1)[0].splitlines()
    groups = 0
    for i, line in enumerate(items):
        m = re.match(r"ITEM Scripts (\d+)-(\d+) ", line)
        if not m:
            continue
        groups += 1
        before = next((l for l in reversed(items[:i]) if not l.startswith(" ")), "")
        b = re.match(r"ITEM Text \d+-(\d+) ", before)
        if not b or b.group(1) != m.group(1):
            fail(f"group at {m.group(1)} follows {before!r}, not a text item ending there")
        if i + 1 >= len(items) or not re.match(r"  ROW (superior|inferior) ascent=\d+ descent=\d+ width=[1-9]",
                                               items[i + 1]):
            fail(f"group at {m.group(1)} without its row: {items[i + 1:i + 2]!r}")
    if groups != expected:
        fail(f"{groups} script groups, xmllint counts {expected} elements")

    with tempfile.TemporaryDirectory(prefix=f"postgres_formulas_{os.getpid()}_") as folder:
        two = os.path.join(folder, "formulas.ssh")
        with open(two, "w") as f:
            f.write(TWO_RULES)
        copy = run([format_dump, "-c", catalog, "-t", manual, two]).replace(b"\r\n", b"")
    text = run([doc_dump, "-t", "-c", catalog, manual]).replace(b"\n", b"").replace(b"\x01", b" ")
    if copy != text:
        n = min(len(copy), len(text))
        i = next((k for k in range(n) if copy[k] != text[k]), n)
        fail(f"copy differs from the extracted text at {i}: {copy[max(0, i - 30):i + 40]!r} / "
             f"{text[max(0, i - 30):i + 40]!r}")
    print(f"OK: {groups} script groups, {len(copy)} bytes copied")


if __name__ == "__main__":
    main()
