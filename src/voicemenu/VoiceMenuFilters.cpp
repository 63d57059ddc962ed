// あぼーん: the user's filters read at start, the messages they hide in the
// open thread, the keys that add an ID or a name, the menu that lists and
// deletes them, and the order of the thread list.

#include "VoiceMenu.h"
#include "base/CSettings.h"
#include "bbs/NgFilters.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/CMessageData.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

void VoiceMenu::loadFilters()
{
    m_filters = std::make_unique<NgFilters>(m_paths.dataFile(QString::fromUtf16(NgFilters::kFileName)));
    m_filters->load();
    // A line that cannot be used is said once, at start.
    for (const QString& problem : m_filters->takeProblems()) {
        m_speech.addNotice(problem);
    }
    m_hiddenCount = -1;
}

void VoiceMenu::filtersChanged()
{
    m_hiddenCount = -1;
}

bool VoiceMenu::isHidden(int n)
{
    if (!m_thread || !m_filters) {
        return false;
    }
    // Worked out once a load, and again when the filters change.
    if (m_hiddenCount != m_thread->Get_MessageLoadedNum()) {
        m_hidden = m_filters->hidden(m_thread->messages(), m_board);
        m_hiddenCount = m_thread->Get_MessageLoadedNum();
    }
    return n >= 1 && n <= m_hidden.size() && m_hidden.at(n - 1);
}

int VoiceMenu::nextShown(int n, int* passed)
{
    int count = 0;
    const int loaded = m_thread ? m_thread->Get_MessageLoadedNum() : 0;
    for (int next = qMax(n, 0) + 1; next <= loaded; ++next) {
        if (!isHidden(next)) {
            if (passed) {
                *passed = count;
            }
            return next;
        }
        ++count;
    }
    if (passed) {
        *passed = count;
    }
    return 0;
}

QList<int> VoiceMenu::shownOnly(const QList<int>& messages)
{
    QList<int> shown;
    shown.reserve(messages.size());
    for (int n : messages) {
        if (!isHidden(n)) {
            shown.append(n);
        }
    }
    return shown;
}

QString VoiceMenu::hiddenSentence(int count) const
{
    if (count < 1 || m_settings.Get_Named(QString::fromUtf16(kNgTransparentKey)) == u"1"_s) {
        return {};
    }
    return u"あぼーん%1件、"_s.arg(count);
}

QString VoiceMenu::readHeaderOf(int n)
{
    QString header = m_thread->Get_ReadHeader(n, false, false, false);
    if (m_settings.Get_Named(QString::fromUtf16(kReplyCountKey)) == u"1"_s) {
        const int number = n < 0 ? m_thread->Get_MessageCurrentNum() : n;
        const qsizetype replies = shownOnly(threadIndex().repliesTo(number)).size();
        if (replies > 0) {
            header += u"返信%1件 "_s.arg(replies);
        }
    }
    return header;
}

void VoiceMenu::toggleFilter(int kind)
{
    if (!canTrip() || !m_filters) {
        return;
    }
    const ThreadMessage* message = m_thread->message(m_thread->Get_MessageCurrentNum());
    if (!message) {
        return;
    }
    NgFilters::Rule rule;
    rule.kind = NgFilters::Kind(kind);
    rule.board = m_board;
    rule.text = rule.kind == NgFilters::Kind::Id ? message->id : NgFilters::plainName(message->name);
    const QString what = NgFilters::kindName(rule.kind);
    if (rule.text.isEmpty()) {
        m_title = u"このメッセージには"_s + what + u"がありません"_s;
        speakTitle();
        return;
    }
    if (rule.board.isEmpty()) {
        // A thread whose board the board list no longer names.
        m_title = u"板が分からないので、あぼーんできません"_s;
        speakTitle();
        return;
    }
    m_speech.StopSpeech();
    m_queued = {};
    const int existing = m_filters->indexOf(rule);
    if (existing >= 0) {
        m_title = m_filters->removeAt(existing)
                      ? what + u"「"_s + rule.text + u"」のあぼーんを取り消しました。"_s
                      : QString::fromUtf16(kNgNotSaved);
    } else if (m_filters->add(rule)) {
        m_title =
            what + u"「"_s + rule.text + u"」をこの板であぼーんしました。もう一度押すと取り消します。"_s;
        // The rest of the message is not read; reading goes on after it.
        if (m_reading) {
            m_message->ExitInstance();
        }
    } else {
        m_title = QString::fromUtf16(kNgNotSaved);
    }
    filtersChanged();
    speakTitle();
}

void VoiceMenu::Toggle_NgId()
{
    toggleFilter(int(NgFilters::Kind::Id));
}

void VoiceMenu::Toggle_NgName()
{
    toggleFilter(int(NgFilters::Kind::Name));
}

void VoiceMenu::addWordFilter(bool everywhere, bool regex)
{
    if (!everywhere && m_board.isEmpty()) {
        m_title = u"板を開いてから追加してください。"_s;
        return;
    }
    const QString where = everywhere ? u"すべての板"_s : u"板「"_s + m_board + u"」"_s;
    const QString answer =
        m_host.runLineEditDialog(u"あぼーん追加ダイアログ"_s,
                                 where
                                     + (regex ? u"で読まないメッセージの正規表現を記入してください"_s
                                              : u"で読まないメッセージの語句を記入してください"_s),
                                 QString());
    if (answer.isEmpty()) {
        m_title = u"キャンセルしました"_s;
        return;
    }
    const NgFilters::Rule rule{regex ? NgFilters::Kind::Regex : NgFilters::Kind::Word,
                               everywhere ? QString::fromUtf16(NgFilters::kEverywhere) : m_board, answer};
    const QString reason = NgFilters::invalidReason(rule);
    if (!reason.isEmpty()) {
        m_title = reason + u"追加しませんでした。"_s;
    } else if (m_filters->indexOf(rule) >= 0) {
        m_title = u"そのあぼーんはもうあります。"_s;
    } else if (!m_filters->add(rule)) {
        m_title = QString::fromUtf16(kNgNotSaved);
    } else {
        m_title = NgFilters::describe(rule) + u"のあぼーんを追加しました。"_s;
        filtersChanged();
    }
}

void VoiceMenu::deleteFilter()
{
    if (m_filters->rules().isEmpty()) {
        return;
    }
    const NgFilters::Rule rule = m_filters->rules().value(m_item - 1);
    m_title = m_filters->removeAt(m_item - 1) ? NgFilters::describe(rule) + u"のあぼーんを削除しました。"_s
                                              : QString::fromUtf16(kNgNotSaved);
    filtersChanged();
    buildMenu();
    // What is said is what was done, not the menu's opening sentence.
    m_suffix.clear();
    m_item = 0;
}

void VoiceMenu::Switch_ThreadOrder()
{
    if (m_menu != ThreadMenu || !m_threads) {
        return;
    }
    const auto next = ThreadList::Order((int(m_threads->order()) + 1) % ThreadList::kOrderCount);
    const bool kept = m_threads->setOrder(next);
    m_items = m_threads->Get_ThreadNames();
    m_item = 0;
    m_title = ThreadList::orderName(next) + u"に並べました。"_s;
    if (!kept) {
        m_title += QString::fromUtf16(kSettingNotSaved);
    }
    m_host.Update_List();
    speakTitle();
}
