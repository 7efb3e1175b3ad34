#!/usr/bin/env python3
"""Real documents formatted whole: the text copy of the layout items that an
empty style sheet makes (format_dump -t) must hold exactly the document's
text as the engine extracts it (doc_dump -t), breaks and line feeds aside,
and, blanks aside, the text xmllint reads from the same file. With the
DocBook sheet of samples/docbook, every chapter title of the gtk-doc manual
must take the chapter-title format, which no paragraph has.

  compare_formatted_text.py FORMAT_DUMP DOC_DUMP SOURCE_DIR

Documents whose package is not installed are skipped; the run fails when
none is found, or when any document differs.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

DOCUMENTS = [
    "/usr/share/help/C/gtk-doc-manual/index.docbook",
    "/usr/share/doc/docbook-xml/examples/test-4.5.xml",
    "/usr/share/doc/libxslt1-dev/html/html/book1.html",
    "/usr/share/doc/libxslt1-dev/html/html/libxslt-xslt.html",
    "/usr/share/doc/libxslt1-dev/html/html/libxslt-templates.html",
]
GTK_DOC_MANUAL = DOCUMENTS[0]
EMPTY_SHEET = ('<!DOCTYPE STYLESHEET PUBLIC "-//Quenda//DTD Stylesheet v2.00//EN">\n'
               "<STYLESHEET></STYLESHEET>\n")


def run(args):
    result = subprocess.run(args, capture_output=True)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(args)}: exit {result.returncode}: "
                           f"{result.stderr.decode('utf-8', 'replace')[:300]}")
    return result.stdout


def first_difference(a, b):
    n = min(len(a), len(b))
    i = next((k for k in range(n) if a[k] != b[k]), n)
    return f"at {i}: {a[max(0, i - 30):i + 40]!r} / {b[max(0, i - 30):i + 40]!r}"


def xmllint_text(path):
    """Blank-free text of xmllint's reading; None when it refuses the file."""
    result = subprocess.run(["xmllint", "--noent", "--nonet", "--loaddtd", "--dropdtd", path],
                            capture_output=True)
    if result.returncode != 0:
        return None
    return "".join("".join(ET.fromstring(result.stdout).itertext()).split())


def check_text(format_dump, doc_dump, catalog, sheet, path):
    items = run([format_dump, "-c", catalog, "-t", path, sheet])
    extracted = run([doc_dump, "-c", catalog, "-t", path])
    copy = items.replace(b"\r\n", b"")
    text = extracted.replace(b"\n", b"").replace(b"\x01", b" ")
    problems = []
    if copy != text:
        problems.append("items differ from the extracted text " + first_difference(copy, text))
    lint = xmllint_text(path)
    if lint is not None:
        ours = "".join(items.decode("utf-8", "replace").split())
        if ours != lint:
            problems.append("items differ from xmllint's text " + first_difference(ours, lint))
    return problems, len(copy)


def check_chapter_titles(format_dump, catalog, sheet):
    dump = run([format_dump, "-c", catalog, GTK_DOC_MANUAL, sheet]).decode("utf-8", "replace")
    lines = dump.splitlines()
    titles, paragraphs, chapters = [], set(), 0
    for i, line in enumerate(lines[:-1]):
        element = line.strip().split(" ", 1)[0]
        if element == "chapter" and " rule=" in line:
            chapters += 1
            # The chapter's title is its first child.
            titles.append((lines[i + 2].strip(), lines[i + 3].strip()))
        elif element == "para":
            paragraphs.add(lines[i + 1].strip())
    problems = []
    if chapters == 0:
        problems.append("no chapter found")
    for title, fmt in titles:
        if not title.startswith("title ") or "rule=chapter,title" not in title:
            problems.append(f"chapter title without the chapter-title rule: {title}")
        elif fmt != titles[0][1]:
            problems.append(f"chapter title in another format: {fmt}")
    if titles and titles[0][1] in paragraphs:
        problems.append("a paragraph has the chapter-title format")
    return problems, chapters


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    format_dump, doc_dump, source = sys.argv[1:]
    failed = False
    with tempfile.TemporaryDirectory(prefix=f"formatted-text-{os.getpid()}-") as work:
        catalog = os.path.join(work, "catalog")
        with open(catalog, "w") as f:
            f.write('CATALOG "/etc/sgml/catalog"\n')
            f.write(f'CATALOG "{os.path.join(source, "samples/home/catalog/catalog")}"\n')
        empty = os.path.join(work, "empty.ssh")
        with open(empty, "w") as f:
            f.write(EMPTY_SHEET)
        found = 0
        for path in DOCUMENTS:
            if not os.path.exists(path):
                print(f"skipped (not installed): {path}")
                continue
            found += 1
            problems, length = check_text(format_dump, doc_dump, catalog, empty, path)
            print(f"{'DIFFERS' if problems else 'same'}: {path} ({length} bytes)")
            for p in problems:
                print("  " + p)
            failed |= bool(problems)
        if os.path.exists(GTK_DOC_MANUAL):
            sheet = os.path.join(source, "samples/docbook/docbook.ssh")
            problems, chapters = check_chapter_titles(format_dump, catalog, sheet)
            print(f"{'DIFFERS' if problems else 'same'}: chapter titles of the gtk-doc manual "
                  f"with the DocBook sheet ({chapters} chapters)")
            for p in problems:
                print("  " + p)
            failed |= bool(problems)
        if found == 0:
            print("no document found")
            return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
