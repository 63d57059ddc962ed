// The posting scripts of the board server: /test/bbs.cgi and /test/subbbs.cgi
// (the 2ch kind) and /bbs/write.cgi (the machi kind). A first post is answered
// with a confirmation page that sets a cookie; a post that brings the cookie
// back is checked, appended to its thread and listed in subject.txt.

#include <array>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTimeZone>

#include "BoardFiles.h"
#include "BoardSite.h"
#include "base/TextCodec.h"

using namespace Qt::Literals::StringLiterals;
using namespace BoardFiles;

namespace {

constexpr int kMaxMessages = 1000;
constexpr qsizetype kMaxCookies = 10000;
const QByteArray kCookieName = "PON";

QByteArray attributeEscape(QByteArrayView bytes)
{
    QByteArray out;
    for (char c : bytes) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// What a board stores of what a poster typed: markup characters become
// entities ("&" stays, so numeric character references keep working), line
// breaks become " <br> " in the body and vanish elsewhere.
QString escapePosted(QString text, bool body)
{
    text.replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s).replace(u'"', u"&quot;"_s);
    text.remove(u'\r');
    text.replace(u'\n', body ? u" <br> "_s : QString());
    return text;
}

// Dates as the boards write them, in Japan time: 2024/05/06(月) 12:34:56.78
QString boardDate(const QDateTime& now, bool centiseconds)
{
    static const std::array<QString, 7> days{u"月"_s, u"火"_s, u"水"_s, u"木"_s, u"金"_s, u"土"_s, u"日"_s};
    const QDateTime jst = now.toTimeZone(QTimeZone(9 * 3600));
    const QLocale c = QLocale::c();
    QString text = c.toString(jst.date(), u"yyyy/MM/dd"_s) + u'(' + days[jst.date().dayOfWeek() - 1] + u')'
                   + c.toString(jst.time(), u" hh:mm:ss"_s);
    if (centiseconds) {
        text += u'.' + QString::number(jst.time().msec() / 10).rightJustified(2, u'0');
    }
    return text;
}

// A poster's ID: the same for one address on one board for one day.
QString dailyId(const QString& peer, const QString& board, const QDateTime& now)
{
    const QDate day = now.toTimeZone(QTimeZone(9 * 3600)).date();
    const QByteArray seed = (u"id:"_s + peer + u'/' + board + u'/' + day.toString(Qt::ISODate)).toUtf8();
    QByteArray id = QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toBase64();
    id.replace('=', "");
    return QString::fromLatin1(id.left(8));
}

QString tripOf(const QString& key)
{
    QByteArray trip =
        QCryptographicHash::hash((u"trip:"_s + key).toUtf8(), QCryptographicHash::Sha1).toBase64().left(10);
    trip.replace('+', '.');
    return QString::fromLatin1(trip);
}

// The name as stored: the board's default when empty, marks that only staff
// may show replaced, and "name#key" turned into a trip.
QString storedName(QString name, const QString& defaultName)
{
    QString tripKey;
    const qsizetype hash = name.indexOf(u'#');
    if (hash >= 0) {
        tripKey = name.mid(hash + 1);
        name.truncate(hash);
    }
    name = escapePosted(name, false).trimmed();
    name.replace(u'◆', u'◇').replace(u'★', u'☆');
    if (name.isEmpty()) {
        name = defaultName;
    }
    if (!tripKey.isEmpty()) {
        name += u" </b>◆"_s + tripOf(tripKey) + u" <b>"_s;
    }
    return name;
}

qsizetype countLines(const QByteArray& bytes)
{
    qsizetype count = bytes.count('\n');
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) {
        ++count;
    }
    return count;
}

// Replaces the count at the end of a subject line: "... (12)" or "...(12)".
QByteArray withCount(const QByteArray& line, qsizetype count)
{
    if (!line.endsWith(')')) {
        return line;
    }
    const qsizetype open = line.lastIndexOf('(');
    if (open < 0 || !isDigits(QByteArrayView(line).sliced(open + 1, line.size() - open - 2))) {
        return line;
    }
    return line.left(open + 1) + QByteArray::number(count) + ')';
}

// The value of the request's cookie of that name, empty when it has none.
QByteArray requestCookie(const HttpRequest& request, const QByteArray& name)
{
    for (const auto& [header, value] : request.headers) {
        if (header != "cookie") {
            continue;
        }
        for (const QByteArray& part : value.split(';')) {
            const QByteArray cookie = part.trimmed();
            if (cookie.startsWith(name + '=')) {
                return cookie.mid(name.size() + 1);
            }
        }
    }
    return {};
}

QByteArray randomHex(int digits)
{
    QByteArray hex;
    while (hex.size() < digits) {
        hex += QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0');
    }
    return hex.left(digits);
}

// The page's own field, bound to the ticket and the time it was issued for.
QByteArray featureFor(const QByteArray& ticket, const QByteArray& time)
{
    return "confirmed:" + QCryptographicHash::hash(ticket + ':' + time, QCryptographicHash::Sha1).toHex();
}

template <typename Set> void bound(Set& set)
{
    if (set.size() >= kMaxCookies) {
        set.clear();
    }
}

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool appendLine(const QString& path, const QByteArray& line)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return false;
    }
    QByteArray bytes;
    const qint64 size = file.size();
    if (size > 0) {
        file.seek(size - 1);
        if (file.read(1) != "\n") {
            bytes += '\n';
        }
    }
    bytes += line + '\n';
    file.seek(size);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.resize(size);
        return false;
    }
    return true;
}

}  // namespace

bool BoardSite::hasConfirmationCookie(const HttpRequest& request,
                                      const QMap<QByteArray, QByteArray>& form) const
{
    const auto found = m_cookies.constFind(requestCookie(request, kCookieName));
    return found != m_cookies.cend() && form.contains(found->first)
           && form.value(found->first) == found->second;
}

QByteArray BoardSite::setCookie(const QByteArray& name, const QByteArray& value, const HttpRequest& request)
{
    const QDateTime expiry = QDateTime::currentDateTimeUtc().addYears(1);
    QByteArray cookie = name + '=' + value + "; expires="
                        + QLocale::c().toString(expiry, u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s).toLatin1()
                        + "; path=/";
    if (request.host.endsWith(".5ch.io")) {
        cookie += "; domain=.5ch.io";
    }
    return cookie;
}

std::optional<HttpResponse> BoardSite::checkToday(const HttpRequest& request,
                                                  const QMap<QByteArray, QByteArray>& form,
                                                  const QString& board,
                                                  const Settings& settings,
                                                  const QString& peer)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (m_options.monaTicket) {
        bool ok = false;
        const QByteArray time = form.value("time");
        const qint64 sent = time.toLongLong(&ok);
        if (!ok || sent > now - 30 || sent < now - 24 * 3600) {
            return errorPage(Script::BbsCgi,
                             u"投稿時刻が正しくありません。30秒以上前、一日以内の時刻で送ってください。"_s,
                             board);
        }
        const QByteArray ticket = requestCookie(request, "MonaTicket");
        if (!m_tickets.contains(ticket)) {
            const auto pending = m_pendingTickets.constFind(ticket);
            // The feature field belongs to the time it came with: both go back as the page gave them.
            if (pending == m_pendingTickets.cend() || form.value("feature") != *pending
                || featureFor(ticket, time) != *pending) {
                bound(m_pendingTickets);
                const QByteArray issued = randomHex(25);
                const QByteArray feature = featureFor(issued, time);
                m_pendingTickets.insert(issued, feature);
                HttpResponse page = monaConfirmationPage(form, board, feature);
                page.headers.append({"Set-Cookie", setCookie("MonaTicket", issued, request)});
                return page;
            }
            m_pendingTickets.remove(ticket);
            bound(m_tickets);
            m_tickets.insert(ticket);
        }
    }
    if (m_options.donguri && settings.value("BBS_ACORN") == "1") {
        const QByteArray acorn = requestCookie(request, "acorn");
        if (acorn.isEmpty()) {
            bound(m_acorns);
            const QByteArray planted = randomHex(32);
            m_acorns.insert(planted);
            HttpResponse page =
                errorPage(Script::BbsCgi,
                          u"どんぐりを埋めました。芽が出るまで数分待ってから投稿してください。"_s, board);
            page.headers.append({"Set-Cookie", setCookie("acorn", planted, request)});
            return page;
        }
        if (!m_acorns.contains(acorn)) {
            HttpResponse page =
                errorPage(Script::BbsCgi, u"どんぐりが枯れてしまいました。[broken_acorn]"_s, board);
            page.headers.append({QByteArray("X-Chx-Error"), QByteArray("1930 Acorn have dried up.")});
            return page;
        }
    }
    if (m_options.sambaSeconds > 0) {
        const QString poster = peer + u'/' + board;
        const qint64 passed = now - m_lastPosts.value(poster, 0);
        if (passed < m_options.sambaSeconds) {
            return errorPage(Script::BbsCgi,
                             u"ＥＲＲＯＲ - 593 %1 sec たたないと書けません。(1回目、%2 sec しかたってない)"_s
                                 .arg(m_options.sambaSeconds)
                                 .arg(passed),
                             board, false);
        }
    }
    return std::nullopt;
}

QByteArray BoardSite::issueCookie(QPair<QByteArray, QByteArray>& hidden)
{
    if (m_cookies.size() >= kMaxCookies) {
        m_cookies.clear();
    }
    QByteArray token;
    for (int i = 0; i < 4; ++i) {
        token += QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0');
    }
    // The page's own hidden field: a random name and value that a client
    // must send back as the page gives them.
    QRandomGenerator* random = QRandomGenerator::global();
    hidden.first = 'h' + QByteArray::number(random->generate() & 0xffffff, 16).rightJustified(6, '0');
    hidden.second =
        QByteArray::number(random->generate(), 16) + "%20" + QByteArray::number(random->generate(), 16);
    m_cookies.insert(token, {hidden.first, QByteArray::fromPercentEncoding(hidden.second)});
    return kCookieName + '=' + token + "; path=/";
}

HttpResponse BoardSite::post(const HttpRequest& request, Script script, const QString& peer)
{
    const bool machi = script == Script::WriteCgi;
    const QMap<QByteArray, QByteArray> form = parseForm(request.body);
    const QMap<QByteArray, QByteArray> query = parseForm(request.query);
    auto field = [&](const char* name) { return form.contains(name) ? form.value(name) : query.value(name); };

    const QString board = QString::fromLatin1(field(machi ? "BBS" : "bbs"));
    if (!isBoard(board)) {
        return errorPage(script, u"その板は存在しません。"_s, QString());
    }
    const bool today = !machi && (m_options.monaTicket || m_options.donguri || m_options.sambaSeconds > 0);
    if ((machi || !m_options.monaTicket) && !hasConfirmationCookie(request, form)) {
        QPair<QByteArray, QByteArray> hidden;
        const QByteArray cookie = issueCookie(hidden);
        HttpResponse page = confirmationPage(script, form, board, hidden);
        page.headers.append({"Set-Cookie", cookie});
        return page;
    }
    const Settings settings = boardSettings(board);
    if (today) {
        if (std::optional<HttpResponse> answer = checkToday(request, form, board, settings, peer)) {
            return *answer;
        }
    }
    if (settings.value("BBS_READONLY") == "on") {
        return errorPage(script, u"この板は現在書き込み規制中です。"_s, board);
    }

    const QString key = QString::fromLatin1(field(machi ? "KEY" : "key"));
    const QByteArray time = field(machi ? "TIME" : "time");
    const QString name = TextCodec::fromCp932(field(machi ? "NAME" : "FROM"));
    const QString mail = TextCodec::fromCp932(field(machi ? "MAIL" : "mail"));
    const QString message = TextCodec::fromCp932(field("MESSAGE"));
    const QString subject = TextCodec::fromCp932(field(machi ? "SUBJECT" : "subject"));
    const bool newThread = key.isEmpty();

    if (!isDigits(time) || (!newThread && !isThreadKey(key))) {
        return errorPage(script, u"フォーム情報が正しく読めません。"_s, board);
    }
    if (newThread && subject.trimmed().isEmpty()) {
        return errorPage(script, u"サブジェクトが存在しません！"_s, board);
    }
    if (message.trimmed().isEmpty()) {
        return errorPage(script, u"本文がありません！"_s, board);
    }
    auto limit = [&](const char* setting, int fallback) {
        bool ok = false;
        const int value = settings.value(setting).toInt(&ok);
        return ok && value > 0 ? value : fallback;
    };
    if (sjis(message).size() > limit("BBS_MESSAGE_COUNT", 4096)) {
        return errorPage(script, u"本文が長すぎます！"_s, board);
    }
    if (message.count(u'\n') + 1 > limit("BBS_LINE_NUMBER", 32) * 2) {
        return errorPage(script, u"改行が多すぎます！"_s, board);
    }
    if (sjis(name).size() > limit("BBS_NAME_COUNT", 64)) {
        return errorPage(script, u"名前が長すぎます！"_s, board);
    }
    if (sjis(mail).size() > limit("BBS_MAIL_COUNT", 64)) {
        return errorPage(script, u"メール欄が長すぎます！"_s, board);
    }
    if (sjis(subject).size() > limit("BBS_SUBJECT_COUNT", 96)) {
        return errorPage(script, u"サブジェクトが長すぎます！"_s, board);
    }

    const QString datFolder = m_root + u'/' + board + u"/dat"_s;
    QString threadKey = key;
    if (newThread) {
        QDir().mkpath(datFolder);
        qint64 number = QDateTime::currentSecsSinceEpoch();
        while (QFileInfo::exists(datFolder + u'/' + QString::number(number) + u".dat"_s)) {
            ++number;
        }
        threadKey = QString::number(number);
    }
    const QString datPath = datFolder + u'/' + threadKey + u".dat"_s;
    qsizetype count = 0;
    if (!newThread) {
        bool ok = false;
        const QByteArray dat = readFile(datPath, &ok);
        if (!ok) {
            return errorPage(script, u"このスレッドには書き込めません。"_s, board);
        }
        count = countLines(dat);
        if (count >= kMaxMessages) {
            return errorPage(script, u"このスレッドは1000を超えました。新しいスレッドを立ててください。"_s,
                             board);
        }
    }

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString noName = TextCodec::fromCp932(settings.value("BBS_NONAME_NAME"));
    QString date = boardDate(now, !machi) + u" ID:"_s + dailyId(peer, board, now);
    if (machi) {
        date += u" [ "_s + peer + u" ]"_s;
    } else {
        date += u'0';
    }
    const QString title = newThread ? escapePosted(subject, false).trimmed() : QString();
    const QString line = storedName(name, noName.isEmpty() ? u"名無しさん"_s : noName) + u"<>"_s
                         + escapePosted(mail, false).trimmed() + u"<>"_s + date + u"<> "_s
                         + escapePosted(message, true) + u" <>"_s + title;
    if (!appendLine(datPath, sjis(line))) {
        return errorPage(script, u"書き込みに失敗しました。"_s, board);
    }
    ++count;

    // The thread list follows: a new thread comes first, a reply raises its
    // thread to the top unless the poster wrote "sage".
    const QString subjectPath = m_root + u'/' + board + u"/subject.txt"_s;
    bool ok = false;
    QList<QByteArray> lines = splitLines(readFile(subjectPath, &ok));
    const QByteArray k = threadKey.toLatin1();
    if (newThread) {
        // A comma would split a line of the comma-separated kind of thread list.
        lines.prepend(machi ? k + ".cgi," + sjis(QString(title).replace(u',', u'，')) + "(1)"
                            : k + ".dat<>" + sjis(title) + " (1)");
    } else {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(k + ".dat") || lines[i].startsWith(k + ".cgi")) {
                QByteArray updated = withCount(lines[i], count);
                lines.removeAt(i);
                lines.insert(mail.contains(u"sage"_s) ? i : 0, updated);
                break;
            }
        }
    }
    writeAtomically(subjectPath, lines.join('\n') + '\n');
    if (m_options.sambaSeconds > 0) {
        bound(m_lastPosts);
        m_lastPosts.insert(peer + u'/' + board, QDateTime::currentSecsSinceEpoch());
    }
    return successPage(script, board, threadKey);
}

HttpResponse BoardSite::confirmationPage(Script script,
                                         const QMap<QByteArray, QByteArray>& form,
                                         const QString& board,
                                         const QPair<QByteArray, QByteArray>& extra)
{
    QByteArray hidden;
    for (auto it = form.cbegin(); it != form.cend(); ++it) {
        if (it.key() != "submit" && it.key() != "time" && it.key() != "TIME") {
            hidden += "<input type=hidden name=" + attributeEscape(it.key()) + " value=\""
                      + attributeEscape(it.value()) + "\">\n";
        }
    }
    // A value with a blank, written with an entity, as pages write them.
    hidden += "<input type=hidden name=" + extra.first + " value=\""
              + QByteArray(extra.second).replace("%20", "&#32;") + "\">\n";
    const QByteArray time = attributeEscape(form.value(script == Script::WriteCgi ? "TIME" : "time"));
    const QByteArray message = sjis(escapePosted(TextCodec::fromCp932(form.value("MESSAGE")), true));
    const QString notice = u"このサンプル掲示板では、はじめての書き込みの前にクッキーを確かめています。<br>\n"
                           u"内容をもう一度見直して、よければ下のボタンを押してください。<br>\n"_s;

    QByteArray page;
    if (script == Script::WriteCgi) {
        page = pageHead(sjis(u"書き込み確認"_s));
        page += "<body bgcolor=#EFEFEF>\n" + sjis(notice) + "<br>\n";
        page += sjis(u"本文：<br>\n") + message + "<br><br>\n";
        page += "<form method=POST action=\"./write.cgi\">\n" + hidden;
        page += "<input type=hidden name=TIME value=" + time + ">\n";
    } else if (m_options.oldConfirmation) {
        // The older form: no "confirmation" in the title, and the client finds
        // its way on to subbbs.cgi through the submit button and time field.
        page = pageHead(sjis(u"書き込む前に読んでね＠2ch掲示板"_s));
        page += "<body bgcolor=#EEEEEE>\n" + sjis(notice) + "<br>\n";
        page += sjis(u"本文：<br>\n") + message + "<br><br>\n";
        page += "<form method=POST action=\"../test/subbbs.cgi\">\n" + hidden;
        page += "<input type=hidden name=time value=" + time + ">\n";
    } else {
        page = pageHead(sjis(u"■ 書き込み確認 ■"_s));
        page += "<body bgcolor=#EEEEEE>\n";
        page += sjis(u"<font size=+1 color=#FF0000><b>書きこみ＆クッキー確認</b></font><br><br>\n"_s);
        page += sjis(notice) + "<br>\n";
        page += sjis(u"本文：<br>\n") + message + "<br><br>\n";
        page += "<form method=POST action=\"../test/bbs.cgi\">\n" + hidden;
        page += "<input type=hidden name=time value=" + time + ">\n";
    }
    page += sjis(u"<input type=submit value=\"上記全てを承諾して書き込む\" name=\"submit\"><br>\n"_s);
    page += "</form>\n";
    if (!board.isEmpty()) {
        page += sjis(u"<a href=\"../"_s + board + u"/\">掲示板に戻る</a>\n"_s);
    }
    page += "</body></html>\n";
    return htmlResponse(page);
}

HttpResponse BoardSite::monaConfirmationPage(const QMap<QByteArray, QByteArray>& form,
                                             const QString& board,
                                             const QByteArray& feature)
{
    QByteArray page = pageHead(sjis(u"書き込み確認"_s));
    page += "<body bgcolor=#EEEEEE>\n<!-- 2ch_X:cookie -->\n";
    page += sjis(u"<b>書き込み確認</b><br><br>\n"
                 u"書き込む前に内容を確かめてください。よければ下のボタンを押してください。<br><br>\n"_s);
    page += "<form method=POST action=\"../test/bbs.cgi?guid=ON\">\n";
    for (auto it = form.cbegin(); it != form.cend(); ++it) {
        if (it.key() != "submit" && it.key() != "feature") {
            page += "<input type=hidden name=\"" + attributeEscape(it.key()) + "\" value=\""
                    + attributeEscape(it.value()) + "\">\n";
        }
    }
    page += "<input type=hidden name=\"feature\" value=\"" + feature + "\">\n";
    page += sjis(u"<input type=submit value=\"上記全てを承諾して書き込む\" name=\"submit\"><br>\n"_s);
    page += "</form>\n";
    page += sjis(u"<a href=\"../"_s + board + u"/\">掲示板に戻る</a>\n"_s);
    page += "</body></html>\n";
    return htmlResponse(page);
}

HttpResponse BoardSite::successPage(Script script, const QString& board, const QString& key)
{
    const QByteArray back = "../" + board.toLatin1() + '/';
    if (script == Script::WriteCgi) {
        // The machi kind sends the browser on to the thread.
        HttpResponse moved = htmlResponse(pageHead(sjis(u"書き込み完了"_s)) + "</html>\n");
        moved.status = 302;
        moved.headers.append(
            {"Location", "/bbs/read.cgi?BBS=" + board.toLatin1() + "&KEY=" + key.toLatin1()});
        return moved;
    }
    QByteArray page;
    if (script == Script::WriteCgi) {
        page = pageHead(sjis(u"書き込み完了"_s));
        page += "<body bgcolor=#EFEFEF>\n" + sjis(u"書き込みが完了しました。<br><br>\n"_s);
    } else {
        page = pageHead(sjis(u"書きこみました。"_s),
                        "<meta http-equiv=\"refresh\" content=\"5;URL=" + back + "\">");
        page +=
            "<body bgcolor=#EEEEEE>\n"
            + sjis(
                u"書きこみが終わりました。<br><br>\n画面を切り替えるまでしばらくお待ち下さい。<br><br>\n"_s);
    }
    page += "<a href=\"" + back + "\">" + sjis(u"掲示板に戻る"_s) + "</a>\n</body></html>\n";
    return htmlResponse(page);
}

HttpResponse BoardSite::errorPage(Script script, const QString& message, const QString& board, bool prefixed)
{
    QByteArray page;
    if (script == Script::WriteCgi) {
        page = pageHead(sjis(u"エラー"_s));
        page += "<body bgcolor=#EFEFEF>\n<b>" + sjis(u"エラー："_s + message) + "</b><br><br>\n";
    } else {
        page = pageHead(sjis(u"ＥＲＲＯＲ！"_s));
        page += "<body bgcolor=#EEEEEE>\n<!-- 2ch_X:error -->\n<b>"
                + sjis(prefixed ? u"ＥＲＲＯＲ："_s + message : message) + "</b><br><br>\n";
    }
    if (!board.isEmpty()) {
        page += sjis(u"<a href=\"../"_s + board + u"/\">掲示板に戻る</a>\n"_s);
    }
    page += "</body></html>\n";
    return htmlResponse(page);
}
