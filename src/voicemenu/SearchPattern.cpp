#include "SearchPattern.h"

#include "base/VbRegExp.h"

using namespace Qt::StringLiterals;

namespace SearchPattern {

QString literal(const QString& key)
{
    static const VbRegExp metacharacters(u"([\\(\\)\\[\\]\\{\\}\\\\\\|\\.\\+\\?\\/\\$\\^\\*])"_s);
    return metacharacters.Replace(key, u"\\$1"_s);
}

bool isSingleByte(const QString& key)
{
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u >= 0x80 && !(u >= 0xFF61 && u <= 0xFF9F)) {
            return false;
        }
    }
    return true;
}

bool hasMetacharacter(const QString& key)
{
    static const QString metacharacters = u"()[]{}\\|.+?/$^*"_s;
    for (const QChar c : key) {
        if (metacharacters.contains(c)) {
            return true;
        }
    }
    return false;
}

QString fromMigemo(const QString& answer)
{
    return QString(answer).remove(u"|:-)"_s, Qt::CaseInsensitive);
}

}  // namespace SearchPattern
