#pragma once

// The keyboard and input-method filter that makes a dialog's text fields
// speak. Installed on each field, it attaches the text-box reader when the
// field gets the focus and detaches it when the focus goes; it hands every
// key to the reader before the field sees it (key down) and after the field
// has handled it (key up), and every input-method event as it arrives. Keys
// the input method takes for itself never reach the field, so they never
// reach the reader either: compositions are read from the input-method
// events alone. Escape during a composition cancels the composition and goes
// no further, so the dialog stays open. Never swallows another event.

#include <memory>
#include <vector>

#include <QObject>

#include "speech/CImeManager.h"

class mSpeakTextBox;
class QInputMethodEvent;
class QLineEdit;
class QPlainTextEdit;
class QtTextBoxField;

class TextBoxSpeaker : public QObject
{
    Q_OBJECT

public:
    explicit TextBoxSpeaker(mSpeakTextBox* reader, QObject* parent = nullptr);
    ~TextBoxSpeaker() override;

    void addField(QLineEdit* edit);
    void addField(QPlainTextEdit* edit);

    // The dialog leaves Escape alone while this holds.
    bool imeComposing() const;

    // Lets go of the field the reader is attached to (the dialog closes).
    void detach();

    // The reader's view of one input-method event.
    static CImeManager::Composition compositionOf(const QInputMethodEvent& event);

    // The field object of a widget, or nullptr.
    QtTextBoxField* fieldOf(const QObject* widget) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attachIfFocused(QtTextBoxField* field);
    void cancelComposition(QtTextBoxField* field);

    mSpeakTextBox* m_reader;
    std::vector<std::unique_ptr<QtTextBoxField>> m_fields;
};
