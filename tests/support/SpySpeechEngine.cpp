#include "SpySpeechEngine.h"

using namespace Qt::StringLiterals;

SpySpeechEngine::SpySpeechEngine(QObject* parent)
    : LeveledSpeechEngine(0, parent)
{
    m_modes = {{u"Spy Japanese"_s, true}, {u"Spy English"_s, false}};
}

QStringList SpySpeechEngine::texts() const
{
    QStringList out;
    for (const Utterance& u : m_spoken) {
        out.append(u.text);
    }
    return out;
}

QList<SpeechEngine::UtteranceId> SpySpeechEngine::pending() const
{
    QList<UtteranceId> ids;
    for (const Pending& p : m_pending) {
        ids.append(p.id);
    }
    return ids;
}

void SpySpeechEngine::clear()
{
    m_spoken.clear();
    m_resets = 0;
}

QString SpySpeechEngine::modeName(int mode) const
{
    return mode >= 1 && mode <= m_modes.size() ? m_modes.at(mode - 1).first : QString();
}

VoiceInfo SpySpeechEngine::voiceInfo(int mode) const
{
    VoiceInfo info = SpeechEngine::voiceInfo(mode);
    if (mode >= 1 && mode <= m_modules.size()) {
        info.module = m_modules.at(mode - 1);
    }
    return info;
}

QString SpySpeechEngine::productName(int mode) const
{
    if (mode < 1 || mode > m_modes.size()) {
        return {};
    }
    return mode <= m_products.size() ? m_products.at(mode - 1) : u"Spy"_s;
}

bool SpySpeechEngine::isJapanese(int mode) const
{
    return mode >= 1 && mode <= m_modes.size() && m_modes.at(mode - 1).second;
}

bool SpySpeechEngine::selectMode(int mode)
{
    if (mode < 1 || mode > m_modes.size()) {
        return false;
    }
    m_mode = mode;
    return true;
}

SpeechEngine::UtteranceId SpySpeechEngine::speak(const QString& text)
{
    if (m_refusing) {
        return 0;
    }
    const UtteranceId id = ++m_lastId;
    m_spoken.append({id, text, m_mode, pitch(), speed(), volume()});
    m_pending.append({id, false});
    if (m_automatic) {
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                for (Pending& p : m_pending) {
                    if (p.id == id) {
                        p.started = true;
                        Q_EMIT started(id);
                        finish(id);
                        return;
                    }
                }
            },
            Qt::QueuedConnection);
    }
    return id;
}

void SpySpeechEngine::audioReset()
{
    ++m_resets;
    const QList<Pending> dropped = m_pending;
    m_pending.clear();
    for (const Pending& p : dropped) {
        QMetaObject::invokeMethod(
            this, [this, id = p.id] { Q_EMIT finished(id); }, Qt::QueuedConnection);
    }
}

void SpySpeechEngine::startCurrent()
{
    for (Pending& p : m_pending) {
        if (!p.started) {
            p.started = true;
            Q_EMIT started(p.id);
            return;
        }
    }
}

void SpySpeechEngine::finishCurrent()
{
    if (!m_pending.isEmpty()) {
        finish(m_pending.first().id);
    }
}

void SpySpeechEngine::finish(UtteranceId id)
{
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (m_pending.at(i).id == id) {
            m_pending.removeAt(i);
            Q_EMIT finished(id);
            return;
        }
    }
}
