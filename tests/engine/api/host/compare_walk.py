#!/usr/bin/env python3
"""Real DocBook XML documents of the system's packages, walked through the
engine's DLL by walk_dump, must give the same elements, in the same order and
at the same depth, with the same attributes and the same text, as xmllint
gives for them with entities expanded and the DTD's default attributes
filled in; and every ID must lead back to its own element.

  compare_walk.py CATALOG -- COMMAND...

COMMAND runs walk_dump (under Wine); the script appends "-c CATALOG" and the
documents. Documents of packages that are not installed are skipped; the run
fails when none is found, or when any document differs or reports an error.
"""
import glob
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

DOCUMENTS = [
    # The GTK-Doc manual: DocBook XML 4.3 with an internal subset, an external
    # text entity and an internal entity holding markup.
    "/usr/share/help/C/gtk-doc-manual/index.docbook",
    "/usr/share/help/de/gtk-doc-manual/index.docbook",
] + sorted(
    # Not those whose DTD is named only by a web address: catalogs in the SGML
    # syntax map public identifiers, not system ones, so the engine reads them
    # without their DTD (silently, as an XML parser does) where xmllint's XML
    # catalogs find it.
    path for path in glob.glob("/usr/share/doc/docbook-xml/examples/test-*.xml")
    if "-si-url-" not in path)

XML_NAMESPACE = "{http://www.w3.org/XML/1998/namespace}"


def quoted(value):
    out = value.replace("\\", "\\\\").replace('"', '\\"')
    out = out.replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")
    return f'"{out}"'


def unquoted(text):
    out, i = [], 1
    escapes = {"n": "\n", "r": "\r", "t": "\t"}
    while i < len(text) - 1:
        c = text[i]
        if c == "\\" and i + 1 < len(text) - 1:
            i += 1
            c = escapes.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


def squeezed(text):
    """Text without its white space: where records end and spaces fall is
    the parsers' own business."""
    return "".join(text.split())


def xmllint_lines(path):
    """The element lines walk_dump prints, from xmllint's expanded tree."""
    run = subprocess.run(["xmllint", "--nonet", "--noent", "--dtdattr", "--dropdtd", path],
                         capture_output=True)
    if run.returncode != 0:
        return None, run.stderr.decode("utf-8", "replace")
    lines = []

    def visit(element, depth):
        attributes = []
        for name, value in element.attrib.items():
            if name.startswith(XML_NAMESPACE):
                name = "xml:" + name[len(XML_NAMESPACE):]
            attributes.append(f"{name}={quoted(value)}")
        lines.append(" ".join([str(depth), element.tag] + sorted(attributes)))
        for child in element:
            if child.tag is not ET.PI:
                visit(child, depth + 1)

    # The engine keeps a processing instruction in the document's text, so
    # an element's text holds it (without its delimiters).
    def text(element):
        if element.tag is ET.PI:
            return element.text or ""
        return (element.text or "") + "".join(text(c) + (c.tail or "") for c in element)

    parser = ET.XMLParser(target=ET.TreeBuilder(insert_pis=True))
    parser.feed(run.stdout)
    root = parser.close()
    visit(root, 0)
    lines.append("TEXT " + squeezed(text(root)))
    # Every ID of these documents is an attribute named "id"; each must lead
    # back to its element.
    ids = sum(1 for e in root.iter() if isinstance(e.tag, str) and "id" in e.attrib)
    lines.append(f"IDS {ids} 0")
    return lines, ""


def walk_documents(command, catalog, documents):
    """walk_dump's output split by document: {path: (lines, errors)}."""
    run = subprocess.run(command + ["-c", catalog] + documents, capture_output=True)
    out = run.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    walked = {}
    current = None
    for line in out.splitlines():
        if line.startswith("DOCUMENT "):
            current = line[len("DOCUMENT "):]
            walked[current] = ([], [])
        elif current is None:
            continue
        elif line.startswith("ERROR ") or line == "NOT OPENED":
            walked[current][1].append(line)
        elif line.startswith("IDS "):
            walked[current][0].append(line)
        elif line.startswith("TEXT "):
            walked[current][0].append("TEXT " + squeezed(unquoted(line[len("TEXT "):])))
        else:
            walked[current][0].append(line)
    if run.returncode not in (0, 1):
        print(run.stderr.decode("utf-8", "replace"))
    return walked


def main():
    if "--" not in sys.argv:
        print(__doc__)
        return 2
    split = sys.argv.index("--")
    catalog = sys.argv[1]
    command = sys.argv[split + 1:]
    documents = [d for d in DOCUMENTS if os.path.exists(d)]
    if not documents:
        print("no documents found")
        return 1
    # Wine sees the machine's root as drive Z:.
    walked = walk_documents(command, "Z:" + catalog, ["Z:" + d for d in documents])
    failures = 0
    for path in documents:
        expected, trouble = xmllint_lines(path)
        if expected is None:
            print(f"SKIPPED {path}: xmllint cannot read it: {trouble.splitlines()[:1]}")
            continue
        lines, errors = walked.get("Z:" + path, (None, ["NOT WALKED"]))
        if errors or lines != expected:
            failures += 1
            print(f"DIFFERS {path}: {errors[:3]}")
            for i, (a, b) in enumerate(zip(lines or [], expected)):
                if a != b:
                    # Long lines (the text) are shown around where they part.
                    at = next((k for k, (x, y) in enumerate(zip(a, b)) if x != y),
                              min(len(a), len(b)))
                    start = max(0, at - 60)
                    print(f"  line {i + 1}, from column {start}:\n"
                          f"    walked   {a[start:at + 60]}\n    xmllint  {b[start:at + 60]}")
                    break
            else:
                print(f"  {len(lines or [])} elements walked, {len(expected)} from xmllint")
        else:
            print(f"same {path}: {len(lines) - 1} elements and the text")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
