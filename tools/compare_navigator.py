#!/usr/bin/env python3
"""The DocBook navigator over real manuals against xmllint's XPath.

    compare_navigator.py FORMAT_DUMP [DOCUMENT...]

For each DocBook XML document (by default the gtk-doc manual in C and
zh_CN, the PostgreSQL manual when scripts/make_postgres_manual has made it
as build/corpus/postgres.xml, and a DocBook XML example) format_dump lists
every node of samples/docbook/docbook.nav, opened; the node count of each
level and the titles of level 1 must equal what `xmllint --xpath` finds:
an entry is an element the definition names that has one of its titles,
its level the number of entries around it, its title the first of its
title paths that exists (white space normalised). The root node must start
expanded. Documents that are not installed are skipped; exits 77 when none
is.
"""
import os
import re
import subprocess
import sys
import tempfile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NAVIGATOR = os.path.join(TOP, "samples", "docbook", "docbook.nav")
DEFAULTS = [
    "/usr/share/help/C/gtk-doc-manual/index.docbook",
    "/usr/share/help/zh_CN/gtk-doc-manual/index.docbook",
    os.path.join(TOP, "build", "corpus", "postgres.xml"),
    "/usr/share/doc/docbook-xml/examples/test-4.5.xml",
]


def entries():
    """(element, [title paths]) in the definition's order."""
    text = open(NAVIGATOR, encoding="utf-8").read()
    found = {}
    order = []
    for body, title in re.findall(r'<TOC BODY="([^"]+)" TITLE="([^"]+)">', text):
        if body not in found:
            found[body] = []
            order.append(body)
        found[body].append(title.replace(",", "/"))
    return [(b, found[b]) for b in order]


def entry_predicate():
    parts = []
    for body, titles in entries():
        parts.append("(self::%s and (%s))" % (body, " or ".join(titles)))
    return " or ".join(parts)


def xpath(document, expression):
    result = subprocess.run(
        ["xmllint", "--noent", "--nonet", "--loaddtd", "--xpath", expression, document],
        capture_output=True, text=True, encoding="utf-8")
    if result.returncode not in (0, 10):
        raise RuntimeError("xmllint failed on %s: %s" % (expression, result.stderr[-400:]))
    return result.stdout


def normalise(text):
    return " ".join(text.split())


def expected(document):
    entry = entry_predicate()
    counts = []
    level = 0
    while True:
        n = int(float(xpath(document, "count(//*[%s][count(ancestor::*[%s]) = %d])"
                            % (entry, entry, level)) or "0"))
        if n == 0:
            break
        counts.append(n)
        level += 1
    titles = []
    paths = dict(entries())
    for i in range(1, (counts[1] if len(counts) > 1 else 0) + 1):
        node = "(//*[%s][count(ancestor::*[%s]) = 1])[%d]" % (entry, entry, i)
        name = xpath(document, "name(%s)" % node).strip()
        title = ""
        for path in paths.get(name, []):
            if int(float(xpath(document, "count(%s/%s)" % (node, path)) or "0")):
                title = xpath(document, "string((%s/%s)[1])" % (node, path))
                break
        titles.append(normalise(title))
    return counts, titles


def actual(format_dump, catalog, document):
    result = subprocess.run([format_dump, "-c", catalog, "-n", NAVIGATOR, "-e", document],
                            capture_output=True, text=True, encoding="utf-8")
    if result.returncode != 0:
        raise RuntimeError("format_dump failed: %s" % result.stderr[-400:])
    lines = result.stdout.split("NAVIGATOR\n", 1)[1].splitlines()
    counts = []
    titles = []
    for line in lines:
        m = re.match(r'^ *L(\d+) icon=(\d+)(?: hits=\S+)?(.*)$', line)
        if not m:
            raise RuntimeError("unexpected line %r" % line)
        level = int(m.group(1))
        while len(counts) <= level:
            counts.append(0)
        counts[level] += 1
        if level == 1:
            parts = re.findall(r' "(.*?)"(?= "|$)', m.group(3))
            titles.append(normalise("".join(parts)))
    # Listed unopened, the one root shows its children and only them.
    plain = subprocess.run([format_dump, "-c", catalog, "-n", NAVIGATOR, document],
                           capture_output=True, text=True, encoding="utf-8")
    shown = plain.stdout.split("NAVIGATOR\n", 1)[1].splitlines()
    root_open = bool(shown) and re.match(r"^L0 icon=[47] ", shown[0]) is not None
    made = re.search(r"navigator [0-9.]+ s, ([0-9]+) nodes", plain.stderr)
    return counts, titles, root_open, len(shown), int(made.group(1)) if made else -1


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    format_dump = sys.argv[1]
    documents = sys.argv[2:] or DEFAULTS
    with tempfile.TemporaryDirectory(prefix="qs-navigator-%d-" % os.getpid()) as folder:
        catalog = os.path.join(folder, "catalog")
        with open(catalog, "w") as f:
            f.write('CATALOG "%s"\n' % os.path.join(TOP, "samples", "home", "catalog", "catalog"))
            f.write('CATALOG "/etc/sgml/catalog"\n')
        compared = 0
        failed = 0
        for document in documents:
            if not os.path.exists(document):
                print("skipped (missing): %s" % document)
                continue
            want_counts, want_titles = expected(document)
            counts, titles, root_open, shown, made = actual(format_dump, catalog, document)
            compared += 1
            problems = []
            if counts != want_counts:
                problems.append("nodes per level %s, xmllint %s" % (counts, want_counts))
            if made != sum(want_counts):
                problems.append("%d nodes made, xmllint %d entries" % (made, sum(want_counts)))
            if titles != want_titles:
                for i, (a, b) in enumerate(zip(titles + [""] * 99, want_titles)):
                    if a != b:
                        problems.append("level-1 title %d: %r, xmllint %r" % (i + 1, a, b))
                        break
                if len(titles) != len(want_titles):
                    problems.append("%d level-1 titles, xmllint %d" % (len(titles), len(want_titles)))
            if want_counts and want_counts[0] == 1:
                if not root_open or shown != 1 + (want_counts[1] if len(want_counts) > 1 else 0):
                    problems.append("the root does not start expanded (%d nodes shown)" % shown)
            status = "FAIL" if problems else "ok"
            print("%s %s: %s" % (status, document, " ".join(str(c) for c in counts)))
            for p in problems:
                print("  " + p)
            failed += bool(problems)
        if compared == 0:
            return 77
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
