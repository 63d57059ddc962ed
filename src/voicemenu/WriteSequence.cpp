#include "voicemenu/WriteSequence.h"

#include "base/CSettings.h"
#include "bbs/Posting.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;

WriteSequence::WriteSequence(SpeechOutput* speech, CSettings& settings, CHttp* http, QObject* parent)
    : QObject(parent)
    , m_speech(speech)
    , m_settings(settings)
    , m_http(http)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &WriteSequence::tick);
}

void WriteSequence::setTarget(const QString& url, bool machibbs, bool suretate)
{
    m_url = url;
    m_machibbs = machibbs;
    m_suretate = suretate;
    m_captionAnnounced = false;
    m_writeStep = 0;
    m_timer.stop();
}

QString WriteSequence::caption() const
{
    return m_suretate ? u"スレ立てダイアログ"_s : u"書き込みダイアログ"_s;
}

QString WriteSequence::writeButtonText() const
{
    return m_suretate ? u"スレ立て(&W)"_s : u"書き込み(&W)"_s;
}

QString WriteSequence::focusAnnouncement(Field field, const QString& text)
{
    const auto prefix = [this] {
        if (m_captionAnnounced) {
            return QString();
        }
        m_captionAnnounced = true;
        return caption() + u"、"_s;
    };
    switch (field) {
    case Field::Title:
        return prefix() + u"タイトルのエディット(T)、"_s + text;
    case Field::Name:
        return u"名前のエディット(N)、"_s + text;
    case Field::Mail:
        return u"メール欄のエディット(M)、"_s + text;
    case Field::Body:
        return prefix() + u"本文のエディット(E)"_s;
    case Field::VoiceCheckButton:
        return u"音声確認ボタン(R)"_s;
    case Field::WriteButton:
        return m_suretate ? u"スレ立てボタン(W)"_s : u"書き込みボタン(W)"_s;
    }
    return {};
}

QString WriteSequence::voiceCheck(const Texts& texts, bool suretate)
{
    QString sentence;
    if (suretate) {
        sentence +=
            texts.title.isEmpty() ? u"タイトル欄は空欄、"_s : u"タイトル欄は,"_s + texts.title + u"、"_s;
    }
    sentence += texts.name.isEmpty() ? u"名前欄は空欄、"_s : u"名前欄は,"_s + texts.name + u"、"_s;
    sentence += texts.mail.isEmpty() ? u"メール欄は空欄、"_s : u"メール欄は,"_s + texts.mail + u"、"_s;
    sentence += texts.body.isEmpty() ? u"本文は空欄です。"_s : u"本文は、"_s + texts.body;
    return sentence;
}

void WriteSequence::pressVoiceCheck(const Texts& texts)
{
    if (m_speech) {
        m_speech->StopSpeech();
    }
    speak(voiceCheck(texts, m_suretate));
}

QString WriteSequence::noticeText()
{
    return u"投稿に関する注意事項です、最後まで聞いてください。投稿された内容はコピー、保存、引用、転載等される場合があります。"_s
           u"投稿に関して発生する責任は全て投稿者にきします。話題と無関係な広告の投稿に関して、相応の費用を支払うことを承諾します。"_s
           u"全責任を負うことを承諾して書き込む場合は、もう一度書き込みボタン「Alt+W」を押してください。"_s;
}

void WriteSequence::pressWrite(const Texts& texts)
{
    if (m_speech) {
        m_speech->StopSpeech();
    }
    if (texts.body.isEmpty()) {
        emit focusWanted(Field::Body);
        speak(u"本文が空欄なので書き込めません。"_s);
        return;
    }
    if (m_suretate && texts.title.isEmpty()) {
        emit focusWanted(Field::Title);
        speak(u"タイトルが空欄なので書き込めません。"_s);
        return;
    }
    if (m_writeStep == 2 || (m_writeStep == 1 && m_timer.isActive())) {
        return;  // a post is under way
    }
    m_texts = texts;
    QDateTime last = QDateTime::fromString(
        m_settings.Get_Named(QString::fromUtf16(CSettings::kLastWriteDate)), Qt::ISODate);
    if (!last.isValid()) {
        last = now().addDays(-2);
    }
    const bool speechDone = !m_speech || m_speech->speechDone();
    if (now() < last.addDays(1) || (speechDone && m_writeStep == 1)) {
        m_writeStep = 1;
        m_timer.start();
    } else if (m_writeStep == 0) {
        m_timer.start();
    }
    // A press while the notice is still being read is ignored.
}

void WriteSequence::tick()
{
    switch (m_writeStep) {
    case 0:
        m_timer.stop();
        speak(noticeText());
        m_writeStep = 1;
        break;
    case 1: {
        m_settings.Set_Named(QString::fromUtf16(CSettings::kLastWriteDate), now().toString(Qt::ISODate));
        QString message;
        m_succeeded = m_http
                      && Posting::Post(*m_http, m_url, m_texts.name, m_texts.mail, m_texts.body, message,
                                       m_machibbs, m_suretate ? m_texts.title : QString(),
                                       m_settings.Get_Named(u"Cookie"_s), now().toSecsSinceEpoch());
        // A reply to a まちＢＢＳ thread of an unknown address says nothing
        // of itself; the user still hears that it did not go.
        if (!m_succeeded && message.isEmpty()) {
            message = u"内部エラー、URL指定が不正です。"_s;
        }
        speak(message, m_succeeded);
        m_writeStep = 2;
        break;
    }
    default:
        if (m_speech && !m_speech->speechDone()) {
            return;
        }
        m_writeStep = 0;
        m_timer.stop();
        if (m_succeeded) {
            emit posted();
        }
        break;
    }
}

QDateTime WriteSequence::now() const
{
    return m_fixedNow.isValid() ? m_fixedNow : QDateTime::currentDateTime();
}

void WriteSequence::speak(const QString& text, bool uninterruptible)
{
    m_spokenText = text;
    if (m_speech) {
        m_speech->SpeakText(text, uninterruptible);
    }
}
