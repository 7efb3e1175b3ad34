#!/usr/bin/env python3
"""Places and links of real DocBook documents against xmllint's reading of
the same files:

- every place of the document (element or gap between them) writes an
  extended pointer that leads back to it, and the "TEI" location string
  made of that pointer shows the place's range;
- every element with a linkend, followed, shows the element that has that
  ID in xmllint's tree (by name), or nothing when no element has it;
- every element with an ID counts as many link sources as xmllint's tree
  holds ID-reference attribute values naming it;
- every target of those links and every source writes a location string
  that shows the target's range (nothing for an undefined ID), and each
  source is written as a "TEI" string.

  compare_links.py DOC_DUMP

Documents whose package is not installed are skipped; the run fails when
none is found, or on any difference.
"""
import glob
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

DOCUMENTS = [
    "/usr/share/help/C/gtk-doc-manual/index.docbook",
    "/usr/share/help/de/gtk-doc-manual/index.docbook",
] + sorted(glob.glob("/usr/share/doc/docbook-xml/examples/test-*.xml"))
CATALOG = "/etc/sgml/catalog"
# The attributes DocBook 4 declares IDREF or IDREFS.
IDREF_ATTRIBUTES = {"linkend", "linkends", "endterm", "otherterm", "arearefs", "startref", "zone"}


def expected(path):
    run = subprocess.run(["xmllint", "--noent", "--nonet", "--xinclude", "--dropdtd", path],
                         capture_output=True)
    if run.returncode != 0:
        return None
    root = ElementTree.fromstring(run.stdout)
    elements = list(root.iter())
    names = {}
    for e in elements:
        if e.get("id") is not None and e.get("id") not in names:
            names[e.get("id")] = e.tag
    links = [(e.get("linkend"), names.get(e.get("linkend"), "-"))
             for e in elements if e.get("linkend") is not None]
    sources = []
    for e in elements:
        if e.get("id") is None:
            continue
        count = 0
        for other in elements:
            for name, value in other.attrib.items():
                if name in IDREF_ATTRIBUTES and e.get("id") in value.split():
                    count += 1
        sources.append((e.get("id"), count))
    return links, sources


def ours(dump, path):
    run = subprocess.run([dump, "-L", "-c", CATALOG, path], capture_output=True, text=True,
                         errors="replace")
    places, bad, links, sources = 0, [], [], []
    tei_places, bad_tei = None, []
    locations, bad_locations = None, []
    for line in run.stdout.splitlines():
        word = line.split(" ")
        if word[0] == "PLACES":
            places = int(word[1])
        elif word[0] == "BADPLACE":
            bad.append(line[len("BADPLACE "):])
        elif word[0] == "TEIPLACES":
            tei_places = int(word[1])
        elif word[0] == "BADTEIPLACE":
            bad_tei.append(line[len("BADTEIPLACE "):])
        elif word[0] == "LOCATIONS":
            locations = (int(word[1]), int(word[2]), int(word[3]))
        elif word[0] == "BADLOCATION":
            bad_locations.append(line[len("BADLOCATION "):])
        elif word[0] == "LINK":
            links.append((word[1], " ".join(word[2:])))
        elif word[0] == "SOURCES":
            sources.append((word[1], int(word[2])))
    return run.returncode, places, bad, links, sources, tei_places, bad_tei, locations, bad_locations


def main():
    dump = sys.argv[1]
    checked = failed = 0
    for path in DOCUMENTS:
        if not os.path.exists(path):
            continue
        want = expected(path)
        if want is None:
            print(f"SKIP {path}: xmllint cannot read it")
            continue
        rc, places, bad, links, sources, tei_places, bad_tei, locations, bad_locations = ours(dump, path)
        problems = []
        if rc != 0:
            problems.append(f"doc_dump exited {rc}")
        if places == 0 or bad:
            problems.append(f"{len(bad)} of {places} places do not resolve back: {bad[:3]}")
        if tei_places != places or bad_tei:
            problems.append(f"{len(bad_tei)} of {tei_places} TEI location strings do not show "
                            f"their place: {bad_tei[:3]}")
        source_count = sum(n for _, n in want[1])
        if locations is None:
            problems.append("no location strings checked")
        else:
            checked, tei, wrong = locations
            if wrong or bad_locations:
                problems.append(f"{wrong} of {checked} target location strings do not show their "
                                f"target: {bad_locations[:3]}")
            if tei != source_count:
                problems.append(f"{tei} sources written as TEI strings against {source_count}")
            if checked < len(want[0]) + source_count:
                problems.append(f"{checked} location strings checked against "
                                f"{len(want[0])} links and {source_count} sources")
        if links != want[0]:
            diff = [(a, b) for a, b in zip(links, want[0]) if a != b][:3]
            problems.append(f"links: {len(links)} against {len(want[0])}, first differences {diff}")
        if sources != want[1]:
            diff = [(a, b) for a, b in zip(sources, want[1]) if a != b][:3]
            problems.append(f"sources: {len(sources)} against {len(want[1])}, first differences {diff}")
        checked += 1
        if problems:
            failed += 1
            print(f"FAIL {path}: " + "; ".join(problems))
        else:
            print(f"ok {path}: {places} places, {len(links)} links, {len(sources)} IDs, "
                  f"{locations[0]} location strings ({locations[1]} TEI)")
    if checked == 0:
        print("no document found")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
