#!/usr/bin/env python3
"""The same CALS tables as SGML against Debian's DocBook 4.5 DTD and as XML
against its DocBook XML 4.5 DTD give the same groups, cells and bands.

  check_cals_cases.py FORMAT_DUMP DATA_FOLDER

DATA_FOLDER holds cals_cases.sgm, cals_cases.xml, docbook.catalog and
docbook_tables.ssh. Besides being equal, the lines below must be there:
named spans with their column specs' rules, a SPANSPEC with ALIGN CHAR, a
COLSEP of "00", a head with its own COLSPECs before its group, the foot
read after the body and FRAME NONE and SIDES at the outer edges.
"""
import os
import subprocess
import sys

EXPECTED = [
    "  CELL g0 p0 r0+0 c1+2 f=23 @19 items=3",   # NAMEST c2 NAMEEND c4
    "  CELL g0 p1 r2+1 c0+0 f=04 @25 items=3",   # MOREROWS, VALIGN MIDDLE, no rule under (NONE)
    "  CELL g0 p1 r2+0 c1+3 f=81 @26 items=3",   # SPANNAME: ALIGN CHAR is left
    "  CELL g0 p1 r3+0 c1+0 f=23 @27 items=3",   # COLSEP 00 is on
    "CALS @38 groups=2 wide=1",                  # PGWIDE, the head's own group
    " GROUP cols=2 rows=1 fixed=0 share=32",     # 2* and 1.25*
    "  CELL g0 p1 r0+0 c0+0 f=B8 @48 items=3",   # VALIGN BOTTOM, body rows first
    "  CELL g0 p2 r1+0 c0+0 f=30 @44 items=3",   # SIDES: no rule under the foot
]


def main():
    dump, data = sys.argv[1:3]
    outputs = []
    for name in ("cals_cases.sgm", "cals_cases.xml"):
        run = subprocess.run([dump, "-T", "-c", os.path.join(data, "docbook.catalog"),
                              os.path.join(data, name), os.path.join(data, "docbook_tables.ssh")],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")
        if run.returncode != 0:
            print("FAIL: format_dump exited %d on %s: %s" % (run.returncode, name, run.stderr[-1000:]))
            return 1
        outputs.append(run.stdout.replace("\r\n", "\n"))
    if outputs[0] != outputs[1]:
        print("FAIL: SGML and XML differ:\n--- SGML\n%s--- XML\n%s" % tuple(outputs))
        return 1
    lines = outputs[0].splitlines()
    missing = [line for line in EXPECTED if line not in lines]
    if missing:
        print("FAIL: missing lines:\n%s\nin:\n%s" % ("\n".join(missing), outputs[0]))
        return 1
    print("%d cells alike" % sum(1 for line in lines if line.startswith("  CELL ")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
