#!/usr/bin/env python3
"""Writes resources/emoji-ja.txt: the Japanese spoken name of every emoji and
pictograph, taken from the short names ("tts" annotations) of Unicode CLDR.

Usage: make_emoji_table.py [--cldr DIR] [--out FILE]

DIR is the "common" folder of CLDR (Debian: unicode-cldr-core,
/usr/share/unicode/cldr/common). Only the Python standard library is used, and
the output depends on nothing but the two input files, so running it again on
the same CLDR release rewrites the table byte for byte.
"""

import argparse
import os
import sys
import xml.etree.ElementTree as ET

DEFAULT_CLDR = "/usr/share/unicode/cldr/common"
DEFAULT_OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "emoji-ja.txt")
SOURCES = ("annotations/ja.xml", "annotationsDerived/ja.xml")

# The characters of the Basic Multilingual Plane that Unicode marks
# Extended_Pictographic (emoji-data.txt; these ranges are those of Unicode 15).
# Everything from U+1F000 up that CLDR names counts as well: pictographs,
# enclosed letters, regional indicators and skin-tone swatches.
BMP_PICTOGRAPHIC = (
    (0x00A9, 0x00A9), (0x00AE, 0x00AE), (0x203C, 0x203C), (0x2049, 0x2049),
    (0x2122, 0x2122), (0x2139, 0x2139), (0x2194, 0x2199), (0x21A9, 0x21AA),
    (0x231A, 0x231B), (0x2328, 0x2328), (0x2388, 0x2388), (0x23CF, 0x23CF),
    (0x23E9, 0x23F3), (0x23F8, 0x23FA), (0x24C2, 0x24C2), (0x25AA, 0x25AB),
    (0x25B6, 0x25B6), (0x25C0, 0x25C0), (0x25FB, 0x25FE), (0x2600, 0x2605),
    (0x2607, 0x2612), (0x2614, 0x2685), (0x2690, 0x2705), (0x2708, 0x2712),
    (0x2714, 0x2714), (0x2716, 0x2716), (0x271D, 0x271D), (0x2721, 0x2721),
    (0x2728, 0x2728), (0x2733, 0x2734), (0x2744, 0x2744), (0x2747, 0x2747),
    (0x274C, 0x274C), (0x274E, 0x274E), (0x2753, 0x2755), (0x2757, 0x2757),
    (0x2763, 0x2767), (0x2795, 0x2797), (0x27A1, 0x27A1), (0x27B0, 0x27B0),
    (0x27BF, 0x27BF), (0x2934, 0x2935), (0x2B05, 0x2B07), (0x2B1B, 0x2B1C),
    (0x2B50, 0x2B50), (0x2B55, 0x2B55), (0x3030, 0x3030), (0x303D, 0x303D),
    (0x3297, 0x3297), (0x3299, 0x3299),
)

VARIATION_SELECTORS = ("\ufe0e", "\ufe0f")


def is_pictographic(cp):
    if cp >= 0x1F000:
        return True
    return any(lo <= cp <= hi for lo, hi in BMP_PICTOGRAPHIC)


def in_cp932(ch):
    try:
        ch.encode("cp932")
        return True
    except UnicodeEncodeError:
        return False


def wanted(key):
    """Sequences (ZWJ, skin tone, flag, keycap, tag) are all emoji. A single
    character is wanted when it is a pictograph that Japanese text could not
    already carry: symbols of the Japanese character set such as ★ ♪ ♀ keep
    the readings the engine and the reading conversion give them."""
    if len(key) > 1:
        return True
    return is_pictographic(ord(key)) and not in_cp932(key)


def spoken(name):
    """CLDR writes a base name, ": " and details apart by blanks ("家族: 男性
    女性 女の子"). Spoken, a pause parts them ("家族、男性、女性、女の子"), so
    the engine neither reads the colon nor runs the words together; a blank
    inside a plain name ("ダイビング マスク") goes."""
    base, _, detail = name.partition(":")
    parts = ["".join(base.split())] + detail.split()
    return "、".join(part for part in parts if part)


def read_names(path):
    names = {}
    root = ET.parse(path).getroot()
    for node in root.iter("annotation"):
        if node.get("type") != "tts":
            continue
        key = "".join(ch for ch in node.get("cp", "") if ch not in VARIATION_SELECTORS)
        text = (node.text or "").strip()
        if key and text and key not in names:
            names[key] = text
    return names


def build(cldr):
    names = {}
    for source in SOURCES:
        # The hand-written annotations win over the derived ones.
        for key, text in read_names(os.path.join(cldr, source)).items():
            names.setdefault(key, text)
    rows = []
    for key, text in names.items():
        if wanted(key):
            rows.append((tuple(ord(ch) for ch in key), spoken(text)))
    rows.sort()
    return rows


def render(rows):
    lines = [
        "# emoji-ja.txt: Japanese spoken names of emoji and pictographs, one a line:",
        "# code points in hex (U+FE0F left out), a tab, the name. Made by",
        "# tools/emoji/make_emoji_table.py from the \"tts\" short names of Unicode CLDR",
        "# (annotations/ja.xml, annotationsDerived/ja.xml); do not edit by hand.",
    ]
    for cps, text in rows:
        lines.append(" ".join("%04X" % cp for cp in cps) + "\t" + text)
    return "\n".join(lines) + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cldr", default=DEFAULT_CLDR, help="CLDR common folder (default: %(default)s)")
    parser.add_argument("--out", default=DEFAULT_OUT, help="table to write (default: resources/emoji-ja.txt)")
    args = parser.parse_args(argv)
    for source in SOURCES:
        if not os.path.isfile(os.path.join(args.cldr, source)):
            print("make_emoji_table: %s not found in %s" % (source, args.cldr), file=sys.stderr)
            return 2
    data = render(build(args.cldr)).encode("utf-8")
    tmp = args.out + ".tmp"
    with open(tmp, "wb") as out:
        out.write(data)
    os.replace(tmp, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
