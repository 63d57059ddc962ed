// Searching: the find command, the result list of the search results menu
// and what Enter does on a result.

#include <functional>

#include "VoiceMenu.h"
#include "bbs/BoardList.h"
#include "bbs/ThreadData.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/SearchPattern.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

void VoiceMenu::find()
{
    if (!m_enabled || m_menu == SearchResultMenu || Get_ItemNum() < 1) {
        return;
    }
    m_readable = false;
    m_reading = false;
    const QString answer = m_host.runFindDialog();
    if (answer == QString::fromUtf16(VoiceMenuHost::kFindCancelled)) {
        m_speech.SpeakText(u"キャンセル"_s);
        return;
    }
    m_searchOrigin = m_menu;
    if (!answer.isEmpty()) {
        m_searchKey = answer;
    }
    m_searchSpoken = false;
    Set_Menu(SearchResultMenu);
    // A single hit has been spoken already by landing on it.
    if (!m_searchSpoken) {
        speakTitle();
    }
    m_host.Update_List();
}

QString VoiceMenu::searchPatternFor(const QString& key, bool& expanded) const
{
    expanded = false;
    if (SearchPattern::isSingleByte(key) && !SearchPattern::hasMetacharacter(key)) {
        const QString answer = SearchPattern::fromMigemo(m_host.migemoQuery(key));
        if (!answer.isEmpty()) {
            expanded = true;
            return answer;
        }
    }
    return SearchPattern::literal(key);
}

void VoiceMenu::buildSearchResults()
{
    // The origin's items are still the item list when the results menu is pushed.
    const QStringList originItems = m_items;
    m_items = QStringList{QString()};
    m_searchHits = QList<qint32>{0};

    int count = 0;
    std::function<QString(int)> textAt;
    switch (m_searchOrigin) {
    case ReadingMenu:
        count = m_thread->Get_MessageLoadedNum();
        textAt = [this](int n) { return m_thread->Get_FindMessage(n, false); };
        break;
    case CategoryMenu:
        count = m_boards->Get_AllBoardNum();
        textAt = [this](int n) { return m_boards->Get_CategoryBoard(n); };
        break;
    default:
        count = qint32(originItems.size()) - 1;
        textAt = [&originItems](int n) { return originItems.at(n); };
        break;
    }

    bool expanded = false;
    m_searchPattern = VbRegExp(searchPatternFor(m_searchKey, expanded), false, false);
    if (expanded && !m_searchPattern.isValid()) {
        // The engine refuses the dictionary's pattern: the key is searched for as written.
        m_searchPattern = VbRegExp(SearchPattern::literal(m_searchKey), false, false);
        expanded = false;
    }
    QStringList texts{QString()};
    for (int n = 1; n <= count; ++n) {
        const QString text = textAt(n);
        if (!m_searchPattern.Test(text)) {
            if (expanded && m_searchPattern.abandoned()) {
                // A pattern that runs away on a text gives way to the literal search.
                m_searchPattern = VbRegExp(SearchPattern::literal(m_searchKey), false, false);
                expanded = false;
                texts = QStringList{QString()};
                m_searchHits = QList<qint32>{0};
                n = 0;
            }
            continue;
        }
        texts.append(text);
        m_searchHits.append(n);
    }

    const qsizetype hits = m_searchHits.size() - 1;
    if (hits == 1) {
        qint32 hit = m_searchHits.at(1);
        m_searchHits = QList<qint32>{0};
        Set_Menu(-1);
        if (m_searchOrigin == CategoryMenu) {
            const auto [category, position] = boardOfOverallIndex(hit);
            m_item = category;
            m_categoryIndex = category;
            Set_Menu(BoardMenu);
            hit = position;
        }
        Select_(hit, true);
        m_searchSpoken = true;
    } else if (hits > 1) {
        m_items = texts;
        m_title = QString::number(hits) + u"件です"_s;
    } else {
        Set_Menu(-1);
        m_title = u"見つかりません"_s;
    }
}

void VoiceMenu::openSearchResult(bool& keepRunning)
{
    const qint32 hit = m_searchHits.value(m_item);
    if (hit < 1) {
        return;
    }
    Set_Menu(-1);
    switch (m_searchOrigin) {
    case ReadingMenu:
        m_thread->Set_Index(hit);
        m_item = m_thread->Get_MessageCurrentNum();
        m_messageIndex = m_item;
        break;
    case CategoryMenu: {
        const auto [category, position] = boardOfOverallIndex(hit);
        m_categoryIndex = category;
        m_item = category;
        Set_Menu(BoardMenu);
        m_boardIndex = position;
        m_item = position;
        break;
    }
    default:
        m_item = hit;
        break;
    }
    entryAction(keepRunning);
}
