// Continuous reading paced by the engine's end events, and the main window's
// reading tick: what has no event of its own (the counters and the reading
// layout, the foreground, download progress, a lost end of speech, the end
// of the program). The tick slows to once a second while the program is
// idle. The reading conversion file is watched for changes.

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "base/CSettings.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/MenuNames.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

void MainForm::Timer_Read_Tick()
{
    Timer_Read.stop();
    SpeechOutput* speech = m_services.speech;
    if (m_quit_now && !m_busy) {
        endProgram();
        return;
    }
    if (readOn()) {
        return;
    }
    if (VMenu) {
        VMenu->Save_IndexIfDue();
    }
    if (VMenu && VMenu->IsReadable()) {
        Show_Counter(VMenu->threadData().Get_MessageCurrentNum(), VMenu->threadData().Get_MessageLoadedNum());
        const int index = VMenu->Get_Index();
        if (index > 0 && List_Select->count() >= index && List_Select->currentRow() != index - 1) {
            List_Select->setCurrentRow(index - 1);
        }
    }
    if (VMenu) {
        const bool reading = VMenu->IsReading() || VMenu->IsHelpReading();
        if (reading != m_reading_layout) {
            applyReadingLayout(reading);
        } else if (reading) {
            followReadingUnit(false);
        }
    }
    followForeground();
    if (VMenu) {
        VMenu->Update_Progress();
    }
    if (speech && !speech->isEngineSpeaking() && !speech->speechDone()) {
        speech->handleSpeechFinished();
    }
    Timer_Read.start(idle() ? kIdleTickMs : kReadTickMs);
}

bool MainForm::readOn()
{
    SpeechOutput* speech = m_services.speech;
    if (!speech || !speech->speechDone() || m_busy) {
        return false;
    }
    m_busy = true;
    if (m_end) {
        endProgram();
        return true;
    }
    if (VMenu) {
        // A unit that says nothing (the reading conversion emptied it) ends
        // at once: go on to the next, but not through a whole thread while
        // another program is in front and nothing is spoken.
        for (int unit = 0; unit < kSilentUnitsAtOnce; ++unit) {
            if (!VMenu->Read_Message(false) || !speech->speechDone() || speech->inBackground()) {
                break;
            }
        }
    }
    // A save that failed while nothing was being said is told now.
    if (speech->speechDone()) {
        speech->SpeakNotices();
    }
    m_busy = false;
    return false;
}

void MainForm::readOnSoon()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_quit_now) {
                return;
            }
            readOn();
            wakeReadTick();
        },
        Qt::QueuedConnection);
}

bool MainForm::idle() const
{
    const SpeechOutput* speech = m_services.speech;
    if (!VMenu || !speech || m_end || m_busy || m_keyForegroundTicks > 0) {
        return false;
    }
    // The reading layout, too, must have been put back.
    return speech->speechDone() && !VMenu->IsReading() && !VMenu->IsHelpReading() && !VMenu->IsReadable()
           && !m_reading_layout && VMenu->http().Get_Progress() <= 0;
}

void MainForm::wakeReadTick()
{
    if (Timer_Read.isActive() && Timer_Read.interval() != kReadTickMs) {
        Timer_Read.start(kReadTickMs);
    }
}

void MainForm::followForeground()
{
    if (!VMenu || !m_services.speech) {
        return;
    }
    bool active = m_services.isForeground ? m_services.isForeground()
                                          : QGuiApplication::applicationState() == Qt::ApplicationActive;
    if (active) {
        m_keyForegroundTicks = 0;
    } else if (m_keyForegroundTicks > 0) {
        --m_keyForegroundTicks;
        active = true;
    }
    const qint16 state = active ? (m_dialog_open ? 2 : 1) : 0;
    m_services.speech->setInBackground(state == 0);
    if (state == 1) {
        m_wasActive = true;
    }
    if (state == 0 && m_fg_state != 0 && !m_dialog_open) {
        m_keys.setFastMove(false);
        VMenu->Stop_Read();
        // Out of the way while the user works elsewhere; not before the window
        // was ever in front, or it would vanish while the desktop is still
        // handing it the focus at start-up.
        if (m_wasActive) {
            showMinimized();
        }
    } else if (state == 1 && m_fg_state == 0) {
        comeToFront();
        m_services.speech->SpeakText(u"Yomimaru,"_s + MenuNames::name(VMenu->Get_MenuNo()) + u"メニュー"_s);
    }
    m_fg_state = state;
}

void MainForm::comeToFront()
{
    if (m_settings.Get_(CSettings::WindowMaximized) == u"1"_s || maximizedOnly()) {
        showMaximized();
    } else {
        showNormal();
    }
    // The mouse rests beside the tree, where the window follows it.
    if (canPlaceWindows()) {
        QCursor::setPos(mapToGlobal(anchorPoint()));
    }
}

// The rule file is watched, and its folder too: an editor that saves by
// writing a new file and renaming it over the old one replaces the watched
// file, which only the folder's change shows.
void MainForm::watchReadConv()
{
    if (!m_services.readconv || m_services.readconv->filePath().isEmpty()) {
        return;
    }
    const QFileInfo info(m_services.readconv->filePath());
    m_readconv_stamp = info.lastModified();
    m_readconv_size = info.exists() ? info.size() : -1;
    connect(&m_readconvWatch, &QFileSystemWatcher::fileChanged, this, &MainForm::checkReadConv);
    connect(&m_readconvWatch, &QFileSystemWatcher::directoryChanged, this, &MainForm::checkReadConv);
    m_readconvWatch.addPath(info.absolutePath());
    if (info.exists()) {
        m_readconvWatch.addPath(info.absoluteFilePath());
    }
}

void MainForm::checkReadConv()
{
    if (!m_services.readconv || m_end) {
        return;
    }
    const QFileInfo info(m_services.readconv->filePath());
    if (!info.exists()) {
        return;
    }
    // A replaced file is a new one to watch.
    if (!m_readconvWatch.files().contains(info.absoluteFilePath())) {
        m_readconvWatch.addPath(info.absoluteFilePath());
    }
    const QDateTime stamp = info.lastModified();
    if (stamp == m_readconv_stamp && info.size() == m_readconv_size) {
        return;
    }
    m_readconv_stamp = stamp;
    m_readconv_size = info.size();
    const ReadConv::Loaded loaded = m_services.readconv->InitInstance();
    if (!loaded.read) {
        m_services.speech->SpeakText(u"読み替え登録を読み込めませんでした。今までの読み替えを使います。"_s);
    } else if (loaded.invalid > 0) {
        m_services.speech->SpeakText(u"読み替え登録更新しました。正しくない規則が"_s
                                     + QString::number(loaded.invalid) + u"件あり、使われません。"_s);
    } else {
        m_services.speech->SpeakText(u"読み替え登録更新しました"_s);
    }
}
