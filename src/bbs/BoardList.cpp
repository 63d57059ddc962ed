#include "BoardList.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

#include "base/CSettings.h"
#include "base/SafeName.h"
#include "base/TextFile.h"
#include "base/VbRegExp.h"
#include "bbs/CHttp.h"
#include "bbs/HtmlText.h"
#include "bbs/ServiceDomain.h"

using namespace Qt::StringLiterals;

namespace {

const QString kNotConnected = u"インターネットに接続されていません。"_s;
const QString kDownloadFailed = u"板リストのダウンロードに失敗しました。"_s;
const QString kInvalidUrl = u"板リストのURLが不正のため終了します、ソフト作者にご連絡ください。"_s;
const QString kParseFailed = u"板リストの読み込みに失敗しました、プログラムのバージョンアップが必要です。"_s;

// Removes every "<!-- ... -->"; an opener without a closer leaves the rest.
QString removeComments(const QString& html)
{
    QString out;
    out.reserve(html.size());
    qsizetype pos = 0;
    while (true) {
        const qsizetype open = html.indexOf(u"<!--"_s, pos);
        if (open < 0) {
            break;
        }
        const qsizetype close = html.indexOf(u"-->"_s, open + 4);
        if (close < 0) {
            break;
        }
        out += QStringView(html).mid(pos, open - pos);
        pos = close + 3;
    }
    out += QStringView(html).mid(pos);
    return out;
}

QStringList splitList(const QString& value)
{
    return value.isEmpty() ? QStringList() : value.split(u',');
}

}  // namespace

BoardList::BoardList(CSettings& settings, const QString& dataRoot)
    : m_settings(settings)
    , m_dataRoot(dataRoot)
{}

QString BoardList::filePath() const
{
    return QDir(m_dataRoot).filePath(u"board.list"_s);
}

bool BoardList::isBoardMenuPage(const QString& html)
{
    // The menus of both services carry this title; they differ only in the
    // service's name.
    static const VbRegExp title(u"<TITLE>BBS MENU for [25]ch</TITLE>"_s, false, true);
    return title.Test(html);
}

qint16 BoardList::InitInstance(CHttp& http, QString& errorMessage, bool& offline)
{
    const QString categoryKey = QString::fromUtf16(CSettings::kExceptCategory);
    const QString boardKey = QString::fromUtf16(CSettings::kExceptBoard);
    const QString urlKey = QString::fromUtf16(CSettings::kBoardListUrl);
    if (m_settings.Get_Named(categoryKey).isEmpty()) {
        m_settings.Set_Named(categoryKey, QString::fromUtf16(kDefaultExceptCategory));
    }
    if (m_settings.Get_Named(boardKey).isEmpty()) {
        m_settings.Set_Named(boardKey, QString::fromUtf16(kDefaultExceptBoard));
    }
    QUrl url(m_settings.Get_Named(urlKey));
    if (url.isEmpty()) {
        m_settings.Set_Named(urlKey, QString::fromUtf16(kDefaultBoardListUrl));
    } else if (const QString host = url.host().toLower();
               host == u"menu.5ch.net"_s || host == u"menu.2ch.net"_s) {
        // The menu's former host (the service has moved) would only send the
        // program on to where it is today.
        url.setHost(ServiceDomain::currentHost(host));
        m_settings.Set_Named(urlKey, url.toString());
    }

    if (offline) {
        if (loadFile()) {
            return 0;
        }
        errorMessage = kNotConnected;
        return -1;
    }

    bool triedFallback = false;
    QString html;
    while (true) {
        html = http.Get2(m_settings.Get_Named(urlKey));
        if (html.isEmpty() || !http.lastComplete() || http.lastStatus() >= 400) {
            // Nothing, a menu cut off on the way, or an error answer: the
            // stored list stays as it is, and the failure is said either way.
            offline = true;
            errorMessage = kDownloadFailed;
            return loadFile() ? 0 : -1;
        }
        if (isBoardMenuPage(html)) {
            break;
        }
        if (triedFallback || m_fallbackUrl.isEmpty()) {
            errorMessage = kInvalidUrl;
            return -1;
        }
        triedFallback = true;
        // The published address comes from the network: only a web address
        // is taken, never a local file or another scheme.
        static const VbRegExp webAddress(u"^https?://[^/\\s]+(/|$)"_s, false, true);
        const QString current = http.Get2(m_fallbackUrl).trimmed();
        if (current.isEmpty() || current.contains(u'\n') || !webAddress.Test(current)) {
            errorMessage = kInvalidUrl;
            return -1;
        }
        m_settings.Set_Named(urlKey, current);
    }

    if (!parseMenu(removeComments(html))) {
        errorMessage = kParseFailed;
        return -1;
    }
    m_saved = saveFile();
    if (!m_saved) {
        // The list is new all the same; only the next start will not have it.
        errorMessage = u"板の一覧を保存できませんでした。"_s;
    }
    return 1;
}

bool BoardList::parseMenu(const QString& html)
{
    // A category is a bold name; its boards are the links that follow it up to
    // the next bold name. Text, line breaks of any spelling and stray remarks
    // may stand between them, and a link may carry other attributes.
    static const VbRegExp categoryPattern(u"<b>([^<]+)</b>"_s, true, true);
    static const VbRegExp linkPattern(u"<a\\s[^>]*?href=[\"']?([^\"' >]+)[^>]*>([^<]+)</a>"_s, true, true);
    static const VbRegExp boardUrl(u"^https?://[^/\\s,]+/"_s, false, true);

    const QStringList exceptCategories =
        splitList(m_settings.Get_Named(QString::fromUtf16(CSettings::kExceptCategory)));
    const QStringList exceptBoards =
        splitList(m_settings.Get_Named(QString::fromUtf16(CSettings::kExceptBoard)));

    QStringList categories;
    QList<int> counts;
    QList<Board> boards;
    const QList<VbMatch> headers = categoryPattern.Execute(html);
    for (qsizetype h = 0; h < headers.size(); ++h) {
        const VbMatch& header = headers.at(h);
        const QString name = HtmlText::oneLine(HtmlText::decodeEntities(header.SubMatches.value(0)));
        if (name.isEmpty() || exceptCategories.contains(name, Qt::CaseInsensitive)) {
            continue;
        }
        const qsizetype from = header.FirstIndex + header.Length;
        const qsizetype to = h + 1 < headers.size() ? headers.at(h + 1).FirstIndex : html.size();
        const QString section = html.mid(from, to - from);
        int count = 0;
        for (const VbMatch& link : linkPattern.Execute(section)) {
            const QString url = link.SubMatches.value(0);
            const QString boardName = HtmlText::oneLine(HtmlText::decodeEntities(link.SubMatches.value(1)));
            // Only web addresses are boards (no mail links), and a comma or a
            // line break would break the line of the list file (an address
            // holds neither blanks nor control characters).
            const bool unfit = std::any_of(url.cbegin(), url.cend(), [](QChar c) {
                return c == u',' || c.isSpace() || c.category() == QChar::Other_Control;
            });
            if (boardName.isEmpty() || !boardUrl.Test(url) || unfit || exceptBoards.contains(boardName)) {
                continue;
            }
            boards.append(Board{url, boardName, int(categories.size()) + 1});
            ++count;
        }
        if (count > 0) {
            categories.append(name);
            counts.append(count);
        }
    }
    if (categories.isEmpty()) {
        return false;
    }
    m_categories = categories;
    m_boardCounts = counts;
    m_boards = boards;
    indexCategories();
    return true;
}

bool BoardList::loadFile()
{
    const std::optional<QStringList> lines = TextFile::readLines(filePath());
    if (!lines) {
        return false;
    }
    qsizetype pos = 0;
    bool ok = false;
    const int categoryCount = lines->value(pos++).trimmed().toInt(&ok);
    if (!ok || categoryCount < 0 || categoryCount > lines->size()) {
        return false;
    }
    QStringList categories;
    for (int i = 0; i < categoryCount; ++i) {
        categories.append(lines->value(pos++));
    }
    const int boardCount = lines->value(pos++).trimmed().toInt(&ok);
    if (!ok || boardCount < 0) {
        return false;
    }
    QList<int> counts(categoryCount, 0);
    QList<Board> boards;
    for (int i = 0; i < boardCount && pos < lines->size(); ++i) {
        const QString& line = lines->at(pos++);
        const qsizetype c1 = line.indexOf(u',');
        const qsizetype c2 = c1 < 0 ? -1 : line.indexOf(u',', c1 + 1);
        if (c2 < 0) {
            continue;
        }
        const int category = line.left(c1).trimmed().toInt(&ok);
        if (!ok || category < 1 || category > categoryCount) {
            continue;
        }
        boards.append(Board{line.mid(c1 + 1, c2 - c1 - 1), line.mid(c2 + 1), category});
        ++counts[category - 1];
    }
    // Boards stay grouped by category, whatever order the file had.
    std::stable_sort(boards.begin(), boards.end(),
                     [](const Board& a, const Board& b) { return a.category < b.category; });
    m_categories = categories;
    m_boardCounts = counts;
    m_boards = boards;
    indexCategories();
    return true;
}

void BoardList::indexCategories()
{
    m_firstBoard.clear();
    int first = 0;
    for (const int count : std::as_const(m_boardCounts)) {
        m_firstBoard.append(first);
        first += count;
    }
}

bool BoardList::saveFile() const
{
    QStringList lines;
    lines.append(QString::number(m_categories.size()));
    lines += m_categories;
    lines.append(QString::number(m_boards.size()));
    for (const Board& board : m_boards) {
        lines.append(QString::number(board.category) + u',' + board.url + u',' + board.name);
    }
    QDir().mkpath(m_dataRoot);
    return TextFile::writeLines(filePath(), lines);
}

QString BoardList::Get_Category(int index) const
{
    return index >= 1 && index <= m_categories.size() ? m_categories.at(index - 1) : QString();
}

QStringList BoardList::Get_Categories() const
{
    return QStringList{QString()} + m_categories;
}

int BoardList::Get_BoardNum(int category) const
{
    return category >= 1 && category <= m_boardCounts.size() ? m_boardCounts.at(category - 1) : 0;
}

int BoardList::overallIndex(int category, int position) const
{
    if (position < 1 || position > Get_BoardNum(category)) {
        return 0;
    }
    return m_firstBoard.at(category - 1) + position;
}

QString BoardList::Get_BoardName(int category, int position) const
{
    const int overall = overallIndex(category, position);
    return overall > 0 ? m_boards.at(overall - 1).name : QString();
}

QString BoardList::Get_BoardUrl(int category, int position) const
{
    const int overall = overallIndex(category, position);
    return overall > 0 ? m_boards.at(overall - 1).url : QString();
}

QStringList BoardList::Get_BoardNames(int category) const
{
    QStringList names{QString()};
    for (int p = 1; p <= Get_BoardNum(category); ++p) {
        names.append(Get_BoardName(category, p));
    }
    return names;
}

int BoardList::Get_CategoryIdx(int overall) const
{
    return overall >= 1 && overall <= m_boards.size() ? m_boards.at(overall - 1).category : 0;
}

int BoardList::Get_BoardIdx(int overall) const
{
    const int category = Get_CategoryIdx(overall);
    return category > 0 ? overall - m_firstBoard.at(category - 1) : 0;
}

QString BoardList::Get_CategoryBoard(int overall) const
{
    const int category = Get_CategoryIdx(overall);
    if (category == 0) {
        return {};
    }
    return Get_Category(category) + u'：' + m_boards.at(overall - 1).name;
}

bool BoardList::Delete_BoardData(int category, int position)
{
    const QString name = Get_BoardName(category, position);
    if (name.isEmpty()) {
        return false;
    }
    QDir folder(SafeName::boardFolder(m_dataRoot, Get_Category(category), name));
    bool found = false;
    for (const QString& file : folder.entryList({u"*.log"_s}, QDir::Files)) {
        found = true;
        folder.remove(file);
        // The state of the thread's last download goes with its log.
        folder.remove(file.chopped(4) + u".datinfo"_s);
    }
    return found;
}

int BoardList::findBoardByUrl(const QString& url) const
{
    for (qsizetype i = 0; i < m_boards.size(); ++i) {
        if (ServiceDomain::sameAddress(m_boards.at(i).url, url)) {
            return int(i) + 1;
        }
    }
    return 0;
}
