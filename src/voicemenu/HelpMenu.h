#pragma once

// All spoken help comes from one plain-text file, help.txt, read once at
// start-up into topics and subtopics:
//
//   ■title of a topic          (a line that starts with ■; the title runs to
//                               the first empty line)
//   text up to the first ● is not used
//   ●title of a subtopic        (a line that starts with ●; the title runs to
//                               the first empty line)
//   its text, up to the next line that starts with ● or ■
//
// Two topics have a fixed role: "メニューのヘルプ", whose subtopics are named
// after the voice menus (MenuNames), and "ダイアログのヘルプ", whose subtopics
// are the texts the start-up and the dialogs ask for by name (kDialogHelpNames).
//
// The file may be UTF-8 or Shift_JIS, with any line ends. Topics and
// subtopics count from 1: the lists returned here have an empty element 0.

#include <array>

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

class AppPaths;

class HelpMenu
{
public:
    static constexpr QStringView kFileName = u"help.txt";

    static constexpr QStringView kMenuHelpTopic = u"メニューのヘルプ";
    static constexpr QStringView kDialogHelpTopic = u"ダイアログのヘルプ";

    // The dialog-help subtopics the program asks for.
    static constexpr QStringView kFirstRunMessage = u"初回メッセージ";
    static constexpr QStringView kNoJapaneseVoice = u"日本語音声エンジンがない場合";
    static constexpr QStringView kDelayedHelp = u"遅延ヘルプ";
    static constexpr QStringView kWriteDialog = u"書き込みダイアログ";
    static constexpr QStringView kNewThreadDialog = u"スレ立てダイアログ";
    static constexpr QStringView kFindDialog = u"検索ダイアログ";
    static constexpr QStringView kLineEditDialog = u"一行編集ダイアログ";
    static constexpr QStringView kProxyDialog = u"プロキシ設定ダイアログ";
    static constexpr QStringView kEditModeViewer = u"編集モードビューア";

    static constexpr std::array<QStringView, 9> kDialogHelpNames = {
        kFirstRunMessage, kNoJapaneseVoice, kDelayedHelp, kWriteDialog,    kNewThreadDialog,
        kFindDialog,      kLineEditDialog,  kProxyDialog, kEditModeViewer,
    };

    // A help.txt larger than this is taken as damaged and not read.
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;
    // Topic and subtopic numbers are 16-bit; further ones are dropped.
    static constexpr int kMaxEntries = 32767;

    HelpMenu() = default;
    explicit HelpMenu(const QString& filePath);
    // Uses the first help.txt among the program's resource folders.
    explicit HelpMenu(const AppPaths& paths);

    QString filePath() const { return m_filePath; }

    // Reads and parses the file; false when it is missing, unreadable or
    // has a title that no empty line ends. Nothing is kept after a failure.
    bool Initialize();

    // Parses help text already in memory (lines without their line ends).
    bool parseLines(const QStringList& lines);

    int topicCount() const { return int(m_topics.size()); }

    QString Get_Top(int top_idx) const;
    QStringList Get_Tops() const;
    QStringList Get_Subs(int top_idx) const;
    QString Get_Text(int top_idx, int sub_idx) const;

    // The text of the subtopic of that exact title in the menu-help or the
    // dialog-help topic; empty when either is missing.
    QString Get_MenuHelp(const QString& menu_title) const;
    QString Get_DlgHelp(const QString& name) const;

private:
    struct Subtopic
    {
        QString title;
        QString text;
    };

    struct Topic
    {
        QString title;
        QList<Subtopic> subtopics;
    };

    const Topic* topic(int top_idx) const;
    QString findText(int top_idx, QStringView title) const;
    void clear();

    QString m_filePath;
    QList<Topic> m_topics;
    int m_menuHelpTopic = 0;
    int m_dialogHelpTopic = 0;
};
