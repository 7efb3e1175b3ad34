#!/usr/bin/env python3
"""Real documents from the system's packages: the engine's parser must read
each without an error and find the same elements, in the same order, as
xmllint (XML documents, through Python's reader of the same files) or
onsgmls (HTML 4.01 pages whose tags are all written out).

  compare_documents.py DOC_DUMP

Documents whose package is not installed are skipped; the run fails when
none is found at all, or when any document differs.
"""
import glob
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

HTML_DTD = "/usr/share/sgml/html/dtd/4.01"
HTML_ENTITIES = "/usr/share/sgml/html/entities"

XML_DOCUMENTS = [
    "/usr/share/doc/libxslt1-dev/html/html/book1.html",
    "/usr/share/doc/libxslt1-dev/html/html/libxslt-xslt.html",
    "/usr/share/doc/libxslt1-dev/html/html/libxslt-templates.html",
    "/usr/share/xml/docbook/schema/dtd/4.5/catalog.xml",
]
HTML_GLOBS = [
    "/usr/share/doc/libffi8/html/Introduction.html",
    "/usr/share/doc/libffi8/html/The-Basics.html",
    "/usr/share/doc/libffi8/html/Closure-Example.html",
    "/usr/share/doc/base-passwd/users-and-groups.html",
]


def catalog(folder):
    path = os.path.join(folder, "catalog")
    entries = [
        ("-//W3C//DTD HTML 4.01//EN", f"{HTML_DTD}/strict.dtd"),
        ("-//W3C//DTD HTML 4.01 Transitional//EN", f"{HTML_DTD}/loose.dtd"),
        ("-//W3C//DTD HTML 4.01 Frameset//EN", f"{HTML_DTD}/frameset.dtd"),
        ("-//W3C//ENTITIES Latin1//EN//HTML", f"{HTML_ENTITIES}/HTMLlat1.ent"),
        ("-//W3C//ENTITIES Symbols//EN//HTML", f"{HTML_ENTITIES}/HTMLsymbol.ent"),
        ("-//W3C//ENTITIES Special//EN//HTML", f"{HTML_ENTITIES}/HTMLspecial.ent"),
    ]
    with open(path, "w") as f:
        for public, system in entries:
            f.write(f'PUBLIC "{public}" "{system}"\n')
    return path


def ours(dump, path, cat):
    run = subprocess.run([dump, "-c", cat, path], capture_output=True, text=True, errors="replace")
    errors = [l for l in run.stdout.splitlines() if l.startswith("REPORT error")]
    names = subprocess.run([dump, "-e", "-c", cat, path], capture_output=True, text=True,
                           errors="replace").stdout.split()
    return run.returncode, errors, [n[1:] for n in names]


def our_text(dump, path, cat):
    out = subprocess.run([dump, "-t", "-c", cat, path], capture_output=True).stdout
    return "".join(out.decode("utf-8", "replace").replace("\x01", " ").split())


def xml_text(path):
    return "".join("".join(ET.parse(path).getroot().itertext()).split())


def xml_names(path):
    names = []
    for _, element in ET.iterparse(path, events=("start",)):
        tag = element.tag
        if tag.startswith("{"):
            tag = tag.split("}", 1)[1]
        names.append(tag)
    return names


def sgml_names(path):
    env = dict(os.environ, SGML_CATALOG_FILES="/etc/sgml/catalog")
    run = subprocess.run(["onsgmls", path], capture_output=True, text=True, env=env,
                         errors="replace")
    return [l[1:] for l in run.stdout.splitlines() if l.startswith("(")]


def main():
    dump = sys.argv[1]
    failures = 0
    compared = 0
    with tempfile.TemporaryDirectory() as folder:
        cat = catalog(folder)
        documents = list(XML_DOCUMENTS)
        docbook = "/usr/share/xml/docbook/schema/dtd/4.5/docbookx.dtd"
        if os.path.exists(docbook):
            # A DocBook XML article read with the whole DTD behind it.
            article = os.path.join(folder, "article.xml")
            with open(article, "w") as f:
                f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                        '<!DOCTYPE article PUBLIC "-//OASIS//DTD DocBook XML V4.5//EN"\n'
                        f'  "{docbook}">\n'
                        '<article id="a1"><title>Service &amp; repair</title>\n'
                        '<section><title>Parts</title><para>Use <emphasis>only</emphasis> '
                        'part &lt;42&gt;.</para>\n<itemizedlist><listitem><para>One</para>'
                        '</listitem><listitem><para>Two</para></listitem></itemizedlist>'
                        '</section></article>\n')
            documents.append(article)
        for path in documents:
            if not os.path.exists(path):
                continue
            code, errors, names = ours(dump, path, cat)
            expected = xml_names(path)
            compared += 1
            # The namespace prefix stays on names in the engine's tree.
            names = [n.split(":", 1)[-1] for n in names]
            same_text = our_text(dump, path, cat) == xml_text(path)
            if code != 0 or errors or names != expected or not same_text:
                failures += 1
                print(f"DIFFERS {path}: exit {code}, {errors[:3]}, {len(names)} vs {len(expected)}, "
                      f"text {'same' if same_text else 'differs'}")
            else:
                print(f"same {path}: {len(names)} elements and their text")
        have_onsgmls = subprocess.run(["which", "onsgmls"], capture_output=True).returncode == 0
        for pattern in HTML_GLOBS:
            for path in glob.glob(pattern):
                if not have_onsgmls or not os.path.isdir(HTML_DTD):
                    continue
                code, errors, names = ours(dump, path, cat)
                expected = sgml_names(path)
                compared += 1
                if code != 0 or errors or names != expected:
                    failures += 1
                    print(f"DIFFERS {path}: exit {code}, {errors[:3]}, {len(names)} vs {len(expected)}")
                    for i, (a, b) in enumerate(zip(names, expected)):
                        if a != b:
                            print(f"  first difference at {i}: {a} vs {b}")
                            break
                else:
                    print(f"same {path}: {len(names)} elements")
    if compared == 0:
        print("no documents found")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
