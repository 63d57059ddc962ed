#pragma once

// Japanese six-dot braille (kana braille) as blind Japanese readers learn it
// at school: kana by their sound (「は」 the particle as わ, long vowels as ー),
// voiced and semi-voiced marks and the contracted sounds (拗音) as prefix
// cells, numbers after the number sign, Latin letters after the
// foreign-letter sign with capital signs, the common punctuation with the
// blanks it takes, and a blank between words (分かち書き) where MeCab's words
// and parts of speech put one. The tables follow the rules of 日本点字 as the
// Japan Braille Committee publishes them (日本点字表記法); see
// docs/braille.md for what is covered and what is left out.
//
// A cell is one byte, bit n - 1 standing for dot n, as BrlAPI writes dots.
// GUI-free and pure.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

class JapaneseFrontEnd;

namespace KanaBraille {

// What one text becomes: the cells, and for each cell the index in the text
// of the character it stands for (a routing key on the cell goes there).
struct Line
{
    QByteArray cells;
    QList<qsizetype> source;
};

// Kana, digits, Latin letters, blanks and punctuation, as they stand (no
// kanji readings, no word breaks added). Characters without a cell are left
// out; the rest of the line is kept. offset is added to every source index.
Line fromKana(QStringView text, qsizetype offset = 0);

// Any text: kanji read and words separated through the front end (when it
// is open), then as fromKana.
Line translate(const QString& text, const JapaneseFrontEnd* frontEnd);

// The cells as dot numbers, cells separated by "|", a blank cell as "":
// 「か」 gives "16", 「が」 "5|16".
QString dotNumbers(const QByteArray& cells);

}  // namespace KanaBraille
