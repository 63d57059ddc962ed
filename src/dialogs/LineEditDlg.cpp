#include "LineEditDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/TextBoxSpeaker.h"
#include "speech/SoundPlayer.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

LineEditDlg::LineEditDlg(SpeechOutput* speech, SoundPlayer* sounds, const HelpMenu* help, QWidget* parent)
    : QDialog(parent)
    , m_speech(speech)
    , m_sounds(sounds)
    , m_help(help)
{
    setObjectName(u"LineEditDlg"_s);
    setWindowTitle(u"一行編集ダイアログ"_s);
    auto* layout = new QVBoxLayout(this);
    Label_Comment = new QLabel(u"コメント"_s, this);
    Label_Comment->setObjectName(u"Label_Comment"_s);
    Label_Comment->setWordWrap(true);
    Text_Msg = new QLineEdit(this);
    Text_Msg->setObjectName(u"Text_Msg"_s);
    Command_OK = new QPushButton(u"設定"_s, this);
    Command_OK->setObjectName(u"Command_OK"_s);
    Command_OK->setDefault(true);
    Command_OK->setAutoDefault(true);
    layout->addWidget(Label_Comment);
    layout->addWidget(Text_Msg);
    layout->addWidget(Command_OK);
    connect(Command_OK, &QPushButton::clicked, this, [this] {
        m_result = Text_Msg->text().trimmed();
        accept();
    });
}

LineEditDlg::~LineEditDlg()
{
    // The reader lets go of the field while the field is still whole.
    delete m_textBox;
}

void LineEditDlg::Initialize(const QString& caption, const QString& comment)
{
    setWindowTitle(caption);
    Label_Comment->setText(comment);
    m_announced = false;
}

void LineEditDlg::setText(const QString& text)
{
    Text_Msg->setText(text);
}

void LineEditDlg::setTextBoxReader(mSpeakTextBox* reader)
{
    delete m_textBox;
    m_textBox = reader != nullptr ? new TextBoxSpeaker(reader, this) : nullptr;
    if (m_textBox) {
        m_textBox->addField(Text_Msg);
    }
}

void LineEditDlg::setLowVision(bool lowVision)
{
    QPalette p = Text_Msg->palette();
    p.setColor(QPalette::Base, lowVision ? QColor(0, 0, 128) : QColor(255, 255, 255));
    p.setColor(QPalette::Text, lowVision ? QColor(255, 255, 255) : QColor(0, 0, 0));
    Text_Msg->setPalette(p);
}

void LineEditDlg::announce()
{
    // Only the first time the dialog comes up: coming back to it from another
    // window neither repeats the prompt nor forgets the answer.
    if (m_announced) {
        return;
    }
    m_announced = true;
    m_result.clear();
    if (m_speech) {
        m_speech->SpeakText(windowTitle() + u"、"_s + Label_Comment->text());
    }
}

bool LineEditDlg::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        announce();
        Text_Msg->setFocus();
    }
    return QDialog::event(event);
}

void LineEditDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        if (m_speech && m_help) {
            m_speech->SpeakText(m_help->Get_DlgHelp(windowTitle()));
        }
        return;
    }
    // Escape belongs to the input method while it composes.
    if (event->key() == Qt::Key_Escape && m_textBox && m_textBox->imeComposing()) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void LineEditDlg::done(int r)
{
    if (r != QDialog::Accepted) {
        m_result.clear();
    }
    if (m_speech) {
        m_speech->StopSpeech();
    }
    if (m_textBox) {
        m_textBox->detach();
    }
    if (m_sounds) {
        m_sounds->play(u"ir_end.wav"_s, false);
    }
    QDialog::done(r);
}
