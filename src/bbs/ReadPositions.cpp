#include "ReadPositions.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include "base/TextFile.h"

ReadPositions::ReadPositions()
{
    m_clock = [] {
        static QElapsedTimer started = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return started.elapsed();
    };
}

void ReadPositions::load(const QString& path)
{
    m_entries.clear();
    m_path = path;
    m_pending = false;
    if (!QFileInfo::exists(path)) {
        TextFile::writeLines(path, {});
        return;
    }
    const std::optional<QStringList> lines = TextFile::readLines(path);
    if (!lines) {
        return;
    }
    for (const QString& line : *lines) {
        const QStringList fields = line.split(u',');
        if (line.isEmpty() || fields.size() != 2) {
            continue;
        }
        bool ok = false;
        const int value = fields.at(1).trimmed().toInt(&ok);
        setPosition(fields.at(0), ok ? qBound(0, value, 32767) : 0);
    }
}

bool ReadPositions::save(const QString& path) const
{
    QStringList lines;
    lines.reserve(m_entries.size());
    for (const Entry& e : m_entries) {
        lines.append(e.key + u',' + QString::number(e.position));
    }
    return TextFile::writeLines(path, lines);
}

int ReadPositions::position(const QString& key) const
{
    for (const Entry& e : m_entries) {
        if (e.key == key) {
            return e.position;
        }
    }
    return 0;
}

void ReadPositions::setPosition(const QString& key, int position)
{
    for (Entry& e : m_entries) {
        if (e.key == key) {
            e.position = position;
            return;
        }
    }
    m_entries.append(Entry{key, position});
}

bool ReadPositions::record(const QString& key, int position)
{
    setPosition(key, position);
    m_pending = true;
    return saveIfDue();
}

bool ReadPositions::saveIfDue()
{
    if (!m_pending || (m_written && m_clock() - m_lastWrite < kSaveIntervalMs)) {
        return true;
    }
    return write();
}

bool ReadPositions::saveNow()
{
    return m_pending ? write() : true;
}

bool ReadPositions::write()
{
    if (m_path.isEmpty()) {
        return true;
    }
    // A failed write is retried no sooner than a second later as well.
    m_lastWrite = m_clock();
    m_written = true;
    ++m_writes;
    const bool written = save(m_path);
    m_pending = !written;
    return written;
}
