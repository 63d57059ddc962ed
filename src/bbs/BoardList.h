#pragma once

// The service's two-level menu: categories, and in each its boards with their
// URLs. Filled once at start-up from the board menu page, or from the local
// copy "board.list" when there is no connection. The voice menu owns it.
// Categories and boards count from 1; a board is named by its overall index
// or by (category, position within the category).

#include <QList>
#include <QString>
#include <QStringList>

class CHttp;
class CSettings;

class BoardList
{
public:
    // The board menu fetched when the settings name none.
    static constexpr const char16_t* kDefaultBoardListUrl = u"https://menu.5ch.io/bbsmenu.html";
    static constexpr const char16_t* kDefaultExceptCategory =
        u"おすすめ,特別企画,チャット,ツール類,他のサイト,お絵かき";
    static constexpr const char16_t* kDefaultExceptBoard =
        u"ガイドライン,2chメルマガ,夜勤の巣,●売り場,TOPページ";

    BoardList(CSettings& settings, const QString& dataRoot);

    // 1: downloaded and parsed ("board.list" rewritten, or errorMessage says
    // it could not be); 0: loaded from "board.list"; -1: failed, with
    // errorMessage set. offline becomes true when the download gave nothing
    // or broke off; errorMessage then says so even when the stored list was
    // loaded.
    qint16 InitInstance(CHttp& http, QString& errorMessage, bool& offline);

    // False when the list last downloaded could not be kept in "board.list".
    bool saved() const { return m_saved; }

    // Where the current board-menu address is published, fetched once when the
    // configured page is no board menu; empty: there is none, and such a page
    // is reported as an invalid address at once.
    void setFallbackUrl(const QString& url) { m_fallbackUrl = url; }

    int Get_CategoryNum() const { return int(m_categories.size()); }

    QString Get_Category(int index) const;
    // Element 0 is an empty sentinel; the names count from 1.
    QStringList Get_Categories() const;
    int Get_BoardNum(int category) const;
    QString Get_BoardName(int category, int position) const;
    QString Get_BoardUrl(int category, int position) const;
    // Element 0 is an empty sentinel; the names count from 1.
    QStringList Get_BoardNames(int category) const;

    int Get_AllBoardNum() const { return int(m_boards.size()); }

    int Get_CategoryIdx(int overall) const;
    int Get_BoardIdx(int overall) const;
    QString Get_CategoryBoard(int overall) const;
    // Deletes the "*.log" files of the board's log folder; true when any was found.
    bool Delete_BoardData(int category, int position);

    // The overall index of the board at that URL (on the service's old
    // domains too, by http or https), 0 when none.
    int findBoardByUrl(const QString& url) const;
    // The overall index of the board (category position, board position).
    int overallIndex(int category, int position) const;

    // Replaces the lists with what the menu page names. False when the page
    // yields no category at all.
    bool parseMenu(const QString& html);
    bool loadFile();
    bool saveFile() const;
    QString filePath() const;

    static bool isBoardMenuPage(const QString& html);

private:
    // Records where each category's boards start in the overall order.
    void indexCategories();

    struct Board
    {
        QString url;
        QString name;
        int category = 0;
    };

    CSettings& m_settings;
    QString m_dataRoot;
    QString m_fallbackUrl;
    bool m_saved = true;
    QStringList m_categories;  // 0-based storage; the interface counts from 1
    QList<int> m_boardCounts;
    QList<Board> m_boards;
    QList<int> m_firstBoard;  // overall index (0-based) of each category's first board
};
