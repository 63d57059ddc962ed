#include "SafeName.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace SafeName {

namespace {

bool needsEscape(QChar c, bool first)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || u == u'/' || u == u'\\' || u == u'%' || (first && u == u'.')
           || c.isSurrogate();
}

void appendEscaped(QString& out, char16_t u)
{
    if (u < 0x100) {
        out += u'%' + QString::number(u, 16).rightJustified(2, u'0').toUpper();
    } else {
        out += u"%u"_s + QString::number(u, 16).rightJustified(4, u'0').toUpper();
    }
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    return -1;
}

}  // namespace

QString toFileName(const QString& name)
{
    if (name.isEmpty()) {
        return u"%"_s;
    }
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        // Keep a well-formed surrogate pair as it is: it is an ordinary character.
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += c;
            out += name.at(++i);
            continue;
        }
        if (needsEscape(c, i == 0)) {
            appendEscaped(out, c.unicode());
        } else {
            out += c;
        }
    }
    return out;
}

QString fromFileName(const QString& fileName)
{
    if (fileName == u"%"_s) {
        return {};
    }
    QString out;
    out.reserve(fileName.size());
    for (qsizetype i = 0; i < fileName.size(); ++i) {
        const QChar c = fileName.at(i);
        if (c == u'%' && i + 5 < fileName.size() && fileName.at(i + 1) == u'u') {
            int v = 0;
            bool ok = true;
            for (int k = 2; k <= 5; ++k) {
                const int d = hexDigit(fileName.at(i + k));
                ok = ok && d >= 0;
                v = v * 16 + d;
            }
            if (ok) {
                out += QChar(char16_t(v));
                i += 5;
                continue;
            }
        }
        if (c == u'%' && i + 2 < fileName.size() && hexDigit(fileName.at(i + 1)) >= 0
            && hexDigit(fileName.at(i + 2)) >= 0) {
            out += QChar(char16_t(hexDigit(fileName.at(i + 1)) * 16 + hexDigit(fileName.at(i + 2))));
            i += 2;
            continue;
        }
        out += c;
    }
    return out;
}

bool isSafeKey(const QString& key)
{
    if (key.isEmpty() || key.size() > 64) {
        return false;
    }
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')
                        || u == u'_' || u == u'-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

QString categoryFolder(const QString& dataRoot, const QString& category)
{
    return QDir(dataRoot).filePath(toFileName(category));
}

QString boardFolder(const QString& dataRoot, const QString& category, const QString& board)
{
    return categoryFolder(dataRoot, category) + u'/' + toFileName(board);
}

}  // namespace SafeName
