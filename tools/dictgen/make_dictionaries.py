#!/usr/bin/env python3
"""Writes the three character-reading dictionaries of Yomimaru.

  kigou95_b.txt  single-byte characters (ASCII, half-width katakana)
  kigou95_a.txt  double-byte characters of code page 932 that are no kanji
  tankan95.txt   kanji: a reading that tells a kanji from its homophones

Files are code page 932 with CR LF line ends. The kanji readings come from
KANJIDIC and EDICT of the Electronic Dictionary Research and Development
Group (CC BY-SA 4.0); every other reading is written in kana_tables.py.
Python 3 standard library only; the output depends only on the inputs, so
running it again gives the same bytes.
"""

import argparse
import os
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kana_tables as T  # noqa: E402

KIGOU_B = "kigou95_b.txt"
KIGOU_A = "kigou95_a.txt"
TANKAN = "tankan95.txt"

# Common words that must never be used to tell a kanji apart, however often
# they appear: crude, hurtful or grim words. Extend as needed.
DENY_WORDS = {
    "死体", "死刑", "死亡", "自殺", "殺人", "殺害", "強姦", "売春", "娼婦", "性交", "性器",
    "糞尿", "便所", "尿道", "陰部", "陰毛", "奴隷", "虐殺", "暴行", "犯罪", "遺体", "痴漢",
    "差別", "障害", "病死", "死者", "戦死", "処刑", "拷問", "淫乱", "姦通", "屍体", "妾",
    "餓死", "絞殺", "刺殺", "毒殺", "自害", "獄死", "爆死", "殉死", "屠殺", "狂人", "気違",
    "愛人", "佝僂", "白痴", "盲人", "聾者", "唖者", "不具", "片端", "乞食", "部落", "土人", "情婦",
}
# Kun readings that are slurs today: a kanji is never introduced by them.
DENY_KUN = {
    "おし", "せむし", "めくら", "つんぼ", "びっこ", "かたわ", "きちがい", "いざり", "ちんば",
    "どもり", "めかけ", "ばか", "くそ",
}
# EDICT tags that mark a word as unfit.
DENY_TAGS = ("(X)", "(vulg)", "(derog)", "(sens)", "(arch)", "(obs)", "(rare)", "(obsc)")


def to_katakana(s):
    return "".join(chr(ord(c) + 0x60) if "ぁ" <= c <= "ゖ" else c for c in s)


def to_hiragana(s):
    return "".join(chr(ord(c) - 0x60) if "ァ" <= c <= "ヶ" else c for c in s)


def crlf(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def single_byte(code):
    return bytes([code]).decode("cp932")


# ---------------------------------------------------------------- kana, symbols

def kana_entry(ch):
    """(phonetic, reading, case, class) of a kana, full or half width."""
    full = unicodedata.normalize("NFKC", ch) if "ｦ" <= ch <= "ﾟ" else ch
    cls = T.KATAKANA if ("ァ" <= full <= "ヺ" or "ｦ" <= ch <= "ﾟ") else T.HIRAGANA
    hira = to_hiragana(full)
    case = 0
    if hira in T.SMALL_KANA:
        hira, case = T.SMALL_KANA[hira], 2
    sound = to_katakana(hira)
    if hira in T.KANA_DESCRIPTIONS:
        phonetic = T.KANA_DESCRIPTIONS[hira]
    else:
        phonetic = T.KANA_WORDS[hira] + "ノ " + sound
    return phonetic, sound, case, cls


def symbol_entry(ch):
    reading, phonetic, cls = T.SYMBOLS[ch]
    return phonetic, reading, 0, cls


def single_byte_entries():
    rows = []
    for code in list(range(0x20, 0x7F)) + list(range(0xA1, 0xE0)):
        ch = single_byte(code)
        rows.append((ch,) + any_entry(ch))
    return rows


def any_entry(ch):
    """(phonetic, reading, case, class) of any character that is no kanji."""
    if ch in T.HALFWIDTH_ALIASES:
        return symbol_entry(T.HALFWIDTH_ALIASES[ch])
    if ch in T.FULLWIDTH_ALIASES:
        return symbol_entry(T.FULLWIDTH_ALIASES[ch])
    if ch in T.SYMBOLS:
        return symbol_entry(ch)
    if ch == "ﾞ":
        return "テンテン", "ダクテン", 0, T.SYMBOL
    if ch == "ﾟ":
        return "マル", "ハンダクテン", 0, T.SYMBOL
    if ch == "ｰ":
        return symbol_entry("ー")
    folded = unicodedata.normalize("NFKC", ch) if "！" <= ch <= "～" else ch
    if "0" <= folded <= "9":
        d = T.DIGITS[int(folded)]
        return "スウジノ " + d, d, 0, T.DIGIT
    if "A" <= folded.upper() <= "Z" and len(folded) == 1 and folded.isascii():
        name, word = T.LATIN[folded.upper()]
        return name + "、" + word, name, 1 if folded.isupper() else 0, T.LATIN_CLASS
    if "ぁ" <= ch <= "ゖ" or "ァ" <= ch <= "ヶ" or "ｦ" <= ch <= "ﾝ":
        return kana_entry(ch)
    for capital, small, name in T.GREEK:
        if ch in (capital, small):
            return "", name, 1 if ch == capital else 2, T.GREEK_CLASS
    for capital, name in T.CYRILLIC:
        if ch in (capital, capital.lower()):
            return "", name, 1 if ch == capital else 2, T.CYRILLIC_CLASS
    uname = unicodedata.name(ch, "")
    if uname.startswith("BOX DRAWINGS "):
        words = [T.BOX_WORDS[w] for w in uname[len("BOX DRAWINGS "):].split()]
        return "", " ".join(w for w in words if w), 0, T.BOX
    if uname.startswith("ROMAN NUMERAL ") or uname.startswith("SMALL ROMAN NUMERAL "):
        value = unicodedata.numeric(ch)
        return "", T.ROMAN[int(value) - 1], 2 if uname.startswith("SMALL") else 1, T.ROMAN_CLASS
    if uname.startswith("CIRCLED NUMBER ") or uname.startswith("CIRCLED DIGIT "):
        n = T.NUMBERS[int(unicodedata.numeric(ch))]
        return "", "マル" + n, 0, T.SYMBOL
    raise KeyError("no reading for U+%04X %s" % (ord(ch), uname))


def double_byte_chars():
    """Every non-kanji double-byte character of code page 932, in code order,
    each once (the code page lists a few characters twice)."""
    seen = set()
    out = []
    ranges = [(0x81, 0x84), (0x87, 0x87), (0xEE, 0xEE), (0xFA, 0xFA)]
    for lo, hi in ranges:
        for b1 in range(lo, hi + 1):
            for b2 in range(0x40, 0xFD):
                try:
                    ch = bytes([b1, b2]).decode("cp932")
                except UnicodeDecodeError:
                    continue
                if ch in seen or unicodedata.name(ch, "").startswith("CJK "):
                    continue
                seen.add(ch)
                out.append(ch)
    return out


def kigou_lines(rows):
    lines = []
    for ch, phonetic, reading, case, cls in rows:
        for field in (phonetic, reading):
            assert "\t" not in field and "\r" not in field and "\n" not in field
        assert reading
        lines.append("\t".join([ch, phonetic, reading, str(case), str(cls)]))
    return lines


# ---------------------------------------------------------------- kanji

class Kanji:
    __slots__ = ("char", "freq", "grade", "on", "kun", "kun_stems")

    def __init__(self, char):
        self.char = char
        self.freq = 9999
        self.grade = 99
        self.on = []
        self.kun = []
        self.kun_stems = []


def read_kanjidic(path):
    kanji = {}
    with open(path, "rb") as f:
        for raw in f:
            line = raw.decode("euc_jp", errors="replace").rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split(" ")
            k = Kanji(fields[0])
            for field in fields[1:]:
                if field.startswith("T") or field.startswith("{"):
                    break  # names and meanings follow
                if field[:1] == "F" and field[1:].isdigit():
                    k.freq = int(field[1:])
                elif field[:1] == "G" and field[1:].isdigit():
                    k.grade = int(field[1:])
                elif "ァ" <= field[:1] <= "ヶ":
                    on = field.replace("-", "")
                    if on and on not in k.on:
                        k.on.append(on)
                elif "ぁ" <= field[:1] <= "ゖ":
                    if field.startswith("-") or field.endswith("-"):
                        continue
                    full = field.replace(".", "")
                    if full in DENY_KUN:
                        continue
                    if full not in k.kun:
                        k.kun.append(full)
                        k.kun_stems.append(field.split(".")[0])
            kanji[k.char] = k
    return kanji


def read_edict(path):
    """Words of EDICT: (headword, reading, common), in file order; common
    words are the ones marked (P)."""
    words = []
    with open(path, "rb") as f:
        for raw in f:
            line = raw.decode("euc_jp", errors="replace")
            if " [" not in line or any(tag in line for tag in DENY_TAGS):
                continue
            head, rest = line.split(" [", 1)
            if len(head) != 2:
                continue
            reading = rest.split("]", 1)[0]
            words.append((head, reading, "/(P)/" in line))
    return words


RENDAKU = str.maketrans("かきくけこさしすせそたちつてとはひふへほ", "がぎぐげござじずぜぞだぢづでどばびぶべぼ")
HANDAKU = str.maketrans("はひふへほ", "ぱぴぷぺぽ")


def variants(reading, first):
    """Sound changes of a reading inside a two-kanji word."""
    out = {reading}
    if first and reading[-1:] in "つちくきう" and len(reading) > 1:
        out.add(reading[:-1] + "っ")
    if not first and reading:
        out.add(reading[0].translate(RENDAKU) + reading[1:])
        out.add(reading[0].translate(HANDAKU) + reading[1:])
    return out


def readings_of(k, first):
    base = [to_hiragana(r) for r in k.on] + k.kun_stems + k.kun
    out = set()
    for r in base:
        out |= variants(r, first)
    return out


def split_reading(word, reading, kanji):
    """The reading of each kanji of a two-kanji word, or None."""
    k1, k2 = kanji[word[0]], kanji[word[1]]
    r2s = readings_of(k2, False)
    for r1 in sorted(readings_of(k1, True), key=len, reverse=True):
        if reading.startswith(r1) and reading[len(r1):] in r2s:
            return r1, reading[len(r1):]
    return None


def rank(k):
    # Frequency rank of a kanji among newspaper text; school grade breaks ties.
    return k.freq + (k.grade if k.grade < 99 else 20) * 10


def best_words(kanji, words):
    """For each kanji the two-kanji word that names it best: a common word
    first, then one in which the kanji keeps a reading of its own (no sound
    change), read the Sino-Japanese way, with the most frequent partner."""
    best = {}
    for order, (head, reading, common) in enumerate(words):
        if head in DENY_WORDS or head[0] == head[1]:
            continue
        if head[0] not in kanji or head[1] not in kanji:
            continue
        if not all("ぁ" <= ch <= "ゖ" for ch in reading):
            continue
        parts = split_reading(head, reading, kanji)
        if parts is None:
            continue
        for pos in (0, 1):
            me, other = kanji[head[pos]], kanji[head[1 - pos]]
            mine = parts[pos]
            changed = mine not in readings_plain(me)
            by_kun = mine in me.kun_stems or mine in me.kun
            score = (not common, changed, by_kun, rank(other), order)
            if me.char not in best or score < best[me.char][0]:
                best[me.char] = (score, reading, mine)
    return best


def readings_plain(k):
    return {to_hiragana(r) for r in k.on} | set(k.kun_stems) | set(k.kun)


def tankan_lines(kanji, words):
    best = best_words(kanji, words)
    lines = []
    for b1 in range(0x88, 0xEB):
        for b2 in range(0x40, 0xFD):
            try:
                ch = bytes([b1, b2]).decode("cp932")
            except UnicodeDecodeError:
                continue
            if ch not in kanji:
                continue
            k = kanji[ch]
            lines.append(" ".join(kanji_fields(k, best.get(ch))))
    # Extension kanji of the code page that are compatibility forms of a
    # kanji we know read as that kanji.
    for b1 in (0xED, 0xEE, 0xFA, 0xFB, 0xFC):
        for b2 in range(0x40, 0xFD):
            try:
                ch = bytes([b1, b2]).decode("cp932")
            except UnicodeDecodeError:
                continue
            base = unicodedata.normalize("NFC", ch)
            if base != ch and base in kanji and b1 not in (0xED, 0xEE):
                lines.append(" ".join([ch] + kanji_fields(kanji[base], best.get(base))[1:]))
    return lines


def kanji_fields(k, word):
    kun = to_katakana(k.kun[0]) if k.kun else ""
    on = k.on[0] if k.on else ""
    parts = []
    if kun:
        parts.append(kun)
    if word is not None:
        _, reading, mine = word
        described = to_katakana(reading) + "ノ" + to_katakana(mine)
        if described != kun:
            parts.append(described)
    else:
        parts.extend(r for r in k.on[:2] if r != kun)
        if not parts:
            parts.extend(to_katakana(r) for r in k.kun[1:2])
    reading = "、".join(parts) or "カンジ"
    short = kun or on or reading
    key = on or kun or "-"
    return [k.char, key.replace(" ", ""), reading.replace(" ", ""), short.replace(" ", "")]


# ---------------------------------------------------------------- main

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(here, "..", "..", "resources"))
    ap.add_argument("--kanjidic", default="/usr/share/edict/kanjidic")
    ap.add_argument("--edict", default="/usr/share/edict/edict")
    args = ap.parse_args()

    os.makedirs(args.out, exist_ok=True)
    kanji = read_kanjidic(args.kanjidic)
    words = read_edict(args.edict)
    outputs = {
        KIGOU_B: kigou_lines(single_byte_entries()),
        KIGOU_A: kigou_lines([(ch,) + any_entry(ch) for ch in double_byte_chars()]),
        TANKAN: tankan_lines(kanji, words),
    }
    for name, lines in outputs.items():
        tmp = os.path.join(args.out, name + ".tmp")
        with open(tmp, "wb") as f:
            f.write(crlf(lines))
        os.replace(tmp, os.path.join(args.out, name))
        print("%s: %d entries" % (name, len(lines)))


if __name__ == "__main__":
    main()
