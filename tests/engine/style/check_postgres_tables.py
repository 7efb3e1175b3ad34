#!/usr/bin/env python3
"""The PostgreSQL manual's tables through the engine's CALS code.

  check_postgres_tables.py FORMAT_DUMP CATALOG SHEET MANUAL

format_dump -t prints every table's groups, cells and bands (800 pixels
wide, pages of 1000). Checked against the manual itself: one CALS item
with one group per table and informal table, per table the rows and the
entry cells (fillers apart) that the document has, the totals as xmllint
counts them; the key word table's later bands start with its head row;
the error code table's SPANSPEC rows span both columns; no band of the
BRIN operator class table ends inside a MOREROWS run.

MANUAL is made with scripts/make_postgres_manual when missing; when it
cannot be made (no package source reachable) the test is skipped (77).
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def parse_dump(text):
    tables = []
    for line in text.splitlines():
        if line.startswith("CALS "):
            m = re.match(r"CALS @(\d+) groups=(\d+) wide=\d+(?: id=(\S+))?", line)
            tables.append({"groups": int(m.group(2)), "id": m.group(3), "rows": 0, "cells": [],
                           "bands": []})
        elif line.startswith(" GROUP "):
            tables[-1]["rows"] += int(re.search(r"rows=(\d+)", line).group(1))
        elif line.startswith("  CELL "):
            m = re.match(r"  CELL g\d+ p(\d) r(\d+)\+(\d+) c(\d+)\+(\d+) f=\w+ @\d+( filler)?", line)
            tables[-1]["cells"].append({"part": int(m.group(1)), "row": int(m.group(2)),
                                        "more": int(m.group(3)), "col": int(m.group(4)),
                                        "extra": int(m.group(5)), "filler": bool(m.group(6))})
        elif line.startswith("BAND head=") and tables:
            m = re.match(r"BAND head=(-?\d+)-(-?\d+) body=(-?\d+)-(-?\d+) foot=(-?\d+)-(-?\d+)", line)
            tables[-1]["bands"].append([int(x) for x in m.groups()])
    return tables


def main():
    dump, catalog, sheet, manual = sys.argv[1:5]
    if not os.path.exists(manual):
        # Made under another name and renamed, so that no other test reads
        # it half written.
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
    run = subprocess.run([dump, "-T", "-c", catalog, manual, sheet], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True, errors="replace")
    if run.returncode != 0:
        fail("format_dump exited %d: %s" % (run.returncode, run.stderr[-2000:]))
    tables = parse_dump(run.stdout)

    root = ET.parse(manual).getroot()
    expected = [t for t in root.iter() if t.tag in ("table", "informaltable") and t.find("tgroup") is not None]
    if len(tables) != len(expected):
        fail("%d CALS items for %d tables" % (len(tables), len(expected)))
    total_rows = total_entries = 0
    for made, source in zip(tables, expected):
        rows = source.findall("tgroup/*/row")
        entries = source.findall("tgroup/*/row/entry")
        name = source.get("id") or "table"
        if made["groups"] != len(source.findall("tgroup")):
            fail("%s: %d groups" % (name, made["groups"]))
        if made["rows"] != len(rows):
            fail("%s: %d rows, the document has %d" % (name, made["rows"], len(rows)))
        cells = sum(1 for c in made["cells"] if not c["filler"])
        if cells != len(entries):
            fail("%s: %d entry cells, the document has %d" % (name, cells, len(entries)))
        total_rows += len(rows)
        total_entries += len(entries)

    def xpath_count(expression):
        out = subprocess.run(["xmllint", "--xpath", expression, manual], stdout=subprocess.PIPE,
                             text=True).stdout
        return int(float(out.strip()))

    rows_x = xpath_count("count(//table/tgroup/*/row|//informaltable/tgroup/*/row)")
    entries_x = xpath_count("count(//table/tgroup/*/row/entry|//informaltable/tgroup/*/row/entry)")
    if (total_rows, total_entries) != (rows_x, entries_x):
        fail("rows and entries %d, %d; xmllint counts %d, %d" % (total_rows, total_entries, rows_x, entries_x))

    by_id = {t["id"]: t for t in tables if t["id"]}
    keywords = by_id.get("keywords-table")
    if not keywords or len(keywords["bands"]) < 2:
        fail("the key word table is not cut into bands")
    head_rows = sorted({c["row"] for c in keywords["cells"] if c["part"] == 0})
    for band in keywords["bands"][1:]:
        if [band[0], band[1]] != [head_rows[0], head_rows[-1]]:
            fail("a later key word band does not start with the head rows: %s" % band)

    errcodes = by_id.get("errcodes-table")
    source = next(t for t in expected if t.get("id") == "errcodes-table")
    spanned = len([e for e in source.findall("tgroup/*/row/entry") if e.get("spanname")])
    wide = len([c for c in errcodes["cells"] if c["extra"] == 1 and c["col"] == 0])
    if spanned == 0 or wide != spanned:
        fail("error codes: %d SPANSPEC entries, %d cells over both columns" % (spanned, wide))

    brin = by_id.get("brin-builtin-opclasses-table")
    runs = [(c["row"], c["row"] + c["more"]) for c in brin["cells"] if c["more"] > 0]
    if not runs:
        fail("the BRIN table has no MOREROWS runs")
    for band in brin["bands"]:
        end = band[3]
        if any(first <= end < last for first, last in runs):
            fail("a BRIN band ends inside a MOREROWS run at row %d" % end)

    print("%d tables, %d rows, %d entries; %d key word bands" %
          (len(tables), total_rows, total_entries, len(keywords["bands"])))


if __name__ == "__main__":
    main()
