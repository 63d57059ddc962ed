#include "FindDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "dialogs/TextBoxSpeaker.h"
#include "speech/CSrCntl.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

FindDlg::FindDlg(SpeechOutput* speech, const HelpMenu* help, QWidget* parent)
    : QDialog(parent)
    , m_speech(speech)
    , m_help(help)
    , m_result(QString::fromUtf16(kCancelled))
{
    setObjectName(u"FindDlg"_s);
    setWindowTitle(QString::fromUtf16(kCaption));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Text_Key = new QLineEdit(this);
    Text_Key->setObjectName(u"Text_Key"_s);
    Text_Key->setMinimumWidth(320);
    Command_Find = new QPushButton(u"検索"_s, this);
    Command_Find->setObjectName(u"Command_Find"_s);
    Command_Find->setDefault(true);
    Command_Find->setAutoDefault(true);
    layout->addWidget(Text_Key, 1);
    layout->addWidget(Command_Find, 0, Qt::AlignVCenter);
    // The dialog closes one tick after the button, so that the button's own
    // event has finished first.
    Timer1.setSingleShot(true);
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { accept(); });
    connect(Command_Find, &QPushButton::clicked, this, [this] {
        m_result = Text_Key->text();
        Command_Find->setEnabled(false);
        Timer1.start();
    });
    fitToOneLine();
}

FindDlg::~FindDlg()
{
    // The reader lets go of the field while the field is still whole.
    delete m_textBox;
}

void FindDlg::setTextBoxReader(mSpeakTextBox* reader)
{
    delete m_textBox;
    m_textBox = reader != nullptr ? new TextBoxSpeaker(reader, this) : nullptr;
    if (m_textBox) {
        m_textBox->addField(Text_Key);
    }
}

void FindDlg::setLowVision(bool lowVision)
{
    QPalette p = Text_Key->palette();
    p.setColor(QPalette::Base, lowVision ? QColor(0, 0, 128) : QColor(255, 255, 255));
    p.setColor(QPalette::Text, lowVision ? QColor(255, 255, 255) : QColor(0, 0, 0));
    Text_Key->setPalette(p);
}

void FindDlg::setFontSize(int points)
{
    QFont f = Text_Key->font();
    f.setPointSize(qBound(8, points, 72));
    Text_Key->setFont(f);
    fitToOneLine();
}

void FindDlg::fitToOneLine()
{
    // One line of the field's type, with the field's own frame and margins.
    const QMargins text = Text_Key->textMargins();
    const QMargins contents = Text_Key->contentsMargins();
    const int frame = Text_Key->hasFrame() ? 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    const int height = QFontMetrics(Text_Key->font()).lineSpacing() + text.top() + text.bottom()
                       + contents.top() + contents.bottom() + frame;
    Text_Key->setFixedHeight(height);
    adjustSize();
}

bool FindDlg::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_screenReaders) {
        m_screenReaders->Block_SRVoice();
    }
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        if (!m_announced) {
            m_announced = true;
            Text_Key->clear();
            if (m_speech) {
                m_speech->SpeakText(windowTitle());
            }
        }
        Text_Key->setFocus();
    }
    return QDialog::event(event);
}

void FindDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        if (m_speech && m_help) {
            m_speech->SpeakText(m_help->Get_DlgHelp(windowTitle()));
        }
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // Escape belongs to the input method while it composes.
        if (m_textBox && m_textBox->imeComposing()) {
            return;
        }
        m_result = QString::fromUtf16(kCancelled);
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FindDlg::done(int r)
{
    if (r != QDialog::Accepted) {
        m_result = QString::fromUtf16(kCancelled);
    }
    Timer1.stop();
    if (m_speech) {
        m_speech->StopSpeech();
    }
    if (m_textBox) {
        m_textBox->detach();
    }
    QDialog::done(r);
}
