#include "ThreadData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>

#include "base/CSettings.h"
#include "base/SafeName.h"
#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "base/VbRegExp.h"
#include "bbs/BoardList.h"
#include "bbs/CHttp.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcThread, "yomimaru.thread", QtWarningMsg)

namespace {

const QString kCommaInLog = u"\\t1;"_s;
const QString kBreak = u"<br>"_s;

// Message numbers are 16-bit.
constexpr int kMaxMessages = 32767;

// Appends a field as the log holds it: each comma as kCommaInLog, and no
// line break, which would split the line.
void appendEscaped(QString& out, const QString& value)
{
    const QStringView v(value);
    const qsizetype n = v.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = v[i].unicode();
        if (c == u',' || c == u'\r' || c == u'\n') {
            out += v.mid(from, i - from);
            if (c == u',') {
                out += kCommaInLog;
            }
            from = i + 1;
        }
    }
    out += v.mid(from);
}

bool sameFields(const ThreadData::Message& a, const ThreadData::Message& b)
{
    return a.name == b.name && a.mail == b.mail && a.date == b.date && a.body == b.body && a.id == b.id
           && a.host == b.host;
}

QString unescapeField(const QString& value)
{
    return QString(value).replace(kCommaInLog, u","_s);
}

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

QString ThreadData::indexPath() const
{
    return m_folder + u"/thread.idx"_s;
}

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
    m_http = http;
    m_title = title;
    m_threadUrl = threadUrl;
    m_category = category;
    m_board = board;
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
                if (m_logCreated) {
                    QFile::remove(m_logPath);
                }
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
    m_logCreated = false;
    m_logLines = -1;
    m_lastDownload = DownloadResult::None;
    m_fromArchive = false;
    m_bytesTransferred = 0;
    if (!SafeName::isSafeKey(m_key)) {
        // The key would name the log file; one that could reach elsewhere is refused.
        qCWarning(lcThread) << "unsafe thread key refused:" << m_key;
        m_logPath.clear();
        return false;
    }
    m_logPath = m_folder + u'/' + m_key + u".log"_s;
    if (!LoadLog() && m_offline) {
        return false;
    }
    LoadReadPosition();
    return true;
}

bool ThreadData::LoadLog()
{
    QDir().mkpath(m_folder);
    if (!QFileInfo::exists(m_logPath)) {
        m_logCreated = TextFile::writeLines(m_logPath, {});
        m_logLines = m_logCreated ? 0 : -1;
        return m_logCreated;
    }
    const std::optional<QString> text = TextFile::readText(m_logPath);
    if (!text) {
        return false;
    }
    QStringList lines = TextFile::splitLines(*text);
    // The log is only ever written in whole lines, each with its line end: a
    // last line without one is what an append cut short by a crash leaves.
    // It is no message; the next save writes the log whole, without it.
    const bool torn = !text->isEmpty() && !text->endsWith(u'\n');
    if (torn) {
        qCWarning(lcThread) << "last line of the log cut short, left out:" << m_logPath;
        lines.removeLast();
    }
    m_messages.reserve(qMin<qsizetype>(lines.size(), kMaxMessages));
    for (const QString& line : std::as_const(lines)) {
        if (m_messages.size() >= kMaxMessages) {
            break;
        }
        m_messages.append(fromLogLine(line));
    }
    m_logLines = !torn && m_messages.size() == lines.size() ? m_messages.size() : -1;
    return true;
}

ThreadData::Message ThreadData::fromLogLine(const QString& line)
{
    const QStringList f = line.split(u',');
    Message m;
    m.name = unescapeField(f.value(0));
    m.mail = unescapeField(f.value(1));
    m.date = unescapeField(f.value(2));
    m.body = unescapeField(f.value(3));
    m.id = unescapeField(f.value(4));
    m.host = unescapeField(f.value(5));
    return m;
}

namespace {

void appendLogLine(QString& line, const ThreadData::Message& m)
{
    // The date's commas are escaped like the other fields': a date holding a
    // comma would otherwise shift the ID and host of the line.
    appendEscaped(line, m.name);
    line += u',';
    appendEscaped(line, m.mail);
    line += u',';
    appendEscaped(line, m.date);
    line += u',';
    appendEscaped(line, m.body);
    line += u',';
    appendEscaped(line, m.id);
    line += u',';
    appendEscaped(line, m.host);
}

qsizetype fieldsSize(const ThreadData::Message& m)
{
    return m.name.size() + m.mail.size() + m.date.size() + m.body.size() + m.id.size() + m.host.size();
}

}  // namespace

QString ThreadData::logLine(const Message& m)
{
    QString line;
    line.reserve(fieldsSize(m) + 16);
    appendLogLine(line, m);
    return line;
}

QByteArray ThreadData::logBytes(const QList<Message>& messages, qsizetype from)
{
    // Room for two bytes a character up front; one line buffer serves all.
    qsizetype room = 0;
    for (qsizetype i = from; i < messages.size(); ++i) {
        room += fieldsSize(messages.at(i)) * 2 + 16;
    }
    QByteArray bytes;
    bytes.reserve(room);
    QString line;
    for (qsizetype i = from; i < messages.size(); ++i) {
        line.resize(0);
        appendLogLine(line, messages.at(i));
        TextCodec::appendFileBytes(bytes, line);
        bytes += "\r\n";
    }
    return bytes;
}

// A download that only added messages to those the log holds appends them
// (one flushed write, cut back when it fails); any other change rewrites the
// log whole, atomically.
bool ThreadData::SaveLog(const QList<Message>& before) const
{
    if (m_logPath.isEmpty()) {
        return false;
    }
    qsizetype kept = 0;
    if (!before.isEmpty() && m_logLines == before.size() && m_messages.size() >= before.size()) {
        kept = before.size();
        for (qsizetype i = 0; i < kept; ++i) {
            // Equal fields make equal lines; only messages that differ are
            // compared as the lines they make.
            if (!sameFields(before.at(i), m_messages.at(i))
                && logLine(before.at(i)) != logLine(m_messages.at(i))) {
                kept = 0;
                break;
            }
        }
    }
    const QByteArray bytes = logBytes(m_messages, kept);
    QDir().mkpath(m_folder);
    const bool written =
        kept > 0 ? TextFile::appendBytes(m_logPath, bytes) : TextFile::writeBytes(m_logPath, bytes);
    m_logLines = written ? m_messages.size() : -1;
    if (!written && !m_logFailing && m_onWriteFailure) {
        m_onWriteFailure(u"スレッドデータを保存できませんでした。"_s);
    }
    m_logFailing = !written;
    return written;
}

void ThreadData::LoadReadPosition()
{
    m_positions.load(indexPath());
    m_position = m_positions.position(m_key);
}

bool ThreadData::Save_Index()
{
    if (m_key.isEmpty()) {
        return true;
    }
    m_positions.setPosition(m_key, m_position);
    const int writes = m_positions.writeCount();
    return noteIndexWrite(writes, m_positions.write());
}

bool ThreadData::Flush_Index()
{
    const int writes = m_positions.writeCount();
    return noteIndexWrite(writes, m_positions.saveNow());
}

bool ThreadData::Flush_IndexIfDue()
{
    const int writes = m_positions.writeCount();
    return noteIndexWrite(writes, m_positions.saveIfDue());
}

// Tells a failed write once, until a write works again; calls that wrote
// nothing leave that state alone.
bool ThreadData::noteIndexWrite(int writesBefore, bool written)
{
    if (m_positions.writeCount() == writesBefore) {
        return written;
    }
    if (!written && !m_indexFailing && m_onWriteFailure) {
        m_onWriteFailure(u"読み上げ位置を保存できませんでした。"_s);
    }
    m_indexFailing = !written;
    return written;
}

bool ThreadData::Download(bool force)
{
    if (force || m_messages.size() < m_maximum) {
        if (m_html) {
            ParseHtml();
        } else {
            ParseDat();
        }
        return m_lastDownload == DownloadResult::Done;
    }
    return true;
}

bool ThreadData::judgeAnswer(const QString& text)
{
    const int status = m_http->lastStatus();
    if (status == 404 || status == 410) {
        m_lastDownload = DownloadResult::Gone;
    } else if (!m_http->lastComplete() || status < 200 || status >= 300 || text.isEmpty()) {
        m_lastDownload = DownloadResult::Failed;
    } else {
        m_lastDownload = DownloadResult::Done;
    }
    if (m_lastDownload != DownloadResult::Done) {
        qCWarning(lcThread) << "thread download failed:" << m_threadUrl << "status" << status
                            << (m_http->lastDeadlineHit() ? "deadline passed" : "");
    }
    return m_lastDownload == DownloadResult::Done;
}

// Takes a freshly parsed thread (of an answer that arrived whole) unless it
// would lose what is loaded: a page that holds no message (an error page) or
// fewer messages than the log already has (threads only grow) keep the old ones.
bool ThreadData::adopt(std::optional<QList<Message>> parsed)
{
    if (!parsed || parsed->isEmpty()) {
        // An answer without a single message (an error page) is no thread.
        m_lastDownload = DownloadResult::Failed;
        return false;
    }
    if (parsed->size() < m_messages.size()) {
        qCWarning(lcThread) << "download shorter than the log kept:" << m_logPath;
        return false;
    }
    m_messages = std::move(*parsed);
    return true;
}

QString ThreadData::datStatePath() const
{
    return m_logPath.isEmpty() ? QString() : m_folder + u'/' + m_key + u".datinfo"_s;
}

std::optional<ThreadData::DatState> ThreadData::loadDatState() const
{
    const QString path = datStatePath();
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const std::optional<QStringList> lines = TextFile::readLines(path);
    if (!lines) {
        return std::nullopt;
    }
    DatState state;
    for (const QString& line : *lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            continue;
        }
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (name == u"length"_s) {
            state.length = value.toLongLong();
        } else if (name == u"messages"_s) {
            state.messages = value.toInt();
        } else if (name == u"encoding"_s) {
            state.utf8 = value == u"utf-8"_s;
            if (value == u"cp932"_s) {
                state.japanese = TextCodec::JapaneseEncoding::Cp932;
            } else if (value == u"euc-jp"_s) {
                state.japanese = TextCodec::JapaneseEncoding::EucJp;
            } else if (value == u"iso-2022-jp"_s) {
                state.japanese = TextCodec::JapaneseEncoding::Iso2022Jp;
            }
        } else if (name == u"last-modified"_s) {
            state.lastModified = value.toLatin1();
        } else if (name == u"etag"_s) {
            state.etag = value.toLatin1();
        }
    }
    if (state.length <= 0 || state.messages <= 0) {
        return std::nullopt;
    }
    return state;
}

namespace {

QString encodingName(const ThreadData::DatState& state)
{
    if (state.utf8) {
        return u"utf-8"_s;
    }
    switch (state.japanese.value_or(TextCodec::JapaneseEncoding::Cp932)) {
    case TextCodec::JapaneseEncoding::EucJp:
        return u"euc-jp"_s;
    case TextCodec::JapaneseEncoding::Iso2022Jp:
        return u"iso-2022-jp"_s;
    case TextCodec::JapaneseEncoding::Cp932:
        break;
    }
    return state.japanese ? u"cp932"_s : u"japanese"_s;
}

}  // namespace

bool ThreadData::saveDatState(const DatState& state) const
{
    const QString path = datStatePath();
    if (path.isEmpty()) {
        return false;
    }
    // Validators come from the network: only printable ASCII of a sane
    // length is kept, so nothing can break the file's lines.
    const auto clean = [](const QByteArray& value) {
        for (char c : value) {
            if (c < 0x20 || c > 0x7e) {
                return QString();
            }
        }
        return value.size() <= 200 ? QString::fromLatin1(value) : QString();
    };
    return TextFile::writeLines(
        path, {u"length="_s + QString::number(state.length), u"messages="_s + QString::number(state.messages),
               u"encoding="_s + encodingName(state), u"last-modified="_s + clean(state.lastModified),
               u"etag="_s + clean(state.etag)});
}

// The state of the last download, when it still describes the log on disk
// message for message; anything else makes the next download a whole one.
std::optional<ThreadData::DatState> ThreadData::heldDat() const
{
    std::optional<DatState> state = loadDatState();
    if (!state || m_logLines != m_messages.size() || state->messages != m_messages.size()) {
        return std::nullopt;
    }
    return state;
}

void ThreadData::noteValidators(DatState& state) const
{
    state.lastModified = m_http->lastHeader("Last-Modified");
    state.etag = m_http->lastHeader("ETag");
}

// Asks for the bytes after those held, from the last line feed held: the
// answer must start with that line feed, or the file was not merely
// appended to.
ThreadData::Fetch ThreadData::fetchAdded(const QString& url, const DatState& held)
{
    CHttp::Conditions conditions;
    conditions.from = held.length - 1;
    conditions.lastModified = held.lastModified;
    conditions.etag = held.etag;
    const QByteArray bytes = m_http->Get_Binary2(url, {}, nullptr, &conditions);
    m_bytesTransferred += m_http->lastTransferred();
    const int status = m_http->lastStatus();
    if (status == 404 || status == 410) {
        return Fetch::Gone;
    }
    if (status == 304) {
        return Fetch::Done;
    }
    if (status == 416) {
        return Fetch::Rewritten;
    }
    if (!m_http->lastComplete()) {
        return Fetch::Failed;
    }
    if (status == 200) {
        // The server sent the whole file instead of the range.
        return takeWhole(bytes);
    }
    if (status != 206) {
        return Fetch::Failed;
    }
    // "bytes FIRST-LAST/TOTAL": the range must start where it was asked; a
    // total below the length held means the file shrank.
    static const VbRegExp rangePattern(u"^bytes ([0-9]+)-([0-9]+)/([0-9]+|\\*)$"_s, false, true);
    const QList<VbMatch> range =
        rangePattern.Execute(QString::fromLatin1(m_http->lastHeader("Content-Range")));
    if (range.isEmpty() || range.first().SubMatches.value(0).toLongLong() != conditions.from) {
        return Fetch::Failed;
    }
    const QString total = range.first().SubMatches.value(2);
    if ((total != u"*"_s && total.toLongLong() < held.length) || bytes.isEmpty() || bytes.at(0) != '\n') {
        return Fetch::Rewritten;
    }
    // Only whole lines count; a line still being written comes next time.
    const qsizetype end = bytes.lastIndexOf('\n') + 1;
    DatState state = held;
    noteValidators(state);
    if (end <= 1) {
        saveDatState(state);
        return Fetch::Done;
    }
    const QByteArray added = bytes.mid(1, end - 1);
    // Read as the file was read when it came whole.
    const QString text = state.utf8       ? TextCodec::Utf8ToText(added)
                         : state.japanese ? TextCodec::decodeJapanese(added, *state.japanese)
                                          : TextCodec::decodeJapanese(added);
    std::optional<QList<Message>> parsed = parseDat(text);
    if (!parsed) {
        return Fetch::Failed;
    }
    const QList<Message> before = m_messages;
    const qsizetype room = qMax<qsizetype>(0, kMaxMessages - m_messages.size());
    m_messages.append(parsed->mid(0, room));
    m_maximum = qMax(m_maximum, int(m_messages.size()));
    state.length += end - 1;
    state.messages = int(m_messages.size());
    if (SaveLog(before)) {
        saveDatState(state);
    } else {
        QFile::remove(datStatePath());
    }
    return Fetch::Done;
}

ThreadData::Fetch ThreadData::fetchWhole(const QString& url)
{
    const QByteArray bytes = m_http->Get_Binary2(url);
    m_bytesTransferred += m_http->lastTransferred();
    const int status = m_http->lastStatus();
    if (status == 404 || status == 410) {
        return Fetch::Gone;
    }
    if (!m_http->lastComplete() || status < 200 || status >= 300 || bytes.isEmpty()) {
        return Fetch::Failed;
    }
    return takeWhole(bytes);
}

// A whole ".dat" that arrived complete: parsed, taken and logged, and its
// state kept for the next download. A thread the board rewrote (deleted
// messages become "あぼーん" lines, so it keeps its numbering) replaces the
// log; one with fewer messages than the log holds does not: threads only
// grow, and a server that lost messages must not take them from the user.
ThreadData::Fetch ThreadData::takeWhole(const QByteArray& bytes)
{
    // Decoded as decodeServerText does, keeping which encoding it was.
    const bool utf8 = TextCodec::IsUtf8(bytes, 4096);
    const TextCodec::JapaneseEncoding japanese =
        utf8 ? TextCodec::JapaneseEncoding::Cp932 : TextCodec::detectJapaneseEncoding(bytes);
    std::optional<QList<Message>> parsed =
        parseDat(utf8 ? TextCodec::Utf8ToText(bytes) : TextCodec::decodeJapanese(bytes, japanese));
    if (!parsed || parsed->isEmpty()) {
        // An answer without a single message (an error page) is no thread.
        return Fetch::Failed;
    }
    if (parsed->size() < m_messages.size()) {
        qCWarning(lcThread) << "download shorter than the log kept:" << m_logPath;
        return Fetch::Done;
    }
    const QList<Message> before = m_messages;
    adopt(std::move(parsed));
    m_maximum = qMax(m_maximum, int(m_messages.size()));
    DatState state;
    state.length = bytes.lastIndexOf('\n') + 1;
    state.messages = int(m_messages.size());
    state.utf8 = utf8;
    if (!utf8) {
        state.japanese = japanese;
    }
    noteValidators(state);
    // A log capped below the file's lines cannot be continued from its bytes.
    const bool continuable = state.length > 0 && state.messages == bytes.count('\n');
    if (SaveLog(before) && continuable) {
        saveDatState(state);
    } else {
        QFile::remove(datStatePath());
    }
    return Fetch::Done;
}

bool ThreadData::ParseDat()
{
    m_lastDownload = DownloadResult::Failed;
    m_fromArchive = false;
    m_bytesTransferred = 0;
    if (!m_http) {
        return false;
    }
    const QStringList parts = m_threadUrl.split(u'/');
    if (parts.size() < 7) {
        return false;
    }
    // The thread is fetched as its board is linked: https where the menu says so.
    const QString scheme =
        parts.at(0).compare(u"https:"_s, Qt::CaseInsensitive) == 0 ? u"https"_s : u"http"_s;
    const QString board = scheme + u"://"_s + parts.at(2) + u'/' + parts.at(5);
    // A thread that left the live server is kept in the archive of past
    // threads, in a folder named by the first four digits of its key.
    const QStringList urls{board + u"/dat/"_s + m_key + u".dat"_s,
                           board + u"/oyster/"_s + m_key.left(4) + u'/' + m_key + u".dat"_s};
    Fetch result = Fetch::Gone;
    for (qsizetype i = 0; i < urls.size() && result == Fetch::Gone; ++i) {
        const std::optional<DatState> held = heldDat();
        result = held ? fetchAdded(urls.at(i), *held) : fetchWhole(urls.at(i));
        if (result == Fetch::Rewritten) {
            // Replaced only by a whole new download; a broken one keeps the log.
            qCWarning(lcThread) << "thread rewritten on the server, fetched whole:" << urls.at(i);
            result = fetchWhole(urls.at(i));
        }
        m_fromArchive = i > 0 && result == Fetch::Done;
    }
    switch (result) {
    case Fetch::Done:
        m_lastDownload = DownloadResult::Done;
        m_maximum = qMax(m_maximum, int(m_messages.size()));
        return true;
    case Fetch::Gone:
        m_lastDownload = DownloadResult::Gone;
        break;
    default:
        m_lastDownload = DownloadResult::Failed;
        break;
    }
    qCWarning(lcThread) << "thread download failed:" << m_threadUrl << "status" << m_http->lastStatus()
                        << (m_http->lastDeadlineHit() ? "deadline passed" : "");
    return false;
}

bool ThreadData::ParseHtml()
{
    m_lastDownload = DownloadResult::Failed;
    if (!m_http) {
        return false;
    }
    const QString page = m_http->Get2(m_threadUrl);
    const QList<Message> before = m_messages;
    if (!judgeAnswer(page) || !adopt(parseHtml(page))) {
        return false;
    }
    m_maximum = int(m_messages.size());
    SaveLog(before);
    return true;
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
    // The menu may name the board by https; the board is the same.
    const QString tail = u"//"_s + host + u'/' + directory + u'/';
    for (int i = 1; i <= m_boards->Get_AllBoardNum(); ++i) {
        const int category = m_boards->Get_CategoryIdx(i);
        const int position = m_boards->Get_BoardIdx(i);
        const QString url = m_boards->Get_BoardUrl(category, position);
        if ((url == u"http:"_s + tail || url == u"https:"_s + tail)
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
    if (!m_key.isEmpty()) {
        const int writes = m_positions.writeCount();
        noteIndexWrite(writes, m_positions.record(m_key, m_position));
    }
    return true;
}

void ThreadData::Rewind_Index()
{
    if (m_position > 0) {
        --m_position;
    }
    if (!m_key.isEmpty()) {
        const int writes = m_positions.writeCount();
        noteIndexWrite(writes, m_positions.record(m_key, m_position));
    }
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
