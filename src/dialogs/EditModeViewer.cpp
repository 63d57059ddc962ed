#include "EditModeViewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "app/CFormState.h"
#include "app/Ticker.h"
#include "app/WidgetFormWindow.h"
#include "dialogs/TextBoxSpeaker.h"
#include "speech/CMessageData.h"
#include "speech/CSrCntl.h"
#include "speech/SoundPlayer.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

namespace {

// The text box's distance from the window's left edge, in pixels.
constexpr int kTextLeft = 8;

}  // namespace

EditModeViewer::EditModeViewer(
    SpeechOutput* speech, SoundPlayer* sounds, const HelpMenu* help, QWidget* parent, Ticker* helpTimer)
    : QDialog(parent)
    , m_speech(speech)
    , m_sounds(sounds)
    , m_help(help)
{
    setObjectName(u"EditModeViewer"_s);
    setWindowTitle(QString::fromUtf16(kCaption));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    Text_View = new QPlainTextEdit(this);
    Text_View->setObjectName(u"Text_View"_s);
    Text_View->setTabChangesFocus(true);
    if (helpTimer) {
        Timer_Help = helpTimer;
    } else {
        m_ownTimer = std::make_unique<QtTicker>(u"Timer_Help"_s, QtTicker::SingleShot);
        Timer_Help = m_ownTimer.get();
    }
    Timer_Help->setHandler([this] { Timer_Help_Tick(); });
    resize(640, 480);
}

EditModeViewer::~EditModeViewer()
{
    removeKeyFilter();
    Timer_Help->stop();
    Timer_Help->setHandler({});
    // The reader lets go of the text box while the box is still whole.
    delete m_textBox;
}

void EditModeViewer::Initialize(qint32 cur_pos)
{
    this->cur_pos = cur_pos;
    Timer_Help->stop();
}

void EditModeViewer::setText(const QString& text)
{
    m_text = text;
    Text_View->setPlainText(text);
}

void EditModeViewer::setTextBoxReader(mSpeakTextBox* reader)
{
    delete m_textBox;
    m_textBox = reader != nullptr ? new TextBoxSpeaker(reader, this) : nullptr;
    if (m_textBox) {
        m_textBox->addField(Text_View);
    }
}

void EditModeViewer::setLowVision(bool lowVision)
{
    QPalette p = Text_View->palette();
    p.setColor(QPalette::Base, lowVision ? QColor(0, 0, 128) : QColor(255, 255, 255));
    p.setColor(QPalette::Text, lowVision ? QColor(255, 255, 255) : QColor(0, 0, 0));
    Text_View->setPalette(p);
}

void EditModeViewer::setFontSize(int points)
{
    QFont f = Text_View->font();
    f.setPointSize(qBound(8, points, 72));
    Text_View->setFont(f);
}

void EditModeViewer::setFormStore(SettingsStore* store)
{
    if (!store) {
        return;
    }
    m_formWindow = std::make_unique<WidgetFormWindow>(this);
    m_fstate = std::make_unique<CFormState>(*store);
    m_fstate->Initialize(u"yomimaru"_s, u"FormLocation/"_s + objectName(), m_formWindow.get());
}

QString EditModeViewer::helpText(const HelpMenu& help, const QString& caption)
{
    if (caption.contains(u"のヘルプ"_s)) {
        const QString self = HelpMenu::kEditModeViewer.toString();
        return self + u"について。"_s + help.Get_DlgHelp(self);
    }
    return caption + u"のヘルプ。"_s + help.Get_DlgHelp(caption);
}

int EditModeViewer::caretPosition(const QString& text, qint32 unitStart)
{
    qint32 offset = qBound(0, unitStart, qint32(text.size()));
    while (offset < text.size() && (text.at(offset) == u'\r' || text.at(offset) == u'\n')) {
        ++offset;
    }
    return CMessageData::documentPosition(text, offset);
}

QRect EditModeViewer::textViewGeometry(const QSize& inner, int left)
{
    return {left, 0, qMax(0, inner.width() - 2 * left), qMax(0, inner.height() - left)};
}

void EditModeViewer::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Text_View->setGeometry(textViewGeometry(size(), kTextLeft));
}

void EditModeViewer::activated()
{
    QTextCursor caret = Text_View->textCursor();
    caret.setPosition(qMin(caretPosition(m_text, cur_pos), Text_View->document()->characterCount() - 1));
    Text_View->setTextCursor(caret);
    Text_View->ensureCursorVisible();
    if (m_speech) {
        m_speech->SpeakText(windowTitle());
    }
    if (!m_keyFilter) {
        qApp->installEventFilter(this);
        m_keyFilter = true;
    }
    m_helpDue = true;
    m_keyPressed = false;
    Timer_Help->start(kHelpDelayMs);
    if (m_screenReaders) {
        m_screenReaders->Block_SRVoice();
    }
    Text_View->setFocus();
}

void EditModeViewer::removeKeyFilter()
{
    if (m_keyFilter) {
        qApp->removeEventFilter(this);
        m_keyFilter = false;
    }
}

void EditModeViewer::Timer_Help_Tick()
{
    Timer_Help->stop();
    if (!m_helpDue) {
        return;
    }
    m_helpDue = false;
    if (m_speech && m_help && m_speech->speechDone()) {
        m_speech->SpeakText(m_help->Get_DlgHelp(HelpMenu::kDelayedHelp.toString()));
    }
}

bool EditModeViewer::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        activated();
    } else if (event->type() == QEvent::WindowDeactivate) {
        removeKeyFilter();
    }
    return QDialog::event(event);
}

bool EditModeViewer::eventFilter(QObject* watched, QEvent* event)
{
    const bool pressed = event->type() == QEvent::KeyPress;
    if (!pressed && event->type() != QEvent::KeyRelease) {
        return QDialog::eventFilter(watched, event);
    }
    // A key reaches the window object first and then the focused widget; the
    // widget is where it is seen once, whether it came from the keyboard or
    // was sent to the widget directly.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this) {
        return QDialog::eventFilter(watched, event);
    }
    if (viewerKey(static_cast<QKeyEvent*>(event), pressed)) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool EditModeViewer::viewerKey(QKeyEvent* key, bool pressed)
{
    // The Alt key itself counts as held: its own press does not carry the
    // modifier yet.
    if (key->modifiers().testFlag(Qt::AltModifier) || key->key() == Qt::Key_Alt
        || key->key() == Qt::Key_AltGr) {
        return false;
    }
    if (!pressed) {
        // The release of the key that opened the viewer is no use of the
        // viewer's keys: only a key pressed here counts.
        if (m_keyPressed) {
            m_helpDue = false;
            Timer_Help->stop();
        }
        return false;
    }
    m_keyPressed = true;
    if (key->key() == Qt::Key_NumLock) {
        return false;
    }
    m_helpDue = false;
    Timer_Help->stop();
    if (key->key() == Qt::Key_Escape) {
        // Escape belongs to the input method while it composes.
        if (m_textBox && m_textBox->imeComposing()) {
            return false;
        }
        reject();
        return true;
    }
    if (key->key() == Qt::Key_F1) {
        if (m_speech && m_help) {
            m_speech->SpeakText(helpText(*m_help, windowTitle()));
        }
        return true;
    }
    return false;
}

void EditModeViewer::done(int r)
{
    Timer_Help->stop();
    m_helpDue = false;
    if (m_fstate) {
        m_fstate->Get_();
        m_fstate->Save();
        m_fstate.reset();
    }
    if (m_speech) {
        m_speech->StopSpeech();
    }
    removeKeyFilter();
    if (m_textBox) {
        m_textBox->detach();
    }
    if (m_sounds) {
        m_sounds->play(u"ir_end.wav"_s, false);
    }
    QDialog::done(r);
}
