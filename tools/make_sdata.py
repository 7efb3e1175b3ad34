#!/usr/bin/env python3
"""Builds the SDATA table file "sdata.dat" from the ISO 8879 entity sets of
Debian's sgml-data package: each SGML set gives the SDATA text of an entity
(for example "[mdash ]"), the XML set of the same name gives its character
(&#x2014;). The file maps the text to the character in UTF-8.

  make_sdata.py [--out FILE] [--check]

Without options it rewrites samples/home/sdata.dat of this checkout; --check
builds it in memory and compares (exit 1 on a difference, 77 when sgml-data
is missing).

Layout (integers big-endian): the 7 bytes "SDATA01"; 256 24-bit offsets, one
per bucket (0 = empty); then each bucket's records, a record being the
NUL-terminated text and the NUL-terminated replacement, a bucket ending with
an empty text (one NUL). A text's bucket is the engine's name hash modulo
256: h = 17, then for the byte at index i of a text of n bytes
h += (byte + 17) * (n - i + 18) in unsigned 32-bit arithmetic. Records within
a bucket are sorted by text; when two sets give one text, the set whose file
name sorts first wins (the engine takes the first record of a text anyway).
"""
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
SGML_SETS = "/usr/share/sgml/entities/sgml-iso-entities-8879.1986"
XML_SETS = "/usr/share/xml/entities/xml-iso-entities-8879.1986"

SGML_ENTITY = re.compile(r'<!ENTITY\s+([^\s%]+)\s+SDATA\s+"([^"]*)"')
XML_ENTITY = re.compile(r'<!ENTITY\s+([^\s%]+)\s+"([^"]*)"')
CHAR_REF = re.compile(r"&#(x[0-9A-Fa-f]+|[0-9]+);")


def name_hash(data, modulus):
    h = 17
    n = len(data)
    for i, b in enumerate(data):
        h = (h + (b + 17) * (n - i + 18)) & 0xFFFFFFFF
    return h % modulus


def expand(value):
    # The XML sets escape '&' and '<' twice ("&#38;#38;"), so expand until
    # no character reference is left.
    for _ in range(3):
        if not CHAR_REF.search(value):
            break
        value = CHAR_REF.sub(
            lambda m: chr(int(m.group(1)[1:], 16) if m.group(1)[0] == "x" else int(m.group(1))),
            value)
    return value


def pairs():
    result = {}
    for fname in sorted(os.listdir(SGML_SETS)):
        if not fname.endswith(".ent"):
            continue
        xml_path = os.path.join(XML_SETS, fname)
        if not os.path.exists(xml_path):
            continue
        with open(os.path.join(SGML_SETS, fname), encoding="latin-1") as f:
            sdata = dict(SGML_ENTITY.findall(f.read()))
        with open(xml_path, encoding="utf-8") as f:
            chars = {name: expand(value) for name, value in XML_ENTITY.findall(f.read())}
        for name, text in sorted(sdata.items()):
            if name in chars and chars[name] and text not in result:
                result[text] = chars[name]
    return result


def build():
    buckets = [[] for _ in range(256)]
    for text, repl in sorted(pairs().items()):
        key = text.encode("utf-8")
        buckets[name_hash(key, 256)].append((key, repl.encode("utf-8")))
    body = bytearray()
    offsets = []
    base = 7 + 3 * 256
    for records in buckets:
        if not records:
            offsets.append(0)
            continue
        offsets.append(base + len(body))
        for key, repl in records:
            body += key + b"\0" + repl + b"\0"
        body += b"\0"
    if base + len(body) > 0xFFFFFF:
        raise SystemExit("make_sdata: file too large for 24-bit offsets")
    head = bytearray(b"SDATA01")
    for off in offsets:
        head += struct.pack(">I", off)[1:]
    return bytes(head + body)


def main(argv):
    out = os.path.join(TOP, "samples", "home", "sdata.dat")
    check = False
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == "--out":
            out = args.pop(0)
        elif a == "--check":
            check = True
        else:
            raise SystemExit("make_sdata: unknown argument %s" % a)
    if not (os.path.isdir(SGML_SETS) and os.path.isdir(XML_SETS)):
        print("source data missing (install sgml-data)")
        return 77
    data = build()
    if check:
        with open(out, "rb") as f:
            if f.read() != data:
                print("%s differs from what the sources give" % out)
                return 1
        print("sdata.dat matches its sources")
        return 0
    os.makedirs(os.path.dirname(out), exist_ok=True)
    tmp = out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
