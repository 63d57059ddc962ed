#include "Migemo.h"

#include <migemo.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "base/VbRegExp.h"

using namespace Qt::StringLiterals;

Migemo::~Migemo()
{
    close();
}

bool Migemo::open(const QString& dictionaryPath)
{
    close();
    if (!QFileInfo(dictionaryPath).isFile()) {
        return false;
    }
    m_handle = migemo_open(QFile::encodeName(dictionaryPath).constData());
    if (!m_handle || !migemo_is_enable(m_handle)) {
        close();
        return false;
    }
    // A dictionary that opens but does not answer is no use for searching.
    m_working = query(u"kigou"_s).contains(u"記号"_s);
    return m_working;
}

void Migemo::close()
{
    if (m_handle) {
        migemo_close(m_handle);
        m_handle = nullptr;
    }
    m_working = false;
}

QString Migemo::query(const QString& key) const
{
    if (!m_handle || key.isEmpty()) {
        return {};
    }
    const QByteArray bytes = key.toUtf8();
    unsigned char* result = migemo_query(m_handle, reinterpret_cast<const unsigned char*>(bytes.constData()));
    if (!result) {
        return {};
    }
    const QString pattern = QString::fromUtf8(reinterpret_cast<const char*>(result));
    migemo_release(m_handle, result);
    // C/Migemo leaves some characters of the key as they are: a "(" or ")" in
    // the key unbalances its pattern. Such a key is searched for as written.
    if (!VbRegExp(pattern).isValid()) {
        return QRegularExpression::escape(key);
    }
    return pattern;
}

QString Migemo::dictionaryFor(const QString& dataRoot)
{
    const QString own = QDir(dataRoot).filePath(u"migemo-dict"_s);
    return QFileInfo(own).isFile() ? own : QString::fromLatin1(kSystemDictionary);
}
