#include "TextBoxSpeaker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCharFormat>

#include "dialogs/QtTextBoxField.h"
#include "speech/mSpeakTextBox.h"

TextBoxSpeaker::TextBoxSpeaker(mSpeakTextBox* reader, QObject* parent)
    : QObject(parent)
    , m_reader(reader)
{}

TextBoxSpeaker::~TextBoxSpeaker()
{
    detach();
}

void TextBoxSpeaker::addField(QLineEdit* edit)
{
    m_fields.push_back(std::make_unique<QtTextBoxField>(edit));
    edit->installEventFilter(this);
    attachIfFocused(m_fields.back().get());
}

void TextBoxSpeaker::addField(QPlainTextEdit* edit)
{
    m_fields.push_back(std::make_unique<QtTextBoxField>(edit));
    edit->installEventFilter(this);
    attachIfFocused(m_fields.back().get());
}

bool TextBoxSpeaker::imeComposing() const
{
    return m_reader != nullptr && m_reader->imeComposing();
}

void TextBoxSpeaker::detach()
{
    if (m_reader == nullptr) {
        return;
    }
    for (const auto& field : m_fields) {
        if (m_reader->attachedField() == field.get()) {
            m_reader->Detach();
        }
    }
}

QtTextBoxField* TextBoxSpeaker::fieldOf(const QObject* widget) const
{
    for (const auto& field : m_fields) {
        if (widget != nullptr && field->widget() == widget) {
            return field.get();
        }
    }
    return nullptr;
}

void TextBoxSpeaker::attachIfFocused(QtTextBoxField* field)
{
    if (m_reader != nullptr && field->widget()->hasFocus() && m_reader->attachedField() != field) {
        m_reader->Attach(field);
    }
}

CImeManager::Composition TextBoxSpeaker::compositionOf(const QInputMethodEvent& event)
{
    CImeManager::Composition c;
    c.preedit = event.preeditString();
    c.commit = event.commitString();
    for (const QInputMethodEvent::Attribute& a : event.attributes()) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            // The input methods draw the clause being converted highlighted.
            const bool target = format.hasProperty(QTextFormat::BackgroundBrush)
                                && format.background().style() != Qt::NoBrush;
            c.clauses.append({a.start, a.length, target});
        } else if (a.type == QInputMethodEvent::Cursor && !c.preedit.isEmpty()) {
            c.cursor = a.start;
        }
    }
    return c;
}

void TextBoxSpeaker::cancelComposition(QtTextBoxField* field)
{
    if (QInputMethod* im = QGuiApplication::inputMethod()) {
        im->reset();
    }
    // The field forgets its preedit too, whether or not an input method
    // answered the reset.
    QInputMethodEvent empty;
    QCoreApplication::sendEvent(field->widget(), &empty);
}

bool TextBoxSpeaker::eventFilter(QObject* watched, QEvent* event)
{
    QtTextBoxField* field = fieldOf(watched);
    if (field == nullptr || m_reader == nullptr) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::FocusIn:
        if (m_reader->attachedField() != field) {
            m_reader->Attach(field);
        }
        break;
    case QEvent::FocusOut:
        if (m_reader->attachedField() == field) {
            m_reader->Detach();
        }
        break;
    case QEvent::KeyPress: {
        attachIfFocused(field);
        if (m_reader->attachedField() != field) {
            break;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && m_reader->imeComposing()) {
            cancelComposition(field);
            return true;
        }
        if (m_reader->keyDown(key->key(), key->modifiers())) {
            return true;
        }
        const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        if (!key->text().isEmpty() && (key->modifiers() & commands) == 0) {
            m_reader->charInput(key->text());
        }
        break;
    }
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_reader->attachedField() == field) {
            m_reader->keyUp(key->key(), key->modifiers());
        }
        break;
    }
    case QEvent::InputMethod:
        attachIfFocused(field);
        if (m_reader->attachedField() == field) {
            m_reader->imeComposition(compositionOf(*static_cast<QInputMethodEvent*>(event)));
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
