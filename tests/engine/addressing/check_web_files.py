#!/usr/bin/env python3
"""Checks the checked-in web files against the shipped web DTD with onsgmls
(DocBook's SGML declaration, the shipped catalog).

Files written by the engine's current format validate as they are. A new
web carries the fixed declarations of the older format in its internal
subset, which type ZOOM as a NUMBER while the file writes percentages
("150%"): it is checked with the DTD's own copies of those declarations
left out (web.fixed-block), and its only complaints may be its zoom values.
Exits 77 (skipped) when onsgmls or the declaration is missing."""
import os
import re
import shutil
import subprocess
import sys

top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../../..")
catalog = os.path.join(top, "samples/home/catalog/catalog")
data = os.path.join(top, "tests/engine/addressing/data")
decl = "/usr/share/sgml/docbook/dtd/4.5/docbook.dcl"
onsgmls = shutil.which("onsgmls")
if not onsgmls or not os.path.exists(decl):
    print("onsgmls or the DocBook declaration is missing")
    sys.exit(77)


def run(name, *options):
    result = subprocess.run([onsgmls, "-s", *options, "-c", catalog, decl, os.path.join(data, name)],
                            capture_output=True, text=True)
    return result.returncode, [l for l in result.stderr.splitlines() if l.strip()]


failed = False
for name in ("version2.web", "version2_out.web"):
    code, lines = run(name)
    if code != 0 or lines:
        print(f"{name}: onsgmls refused it:\n  " + "\n  ".join(lines))
        failed = True

code, lines = run("new.web", "-i", "web.fixed-block")
zoom = re.compile(r':E: character "%" is not allowed in the value of attribute "ZOOM"$')
others = [l for l in lines if not zoom.search(l)]
zooms = len(lines) - len(others)
expected_zooms = open(os.path.join(data, "new.web")).read().count(' ZOOM="')
if others or zooms != expected_zooms:
    print(f"new.web: expected only {expected_zooms} ZOOM complaints, got:\n  " + "\n  ".join(lines))
    failed = True
print("web files: " + ("FAILED" if failed else "accepted"))
sys.exit(1 if failed else 0)
