#include "TranscriptEngine.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include <QDateTime>

using namespace Qt::StringLiterals;

TranscriptEngine::TranscriptEngine(QObject* parent)
    : LeveledSpeechEngine(100, parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TranscriptEngine::finishPlaying);
}

TranscriptEngine::~TranscriptEngine() = default;

bool TranscriptEngine::open(const QString& filePath)
{
    if (m_file.isOpen()) {
        m_file.close();
    }
    if (!filePath.isEmpty()) {
        m_file.setFileName(filePath);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            return true;
        }
    }
    // stdout stays owned by the C library; QFile only borrows it.
    const bool ok = m_file.open(stdout, QIODevice::WriteOnly);
    return ok && filePath.isEmpty();
}

qint64 TranscriptEngine::durationMs(qsizetype chars, int msPerChar, int speed)
{
    const double factor = std::pow(2.0, -double(qBound(-100, speed, 100)) / 100.0);
    return qint64(std::llround(double(chars) * double(qMax(0, msPerChar)) * factor));
}

QString TranscriptEngine::formatLine(
    const QDateTime& time, int mode, int pitch, int speed, int volume, const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            escaped += u"\\\\"_s;
            break;
        case u'\t':
            escaped += u"\\t"_s;
            break;
        case u'\r':
            escaped += u"\\r"_s;
            break;
        case u'\n':
            escaped += u"\\n"_s;
            break;
        default:
            escaped += c;
        }
    }
    return u"%1\tmode=%2\tpitch=%3\tspeed=%4\tvolume=%5\ttext=%6"_s.arg(time.toString(Qt::ISODateWithMs))
        .arg(mode)
        .arg(pitch)
        .arg(speed)
        .arg(volume)
        .arg(escaped);
}

QString TranscriptEngine::modeName(int mode) const
{
    return mode == 1 ? u"Transcript"_s : QString();
}

QString TranscriptEngine::productName(int mode) const
{
    return mode == 1 ? u"Yomimaru transcript"_s : QString();
}

SpeechEngine::UtteranceId TranscriptEngine::speak(const QString& text)
{
    const UtteranceId id = ++m_lastId;
    const QString line =
        formatLine(QDateTime::currentDateTime(), currentMode(), pitch(), speed(), volume(), text);
    const bool behindAnother = m_playing != 0 || !m_queue.isEmpty();
    if (!behindAnother) {
        writeLine(line);
    }
    m_queue.append({id, durationMs(text.size(), m_msPerChar, speed()), behindAnother ? line : QString()});
    if (m_playing == 0 && !m_startPending) {
        // Start from the event loop: notifications never come from inside speak().
        m_startPending = true;
        QMetaObject::invokeMethod(this, &TranscriptEngine::startNext, Qt::QueuedConnection);
    }
    return id;
}

void TranscriptEngine::audioReset()
{
    QList<UtteranceId> dropped;
    if (m_playing != 0) {
        dropped.append(m_playing);
        m_playing = 0;
        m_timer.stop();
    }
    for (const Utterance& u : std::as_const(m_queue)) {
        dropped.append(u.id);
    }
    m_queue.clear();
    for (const UtteranceId id : std::as_const(dropped)) {
        QMetaObject::invokeMethod(
            this, [this, id] { Q_EMIT finished(id); }, Qt::QueuedConnection);
    }
}

void TranscriptEngine::writeLine(const QString& line)
{
    m_file.write(line.toUtf8());
    m_file.write("\n");
    m_file.flush();
}

void TranscriptEngine::startNext()
{
    m_startPending = false;
    if (m_playing != 0 || m_queue.isEmpty()) {
        return;
    }
    const Utterance next = m_queue.takeFirst();
    m_playing = next.id;
    if (!next.line.isEmpty()) {
        // Stamped with the time it is heard.
        writeLine(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)
                  + next.line.mid(next.line.indexOf(u'\t')));
    }
    Q_EMIT started(next.id);
    // A handler of started() may have reset the engine.
    if (m_playing == next.id) {
        m_timer.start(int(qMin<qint64>(next.durationMs, std::numeric_limits<int>::max())));
    }
}

void TranscriptEngine::finishPlaying()
{
    const UtteranceId id = m_playing;
    m_playing = 0;
    if (id != 0) {
        Q_EMIT finished(id);
    }
    if (m_playing == 0 && !m_queue.isEmpty() && !m_startPending) {
        m_startPending = true;
        QMetaObject::invokeMethod(this, &TranscriptEngine::startNext, Qt::QueuedConnection);
    }
}
