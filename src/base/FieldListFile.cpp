#include "FieldListFile.h"

#include <QFileInfo>

#include "base/TextCodec.h"
#include "base/TextFile.h"

FieldListFile::FieldListFile(const QString& path, int fieldCount)
    : m_path(path)
    , m_fieldCount(fieldCount)
{}

bool FieldListFile::load()
{
    m_entries.clear();
    m_utf8 = false;
    if (!QFileInfo::exists(m_path)) {
        return TextFile::writeLines(m_path, {});
    }
    const std::optional<QByteArray> bytes = TextFile::readBytes(m_path);
    if (!bytes) {
        return true;
    }
    m_utf8 = TextCodec::isUtf8FileBytes(*bytes);
    for (const QString& line : TextFile::splitLines(TextCodec::fromFileBytes(*bytes))) {
        const QStringList fields = line.split(u',');
        if (fields.size() == m_fieldCount) {
            m_entries.append(fields);
        }
    }
    return true;
}

bool FieldListFile::append(const QStringList& fields)
{
    if (fields.size() != m_fieldCount) {
        return false;
    }
    for (const QString& field : fields) {
        if (field.contains(u',') || field.contains(u'\n') || field.contains(u'\r')) {
            return false;
        }
    }
    const QString line = fields.join(u',');
    if (m_utf8) {
        std::optional<QStringList> lines = TextFile::readLines(m_path);
        if (!lines || !TextFile::writeLines(m_path, *lines << line)) {
            return false;
        }
        m_utf8 = false;
    } else if (!TextFile::appendLines(m_path, {line})) {
        return false;
    }
    m_entries.append(fields);
    return true;
}

bool FieldListFile::remove(int index)
{
    if (index < 1 || index > m_entries.size()) {
        return true;
    }
    QList<QStringList> entries = m_entries;
    entries.removeAt(index - 1);
    if (!rewrite(entries)) {
        return false;
    }
    m_entries = entries;
    return true;
}

bool FieldListFile::move(int from, int to)
{
    if (from < 1 || from > m_entries.size() || to < 1 || to > m_entries.size()) {
        return true;
    }
    QList<QStringList> entries = m_entries;
    entries.move(from - 1, to - 1);
    if (!rewrite(entries)) {
        return false;
    }
    m_entries = entries;
    return true;
}

const QStringList* FieldListFile::entry(int index) const
{
    if (m_entries.isEmpty() || index < 1) {
        return nullptr;
    }
    return &m_entries.at(qMin<qsizetype>(index, m_entries.size()) - 1);
}

int FieldListFile::find(const QList<int>& positions, const QStringList& values) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        bool same = true;
        for (qsizetype k = 0; k < positions.size() && same; ++k) {
            same = m_entries.at(i).value(positions.at(k)) == values.value(k);
        }
        if (same) {
            return int(i) + 1;
        }
    }
    return 0;
}

bool FieldListFile::rewrite(const QList<QStringList>& entries)
{
    QStringList lines;
    lines.reserve(entries.size());
    for (const QStringList& fields : entries) {
        lines.append(fields.join(u','));
    }
    if (!TextFile::writeLines(m_path, lines)) {
        return false;
    }
    m_utf8 = false;
    return true;
}
