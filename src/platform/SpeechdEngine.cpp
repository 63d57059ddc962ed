#include "SpeechdEngine.h"

#include <cmath>
#include <csignal>
#include <libspeechd.h>
#include <limits>
#include <utility>

#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include "platform/SpeechdMarkup.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSpeechd, "yomimaru.speechd", QtWarningMsg)

// Lets the worker thread and libspeechd's callback thread reach the engine
// only while it exists.
class SpeechdBridge
{
public:
    explicit SpeechdBridge(SpeechdEngine* engine)
        : m_engine(engine)
    {}

    void detach()
    {
        QMutexLocker lock(&m_mutex);
        m_engine = nullptr;
    }

    // Runs call(engine) on the engine's thread, unless the engine is gone.
    template <typename F> void post(F call)
    {
        QMutexLocker lock(&m_mutex);
        if (m_engine != nullptr) {
            SpeechdEngine* engine = m_engine;
            QMetaObject::invokeMethod(
                engine, [engine, call = std::move(call)] { call(engine); }, Qt::QueuedConnection);
        }
    }

private:
    QMutex m_mutex;
    SpeechdEngine* m_engine;
};

namespace {

// libspeechd's callbacks carry no user data, only the client id, so the
// connection of each client id is looked up here.
class CallbackRegistry
{
public:
    static CallbackRegistry& instance()
    {
        static CallbackRegistry registry;
        return registry;
    }

    void add(size_t clientId, std::shared_ptr<SpeechdBridge> bridge)
    {
        QMutexLocker lock(&m_mutex);
        m_bridges.insert(clientId, std::move(bridge));
    }

    void remove(size_t clientId)
    {
        QMutexLocker lock(&m_mutex);
        m_bridges.remove(clientId);
    }

    void dispatch(size_t msgId, size_t clientId, int type)
    {
        std::shared_ptr<SpeechdBridge> bridge;
        {
            QMutexLocker lock(&m_mutex);
            bridge = m_bridges.value(clientId);
        }
        if (bridge) {
            bridge->post([msgId, type](SpeechdEngine* e) { e->notify(int(msgId), type); });
        }
    }

private:
    QMutex m_mutex;
    QHash<size_t, std::shared_ptr<SpeechdBridge>> m_bridges;
};

void onSpeechdEvent(size_t msgId, size_t clientId, SPDNotificationType type)
{
    CallbackRegistry::instance().dispatch(msgId, clientId, int(type));
}

struct OpenResult
{
    QSemaphore done;
    bool ok = false;
    QString error;
    QList<SpeechdEngine::Voice> voices;
};

QString fromC(const char* s)
{
    return s != nullptr ? QString::fromUtf8(s) : QString();
}

bool isJapaneseTag(const QString& language)
{
    return VoiceChoice::isJapaneseLanguage(language);
}

}  // namespace

// Owns the connection; every method runs on the worker thread.
class SpeechdWorker : public QObject
{
public:
    explicit SpeechdWorker(std::shared_ptr<SpeechdBridge> bridge)
        : m_bridge(std::move(bridge))
    {}

    ~SpeechdWorker() override { close(); }

    void open(const std::shared_ptr<OpenResult>& result)
    {
        char* error = nullptr;
        // A daemon at an address the user chose cannot be started by us: the
        // attempt would only fail on the mismatch of socket names.
        const int autospawn = qEnvironmentVariableIsSet("SPEECHD_ADDRESS") ? 0 : 1;
        // The address is looked up here because spd_open2 leaks its own
        // look-up when the connection fails.
        SPDConnectionAddress* address = spd_get_default_address(&error);
        if (address == nullptr) {
            result->error = fromC(error);
            free(error);
            result->done.release();
            return;
        }
        if (autospawn == 0 && address->method == SPD_METHOD_UNIX_SOCKET
            && !QFileInfo::exists(fromC(address->unix_socket_name))) {
            // Nobody listens there; libspeechd would only leak on its way to saying so.
            result->error = u"no speech-dispatcher at %1"_s.arg(fromC(address->unix_socket_name));
            SPDConnectionAddress__free(address);
            result->done.release();
            return;
        }
        m_conn = spd_open2("yomimaru", "main", nullptr, SPD_MODE_THREADED, address, autospawn, &error);
        SPDConnectionAddress__free(address);
        if (m_conn == nullptr) {
            result->error = fromC(error);
            free(error);
            result->done.release();
            return;
        }
        free(error);
        // spd_get_client_id crashes when the daemon hangs up instead of
        // answering, so the id is asked for and read here.
        m_clientId = askClientId();
        if (m_clientId <= 0) {
            spd_close(m_conn);
            m_conn = nullptr;
            result->error = u"speech-dispatcher did not answer"_s;
            result->done.release();
            return;
        }
        CallbackRegistry::instance().add(size_t(m_clientId), m_bridge);
        m_conn->callback_begin = onSpeechdEvent;
        m_conn->callback_end = onSpeechdEvent;
        m_conn->callback_cancel = onSpeechdEvent;
        spd_set_notification_on(m_conn, SPD_BEGIN);
        spd_set_notification_on(m_conn, SPD_END);
        spd_set_notification_on(m_conn, SPD_CANCEL);
        if (spd_set_data_mode(m_conn, SPD_DATA_SSML) != 0) {
            qCDebug(lcSpeechd) << "SSML mode refused";
        }
        result->voices = listVoices();
        result->ok = true;
        result->done.release();
    }

    void close()
    {
        if (m_conn != nullptr) {
            CallbackRegistry::instance().remove(size_t(m_clientId));
            spd_close(m_conn);
            m_conn = nullptr;
        }
    }

    void selectVoice(const SpeechdEngine::Voice& voice)
    {
        if (m_conn == nullptr) {
            return;
        }
        if (spd_set_output_module(m_conn, voice.module.toUtf8().constData()) != 0) {
            qCDebug(lcSpeechd) << "output module refused:" << voice.module;
        }
        if (!voice.language.isEmpty()) {
            spd_set_language(m_conn, voice.language.toUtf8().constData());
        }
        if (!voice.name.isEmpty() && spd_set_synthesis_voice(m_conn, voice.name.toUtf8().constData()) != 0) {
            qCDebug(lcSpeechd) << "voice refused:" << voice.name;
        }
    }

    void setLevels(int pitch, int speed, int volume)
    {
        if (m_conn == nullptr) {
            return;
        }
        spd_set_voice_pitch(m_conn, pitch);
        spd_set_voice_rate(m_conn, speed);
        spd_set_volume(m_conn, volume);
    }

    void say(SpeechEngine::UtteranceId id, const QByteArray& ssml)
    {
        const int msgId = m_conn != nullptr ? spd_say(m_conn, SPD_IMPORTANT, ssml.constData()) : -1;
        m_bridge->post([id, msgId](SpeechdEngine* e) { e->onQueued(id, msgId); });
    }

    void cancel()
    {
        if (m_conn != nullptr) {
            spd_cancel(m_conn);
        }
    }

private:
    int askClientId()
    {
        char* reply = nullptr;
        const int rc = spd_execute_command_with_reply(m_conn, "HISTORY GET CLIENT_ID", &reply);
        // "245-<id>" then "245 OK CLIENT ID SENT"
        const QByteArray text(reply != nullptr ? reply : "");
        free(reply);
        if (rc != 0 || !text.startsWith("245-")) {
            return 0;
        }
        bool ok = false;
        const int id = text.mid(4, text.indexOf('\n') - 4).trimmed().toInt(&ok);
        return ok ? id : 0;
    }

    QList<SpeechdEngine::Voice> listVoices()
    {
        QList<SpeechdEngine::Voice> japanese;
        QList<SpeechdEngine::Voice> defaults;
        char** modules = spd_list_modules(m_conn);
        for (char** m = modules; m != nullptr && *m != nullptr; ++m) {
            const QString module = fromC(*m);
            defaults.append({module, QString(), QString(), QString()});
            if (spd_set_output_module(m_conn, *m) != 0) {
                continue;
            }
            // The raw list is read and parsed here: libspeechd's own parsing of
            // espeak-ng's thirteen thousand voice variants takes seconds.
            char* reply = nullptr;
            if (spd_execute_command_with_reply(m_conn, "LIST SYNTHESIS_VOICES", &reply) != 0) {
                free(reply);
                continue;
            }
            const QList<QByteArray> lines = QByteArray(reply).split('\n');
            free(reply);
            for (const QByteArray& raw : lines) {
                // "249-NAME<TAB>LANGUAGE<TAB>VARIANT"
                if (!raw.startsWith("249-")) {
                    continue;
                }
                const QList<QByteArray> fields = raw.mid(4).trimmed().split('\t');
                if (fields.size() < 2) {
                    continue;
                }
                const QString name = QString::fromUtf8(fields.at(0));
                const QString language = QString::fromUtf8(fields.at(1));
                QString variant = fields.size() > 2 ? QString::fromUtf8(fields.at(2)) : QString();
                if (variant == u"none"_s) {
                    variant.clear();
                }
                // espeak-ng lists every voice once more per variant, as
                // "Japanese+Adam"; the plain voice is enough. Other modules
                // name a voice's kind (MALE1) as its variant.
                const bool variantCopy = !variant.isEmpty() && name.endsWith(u'+' + variant);
                if (isJapaneseTag(language) && !variantCopy) {
                    japanese.append({module, name, language, variant});
                }
            }
        }
        free_spd_modules(modules);
        return japanese + defaults;
    }

    std::shared_ptr<SpeechdBridge> m_bridge;
    SPDConnection* m_conn = nullptr;
    int m_clientId = 0;
};

SpeechdEngine::SpeechdEngine(QObject* parent)
    : LeveledSpeechEngine(100, parent)
{}

SpeechdEngine::~SpeechdEngine()
{
    if (!m_thread) {
        return;
    }
    m_bridge->detach();
    m_thread->quit();
    if (m_thread->wait(2000)) {
        // The thread has ended, so its object can go from here.
        delete m_worker;
    } else {
        // The worker is stuck inside libspeechd (the daemon stopped answering):
        // leave it behind rather than freeze the program on its way out.
        qCWarning(lcSpeechd) << "speech-dispatcher does not answer; leaving its connection";
        (void)m_thread.release();
    }
    for (const Utterance& u : std::as_const(m_utterances)) {
        delete u.watchdog;
    }
}

template <typename F> void SpeechdEngine::post(F&& call)
{
    if (m_worker != nullptr) {
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker, call = std::forward<F>(call)] { call(w); }, Qt::QueuedConnection);
    }
}

bool SpeechdEngine::open(int timeoutMs)
{
    if (m_thread) {
        return m_open;
    }
    // A daemon that dies must not take the program with it through SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    m_bridge = std::make_shared<SpeechdBridge>(this);
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(u"speechd"_s);
    m_worker = new SpeechdWorker(m_bridge);
    m_worker->moveToThread(m_thread.get());
    m_thread->start();

    auto result = std::make_shared<OpenResult>();
    post([result](SpeechdWorker* w) { w->open(result); });
    if (!result->done.tryAcquire(1, timeoutMs)) {
        m_error = u"speech-dispatcher did not answer"_s;
        return false;
    }
    if (!result->ok) {
        m_error = result->error.isEmpty() ? u"cannot connect to speech-dispatcher"_s : result->error;
        return false;
    }
    m_voices = result->voices;
    m_open = true;
    const int first = defaultMode();
    selectMode(first != 0 ? first : (m_voices.isEmpty() ? 0 : 1));
    post([p = pitch(), s = speed(), v = volume()](SpeechdWorker* w) { w->setLevels(p, s, v); });
    return true;
}

int SpeechdEngine::firstJapaneseMode() const
{
    for (int i = 0; i < m_voices.size(); ++i) {
        if (isJapaneseTag(m_voices.at(i).language)) {
            return i + 1;
        }
    }
    return 0;
}

int SpeechdEngine::defaultMode() const
{
    return VoiceChoice::defaultMode(m_voices);
}

void SpeechdEngine::setWatchdog(int msPerChar, int marginMs)
{
    m_msPerChar = qMax(0, msPerChar);
    m_marginMs = qMax(0, marginMs);
}

int SpeechdEngine::watchdogMs(const QString& text, int speed, int msPerChar, int marginMs, bool slowStart)
{
    // The allowance counts the written pauses too, so a text of dots is not
    // taken for a silent device.
    double pauses = 0;
    for (const QChar c : text) {
        pauses += SpeechdMarkup::pauseAfter(c);
    }
    const double factor = std::pow(2.0, -double(qBound(-100, speed, 100)) / 100.0);
    double allowed = 2.0 * (double(text.size()) * double(qMax(0, msPerChar)) * factor + pauses)
                     + double(qMax(0, marginMs));
    if (slowStart) {
        allowed += double(kSlowStartMs) + double(text.size()) * double(kSlowStartMsPerChar);
    }
    return int(qMin(allowed, double(std::numeric_limits<int>::max())));
}

QString SpeechdEngine::toSsml(const QString& text)
{
    return SpeechdMarkup::toSsml(text);
}

QString SpeechdEngine::modeName(int mode) const
{
    return mode >= 1 && mode <= m_voices.size() ? VoiceChoice::modeLabel(m_voices.at(mode - 1)) : QString();
}

QString SpeechdEngine::productName(int mode) const
{
    return mode >= 1 && mode <= m_voices.size() ? VoiceChoice::productLabel(m_voices.at(mode - 1))
                                                : QString();
}

VoiceInfo SpeechdEngine::voiceInfo(int mode) const
{
    return mode >= 1 && mode <= m_voices.size() ? m_voices.at(mode - 1) : VoiceInfo();
}

bool SpeechdEngine::isJapanese(int mode) const
{
    return mode >= 1 && mode <= m_voices.size() && isJapaneseTag(m_voices.at(mode - 1).language);
}

bool SpeechdEngine::selectMode(int mode)
{
    if (mode < 1 || mode > m_voices.size()) {
        return false;
    }
    m_mode = mode;
    post([v = m_voices.at(mode - 1)](SpeechdWorker* w) { w->selectVoice(v); });
    return true;
}

void SpeechdEngine::levelsChanged()
{
    post([p = pitch(), s = speed(), v = volume()](SpeechdWorker* w) { w->setLevels(p, s, v); });
}

SpeechEngine::UtteranceId SpeechdEngine::speak(const QString& text)
{
    if (!m_open) {
        return 0;
    }
    const UtteranceId id = ++m_lastId;
    Utterance u;
    u.watchdog = new QTimer(this);
    u.watchdog->setSingleShot(true);
    connect(u.watchdog, &QTimer::timeout, this, [this, id] { onWatchdog(id); });
    const bool slowStart =
        m_mode >= 1 && m_mode <= m_voices.size() && !VoiceChoice::isEspeak(m_voices.at(m_mode - 1));
    u.watchdogMs = watchdogMs(text, speed(), m_msPerChar, m_marginMs, slowStart);
    if (m_utterances.isEmpty()) {
        u.watchdog->start(u.watchdogMs);
    }
    qCDebug(lcSpeechd) << "speak" << id << text.left(40);
    m_utterances.insert(id, u);
    post([id, ssml = toSsml(text).toUtf8()](SpeechdWorker* w) { w->say(id, ssml); });
    return id;
}

void SpeechdEngine::audioReset()
{
    qCDebug(lcSpeechd) << "reset" << m_utterances.keys();
    post([](SpeechdWorker* w) { w->cancel(); });
    // Report the discarded utterances from the event loop at once, whatever
    // the daemon answers; its own cancel notifications, when they come, name
    // messages already bound and ended, and notify drops them.
    const QList<UtteranceId> ids = m_utterances.keys();
    for (const UtteranceId id : ids) {
        QMetaObject::invokeMethod(
            this, [this, id] { finish(id); }, Qt::QueuedConnection);
    }
}

void SpeechdEngine::notify(int msgId, int type)
{
    qCDebug(lcSpeechd) << "notification" << msgId << type;
    const auto found = m_byMessage.constFind(msgId);
    if (found == m_byMessage.constEnd()) {
        // The daemon numbers messages in the order they were said, and the
        // worker's answers arrive in that order too: a message at or below
        // the last one answered belongs to an utterance already ended (by a
        // reset or the watchdog), and what it reports is of no use now.
        if (msgId <= m_lastAnswered) {
            return;
        }
        // Otherwise the notification overtook the worker's answer; it is kept
        // for onQueued. Only utterances still on their way can be in here.
        if (m_early.size() < kMaxEarly) {
            m_early[msgId].append(type);
        }
        return;
    }
    const UtteranceId id = found.value();
    auto it = m_utterances.find(id);
    if (it == m_utterances.end()) {
        return;
    }
    if (type == SPD_EVENT_BEGIN) {
        if (!it->started) {
            it->started = true;
            Q_EMIT started(id);
        }
    } else if (type == SPD_EVENT_END || type == SPD_EVENT_CANCEL) {
        finish(id);
    }
}

void SpeechdEngine::onQueued(UtteranceId id, int msgId)
{
    if (msgId > m_lastAnswered) {
        m_lastAnswered = msgId;
        // Kept notifications of messages up to this one can no longer be bound.
        for (auto it = m_early.begin(); it != m_early.end();) {
            it = it.key() < msgId ? m_early.erase(it) : std::next(it);
        }
    }
    if (!m_utterances.contains(id)) {
        // Already finished (reset or watchdog); nothing more to report.
        m_early.remove(msgId);
        return;
    }
    if (msgId <= 0) {
        qCDebug(lcSpeechd) << "speech-dispatcher refused an utterance";
        QMetaObject::invokeMethod(
            this, [this, id] { finish(id); }, Qt::QueuedConnection);
        return;
    }
    m_utterances[id].msgId = msgId;
    m_byMessage.insert(msgId, id);
    const QList<int> early = m_early.take(msgId);
    for (const int type : early) {
        notify(msgId, type);
    }
}

void SpeechdEngine::finish(UtteranceId id)
{
    const auto it = m_utterances.find(id);
    if (it == m_utterances.end()) {
        return;
    }
    delete it->watchdog;
    if (it->msgId > 0) {
        m_byMessage.remove(it->msgId);
    }
    m_utterances.erase(it);
    armOldestWatchdog();
    Q_EMIT finished(id);
}

void SpeechdEngine::armOldestWatchdog()
{
    if (m_utterances.isEmpty()) {
        return;
    }
    // Ids grow with every utterance, so the smallest is the oldest.
    auto oldest = m_utterances.begin();
    for (auto it = m_utterances.begin(); it != m_utterances.end(); ++it) {
        if (it.key() < oldest.key()) {
            oldest = it;
        }
    }
    if (oldest->watchdog != nullptr && !oldest->watchdog->isActive()) {
        oldest->watchdog->start(oldest->watchdogMs);
    }
}

void SpeechdEngine::onWatchdog(UtteranceId id)
{
    if (!m_utterances.contains(id)) {
        return;
    }
    qCDebug(lcSpeechd) << "utterance" << id << "never finished; ending it";
    // The timer that fired is deleted by finish(); let it return first.
    QMetaObject::invokeMethod(
        this, [this, id] { finish(id); }, Qt::QueuedConnection);
    if (!m_audioFailureReported) {
        m_audioFailureReported = true;
        Q_EMIT audioOutputFailed();
    }
}
