#include "ThreadData.h"

#include <QLoggingCategory>
#include <QSet>

#include "base/CSettings.h"
#include "base/SafeName.h"
#include "base/VbRegExp.h"
#include "bbs/BoardList.h"
#include "bbs/ServiceDomain.h"
#include "bbs/ThreadParser.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcThread, "yomimaru.thread", QtWarningMsg)

namespace {

const QString kBreak = u"<br>"_s;

// The board directory of a thread URL: "/test/read.cgi/<dir>/<key>" or "BBS=<dir>".
QString boardDirectory(const QString& threadUrl)
{
    static const VbRegExp bbs(u"[?&]BBS=([^&]+)"_s, false, true);
    const QList<VbMatch> m = bbs.Execute(threadUrl);
    if (!m.isEmpty()) {
        return m.first().SubMatches.value(0);
    }
    const QStringList parts = threadUrl.split(u'/');
    return parts.size() > 5 ? parts.at(5) : QString();
}

QString urlHost(const QString& url)
{
    const QStringList parts = url.split(u'/');
    return parts.size() > 2 ? parts.at(2) : QString();
}

}  // namespace

ThreadData::ThreadData(const QString& dataRoot, const CSettings& settings)
    : m_dataRoot(dataRoot)
    , m_settings(settings)
{}

bool ThreadData::InitInstance(const BoardList* boards,
                              CHttp* http,
                              const QString& title,
                              const QString& threadUrl,
                              const QString& category,
                              const QString& board,
                              int knownMaximum,
                              bool offline)
{
    // The thread left keeps the position reached in it.
    Flush_Index();
    m_boards = boards;
    m_download.setHttp(http);
    m_title = title;
    m_threadUrl = threadUrl;
    m_folder = SafeName::boardFolder(m_dataRoot, category, board);
    m_maximum = knownMaximum;
    m_offline = offline;

    QSet<QString> visited;
    for (int hop = 0;; ++hop) {
        visited.insert(m_threadUrl);
        if (!loadThread()) {
            return false;
        }
        if (knownMaximum < 0) {
            m_maximum = int(m_messages.size());
            return true;
        }
        if (!m_offline && !Download(true)) {
            // Nothing new is known: what the log holds is all there is to read.
            m_maximum = int(m_messages.size());
            if (m_messages.isEmpty()) {
                // No log to fall back on; the empty one made above goes again.
                m_log.removeCreated();
                return false;
            }
            return true;
        }
        if (hop >= kMaxHeadlineHops || !CheckHeadlineBoard()) {
            return true;
        }
        const QString before = m_threadUrl;
        if (!FollowHeadlineLink()) {
            return true;
        }
        if (visited.contains(m_threadUrl)) {
            // A headline pointing back to a thread already seen: stay here.
            m_threadUrl = before;
            return true;
        }
    }
}

bool ThreadData::loadThread()
{
    m_html = m_threadUrl.toLower().contains(u".machi."_s);
    if (m_html) {
        const qsizetype at = m_threadUrl.toLower().indexOf(u"&key="_s);
        m_key = at < 0 ? QString() : m_threadUrl.mid(at + 5);
    } else {
        m_key = m_threadUrl.section(u'/', -1);
    }
    m_messages.clear();
    m_position = 0;
    m_download.reset();
    m_log.open(m_folder, m_key);
    if (m_log.path().isEmpty()) {
        // The key would name the log file; one that could reach elsewhere is refused.
        qCWarning(lcThread) << "unsafe thread key refused:" << m_key;
        return false;
    }
    if (!m_log.load(m_messages) && m_offline) {
        return false;
    }
    m_position = m_log.loadPosition();
    return true;
}

bool ThreadData::Save_Index()
{
    return m_log.savePosition(m_position);
}

bool ThreadData::Flush_Index()
{
    return m_log.flushPosition();
}

bool ThreadData::Flush_IndexIfDue()
{
    return m_log.flushPositionIfDue();
}

bool ThreadData::Download(bool force)
{
    if (force || m_messages.size() < m_maximum) {
        if (m_html) {
            if (m_download.fetchHtml(m_threadUrl)) {
                m_maximum = int(m_messages.size());
            }
        } else if (m_download.fetchDat(m_threadUrl, m_key)) {
            m_maximum = qMax(m_maximum, int(m_messages.size()));
        }
        return m_download.last() == DownloadResult::Done;
    }
    return true;
}

std::optional<QList<ThreadData::Message>> ThreadData::parseDat(const QString& text)
{
    return ThreadParser::parseDat(text);
}

std::optional<QList<ThreadData::Message>> ThreadData::parseHtml(const QString& page)
{
    return ThreadParser::parseHtml(page);
}

bool ThreadData::CheckHeadlineBoard() const
{
    static const VbRegExp headline(u"headline$"_s, false, true);
    if (!m_boards) {
        return false;
    }
    const QString host = urlHost(m_threadUrl);
    const QString directory = boardDirectory(m_threadUrl);
    if (host.isEmpty() || directory.isEmpty()) {
        return false;
    }
    // The menu may name the board by https, or on the service's newer domain;
    // the board is the same.
    const QString url = u"http://"_s + host + u'/' + directory + u'/';
    for (int i = 1; i <= m_boards->Get_AllBoardNum(); ++i) {
        const int category = m_boards->Get_CategoryIdx(i);
        const int position = m_boards->Get_BoardIdx(i);
        if (ServiceDomain::sameAddress(m_boards->Get_BoardUrl(category, position), url)
            && headline.Test(m_boards->Get_BoardName(category, position))) {
            return true;
        }
    }
    return false;
}

bool ThreadData::FollowHeadlineLink()
{
    static const VbRegExp url(u"(https?:\\/\\/[-_.!~*'a-zA-Z0-9;/?:@&=+$,%#]+)"_s, false, false);
    if (m_messages.size() <= 1) {
        return false;
    }
    const QString body = Get_OrgBody(2).remove(u"\r\n"_s);
    const QList<VbMatch> m = url.Execute(body);
    if (m.isEmpty()) {
        return false;
    }
    QString target = m.first().SubMatches.value(0);
    if (target.endsWith(u'/')) {
        target.chop(1);
    }
    m_threadUrl = target;
    return true;
}

// ---- reading side ----

int ThreadData::resolve(int n) const
{
    return n == -1 ? m_position : n;
}

const ThreadData::Message* ThreadData::message(int n) const
{
    return n >= 1 && n <= m_messages.size() ? &m_messages.at(n - 1) : nullptr;
}

bool ThreadData::Have_Message() const
{
    return !m_messages.isEmpty() && m_position < m_messages.size();
}

void ThreadData::Set_Index(int n)
{
    if (n >= 1 && n <= m_messages.size()) {
        m_position = n;
    }
}

bool ThreadData::Move_Index(int delta)
{
    const int loaded = int(m_messages.size());
    m_position = qMin(qMax(m_position + delta, 1), qMax(loaded, 1));
    if (loaded == 0) {
        m_position = 0;
    }
    m_log.recordPosition(m_position);
    return true;
}

void ThreadData::Rewind_Index()
{
    if (m_position > 0) {
        --m_position;
    }
    m_log.recordPosition(m_position);
}

QString ThreadData::Get_Message(int delta)
{
    if (Move_Index(delta) && message(m_position)) {
        return Get_ReadHeader(-1, false, false, false) + Get_OrgBody(-1);
    }
    return u"これ以上のメッセージはありません"_s;
}

QString ThreadData::Get_OrgHeader(int n) const
{
    const Message* m = message(resolve(n));
    if (!m) {
        return {};
    }
    QString header = QString::number(resolve(n)) + u" 名前:"_s + m->name + u" ："_s + m->date;
    if (!m->id.isEmpty()) {
        header += u" ID:"_s + m->id;
        if (!m->host.isEmpty()) {
            header += u" [ "_s + m->host + u" ]"_s;
        }
    }
    return header;
}

QString ThreadData::Get_OrgBody(int n) const
{
    const Message* m = message(resolve(n));
    return m ? QString(m->body).replace(kBreak, u"\r\n    "_s) : QString();
}

QString ThreadData::Get_OrgMessage(int n) const
{
    return Get_OrgHeader(n) + u"\r\n    "_s + Get_OrgBody(n);
}

QString ThreadData::Get_ReadHeader(int n, bool find, bool noNumber, bool allItems) const
{
    const int number = resolve(n);
    const Message* m = message(number);
    if (!m) {
        return {};
    }
    const auto reads = [&](qint16 setting) { return allItems || m_settings.Get_(setting) == u"0"_s; };
    QString text;
    if (allItems || (!noNumber && m_settings.Get_(CSettings::ReadMessageNumber) == u"0"_s)) {
        text += QString::number(number) + u' ';
    }
    if (reads(CSettings::ReadName)) {
        text += (find ? QString() : u"名前："_s) + m->name + u' ';
    }
    if (!m->mail.isEmpty() && reads(CSettings::ReadMail)) {
        text += (find ? QString() : u"メール欄："_s) + m->mail + u' ';
    }
    if (reads(CSettings::ReadDate)) {
        text += m->date + u' ';
    }
    if (!m->id.isEmpty() && reads(CSettings::ReadId)) {
        text += (find ? QString() : u"ID："_s) + m->id + u' ';
    }
    if (!m->host.isEmpty() && reads(CSettings::ReadRemoteHost)) {
        text += (find ? QString() : u"リモートホスト："_s) + m->host + u' ';
    }
    return text;
}

QString ThreadData::Get_FindMessage(int n, bool noNumber) const
{
    const Message* m = message(resolve(n));
    if (!m) {
        return {};
    }
    return Get_ReadHeader(n, true, noNumber, false) + QString(m->body).replace(kBreak, u" "_s);
}

QString ThreadData::Get_AllReadMessage(int n) const
{
    const Message* m = message(resolve(n));
    if (!m) {
        return {};
    }
    return Get_ReadHeader(n, false, false, true) + QString(m->body).replace(kBreak, u" "_s);
}

int ThreadData::Get_LineNum() const
{
    const Message* m = message(m_position);
    return m ? int(m->body.count(kBreak)) + 2 : 0;
}
