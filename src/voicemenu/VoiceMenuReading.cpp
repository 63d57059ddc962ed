// Reading a thread unit by unit, the jumps inside a message, reloads, the
// full text of an item, the all-bookmarks run and the progress display.

#include "VoiceMenu.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/CMessageData.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/BusyGuard.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

void VoiceMenu::loadCurrentMessage()
{
    m_message->InitInstance(m_settings, m_thread->Get_OrgBody(-1), m_thread->Get_OrgHeader(-1),
                            readHeaderOf(-1));
}

bool VoiceMenu::Read_Message(bool force_read)
{
    if (!m_thread || !m_message) {
        return false;
    }
    // A trip to other messages reads its own list, not the next message;
    // the messages あぼーん hides are passed.
    const int current = m_thread->Get_MessageCurrentNum();
    int passed = 0;
    const int next = inSide() ? 0 : nextShown(current, &passed);
    const bool moreMessages = inSide() ? sideHasMore() : next > 0;
    const bool moreUnits = m_message->Have_Message();
    if ((moreMessages || moreUnits) && m_readable) {
        if (!m_reading) {
            m_reading = true;
            m_message->ExitInstance();
        }
        if (force_read || !m_message->Have_Message()) {
            if (inSide() && !force_read) {
                m_thread->Set_Index(m_side.at(m_sideNext++));
            } else {
                if (force_read) {
                    m_thread->Rewind_Index();
                    m_thread->Move_Index(1);
                } else {
                    m_thread->Move_Index(next - current);
                    m_pendingPrefix = hiddenSentence(passed) + m_pendingPrefix;
                }
            }
            loadCurrentMessage();
            m_host.showMessageText(m_message->Get_OrgMessagesText());
            m_item = m_thread->Get_MessageCurrentNum();
        }
        if (m_message->Have_Message() && m_reading) {
            qint16 kind = 0;
            m_currentUnitText = m_message->Get_Message(1, kind, false);
            m_currentUnitKind = kind;
            QString text = m_currentUnitText;
            if (!m_pendingPrefix.isEmpty()) {
                text = m_pendingPrefix + text;
                m_pendingPrefix.clear();
            }
            m_speech.SpeakText(text, false, m_currentUnitKind);
            m_item = m_thread->Get_MessageCurrentNum();
            Queue_NextUnit();
        }
        return true;
    }
    if (moreMessages && !m_readable) {
        m_reading = false;
        return false;
    }
    if (m_readable && inSide()) {
        // The end of a trip: the return key goes back to where it began.
        m_title = u"以上です"_s;
        m_speech.SpeakText(m_title);
        m_readable = false;
    } else if (m_readable) {
        // Hidden messages at the end are passed too: they are not left unread.
        m_title = hiddenSentence(passed);
        if (passed > 0) {
            m_thread->Move_Index(passed);
        }
        m_title += m_reading ? u"読み上げ完了"_s : u"新着メッセージはありません"_s;
        m_speech.SpeakText(m_title);
        m_readable = false;
    }
    m_reading = false;
    return false;
}

void VoiceMenu::Queue_NextUnit()
{
    m_queued = {};
    if (!m_reading || !m_readable || !m_thread || !m_message) {
        return;
    }
    QueuedUnit next;
    int passed = 0;
    next.fromMessage = m_thread->Get_MessageCurrentNum();
    next.fromUnit = m_message->Get_Index();
    if (m_message->Have_Message()) {
        next.unit = next.fromUnit + 1;
        next.text = m_message->readingUnit(next.unit);
        next.kind = m_message->unitInfo(next.unit).kind;
    } else if (const int n = inSide() ? (sideHasMore() ? m_side.at(m_sideNext) : 0)
                                      : nextShown(next.fromMessage, &passed);
               n > 0) {
        if (!m_nextMessage) {
            m_nextMessage = std::make_unique<CMessageData>();
        }
        m_nextMessage->InitInstance(m_settings, m_thread->Get_OrgBody(n), m_thread->Get_OrgHeader(n),
                                    readHeaderOf(n));
        if (!m_nextMessage->Have_Message()) {
            return;
        }
        next.newMessage = true;
        next.toMessage = n;
        next.unit = 1;
        next.text = m_nextMessage->readingUnit(1);
        next.kind = m_nextMessage->unitInfo(1).kind;
    } else {
        // The end of the thread is said once the last unit has been heard.
        return;
    }
    next.id = m_speech.QueueText(hiddenSentence(passed) + next.text, next.kind);
    if (next.id != 0) {
        m_queued = next;
    }
}

void VoiceMenu::queuedUnitStarted(quint64 id)
{
    if (id == 0 || id != m_queued.id) {
        return;
    }
    const QueuedUnit unit = std::exchange(m_queued, QueuedUnit());
    // Anything that moved the reading position meanwhile also stopped the
    // speech; a start that still arrives belongs to nothing.
    if (!m_reading || !m_thread || !m_message || m_thread->Get_MessageCurrentNum() != unit.fromMessage
        || m_message->Get_Index() != unit.fromUnit) {
        return;
    }
    if (unit.newMessage) {
        if (inSide()) {
            m_thread->Set_Index(unit.toMessage);
            ++m_sideNext;
        } else {
            m_thread->Move_Index(unit.toMessage - unit.fromMessage);
        }
        *m_message = std::move(*m_nextMessage);
        m_host.showMessageText(m_message->Get_OrgMessagesText());
    }
    qint16 kind = 0;
    m_currentUnitText = m_message->Get_Message(unit.unit, kind, true);
    m_currentUnitKind = kind;
    m_item = m_thread->Get_MessageCurrentNum();
    Queue_NextUnit();
}

const ThreadIndex& VoiceMenu::threadIndex()
{
    // Built once a load: the thread only grows while it is open.
    if (m_indexedCount != m_thread->Get_MessageLoadedNum()) {
        m_index.build(m_thread->messages());
        m_indexedCount = m_thread->Get_MessageLoadedNum();
    }
    return m_index;
}

void VoiceMenu::clearTrail()
{
    m_trail.clear();
    m_side.clear();
    m_sideNext = 0;
}

bool VoiceMenu::canTrip() const
{
    return m_menu == ReadingMenu && m_thread && m_message && m_thread->Get_MessageCurrentNum() >= 1;
}

void VoiceMenu::readSide(const QList<int>& messages, const QString& prefix)
{
    m_trail.append({m_thread->Get_MessageCurrentNum(), m_message->Get_Index(), m_side, m_sideNext});
    m_side = messages;
    m_sideNext = 1;
    m_speech.StopSpeech();
    m_queued = {};
    // Set_Index leaves the saved read position where the reading was.
    m_thread->Set_Index(messages.first());
    loadCurrentMessage();
    m_host.showMessageText(m_message->Get_OrgMessagesText());
    m_item = messages.first();
    m_messageIndex = m_item;
    m_pendingPrefix = prefix;
    m_readable = true;
    m_reading = true;
    Read_Message(false);
}

void VoiceMenu::Follow_Anchor()
{
    if (!canTrip()) {
        return;
    }
    // The anchor of the unit being heard, else the message's first.
    QList<int> targets = ThreadIndex::anchorTargets(m_currentUnitText);
    if (targets.isEmpty()) {
        targets = threadIndex().anchorsOf(m_thread->Get_MessageCurrentNum());
    }
    if (targets.isEmpty()) {
        m_title = u"アンカーはありません"_s;
        speakTitle();
        return;
    }
    QList<int> existing;
    for (int target : std::as_const(targets)) {
        if (target <= m_thread->Get_MessageLoadedNum()) {
            existing.append(target);
        }
    }
    const QList<int> shown = shownOnly(existing);
    if (shown.isEmpty()) {
        m_title = QString::number(existing.value(0, targets.first()))
                  + (existing.isEmpty() ? u"番のメッセージはありません"_s
                                        : u"番のメッセージはあぼーんされています"_s);
        speakTitle();
        return;
    }
    existing = shown;
    readSide(existing, u"アンカー、深さ%1、"_s.arg(m_trail.size() + 1));
}

void VoiceMenu::Read_Replies()
{
    if (!canTrip()) {
        return;
    }
    const QList<int> replies = shownOnly(threadIndex().repliesTo(m_thread->Get_MessageCurrentNum()));
    if (replies.isEmpty()) {
        m_title = u"返信はありません"_s;
        speakTitle();
        return;
    }
    readSide(replies, u"返信%1件、"_s.arg(replies.size()));
}

void VoiceMenu::Read_SameId()
{
    if (!canTrip()) {
        return;
    }
    const int current = m_thread->Get_MessageCurrentNum();
    const QList<int> same = threadIndex().sameId(current);
    if (same.isEmpty()) {
        m_title = u"IDがありません"_s;
        speakTitle();
        return;
    }
    QList<int> others = same;
    others.removeOne(current);
    others = shownOnly(others);
    if (others.isEmpty()) {
        m_title = same.size() > 1 ? u"このIDのほかの書き込みはあぼーんされています"_s
                                  : u"このIDの書き込みは、この1件だけです"_s;
        speakTitle();
        return;
    }
    readSide(others, u"このIDの書き込み%1件、"_s.arg(others.size() + 1));
}

void VoiceMenu::Return_Trail()
{
    if (m_menu != ReadingMenu || !m_thread || !m_message) {
        return;
    }
    if (!inSide()) {
        m_title = u"戻る位置はありません"_s;
        speakTitle();
        return;
    }
    const TrailStop stop = m_trail.takeLast();
    m_side = stop.side;
    m_sideNext = stop.sideNext;
    m_speech.StopSpeech();
    m_queued = {};
    m_thread->Set_Index(stop.message);
    loadCurrentMessage();
    // The unit that was being heard is heard again, from its start.
    m_message->Set_Index(qMax(0, stop.unit - 1));
    m_host.showMessageText(m_message->Get_OrgMessagesText());
    m_item = stop.message;
    m_messageIndex = m_item;
    m_pendingPrefix = inSide() ? u"戻りました、深さ%1、"_s.arg(m_trail.size()) : u"戻りました、"_s;
    m_readable = true;
    m_reading = true;
    Read_Message(false);
}

void VoiceMenu::Stop_Read()
{
    m_queued = {};
    m_readable = false;
    m_reading = false;
    m_helpReading = false;
    m_speech.StopSpeech();
}

QString VoiceMenu::Get_Message() const
{
    return m_thread ? m_thread->Get_OrgMessage(-1) : QString();
}

void VoiceMenu::Jump_NextParagraph(bool back)
{
    if (m_menu != ReadingMenu) {
        return;
    }
    const qint32 current = m_message->Get_Index();
    const qint32 target = m_message->Get_NextParagraph(back);
    if (target == 0) {
        m_title = back ? u"これより前に段落はありません"_s : u"これよりあとに段落はありません"_s;
        m_speech.SpeakText(m_title);
        return;
    }
    const QString distance = QString::number(qAbs(target - current));
    m_pendingPrefix = (target < current ? u"マイナス"_s : QString()) + distance + u"文スキップ、"_s;
    m_message->Set_Index(target - 1);
    m_speech.StopSpeech();
    if (!m_reading) {
        m_host.Update_List();
    }
}

void VoiceMenu::Jump_NextLink(bool back)
{
    if (m_menu != ReadingMenu) {
        return;
    }
    const qint32 link = m_message->Get_NextLink(back);
    if (link == 0) {
        m_title = back ? u"これより前にリンクはありません"_s : u"これよりあとにリンクはありません"_s;
        m_speech.SpeakText(m_title);
        return;
    }
    if (m_reading) {
        m_speech.StopSpeech();
        qint16 kind = 0;
        m_message->Get_Message(link - 1, kind, true);
    }
}

void VoiceMenu::Jump_NextLine(bool backword)
{
    if (m_menu != ReadingMenu) {
        return;
    }
    const qint32 current = m_message->Get_MessageCurrentNum();
    m_speech.StopSpeech();
    qint16 kind = 0;
    m_message->Get_Message(backword ? current - 2 : current, kind, true);
}

void VoiceMenu::Read_AllInfo()
{
    if (m_item < 1) {
        return;
    }
    switch (m_menu) {
    case ReadingMenu:
        m_title = m_thread->Get_AllReadMessage(-1);
        break;
    case VolumeMenu:
    case SpeedMenu:
    case PitchMenu:
    case EngineMenu:
    case FontSizeMenu:
    case SearchResultMenu:
        m_title = Get_Item(m_item);
        break;
    default:
        m_title = QString::number(m_item) + u',' + Get_Item(m_item);
        break;
    }
    m_speech.SpeakText(m_title);
}

qint32 VoiceMenu::Run_AllRead(qint32 read_no)
{
    if (m_bookmarks->Get_Num() == 0) {
        return 0;
    }
    if (read_no != 0) {
        m_allReadPosition = read_no;
    }
    if (!m_allRead) {
        m_allRead = true;
        m_allReadPosition = 0;
    }
    if (m_allReadPosition == m_bookmarks->Get_Num() || m_allReadPosition < 0) {
        m_allRead = false;
        m_allReadPosition = 0;
        m_readable = false;
        m_reading = false;
        Set_Menu(MainMenu);
        Set_Menu(BookmarkMenu);
        m_title = u"全ブックマークスレッドを読み上げ完了"_s;
        m_speech.SpeakText(m_title);
        return 0;
    }
    Set_Menu(MainMenu);
    Set_Menu(BookmarkMenu);
    ++m_allReadPosition;
    m_item = m_allReadPosition;
    m_title = m_bookmarks->Get_ItemText(m_allReadPosition);
    m_speech.SpeakText(m_title);
    return m_allReadPosition;
}

void VoiceMenu::Stop_AllRead()
{
    m_allRead = false;
    m_allReadPosition = 0;
}

void VoiceMenu::Reload(bool Silent)
{
    if (m_offline) {
        return;
    }
    // The menu stays as it is until the reload has put it back.
    BusyGuard busy(m_busy);
    if (m_menu == ReadingMenu) {
        if (!Silent) {
            m_speech.SpeakText(u"リロードします"_s);
        }
        clearTrail();
        const bool downloaded = m_thread->Download(true);
        Set_Menu(ReadingMenu);
        m_item = m_thread->Get_MessageMaxNum();
        m_host.Update_List();
        if (!downloaded) {
            m_title = threadDownloadFailure();
            m_speech.SpeakText(m_title);
        } else if (!Silent) {
            m_readable = true;
        }
    } else if (m_menu == ThreadMenu) {
        if (!Silent) {
            m_speech.SpeakText(u"リロードします"_s);
        }
        const bool loaded = loadThreadList();
        Set_Menu(ThreadMenu);
        m_item = 0;
        if (!loaded) {
            m_title = u"スレッドリストのダウンロードに失敗しました。"_s;
            m_speech.SpeakText(m_title);
        } else if (m_threads->Get_ThreadNum() == 0) {
            m_title = QString::fromUtf16(kBoardEmpty);
            m_speech.SpeakText(m_title);
        }
        m_host.Update_List();
    }
}

void VoiceMenu::Reloaded()
{
    if (m_menu != ReadingMenu) {
        return;
    }
    m_items = QStringList{QString()};
    for (int n = 1; n <= m_thread->Get_MessageMaxNum(); ++n) {
        m_items.append(m_thread->Get_FindMessage(n, true));
    }
    m_item = Get_ItemNum();
}

void VoiceMenu::Update_Progress()
{
    m_host.setProgress(m_http ? double(m_http->Get_Progress()) : 0.0);
}
