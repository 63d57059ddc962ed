#include "ThreadLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include "base/SafeName.h"
#include "base/TextCodec.h"
#include "base/TextFile.h"

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcThread, "yomimaru.thread", QtWarningMsg)

const QString kCommaInLog = u"\\t1;"_s;

// Appends a field as the log holds it: each comma as kCommaInLog, and no
// line break, which would split the line.
void appendEscaped(QString& out, const QString& value)
{
    const QStringView v(value);
    const qsizetype n = v.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = v[i].unicode();
        if (c == u',' || c == u'\r' || c == u'\n') {
            out += v.mid(from, i - from);
            if (c == u',') {
                out += kCommaInLog;
            }
            from = i + 1;
        }
    }
    out += v.mid(from);
}

bool sameFields(const ThreadMessage& a, const ThreadMessage& b)
{
    return a.name == b.name && a.mail == b.mail && a.date == b.date && a.body == b.body && a.id == b.id
           && a.host == b.host;
}

QString unescapeField(const QString& value)
{
    return QString(value).replace(kCommaInLog, u","_s);
}

void appendLogLine(QString& line, const ThreadMessage& m)
{
    // The date's commas are escaped like the other fields': a date holding a
    // comma would otherwise shift the ID and host of the line.
    appendEscaped(line, m.name);
    line += u',';
    appendEscaped(line, m.mail);
    line += u',';
    appendEscaped(line, m.date);
    line += u',';
    appendEscaped(line, m.body);
    line += u',';
    appendEscaped(line, m.id);
    line += u',';
    appendEscaped(line, m.host);
}

qsizetype fieldsSize(const ThreadMessage& m)
{
    return m.name.size() + m.mail.size() + m.date.size() + m.body.size() + m.id.size() + m.host.size();
}

}  // namespace

void ThreadLog::open(const QString& folder, const QString& key)
{
    m_folder = folder;
    m_key = key;
    m_created = false;
    m_lines = -1;
    // The key names the log file; one that could reach elsewhere names none.
    m_path = SafeName::isSafeKey(key) ? folder + u'/' + key + u".log"_s : QString();
}

bool ThreadLog::load(QList<ThreadMessage>& messages)
{
    if (m_path.isEmpty()) {
        return false;
    }
    QDir().mkpath(m_folder);
    if (!QFileInfo::exists(m_path)) {
        m_created = TextFile::writeLines(m_path, {});
        m_lines = m_created ? 0 : -1;
        return m_created;
    }
    const std::optional<QString> text = TextFile::readText(m_path);
    if (!text) {
        return false;
    }
    QStringList lines = TextFile::splitLines(*text);
    // The log is only ever written in whole lines, each with its line end: a
    // last line without one is what an append cut short by a crash leaves.
    // It is no message; the next save writes the log whole, without it.
    const bool torn = !text->isEmpty() && !text->endsWith(u'\n');
    if (torn) {
        qCWarning(lcThread) << "last line of the log cut short, left out:" << m_path;
        lines.removeLast();
    }
    messages.reserve(qMin<qsizetype>(lines.size(), ThreadMessage::kMax));
    for (const QString& line : std::as_const(lines)) {
        if (messages.size() >= ThreadMessage::kMax) {
            break;
        }
        messages.append(fromLogLine(line));
    }
    m_lines = !torn && messages.size() == lines.size() ? messages.size() : -1;
    return true;
}

void ThreadLog::removeCreated()
{
    if (m_created) {
        QFile::remove(m_path);
    }
}

ThreadMessage ThreadLog::fromLogLine(const QString& line)
{
    const QStringList f = line.split(u',');
    ThreadMessage m;
    m.name = unescapeField(f.value(0));
    m.mail = unescapeField(f.value(1));
    m.date = unescapeField(f.value(2));
    m.body = unescapeField(f.value(3));
    m.id = unescapeField(f.value(4));
    m.host = unescapeField(f.value(5));
    return m;
}

QString ThreadLog::logLine(const ThreadMessage& m)
{
    QString line;
    line.reserve(fieldsSize(m) + 16);
    appendLogLine(line, m);
    return line;
}

QByteArray ThreadLog::logBytes(const QList<ThreadMessage>& messages, qsizetype from)
{
    // Room for two bytes a character up front; one line buffer serves all.
    qsizetype room = 0;
    for (qsizetype i = from; i < messages.size(); ++i) {
        room += fieldsSize(messages.at(i)) * 2 + 16;
    }
    QByteArray bytes;
    bytes.reserve(room);
    QString line;
    for (qsizetype i = from; i < messages.size(); ++i) {
        line.resize(0);
        appendLogLine(line, messages.at(i));
        TextCodec::appendFileBytes(bytes, line);
        bytes += "\r\n";
    }
    return bytes;
}

// Messages that only grew are appended (one flushed write, cut back when it
// fails); any other change rewrites the log whole.
bool ThreadLog::save(const QList<ThreadMessage>& messages, const QList<ThreadMessage>& before)
{
    if (m_path.isEmpty()) {
        return false;
    }
    qsizetype kept = 0;
    if (!before.isEmpty() && m_lines == before.size() && messages.size() >= before.size()) {
        kept = before.size();
        for (qsizetype i = 0; i < kept; ++i) {
            // Equal fields make equal lines; only messages that differ are
            // compared as the lines they make.
            if (!sameFields(before.at(i), messages.at(i))
                && logLine(before.at(i)) != logLine(messages.at(i))) {
                kept = 0;
                break;
            }
        }
    }
    const QByteArray bytes = logBytes(messages, kept);
    QDir().mkpath(m_folder);
    const bool written =
        kept > 0 ? TextFile::appendBytes(m_path, bytes) : TextFile::writeBytes(m_path, bytes);
    m_lines = written ? messages.size() : -1;
    if (!written && !m_logFailing && m_onWriteFailure) {
        m_onWriteFailure(u"スレッドデータを保存できませんでした。"_s);
    }
    m_logFailing = !written;
    return written;
}

int ThreadLog::loadPosition()
{
    m_positions.load(m_folder + u"/thread.idx"_s);
    return m_positions.position(m_key);
}

bool ThreadLog::recordPosition(int position)
{
    if (m_key.isEmpty()) {
        return true;
    }
    const int writes = m_positions.writeCount();
    return notePositionWrite(writes, m_positions.record(m_key, position));
}

bool ThreadLog::savePosition(int position)
{
    if (m_key.isEmpty()) {
        return true;
    }
    m_positions.setPosition(m_key, position);
    const int writes = m_positions.writeCount();
    return notePositionWrite(writes, m_positions.write());
}

bool ThreadLog::flushPosition()
{
    const int writes = m_positions.writeCount();
    return notePositionWrite(writes, m_positions.saveNow());
}

bool ThreadLog::flushPositionIfDue()
{
    const int writes = m_positions.writeCount();
    return notePositionWrite(writes, m_positions.saveIfDue());
}

// Tells a failed write once, until a write works again; calls that wrote
// nothing leave that state alone.
bool ThreadLog::notePositionWrite(int writesBefore, bool written)
{
    if (m_positions.writeCount() == writesBefore) {
        return written;
    }
    if (!written && !m_positionFailing && m_onWriteFailure) {
        m_onWriteFailure(u"読み上げ位置を保存できませんでした。"_s);
    }
    m_positionFailing = !written;
    return written;
}
