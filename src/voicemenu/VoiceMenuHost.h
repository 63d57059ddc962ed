#pragma once

// What the voice menu asks of the main window. The voice menu never sees a
// widget; the main window implements this, and tests implement it with a
// recorder.

#include <QString>

class VoiceMenuHost
{
public:
    enum class MessageIcon
    {
        Information,
        Error,
    };

    virtual ~VoiceMenuHost() = default;

    // Redraw the item list (List_Select) from the voice menu's accessors.
    virtual void Update_List() = 0;
    // Redraw the category and board tree (TreeView_Board).
    virtual void Update_Tree() = 0;
    // Select the row of the item list (0-based), as after a jump to the top or bottom.
    virtual void selectListRow(int row) = 0;
    // The download indicator and progress bar (Label_Load, Label_ProgBar):
    // 0.0 or less hides the bar and shows no download, up to 1.0 fills it.
    virtual void setProgress(double ratio) = 0;
    // Show the whole message being read (Text_Msg).
    virtual void showMessageText(const QString& text) = 0;
    // A message box with an OK button; returns when the user closed it.
    virtual void showMessageBox(MessageIcon icon, const QString& text) = 0;
    // Shows the one-line edit dialog modally with the caption, the prompt and
    // the text to start from; returns what the user confirmed, empty when the
    // dialog was cancelled.
    virtual QString runLineEditDialog(const QString& caption, const QString& prompt, const QString& text) = 0;
    // Shows the find dialog modally and returns what the user typed (possibly
    // empty), or kFindCancelled when the dialog was cancelled.
    static constexpr const char16_t* kFindCancelled = u"__escape_cancel__";

    virtual QString runFindDialog() { return QString::fromUtf16(kFindCancelled); }

    // The romaji dictionary's pattern for a key; empty when there is no
    // working dictionary.
    virtual QString migemoQuery(const QString& key)
    {
        Q_UNUSED(key);
        return {};
    }

    // Shows the posting dialog modally; it takes its target from the voice
    // menu's Get_Url and reloads the current list after an accepted post.
    virtual void runWriteDialog() = 0;

    // Shows the edit-mode viewer modally on the text of the message being
    // read, its caret at caretPos (an offset into text).
    virtual void runEditModeViewer(const QString& text, qint32 caretPos)
    {
        Q_UNUSED(text);
        Q_UNUSED(caretPos);
    }

    // Apply the font size and the colour scheme of the settings to the display.
    virtual void Switch_FontSize() = 0;
    virtual void Switch_Color() = 0;
    // The main window's state: 0 normal, 2 maximized.
    virtual void setFormState(int state) = 0;
    // Empties the clipboard and puts the text there (nothing for empty text).
    virtual void setClipboardText(const QString& text) = 0;
    // Hands an address to the desktop (browser, mailer); false when nothing
    // took it.
    virtual bool openWithDesktop(const QString& target) = 0;
    // Starts a command line (the registered handler of an address).
    virtual bool startCommand(const QString& commandLine) = 0;
};
