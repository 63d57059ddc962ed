// Start-up, shut-down and the accessors of the voice menu.

#include "VoiceMenu.h"

#include <QDir>

#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/ConnectionState.h"
#include "bbs/LogManager.h"
#include "bbs/NgFilters.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/CMessageData.h"
#include "speech/CSrCntl.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "speech/VoiceChoice.h"
#include "voicemenu/HelpMenu.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

namespace {

// Spoken after the board list is ready, one sentence per way it was loaded.
const QString kStartedOnline = u"読み丸を起動しました。板の一覧を最新にしました。"_s;
const QString kStartedOffline = u"読み丸をオフラインで起動しました。保存してある板の一覧を使います。"_s;
const QString kStartFailed = u"読み丸を起動できませんでした。"_s;

QString withoutLeadingBreaks(QString text)
{
    while (text.startsWith(u"\r\n"_s)) {
        text.remove(0, 2);
    }
    return text;
}

}  // namespace

VoiceMenu::VoiceMenu(const AppPaths& paths,
                     CSettings& settings,
                     SpeechOutput& speech,
                     SpeechEngine& engine,
                     CSrCntl* screenReaders,
                     VoiceMenuHost& host,
                     bool offlineRequested)
    : m_paths(paths)
    , m_settings(settings)
    , m_speech(speech)
    , m_engine(engine)
    , m_screenReaders(screenReaders)
    , m_host(host)
    , m_offlineRequested(offlineRequested)
{}

VoiceMenu::~VoiceMenu()
{
    ExitInstance();
}

bool VoiceMenu::Initialize()
{
    const QString root = m_paths.dataRoot();
    QDir().mkpath(root);
    m_http = std::make_unique<CHttp>();
    m_boards = std::make_unique<BoardList>(m_settings, root);
    m_boards->setFallbackUrl(m_boardListFallback);
    m_threads = std::make_unique<ThreadList>(root);
    m_thread = std::make_unique<ThreadData>(root, m_settings);
    m_message = std::make_unique<CMessageData>();
    m_bookmarks = std::make_unique<BookmarkList>(root);
    m_itaBookmarks = std::make_unique<BookmarkItaList>(root);
    m_logs = std::make_unique<LogManager>(root);
    m_connection = std::make_unique<ConnectionState>(m_offlineRequested, m_connectionProbe);
    m_help = std::make_unique<HelpMenu>(m_paths);
    loadFilters();
    QObject::disconnect(m_queuedStart);
    m_queuedStart = QObject::connect(&m_speech, &SpeechOutput::queuedStarted,
                                     [this](SpeechEngine::UtteranceId id) { queuedUnitStarted(id); });
    // Saves made along the way (read positions, logs, settings) that fail are
    // told before the next thing said.
    const auto tell = [this](const QString& sentence) { m_speech.addNotice(sentence); };
    m_thread->setWriteFailureHandler(tell);
    m_settings.setWriteFailureHandler(tell);

    m_item = 0;
    m_menu = -1;
    m_depth = 0;
    m_readable = false;
    m_reading = false;
    m_allRead = false;
    m_enabled = false;
    m_title.clear();

    const QString proxy =
        m_settings.Get_(CSettings::ProxyUse) == u"1"_s ? m_settings.Get_(CSettings::ProxyServer) : QString();
    m_http->InitInstance(QString::fromUtf16(kUserAgent), proxy, kTimeoutMs, kTimeoutMs, kTimeoutMs);
    m_http->setHtmlTxtPath(m_paths.dataFile(u"html.txt"_s));
    m_http->setCookieFile(m_paths.dataFile(u"cookie.list"_s));
    bool deadlineOk = false;
    const int deadlineSeconds =
        m_settings.Get_Named(QString::fromUtf16(kDownloadDeadlineKey)).toInt(&deadlineOk);
    m_http->setDeadline(deadlineOk && deadlineSeconds > 0 && deadlineSeconds <= 3600 ? deadlineSeconds * 1000
                                                                                     : 0);

    m_menuStack = {0};
    m_itemStack = {0};

    if (!m_help->Initialize()) {
        m_host.showMessageBox(VoiceMenuHost::MessageIcon::Error,
                              u"ヘルプファイル(help.txt)が見つかりません"_s);
        return false;
    }

    if (!selectStoredEngine()) {
        // The stored voice is gone, or is not Japanese: the best one there is.
        const int chosen = defaultEngine();
        if (chosen == 0) {
            m_host.showMessageBox(
                VoiceMenuHost::MessageIcon::Error,
                withoutLeadingBreaks(m_help->Get_DlgHelp(HelpMenu::kNoJapaneseVoice.toString())));
            return false;
        }
        m_engine.selectMode(chosen);
        m_settings.Set_(CSettings::VoiceEngine, QString::number(chosen));
        m_title = withoutLeadingBreaks(m_help->Get_DlgHelp(u"初回メッセージ"_s));
        applyStoredLevels();
        m_speech.SpeakText(m_title);
        m_host.showMessageBox(VoiceMenuHost::MessageIcon::Information, m_title);
    }
    applyStoredLevels();

    m_offline = !m_connection->decideStartOnline();

    if (!m_bookmarks->InitInstance()) {
        m_speech.addNotice(QString::fromUtf16(kBookmarkNotSaved));
    }
    if (!m_itaBookmarks->InitInstance()) {
        m_speech.addNotice(QString::fromUtf16(kItaBookmarkNotSaved));
    }

    QString error;
    const qint16 result = m_boards->InitInstance(*m_http, error, m_offline);
    if (result < 0) {
        // No pause mark before the error when nothing was said before it.
        m_title = (m_title.isEmpty() ? QString() : m_title + u"、"_s) + error + kStartFailed;
        m_speech.SpeakText(m_title);
        return false;
    }
    // A failed download that fell back on the stored list is said first.
    m_title += error + (result == 1 ? kStartedOnline : kStartedOffline);
    m_speech.SpeakText(m_title);
    m_enabled = true;
    Set_Menu(MainMenu);
    return true;
}

int VoiceMenu::storedEngine() const
{
    if (!m_settings.isStored(CSettings::VoiceEngine)) {
        // Nobody has chosen a voice: the best one there is, found again at
        // every start, so a voice installed later is taken up.
        return defaultEngine();
    }
    bool ok = false;
    const int stored = m_settings.Get_(CSettings::VoiceEngine).toInt(&ok);
    if (!ok || stored < 1 || stored > m_engine.modeCount() || !m_engine.isJapanese(stored)) {
        return 0;
    }
    return stored;
}

bool VoiceMenu::selectStoredEngine()
{
    const int stored = storedEngine();
    if (stored == 0) {
        return false;
    }
    m_engine.selectMode(stored);
    return true;
}

int VoiceMenu::defaultEngine() const
{
    QList<VoiceInfo> voices;
    for (int mode = 1; mode <= m_engine.modeCount(); ++mode) {
        voices.append(m_engine.voiceInfo(mode));
    }
    return VoiceChoice::defaultMode(voices);
}

void VoiceMenu::applyStoredLevels()
{
    m_speech.ApplyVolume(m_settings.getInt(CSettings::SpeechVolume, 10));
    m_speech.ApplySpeed(m_settings.getInt(CSettings::SpeechSpeed, 6));
    m_speech.ApplyPitch(m_settings.getInt(CSettings::SpeechPitch, 5));
}

void VoiceMenu::ExitInstance()
{
    QObject::disconnect(m_queuedStart);
    m_queued = {};
    m_nextMessage.reset();
    m_enabled = false;
    m_settings.setWriteFailureHandler({});
    m_help.reset();
    m_connection.reset();
    m_logs.reset();
    m_itaBookmarks.reset();
    m_bookmarks.reset();
    m_message.reset();
    if (m_thread) {
        m_thread->Flush_Index();
    }
    m_thread.reset();
    m_threads.reset();
    m_boards.reset();
    m_http.reset();
}

void VoiceMenu::Get_Setting(qint16& vol, qint16& spd, qint16& pitch) const
{
    vol = qint16(m_settings.getInt(CSettings::SpeechVolume, 10));
    spd = qint16(m_settings.getInt(CSettings::SpeechSpeed, 6));
    pitch = qint16(m_settings.getInt(CSettings::SpeechPitch, 5));
}

qint32 VoiceMenu::Get_ItemNum() const
{
    return qint32(m_items.size()) - 1;
}

QString VoiceMenu::Get_Item(qint32 index) const
{
    return index >= 1 && index < m_items.size() ? m_items.at(index) : QString();
}

QString VoiceMenu::Get_ThreadName() const
{
    if (!m_threads || !(m_menu == ReadingMenu || (m_menu == ThreadMenu && m_item > 0))) {
        return {};
    }
    return m_threads->Get_ThreadName(m_threadIndex);
}

bool VoiceMenu::IsReverse_LRKey() const
{
    return m_settings.Get_(CSettings::ReverseLRKey) == u"1"_s;
}

bool VoiceMenu::IsMenuFixed() const
{
    return (m_http && m_http->IsDownloading()) || m_busy;
}
