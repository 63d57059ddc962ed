#pragma once

// A running voice menu for tests: a temporary profile, the local board server
// with the sample boards, a spy speech engine, the real speech output and a
// host that records what the menu asks of the window. Steps are written as
// short words so that scenario tables read like what a user does.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

#include "base/CSettings.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/BoardServerProcess.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"
#include "voicemenu/Migemo.h"
#include "voicemenu/VoiceMenu.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

// Enters a menu directly, for menus a test wants without walking there: the
// menu is built and its announcement (title and current setting) taken, as
// Enter would have spoken it.
class VoiceMenuTestAccess
{
public:
    static void push(VoiceMenu& menu, qint16 number)
    {
        menu.Set_Menu(number);
        menu.m_title += menu.m_suffix;
        menu.m_suffix.clear();
    }

    static QString titleWithSuffix(const VoiceMenu& menu) { return menu.m_title + menu.m_suffix; }

    // As if the reading had just spoken this unit.
    static void setCurrentUnit(VoiceMenu& menu, const QString& text, qint16 kind)
    {
        menu.m_currentUnitText = text;
        menu.m_currentUnitKind = kind;
    }
};

class RecordingHost : public VoiceMenuHost
{
public:
    int listUpdates = 0;
    int treeUpdates = 0;
    QList<int> rows;
    QList<double> progress;
    QStringList messageTexts;
    QStringList boxes;

    void Update_List() override { ++listUpdates; }

    void Update_Tree() override { ++treeUpdates; }

    void selectListRow(int row) override { rows << row; }

    void setProgress(double ratio) override { progress << ratio; }

    void showMessageText(const QString& text) override { messageTexts << text; }

    QStringList dialogAnswers;  // what the user types into the next dialogs
    QStringList dialogs;        // caption|prompt|text of each dialog shown
    int fontSwitches = 0;
    int colorSwitches = 0;
    QList<int> windowStates;
    QString clipboard;
    QStringList opened;    // addresses handed to the desktop
    QStringList commands;  // command lines started
    bool desktopOpens = true;

    void showMessageBox(MessageIcon icon, const QString& text) override
    {
        boxes << (icon == MessageIcon::Error ? u"error:"_s : u"info:"_s) + text;
    }

    QString runLineEditDialog(const QString& caption, const QString& prompt, const QString& text) override
    {
        dialogs << caption + u'|' + prompt + u'|' + text;
        return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
    }

    int writeDialogs = 0;  // posting dialogs shown

    void runWriteDialog() override { ++writeDialogs; }

    QStringList viewerTexts;  // the text of each edit-mode viewer shown
    QList<qint32> viewerCarets;

    void runEditModeViewer(const QString& text, qint32 caretPos) override
    {
        viewerTexts << text;
        viewerCarets << caretPos;
    }

    void Switch_FontSize() override { ++fontSwitches; }

    void Switch_Color() override { ++colorSwitches; }

    void setFormState(int state) override { windowStates << state; }

    void setClipboardText(const QString& text) override { clipboard = text; }

    bool openWithDesktop(const QString& target) override
    {
        opened << target;
        return desktopOpens;
    }

    bool startCommand(const QString& commandLine) override
    {
        commands << commandLine;
        return true;
    }

    QStringList findAnswers;  // what the user types into the next find dialogs
    int findDialogs = 0;
    const Migemo* migemo = nullptr;  // the romaji dictionary, when the test wants one
    QString migemoAnswer;            // else this answer to every key, when not empty
    QStringList migemoKeys;          // every key handed to the dictionary

    QString runFindDialog() override
    {
        ++findDialogs;
        return findAnswers.isEmpty() ? QString::fromUtf16(kFindCancelled) : findAnswers.takeFirst();
    }

    QString migemoQuery(const QString& key) override
    {
        migemoKeys << key;
        return migemo ? migemo->query(key) : migemoAnswer;
    }
};

// One running program: profile, server, engine, speech output and menu.
struct Fixture
{
    TempProfile profile;
    BoardServerProcess server;
    SpySpeechEngine engine;
    ReadConv readconv;
    RecordingHost host;
    std::unique_ptr<SpeechOutput> speech;
    std::unique_ptr<VoiceMenu> menu;
    bool lastEntry = true;
    QStringList serverOptions;  // faults for the server, set before start
    QString serverRoot = QStringLiteral(SAMPLE_BOARDS_DIR);

    // Copies a folder tree (the sample boards to change, a data root to reuse).
    static bool copyTree(const QString& from, const QString& to)
    {
        if (!QDir().mkpath(to)) {
            return false;
        }
        for (const QFileInfo& entry :
             QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            const QString target = to + u'/' + entry.fileName();
            QFile::remove(target);
            if (entry.isDir() ? !copyTree(entry.filePath(), target)
                              : !QFile::copy(entry.filePath(), target)) {
                return false;
            }
        }
        return true;
    }

    bool start(bool offline = false, bool withServer = true)
    {
        if (withServer && !server.start(QStringLiteral(BOARDSERVER_PATH), serverRoot, serverOptions)) {
            return false;
        }
        CSettings& s = profile.settings();
        server.pointSettingsAt(s);
        if (!withServer) {
            // Nothing listens there: every download fails at once.
            s.Set_(CSettings::ProxyServer, u"127.0.0.1:9"_s);
        }
        if (s.Get_(CSettings::VoiceEngine).isEmpty()) {
            s.Set_(CSettings::VoiceEngine, u"1"_s);
        }
        speech = std::make_unique<SpeechOutput>(engine, s, readconv);
        menu = std::make_unique<VoiceMenu>(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), s,
                                           *speech, engine, nullptr, host, offline);
        return true;
    }

    void run(const QStringList& steps)
    {
        for (const QString& step : steps) {
            if (step == u"down"_s) {
                menu->Select_(1, false);
            } else if (step == u"up"_s) {
                menu->Select_(-1, false);
            } else if (step == u"down10"_s) {
                menu->Select_(10, false);
            } else if (step == u"up10"_s) {
                menu->Select_(-10, false);
            } else if (step == u"down100"_s) {
                menu->Select_(100, false);
            } else if (step.startsWith(u"select:"_s)) {
                menu->Select_(step.mid(7).toInt(), true);
            } else if (step.startsWith(u"push:"_s)) {
                VoiceMenuTestAccess::push(*menu, qint16(step.mid(5).toInt()));
            } else if (step == u"enter"_s) {
                lastEntry = menu->Entry();
            } else if (step == u"exit"_s) {
                lastEntry = menu->JumpExit();
            } else if (step == u"back"_s) {
                menu->GoBack();
            } else if (step == u"main"_s) {
                menu->GoMain();
            } else if (step == u"first"_s) {
                menu->Go_First();
            } else if (step == u"bottom"_s) {
                menu->Go_Bottom();
            } else if (step == u"jumpCategory"_s) {
                menu->JumpCategory();
            } else if (step == u"jumpBookmark"_s) {
                menu->JumpBookmark();
            } else if (step == u"jumpIta"_s) {
                menu->JumpItaBookmark();
            } else if (step == u"jumpConfig"_s) {
                menu->JumpConfig();
            } else if (step.startsWith(u"find:"_s)) {
                host.findAnswers << step.mid(5);
                menu->find();
            } else if (step == u"findCancel"_s) {
                menu->find();
            } else if (step.startsWith(u"audio:"_s)) {
                menu->JumpAudioConfig(qint16(step.mid(6).toInt()));
            } else {
                QFAIL(qPrintable(u"unknown step "_s + step));
            }
        }
    }
};
