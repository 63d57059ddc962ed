#include "FieldListFile.h"

#include <QFileInfo>

#include "bbs/TextFile.h"

FieldListFile::FieldListFile(const QString& path, int fieldCount)
    : m_path(path)
    , m_fieldCount(fieldCount)
{}

void FieldListFile::load()
{
    m_entries.clear();
    if (!QFileInfo::exists(m_path)) {
        TextFile::writeLines(m_path, {});
        return;
    }
    const std::optional<QStringList> lines = TextFile::readLines(m_path);
    if (!lines) {
        return;
    }
    for (const QString& line : *lines) {
        const QStringList fields = line.split(u',');
        if (fields.size() == m_fieldCount) {
            m_entries.append(fields);
        }
    }
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
    m_entries.append(fields);
    TextFile::appendLines(m_path, {fields.join(u',')});
    return true;
}

void FieldListFile::remove(int index)
{
    if (index < 1 || index > m_entries.size()) {
        return;
    }
    m_entries.removeAt(index - 1);
    rewrite();
}

void FieldListFile::move(int from, int to)
{
    if (from < 1 || from > m_entries.size() || to < 1 || to > m_entries.size()) {
        return;
    }
    m_entries.move(from - 1, to - 1);
    rewrite();
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

void FieldListFile::rewrite() const
{
    QStringList lines;
    lines.reserve(m_entries.size());
    for (const QStringList& fields : m_entries) {
        lines.append(fields.join(u','));
    }
    TextFile::writeLines(m_path, lines);
}
