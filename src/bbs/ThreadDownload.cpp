#include "ThreadDownload.h"

#include <QFile>
#include <QLoggingCategory>

#include "base/TextFile.h"
#include "base/VbRegExp.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadLog.h"
#include "bbs/ThreadParser.h"

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcThread, "yomimaru.thread", QtWarningMsg)

QString encodingName(const ThreadDownload::DatState& state)
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

ThreadDownload::ThreadDownload(QList<ThreadMessage>& messages, ThreadLog& log)
    : m_messages(messages)
    , m_log(log)
{}

void ThreadDownload::reset()
{
    m_last = Result::None;
    m_fromArchive = false;
    m_bytesTransferred = 0;
}

bool ThreadDownload::fetchDat(const QString& threadUrl, const QString& key)
{
    m_last = Result::Failed;
    m_fromArchive = false;
    m_bytesTransferred = 0;
    if (!m_http) {
        return false;
    }
    const QStringList parts = threadUrl.split(u'/');
    if (parts.size() < 7) {
        return false;
    }
    // The thread is fetched as its board is linked: https where the menu says so.
    const QString scheme =
        parts.at(0).compare(u"https:"_s, Qt::CaseInsensitive) == 0 ? u"https"_s : u"http"_s;
    const QString board = scheme + u"://"_s + parts.at(2) + u'/' + parts.at(5);
    // A thread that left the live server is kept in the archive of past
    // threads, in a folder named by the first four digits of its key.
    const QStringList urls{board + u"/dat/"_s + key + u".dat"_s,
                           board + u"/oyster/"_s + key.left(4) + u'/' + key + u".dat"_s};
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
        m_last = Result::Done;
        return true;
    case Fetch::Gone:
        m_last = Result::Gone;
        break;
    default:
        m_last = Result::Failed;
        break;
    }
    qCWarning(lcThread) << "thread download failed:" << threadUrl << "status" << m_http->lastStatus()
                        << (m_http->lastDeadlineHit() ? "deadline passed" : "");
    return false;
}

bool ThreadDownload::fetchHtml(const QString& threadUrl)
{
    m_last = Result::Failed;
    if (!m_http) {
        return false;
    }
    const QString page = m_http->Get2(threadUrl);
    const QList<ThreadMessage> before = m_messages;
    if (!judgeAnswer(threadUrl, page) || !adopt(ThreadParser::parseHtml(page))) {
        return false;
    }
    m_log.save(m_messages, before);
    return true;
}

bool ThreadDownload::judgeAnswer(const QString& threadUrl, const QString& text)
{
    const int status = m_http->lastStatus();
    if (status == 404 || status == 410) {
        m_last = Result::Gone;
    } else if (!m_http->lastComplete() || status < 200 || status >= 300 || text.isEmpty()) {
        m_last = Result::Failed;
    } else {
        m_last = Result::Done;
    }
    if (m_last != Result::Done) {
        qCWarning(lcThread) << "thread download failed:" << threadUrl << "status" << status
                            << (m_http->lastDeadlineHit() ? "deadline passed" : "");
    }
    return m_last == Result::Done;
}

// Takes a freshly parsed thread (of an answer that arrived whole) unless it
// would lose what is loaded: a page that holds no message (an error page) or
// fewer messages than the log already has (threads only grow) keep the old ones.
bool ThreadDownload::adopt(std::optional<QList<ThreadMessage>> parsed)
{
    if (!parsed || parsed->isEmpty()) {
        // An answer without a single message (an error page) is no thread.
        m_last = Result::Failed;
        return false;
    }
    if (parsed->size() < m_messages.size()) {
        qCWarning(lcThread) << "download shorter than the log kept:" << m_log.path();
        return false;
    }
    m_messages = std::move(*parsed);
    return true;
}

QString ThreadDownload::datStatePath() const
{
    return m_log.path().isEmpty() ? QString() : m_log.folder() + u'/' + m_log.key() + u".datinfo"_s;
}

std::optional<ThreadDownload::DatState> ThreadDownload::loadDatState() const
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

bool ThreadDownload::saveDatState(const DatState& state) const
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
std::optional<ThreadDownload::DatState> ThreadDownload::heldDat() const
{
    std::optional<DatState> state = loadDatState();
    if (!state || m_log.linesOnDisk() != m_messages.size() || state->messages != m_messages.size()) {
        return std::nullopt;
    }
    return state;
}

void ThreadDownload::noteValidators(DatState& state) const
{
    state.lastModified = m_http->lastHeader("Last-Modified");
    state.etag = m_http->lastHeader("ETag");
}

// Asks for the bytes after those held, from the last line feed held: the
// answer must start with that line feed, or the file was not merely
// appended to.
ThreadDownload::Fetch ThreadDownload::fetchAdded(const QString& url, const DatState& held)
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
    std::optional<QList<ThreadMessage>> parsed = ThreadParser::parseDat(text);
    if (!parsed) {
        return Fetch::Failed;
    }
    const QList<ThreadMessage> before = m_messages;
    const qsizetype room = qMax<qsizetype>(0, ThreadMessage::kMax - m_messages.size());
    m_messages.append(parsed->mid(0, room));
    state.length += end - 1;
    state.messages = int(m_messages.size());
    if (m_log.save(m_messages, before)) {
        saveDatState(state);
    } else {
        QFile::remove(datStatePath());
    }
    return Fetch::Done;
}

ThreadDownload::Fetch ThreadDownload::fetchWhole(const QString& url)
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
ThreadDownload::Fetch ThreadDownload::takeWhole(const QByteArray& bytes)
{
    // Decoded as decodeServerText does, keeping which encoding it was.
    const bool utf8 = TextCodec::IsUtf8(bytes, 4096);
    const TextCodec::JapaneseEncoding japanese =
        utf8 ? TextCodec::JapaneseEncoding::Cp932 : TextCodec::detectJapaneseEncoding(bytes);
    std::optional<QList<ThreadMessage>> parsed = ThreadParser::parseDat(
        utf8 ? TextCodec::Utf8ToText(bytes) : TextCodec::decodeJapanese(bytes, japanese));
    if (!parsed || parsed->isEmpty()) {
        // An answer without a single message (an error page) is no thread.
        return Fetch::Failed;
    }
    if (parsed->size() < m_messages.size()) {
        qCWarning(lcThread) << "download shorter than the log kept:" << m_log.path();
        return Fetch::Done;
    }
    const QList<ThreadMessage> before = m_messages;
    adopt(std::move(parsed));
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
    if (m_log.save(m_messages, before) && continuable) {
        saveDatState(state);
    } else {
        QFile::remove(datStatePath());
    }
    return Fetch::Done;
}
