#!/usr/bin/env python3
"""Writes the sample service's 1000-message thread, "1から1000まで数えるスレ".

The thread lives on the board "zatsudan" as board/zatsudan/dat/1714300000.dat,
stored as a board serves it: Shift_JIS (code page 932), one message per line,
LF line ends, five fields joined by "<>" (name, mail, date and ID, body,
title on the first line only). The output depends on nothing but this file,
so running it again gives the same bytes.

Regenerate from anywhere:  python3 samples/make_counting_thread.py
Its line in board/zatsudan/subject.txt ("1714300000.dat<>... (1000)") is kept
by hand; the script only checks that the thread has 1000 messages.
Standard library only.
"""

import datetime
import hashlib
import pathlib

KEY = 1714300000
TITLE = "1から1000まで数えるスレ"
BOARD = "zatsudan"
COUNT = 1000
OUTPUT = pathlib.Path(__file__).resolve().parent / "board" / BOARD / "dat" / f"{KEY}.dat"

JST = datetime.timezone(datetime.timedelta(hours=9))
WEEKDAYS = "月火水木金土日"
FULLWIDTH_DIGITS = str.maketrans("0123456789", "０１２３４５６７８９")
KANJI_DIGITS = "〇一二三四五六七八九"


def digest(*parts):
    """A stable number for the parts: the same input gives the same thread."""
    text = "/".join(str(p) for p in parts)
    return int(hashlib.sha1(text.encode("utf-8")).hexdigest(), 16)


def kanji_number(n):
    """1..1000 written in kanji numerals: 123 -> 百二十三."""
    if n == 1000:
        return "千"
    out = ""
    for value, unit in ((100, "百"), (10, "十")):
        d = n // value
        n %= value
        if d:
            out += ("" if d == 1 else KANJI_DIGITS[d]) + unit
    if n:
        out += KANJI_DIGITS[n]
    return out


def poster_id(day, poster):
    """An eight-character ID plus the terminal mark, one per poster per day."""
    raw = hashlib.sha1(f"id/{day}/{poster}".encode("utf-8")).digest()
    alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
    core = "".join(alphabet[b % 64] for b in raw[:8])
    return core + "0OPi"[raw[8] % 4 if raw[8] % 5 == 0 else 0]


def body_for(i, h):
    if i == 1:
        return ("みんなで1から1000まで数えましょう。\n"
                "ルールは、前の人の次の数を書くだけ。\n"
                "数字の書き方は自由です（１、一、ｲﾁ…）。\n"
                "\n"
                "1")
    if i == COUNT:
        return "1000\n完走！みんなおつかれさま＆ありがとう！&#127881;"
    if i == 999:
        return "999\nあとひとつ！"
    if i == 777:
        return "777\nスリーセブン！いいことありそう"
    if i % 100 == 0:
        return f"{i}\nキリ番{kanji_number(i)}ゲット！"
    if i in (64, 128, 256, 512):
        return f"{i}\n２のべき乗だ"
    if i == 501:
        return "&gt;&gt;500\nおめでとう\n\n501"
    kind = h % 10
    if kind == 0:
        return str(i).translate(FULLWIDTH_DIGITS)
    if kind == 1:
        return kanji_number(i)
    if kind == 2:
        return f"{i} ｹﾞｯﾄ"
    if kind == 3:
        return f"&gt;&gt;{i - 1}\n{i}"
    if kind == 4:
        return f"{i}！"
    if kind == 5:
        return f"{i}\nお茶どうぞ&#127861;"
    if kind == 6:
        return f"{i}です"
    return str(i)


def main():
    when = datetime.datetime.fromtimestamp(KEY, JST)
    lines = []
    for i in range(1, COUNT + 1):
        h = digest(KEY, i)
        if i > 1:
            when += datetime.timedelta(seconds=30 + (h >> 8) % 420)
        if i == 404:
            lines.append("あぼーん<>あぼーん<>あぼーん<>あぼーん<>")
            continue
        poster = 1 if i in (1, COUNT) else (h >> 16) % 60
        name = "かぞえ隊" if poster == 7 else "名無しさん"
        mail = "sage" if (h >> 24) % 3 == 0 else ""
        centi = (h >> 32) % 100
        date = (f"{when:%Y/%m/%d}({WEEKDAYS[when.weekday()]}) {when:%H:%M:%S}.{centi:02d}"
                f" ID:{poster_id(when.date(), poster)}")
        body = " " + body_for(i, h).replace("\n", " <br> ") + " "
        title = TITLE if i == 1 else ""
        lines.append(f"{name}<>{mail}<>{date}<>{body}<>{title}")
    assert len(lines) == COUNT
    OUTPUT.parent.mkdir(parents=True, exist_ok=True)
    OUTPUT.write_bytes(("\n".join(lines) + "\n").encode("cp932"))
    print(f"wrote {OUTPUT} ({COUNT} messages)")


if __name__ == "__main__":
    main()
