#!/usr/bin/env python3
"""XHTML tables as grid tables (table TBL, tr ROW, td and th SQ-TBLCELL).

  check_xhtml_tables.py FORMAT_DUMP CATALOG SHEET FILE...

For every table that is not inside another one, in document order: one
grid item whose cells are exactly the table's td and th elements, each in
the row of its tr (rows count from 1: row 0 holds nothing), none outside
the grid's rows.
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

XHTML = "{http://www.w3.org/1999/xhtml}"


def local(tag):
    return tag[len(XHTML):] if tag.startswith(XHTML) else tag


def outer_tables(element, inside=False):
    for child in element:
        if local(child.tag) == "table" and not inside:
            yield child
            yield from outer_tables(child, True)
        else:
            yield from outer_tables(child, inside or local(child.tag) == "table")


def main():
    dump, catalog, sheet = sys.argv[1:4]
    for path in sys.argv[4:]:
        run = subprocess.run([dump, "-T", "-c", catalog, path, sheet], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, errors="replace")
        if run.returncode != 0:
            print("FAIL: format_dump exited %d on %s: %s" % (run.returncode, path, run.stderr[-1000:]))
            return 1
        grids = []
        for line in run.stdout.splitlines():
            if line.startswith("GRID "):
                grids.append([])
            elif line.startswith(" CELL ") and grids:
                m = re.match(r" CELL r(\d+)\+(\d+) c(\d+)\+(\d+)", line)
                grids[-1].append(int(m.group(1)))
        tables = list(outer_tables(ET.parse(path).getroot()))
        if len(grids) != len(tables):
            print("FAIL: %s: %d grid items for %d tables" % (path, len(grids), len(tables)))
            return 1
        cells = 0
        for n, (rows_made, table) in enumerate(zip(grids, tables)):
            expected = []
            row = 0
            for tr in (e for e in table.iter() if local(e.tag) == "tr"):
                row += 1
                expected += [row] * sum(1 for c in tr if local(c.tag) in ("td", "th"))
            if sorted(rows_made) != sorted(expected):
                print("FAIL: %s table %d: cell rows %s, the document's %s" %
                      (path, n, rows_made[:20], expected[:20]))
                return 1
            cells += len(expected)
        print("%s: %d tables, %d cells" % (path, len(tables), cells))
    return 0


if __name__ == "__main__":
    sys.exit(main())
