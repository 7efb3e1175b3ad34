#!/usr/bin/env python3
"""Queries over real documents against other readers of the same files:
element queries must find as many elements as xmllint's XPath count, and a
word as many hits as Python counts in the document's text (as xmllint
reads it, entities expanded; case ignored).

  compare_queries.py DOC_DUMP

Documents whose package is not installed are skipped; the run fails when
none is found at all, or when any count differs.
"""
import glob
import os
import subprocess
import sys

DOCUMENTS = [
    "/usr/share/help/C/gtk-doc-manual/index.docbook",
    "/usr/share/help/de/gtk-doc-manual/index.docbook",
] + sorted(glob.glob("/usr/share/doc/docbook-xml/examples/test-*.xml"))
CATALOG = "/etc/sgml/catalog"

ELEMENT_QUERIES = [("<para>", "count(//para)"), ("<* id=*>", "count(//*[@id])"),
                   ("<title> in <sect1>", "count(//sect1//title)")]
WORDS = ["the", "documentation", "gtk-doc", "\u00dcBER", "Section"]


def xmllint(path, *args):
    run = subprocess.run(["xmllint", "--noent", "--nonet", *args, path], capture_output=True)
    return run.returncode, run.stdout.decode("utf-8", "replace")


def ours(dump, path, query):
    run = subprocess.run([dump, "-n", "-c", CATALOG, "-Q", query, path], capture_output=True,
                         text=True, errors="replace")
    for line in run.stdout.splitlines():
        if line.startswith("COUNT "):
            return int(line.split()[1])
    return None


def main():
    dump = sys.argv[1]
    checked = failed = 0
    for path in DOCUMENTS:
        if not os.path.exists(path):
            continue
        rc, text = xmllint(path, "--xpath", "string(/)")
        if rc != 0:
            print(f"SKIP {path}: xmllint cannot read it")
            continue
        folded = text.lower()
        cases = []
        for query, xpath in ELEMENT_QUERIES:
            rc, out = xmllint(path, "--xpath", xpath)
            cases.append((query, int(float(out.strip() or 0))))
        for word in WORDS:
            cases.append((word, folded.count(word.lower())))
        for query, expected in cases:
            got = ours(dump, path, query)
            checked += 1
            if got != expected:
                failed += 1
                print(f"FAIL {path}: {query!r} found {got}, expected {expected}")
    print(f"{checked - failed} passed, {failed} failed")
    if checked == 0:
        print("no document found")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
