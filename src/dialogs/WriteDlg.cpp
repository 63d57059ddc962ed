#include "WriteDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/CFormState.h"
#include "app/WidgetFormWindow.h"
#include "dialogs/TextBoxSpeaker.h"
#include "speech/CSrCntl.h"
#include "speech/SoundPlayer.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

WriteDlg::WriteDlg(SpeechOutput* speech,
                   SoundPlayer* sounds,
                   const HelpMenu* help,
                   CSettings& settings,
                   CHttp* http,
                   QWidget* parent)
    : QDialog(parent)
    , m_speech(speech)
    , m_sounds(sounds)
    , m_help(help)
    , m_sequence(speech, settings, http)
{
    setObjectName(u"WriteDlg"_s);
    auto* layout = new QGridLayout(this);
    const auto label = [this](const QString& text, const QString& name) {
        auto* widget = new QLabel(text, this);
        widget->setObjectName(name);
        widget->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return widget;
    };
    const auto line = [this](const QString& name) {
        auto* widget = new QLineEdit(this);
        widget->setObjectName(name);
        return widget;
    };
    Label_Title = label(u"ﾀｲﾄﾙ(&T)"_s, u"Label_Title"_s);
    Text_Title = line(u"Text_Title"_s);
    Label_Name = label(u"名前(&N)"_s, u"Label_Name"_s);
    Text_Name = line(u"Text_Name"_s);
    Label_Mail = label(u"メール(&M)"_s, u"Label_Mail"_s);
    Text_Mail = line(u"Text_Mail"_s);
    Label_Title->setBuddy(Text_Title);
    Label_Name->setBuddy(Text_Name);
    Label_Mail->setBuddy(Text_Mail);
    Text_Edit = new QPlainTextEdit(this);
    Text_Edit->setObjectName(u"Text_Edit"_s);
    Text_Edit->setTabChangesFocus(true);
    Command_Write[0] = new QPushButton(u"音声確認(&R)"_s, this);
    Command_Write[0]->setObjectName(u"Command_Write0"_s);
    Command_Write[1] = new QPushButton(u"書き込み(&W)"_s, this);
    Command_Write[1]->setObjectName(u"Command_Write1"_s);
    for (QPushButton* button : Command_Write) {
        button->setAutoDefault(false);
    }
    // Labels sit beside their fields, centred on them.
    layout->addWidget(Label_Title, 0, 0);
    layout->addWidget(Text_Title, 0, 1);
    layout->addWidget(Label_Name, 1, 0);
    layout->addWidget(Text_Name, 1, 1);
    layout->addWidget(Label_Mail, 2, 0);
    layout->addWidget(Text_Mail, 2, 1);
    auto* labelEdit = label(u"本文(&E)"_s, u"Label_Edit"_s);
    labelEdit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labelEdit->setBuddy(Text_Edit);
    layout->addWidget(labelEdit, 3, 0, 1, 2);
    layout->addWidget(Text_Edit, 4, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command_Write[0]);
    buttons->addWidget(Command_Write[1]);
    layout->addLayout(buttons, 5, 0, 1, 2);

    for (QWidget* widget :
         {static_cast<QWidget*>(Text_Title), static_cast<QWidget*>(Text_Name),
          static_cast<QWidget*>(Text_Mail), static_cast<QWidget*>(Text_Edit),
          static_cast<QWidget*>(Command_Write[0]), static_cast<QWidget*>(Command_Write[1])}) {
        widget->installEventFilter(this);
    }
    connect(Command_Write[0], &QPushButton::clicked, this, [this] { m_sequence.pressVoiceCheck(texts()); });
    connect(Command_Write[1], &QPushButton::clicked, this, [this] { m_sequence.pressWrite(texts()); });
    connect(&m_sequence, &WriteSequence::focusWanted, this, [this](WriteSequence::Field field) {
        if (QWidget* widget = widgetOf(field)) {
            widget->setFocus();
        }
    });
    connect(&m_sequence, &WriteSequence::posted, this, &QDialog::accept);
}

WriteDlg::~WriteDlg()
{
    // The reader lets go of the fields while they are still whole.
    delete m_textBox;
}

void WriteDlg::Initialize(const QString& url, bool machibbs, bool suretate)
{
    Text_Title->clear();
    Text_Name->clear();
    Text_Mail->clear();
    Text_Edit->clear();
    m_sequence.setTarget(url, machibbs, suretate);
    setWindowTitle(m_sequence.caption());
    Command_Write[1]->setText(m_sequence.writeButtonText());
    Label_Title->setVisible(suretate);
    Text_Title->setVisible(suretate);
    m_activated = false;
    if (m_speech) {
        m_speech->SpeakText(m_sequence.caption());
    }
}

void WriteDlg::setTextBoxReader(mSpeakTextBox* reader)
{
    delete m_textBox;
    m_textBox = reader != nullptr ? new TextBoxSpeaker(reader, this) : nullptr;
    if (m_textBox) {
        m_textBox->addField(Text_Title);
        m_textBox->addField(Text_Name);
        m_textBox->addField(Text_Mail);
        m_textBox->addField(Text_Edit);
    }
}

void WriteDlg::setLowVision(bool lowVision)
{
    for (QWidget* field : {static_cast<QWidget*>(Text_Title), static_cast<QWidget*>(Text_Name),
                           static_cast<QWidget*>(Text_Mail), static_cast<QWidget*>(Text_Edit)}) {
        QPalette p = field->palette();
        p.setColor(QPalette::Base, lowVision ? QColor(0, 0, 128) : QColor(255, 255, 255));
        p.setColor(QPalette::Text, lowVision ? QColor(255, 255, 255) : QColor(0, 0, 0));
        field->setPalette(p);
    }
}

void WriteDlg::setFormStore(SettingsStore* store)
{
    if (!store) {
        return;
    }
    m_formWindow = std::make_unique<WidgetFormWindow>(this);
    m_formState = std::make_unique<CFormState>(*store);
    m_formState->Initialize(u"yomimaru"_s, u"FormLocation/"_s + windowTitle(), m_formWindow.get());
}

WriteSequence::Texts WriteDlg::texts() const
{
    return {Text_Title->text(), Text_Name->text(), Text_Mail->text(), Text_Edit->toPlainText()};
}

QWidget* WriteDlg::widgetOf(WriteSequence::Field field) const
{
    switch (field) {
    case WriteSequence::Field::Title:
        return Text_Title;
    case WriteSequence::Field::Name:
        return Text_Name;
    case WriteSequence::Field::Mail:
        return Text_Mail;
    case WriteSequence::Field::Body:
        return Text_Edit;
    case WriteSequence::Field::VoiceCheckButton:
        return Command_Write[0];
    case WriteSequence::Field::WriteButton:
        return Command_Write[1];
    }
    return nullptr;
}

bool WriteDlg::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_screenReaders) {
        m_screenReaders->Block_SRVoice();
    }
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && !m_activated) {
        m_activated = true;
        (m_sequence.suretate() ? static_cast<QWidget*>(Text_Title) : static_cast<QWidget*>(Text_Edit))
            ->setFocus();
    }
    return QDialog::event(event);
}

bool WriteDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && m_speech) {
        using Field = WriteSequence::Field;
        QString sentence;
        if (watched == Text_Title) {
            sentence = m_sequence.focusAnnouncement(Field::Title, Text_Title->text());
        } else if (watched == Text_Name) {
            sentence = m_sequence.focusAnnouncement(Field::Name, Text_Name->text());
        } else if (watched == Text_Mail) {
            sentence = m_sequence.focusAnnouncement(Field::Mail, Text_Mail->text());
        } else if (watched == Text_Edit) {
            sentence = m_sequence.focusAnnouncement(Field::Body, {});
        } else if (watched == Command_Write[0]) {
            sentence = m_sequence.focusAnnouncement(Field::VoiceCheckButton, {});
        } else if (watched == Command_Write[1]) {
            sentence = m_sequence.focusAnnouncement(Field::WriteButton, {});
        }
        if (!sentence.isEmpty()) {
            m_speech->SpeakText(sentence);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void WriteDlg::keyPressEvent(QKeyEvent* event)
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
    // Enter in a one-line field does not close the dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void WriteDlg::done(int r)
{
    if (m_speech) {
        m_speech->StopSpeech();
    }
    if (m_formState) {
        m_formState->Get_();
        m_formState->Save();
    }
    if (m_textBox) {
        m_textBox->detach();
    }
    if (m_sounds) {
        m_sounds->play(u"ir_end.wav"_s, false);
    }
    QDialog::done(r);
}
