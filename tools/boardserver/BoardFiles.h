#pragma once

// Helpers the board server's pages share: Shift_JIS text as boards write it,
// the stored line formats, forms, and small HTML pages.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringView>

#include "HttpMessage.h"

namespace BoardFiles {

inline const QByteArray kHtmlType = "text/html; charset=Shift_JIS";
inline const QByteArray kTextType = "text/plain; charset=Shift_JIS";

// Shift_JIS as a board writes it: references that are already in the text
// ("&#128517;") stay exactly as they are, and a character the code page lacks
// becomes one.
QByteArray sjis(QStringView text);

// Board folder names and thread keys that may name files.
bool isBoardName(QStringView name);
bool isThreadKey(QStringView key);
bool isDigits(QByteArrayView text);

// A form or query: names and values percent-decoded ("+" is a blank), bytes
// as sent; the first of repeated names wins.
QMap<QByteArray, QByteArray> parseForm(QByteArrayView body);

// The whole file; ok is false when it is missing, unreadable or too large.
QByteArray readFile(const QString& path, bool* ok);

// Lines of a stored file without their LF; a final LF does not start a line.
QList<QByteArray> splitLines(const QByteArray& bytes);

// The fields of a dat line, split at "<>".
QList<QByteArray> splitFields(const QByteArray& line);

QByteArray pageHead(const QByteArray& title, const QByteArray& extraHead = {});
HttpResponse htmlResponse(QByteArray body);

}  // namespace BoardFiles
