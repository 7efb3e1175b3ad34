#!/usr/bin/env python3
"""Builds the engine's Unicode tables file "qsunicde.dat" and the built-in
case pages, word-character pages and ISO-8859-2 to 9 tables
(engine/sgml/unicode_pages.inc) from public data in Debian packages:

  locales       /usr/share/i18n/charmaps/{SHIFT_JIS,GB2312,BIG5,ISO-8859-n}.gz
  unicode-data  /usr/share/unicode/{LineBreak,UnicodeData}.txt

  make_unicode_tables.py [--out-dat FILE] [--out-inc FILE] [--check]

Without options it rewrites samples/home/qsunicde.dat and
engine/sgml/unicode_pages.inc of this checkout. --check builds both in memory
and compares them with those files (exit 1 on a difference, 77 when the
source packages are missing).

File layout (little-endian): u32 magic 0x01020304, u32 section count, then
one (id, offset, size) triple per section, then the sections:
  0x11   257 bytes  number of class pages (28), then the page of each high byte
  0x21  3584 bytes  28 pages of 128 bytes, two 4-bit classes a byte (even
                    code point in the low nibble)
  0x32 18048 bytes  Shift_JIS: u16 [trail index 0-187][lead index 0-46], 48 a row
  0x42 18048 bytes  GB2312:    u16 [trail-0xA1][lead-0xA1], 96 a row
  0x52 30144 bytes  Big5:      u16 [trail index 0-156][lead-0xA1], 96 a row
A table entry of 0 means the byte pair has no character.

Line-break classes (what the paragraph layout does with them):
  1 ordinary: joins the open run   AL HL NU AI CM ZWJ SA IS PR PO QU CL CP EX SY IN CB
  2 blank: a run ends after it     SP BA HY ZW B2
  3 opening: break before a word   OP BB
  4 binding: no break after it     GL WJ
  5 ideographic, stands alone      ID CJ H2 H3 JL JV JT EB EM RI
  6 non-starter, stands alone      NS
  7 mandatory break, stands alone  BK CR LF NL
  0 no data, stands alone          XX SG (unassigned, surrogates, private use)
Code points that LineBreak.txt does not list take the defaults its header
gives (ID for the CJK ideograph blocks, PR for Currency Symbols, else XX).

The file holds only 28 class pages, fewer than the BMP has distinct rows.
The rows of the scripts a service manual uses most keep their exact page
(KEEP_ROWS); the remaining slots go to the pages that most rows share; every
other row takes the kept page that differs from it in the fewest code points
(ties: the page kept first). Those rows (mostly Indic and other
South/South-East Asian scripts, where a few punctuation marks differ) are
approximate.

Double-byte tables come from glibc's charmaps: SHIFT_JIS (JIS X 0208 with
the 0x5C/0x7E single bytes read as YEN SIGN and OVERLINE), GB2312 (EUC-CN)
and BIG5 (its irreversible entries included, as decoding needs them).
glibc's Big5 is Microsoft's CP950 mapping except that 0xC6A1-0xC7FE map to
private-use code points (U+F6B1 up) and 0xC840-0xC8FE, which CP950 leaves
out, are present; Python's "big5" codec differs from it in 455 codes.

Case pages (0 = no mapping) fold to lower case: the simple lowercase mapping
of UnicodeData.txt, else, for a character that has only an uppercase
mapping, the lowercase of that (final sigma, long s, micro sign fold with
their partners); only mappings within the BMP. Word characters are the
letters, marks and digits (general categories L*, M*, N*) and the connector
punctuation (Pc); high bytes without a built-in page count every code point
as a word character (ideographs, Hangul and the scripts of the other rows).
"""
import gzip
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
CHARMAPS = "/usr/share/i18n/charmaps"
UCD = "/usr/share/unicode"

CLASS_OF = {}
for names, value in (
    ("AL HL NU AI CM ZWJ SA IS PR PO QU CL CP EX SY IN CB", 1),
    ("SP BA HY ZW B2", 2),
    ("OP BB", 3),
    ("GL WJ", 4),
    ("ID CJ H2 H3 JL JV JT EB EM RI", 5),
    ("NS", 6),
    ("BK CR LF NL", 7),
    ("XX SG", 0),
):
    for n in names.split():
        CLASS_OF[n] = value

PAGE_COUNT = 28
KEEP_ROWS = [0x00, 0x20, 0x30, 0xFF, 0x4E, 0xAC, 0x01, 0x02, 0x03, 0x04, 0x05,
             0x06, 0x0E, 0x1E, 0x1F, 0x21, 0x22, 0x23, 0x25, 0x26, 0x27, 0x31,
             0x32, 0xFE]

CASE_ROWS = [0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x10, 0x1E, 0x1F, 0x21, 0x24, 0xFF]
WORD_ROWS = [0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x10, 0x1E, 0x1F, 0x20, 0x21, 0x24,
             0x33, 0xFB, 0xFF]


def fail(msg):
    sys.stderr.write("make_unicode_tables: %s\n" % msg)
    sys.exit(2)


def parse_range(text):
    if ".." in text:
        a, b = text.split("..")
        return int(a, 16), int(b, 16)
    return int(text, 16), int(text, 16)


def line_break_classes():
    cls = [CLASS_OF["XX"]] * 0x10000
    for a, b, v in ((0x3400, 0x4DBF, "ID"), (0x4E00, 0x9FFF, "ID"),
                    (0xF900, 0xFAFF, "ID"), (0x20A0, 0x20CF, "PR")):
        for c in range(a, b + 1):
            cls[c] = CLASS_OF[v]
    with open(os.path.join(UCD, "LineBreak.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.split("#")[0].strip()
            if not line:
                continue
            r, v = line.split(";")
            v = v.strip()
            if v not in CLASS_OF:
                fail("unknown line-break class %s" % v)
            a, b = parse_range(r.strip())
            for c in range(a, min(b, 0xFFFF) + 1):
                cls[c] = CLASS_OF[v]
    return cls


def class_sections():
    cls = line_break_classes()
    rows = []
    for h in range(256):
        base = h * 256
        rows.append(bytes(cls[base + 2 * i] | (cls[base + 2 * i + 1] << 4) for i in range(128)))
    kept = []
    for h in KEEP_ROWS:
        if rows[h] not in kept:
            kept.append(rows[h])
    uses = {}
    for h in range(256):
        uses.setdefault(rows[h], []).append(h)
    for page, hs in sorted(uses.items(), key=lambda item: (-len(item[1]), item[1][0])):
        if len(kept) == PAGE_COUNT:
            break
        if page not in kept:
            kept.append(page)
    while len(kept) < PAGE_COUNT:
        kept.append(bytes(128))

    def distance(a, b):
        d = 0
        for x, y in zip(a, b):
            if x != y:
                d += ((x & 15) != (y & 15)) + ((x >> 4) != (y >> 4))
        return d

    index = bytearray([PAGE_COUNT])
    for h in range(256):
        if rows[h] in kept:
            index.append(kept.index(rows[h]))
        else:
            best = min(range(PAGE_COUNT), key=lambda k: (distance(rows[h], kept[k]), k))
            index.append(best)
    return bytes(index), b"".join(kept)


CHARMAP_LINE = re.compile(r"^(?:%IRREVERSIBLE%)?<U([0-9A-Fa-f]{4,8})>\s+((?:/x[0-9a-fA-F]{2})+)\s")


def charmap_singles(name):
    singles = {}
    with gzip.open(os.path.join(CHARMAPS, name + ".gz"), "rt", encoding="ascii",
                   errors="replace") as f:
        for line in f:
            m = CHARMAP_LINE.match(line + " ")
            if m:
                seq = bytes(int(x, 16) for x in m.group(2).split("/x")[1:])
                if len(seq) == 1 and seq[0] not in singles:
                    singles[seq[0]] = int(m.group(1), 16)
    return singles


def charmap_pairs(name):
    path = os.path.join(CHARMAPS, name + ".gz")
    pairs = {}
    in_map = False
    with gzip.open(path, "rt", encoding="ascii", errors="replace") as f:
        for line in f:
            if line.startswith("CHARMAP"):
                in_map = True
                continue
            if line.startswith("END CHARMAP"):
                break
            if not in_map:
                continue
            m = CHARMAP_LINE.match(line + " ")
            if not m:
                continue
            cp = int(m.group(1), 16)
            seq = bytes(int(x, 16) for x in m.group(2).split("/x")[1:])
            if len(seq) == 2 and cp <= 0xFFFF and seq not in pairs:
                pairs[seq] = cp
    return pairs


def sjis_table():
    table = [0] * (188 * 48)
    for (lead, trail), cp in charmap_pairs("SHIFT_JIS").items():
        if 0x81 <= lead <= 0x9F:
            li = lead - 0x81
        elif 0xE0 <= lead <= 0xEF:
            li = lead - 0xC1
        else:
            continue
        if 0x40 <= trail <= 0x7E:
            ti = trail - 0x40
        elif 0x80 <= trail <= 0xFC:
            ti = trail - 0x41
        else:
            continue
        table[ti * 48 + li] = cp
    return struct.pack("<%dH" % len(table), *table)


def gb2312_table():
    table = [0] * (94 * 96)
    for (lead, trail), cp in charmap_pairs("GB2312").items():
        if 0xA1 <= lead <= 0xFE and 0xA1 <= trail <= 0xFE:
            table[(trail - 0xA1) * 96 + (lead - 0xA1)] = cp
    return struct.pack("<%dH" % len(table), *table)


def big5_table():
    table = [0] * (157 * 96)
    for (lead, trail), cp in charmap_pairs("BIG5").items():
        if not 0xA1 <= lead <= 0xFE:
            continue
        if 0x40 <= trail <= 0x7E:
            ti = trail - 0x40
        elif 0xA1 <= trail <= 0xFE:
            ti = trail - 0x62
        else:
            continue
        table[ti * 96 + (lead - 0xA1)] = cp
    return struct.pack("<%dH" % len(table), *table)


def tables_file():
    index, pages = class_sections()
    sections = [(0x11, index), (0x21, pages), (0x32, sjis_table()),
                (0x42, gb2312_table()), (0x52, big5_table())]
    expected = {0x11: 0x101, 0x21: 0xE00, 0x32: 0x4680, 0x42: 0x4680, 0x52: 0x75C0}
    out = bytearray(struct.pack("<II", 0x01020304, len(sections)))
    offset = 8 + 12 * len(sections)
    for sid, data in sections:
        if len(data) != expected[sid]:
            fail("section %#x has %d bytes" % (sid, len(data)))
        out += struct.pack("<III", sid, offset, len(data))
        offset += len(data)
    for _, data in sections:
        out += data
    return bytes(out)


def unicode_data():
    lower, upper, cat = {}, {}, {}
    with open(os.path.join(UCD, "UnicodeData.txt"), encoding="utf-8") as f:
        rows = [line.rstrip("\n").split(";") for line in f if line.strip()]
    i = 0
    while i < len(rows):
        fields = rows[i]
        cp = int(fields[0], 16)
        if fields[1].endswith(", First>"):
            last = int(rows[i + 1][0], 16)
            for c in range(cp, last + 1):
                cat[c] = fields[2]
            i += 2
            continue
        cat[cp] = fields[2]
        if fields[12]:
            upper[cp] = int(fields[12], 16)
        if fields[13]:
            lower[cp] = int(fields[13], 16)
        i += 1
    return lower, upper, cat


def fold(cp, lower, upper):
    if cp in lower:
        target = lower[cp]
    elif cp in upper and upper[cp] in lower and lower[upper[cp]] != cp:
        target = lower[upper[cp]]
    else:
        return 0
    return target if target <= 0xFFFF and target != cp else 0


def pages_source():
    lower, upper, cat = unicode_data()
    out = ["// Generated by tools/make_unicode_tables.py from UnicodeData.txt; do not edit.",
           "// Case pages: the folded (lower-case) unit for each code point of a high",
           "// byte, 0 when it has none. Word pages: one bit per code point.", ""]
    out.append("const std::uint8_t kCaseRows[] = {%s};" %
               ", ".join("0x%02X" % h for h in CASE_ROWS))
    out.append("const std::uint16_t kCasePages[][256] = {")
    for h in CASE_ROWS:
        values = [fold(h * 256 + lo, lower, upper) for lo in range(256)]
        out.append("  {  // 0x%02X" % h)
        for k in range(0, 256, 8):
            out.append("    " + " ".join("0x%04X," % v for v in values[k:k + 8]))
        out.append("  },")
    out.append("};")
    out.append("")
    out.append("// ISO-8859-2 to ISO-8859-9: the code point of each byte 0x80-0xFF, 0 where")
    out.append("// the part has no character (glibc's ISO-8859-n charmaps).")
    out.append("const std::uint16_t kIso8859Tables[8][128] = {")
    for part in range(2, 10):
        singles = charmap_singles("ISO-8859-%d" % part)
        values = [singles.get(b, 0) for b in range(0x80, 0x100)]
        out.append("  {  // ISO-8859-%d" % part)
        for k in range(0, 128, 8):
            out.append("    " + " ".join("0x%04X," % v for v in values[k:k + 8]))
        out.append("  },")
    out.append("};")
    out.append("")
    out.append("const std::uint8_t kWordRows[] = {%s};" %
               ", ".join("0x%02X" % h for h in WORD_ROWS))
    out.append("const std::uint8_t kWordPages[][32] = {")
    for h in WORD_ROWS:
        bits = bytearray(32)
        for lo in range(256):
            c = cat.get(h * 256 + lo, "Cn")
            if c[0] in "LMN" or c == "Pc":
                bits[lo >> 3] |= 1 << (lo & 7)
        out.append("  {  // 0x%02X" % h)
        for k in range(0, 32, 16):
            out.append("    " + " ".join("0x%02X," % v for v in bits[k:k + 16]))
        out.append("  },")
    out.append("};")
    return "\n".join(out) + "\n"


def main(argv):
    out_dat = os.path.join(TOP, "samples", "home", "qsunicde.dat")
    out_inc = os.path.join(TOP, "engine", "sgml", "unicode_pages.inc")
    check = False
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == "--out-dat":
            out_dat = args.pop(0)
        elif a == "--out-inc":
            out_inc = args.pop(0)
        elif a == "--check":
            check = True
        else:
            fail("unknown argument %s" % a)
    needed = [os.path.join(CHARMAPS, n + ".gz") for n in ("SHIFT_JIS", "GB2312", "BIG5")]
    needed += [os.path.join(CHARMAPS, "ISO-8859-%d.gz" % n) for n in range(2, 10)]
    needed += [os.path.join(UCD, n) for n in ("LineBreak.txt", "UnicodeData.txt")]
    missing = [p for p in needed if not os.path.exists(p)]
    if missing:
        print("source data missing (install locales and unicode-data): " + ", ".join(missing))
        return 77
    dat = tables_file()
    inc = pages_source().encode("ascii")
    if check:
        status = 0
        for path, data in ((out_dat, dat), (out_inc, inc)):
            with open(path, "rb") as f:
                if f.read() != data:
                    print("%s differs from what the sources give" % path)
                    status = 1
        if status == 0:
            print("qsunicde.dat and unicode_pages.inc match their sources")
        return status
    for path, data in ((out_dat, dat), (out_inc, inc)):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
