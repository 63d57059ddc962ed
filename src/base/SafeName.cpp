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
            bool ok = false;
            const ushort v = QStringView(fileName).mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(char16_t(v));
                i += 5;
                continue;
            }
        }
        if (c == u'%' && i + 2 < fileName.size()) {
            bool ok = false;
            const ushort v = QStringView(fileName).mid(i + 1, 2).toUShort(&ok, 16);
            if (ok) {
                out += QChar(char16_t(v));
                i += 2;
                continue;
            }
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
