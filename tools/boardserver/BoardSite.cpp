#include "BoardSite.h"

#include <optional>

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include "BoardFiles.h"
#include "Representation.h"
#include "base/TextCodec.h"

using namespace Qt::Literals::StringLiterals;
using namespace BoardFiles;

namespace {

// Only these bytes may name a served file; nothing else reaches the file system.
bool isSafePathByte(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return QByteArrayView("-._~!$&'()*+,;=:@").contains(c);
}

// The decoded segments of a request path, or nothing when the path could name
// something outside the served folder: "." and ".." segments (and hidden
// names), empty segments ("//", which would make an absolute path),
// backslashes, control bytes, percent-encoded separators, anything non-ASCII.
std::optional<QStringList> safeSegments(QByteArrayView rawPath, bool* trailingSlash)
{
    if (!rawPath.startsWith('/')) {
        return std::nullopt;
    }
    const QByteArray decoded = QByteArray::fromPercentEncoding(rawPath.toByteArray());
    QStringList segments;
    const QList<QByteArray> parts = decoded.mid(1).split('/');
    *trailingSlash = decoded.endsWith('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray& part = parts[i];
        if (part.isEmpty()) {
            if (i == parts.size() - 1) {
                continue;
            }
            return std::nullopt;
        }
        if (part.startsWith('.')) {
            return std::nullopt;
        }
        for (char c : part) {
            if (!isSafePathByte(c)) {
                return std::nullopt;
            }
        }
        segments.append(QString::fromLatin1(part));
    }
    return segments;
}

// Links in the body of an HTML thread page, as such boards make them: URLs
// (also those written without the leading "h") and anchors to messages.
QString linkify(const QString& body, const QString& anchorBase)
{
    static const QRegularExpression pattern(
        u"(h?ttps?://[-_.!~*'a-zA-Z0-9;/?:@=+$,%#]+)|&gt;&gt;([0-9]{1,4})(-[0-9]{1,4})?"_s);
    QString out;
    qsizetype last = 0;
    auto it = pattern.globalMatch(body);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += body.mid(last, m.capturedStart() - last);
        if (m.capturedLength(1) > 0) {
            QString url = m.captured(1);
            const QString href = url.startsWith(u'h') ? url : u'h' + url;
            out += u"<a href=\""_s + href + u"\" target=\"_blank\">"_s + url + u"</a>"_s;
        } else {
            const QString from = m.captured(2);
            const QString to = m.capturedLength(3) > 0 ? m.captured(3).mid(1) : from;
            out += u"<a href=\""_s + anchorBase + u"&START="_s + from + u"&END="_s + to
                   + u"\" target=\"_blank\">"_s + m.captured(0) + u"</a>"_s;
        }
        last = m.capturedEnd();
    }
    out += body.mid(last);
    return out;
}

}  // namespace

BoardSite::BoardSite(const QString& root, Options options)
    : m_options(options)
{
    const QFileInfo info(root);
    if (info.isDir()) {
        m_root = info.canonicalFilePath();
    }
    bool ok = false;
    const QByteArray menu = readFile(m_root + u"/bbsmenu.html"_s, &ok);
    static const QRegularExpression hostPattern(u"href=[\"']?http://([A-Za-z0-9.-]+)[:/\"' >]"_s,
                                                QRegularExpression::CaseInsensitiveOption);
    auto it = hostPattern.globalMatch(QString::fromLatin1(menu));
    while (it.hasNext()) {
        const QByteArray host = it.next().captured(1).toLatin1();
        if (!m_menuHosts.contains(host)) {
            m_menuHosts.append(host);
        }
    }
}

void BoardSite::setDirectLinks(const QByteArray& authority)
{
    m_directAuthority = authority;
}

bool BoardSite::isBoard(const QString& board) const
{
    return isBoardName(board) && QFileInfo(m_root + u'/' + board + u"/subject.txt"_s).isFile();
}

BoardSite::Settings BoardSite::boardSettings(const QString& board) const
{
    Settings settings;
    bool ok = false;
    for (const QByteArray& line : splitLines(readFile(m_root + u'/' + board + u"/SETTING.TXT"_s, &ok))) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) {
            settings.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
    }
    return settings;
}

QByteArray BoardSite::boardTitle(const QString& board, const Settings& settings) const
{
    const QByteArray title = settings.value("BBS_TITLE");
    return title.isEmpty() ? board.toLatin1() : title;
}

HttpResponse BoardSite::handle(const HttpRequest& request, const QString& peer)
{
    if (m_options.domain5chIo) {
        const QByteArray host = request.host.toLower();
        for (const QByteArrayView old : {QByteArrayView(".5ch.net"), QByteArrayView(".2ch.net")}) {
            if (host.endsWith(old) && host.size() > old.size()) {
                HttpResponse moved = statusPage(301);
                moved.headers.append({"Location", (request.tls ? "https://" : "http://")
                                                      + host.chopped(old.size()) + ".5ch.io"
                                                      + request.pathAndQuery()});
                return moved;
            }
        }
    }
    HttpResponse response = route(request, peer);
    if (m_options.domain5chIo && (request.path == "/" || request.path == "/bbsmenu.html")) {
        // The menu links the boards where the service keeps them today.
        response.body.replace(".2ch.example/", ".5ch.io/");
    }
    if (!m_directAuthority.isEmpty() && response.status == 200 && response.contentType.startsWith("text/")) {
        rewriteLinks(response);
    }
    if (response.storedFile) {
        Representation::apply(request, response);
    }
    return response;
}

void BoardSite::rewriteLinks(HttpResponse& response) const
{
    for (const QByteArray& host : m_menuHosts) {
        response.body.replace("http://" + host + '/', "http://" + m_directAuthority + '/');
    }
}

HttpResponse BoardSite::route(const HttpRequest& request, const QString& peer)
{
    bool trailingSlash = false;
    const std::optional<QStringList> found = safeSegments(request.path, &trailingSlash);
    if (!found) {
        return statusPage(400, "The path is not allowed.");
    }
    const QStringList& segments = *found;
    const QString first = segments.value(0);
    const bool isPost = request.method == "POST";

    if (segments.size() == 2 && first == u"test"_s
        && (segments[1] == u"bbs.cgi"_s || segments[1] == u"subbbs.cgi"_s)) {
        if (!isPost) {
            return statusPage(405, "The posting script takes POST only.");
        }
        return post(request, segments[1] == u"bbs.cgi"_s ? Script::BbsCgi : Script::SubBbsCgi, peer);
    }
    if (segments.size() == 2 && first == u"bbs"_s && segments[1] == u"write.cgi"_s) {
        if (!isPost) {
            return statusPage(405, "The posting script takes POST only.");
        }
        return post(request, Script::WriteCgi, peer);
    }
    if (isPost) {
        return statusPage(405, "Only the posting scripts take POST.");
    }
    if (segments.size() == 2 && first == u"bbs"_s && segments[1] == u"read.cgi"_s) {
        const QMap<QByteArray, QByteArray> query = parseForm(request.query);
        const QString board = QString::fromLatin1(query.value("BBS"));
        const QString key = QString::fromLatin1(query.value("KEY"));
        if (!isBoardName(board) || !isThreadKey(key)) {
            return statusPage(400, "read.cgi needs BBS and KEY.");
        }
        return threadPage(board, key, true);
    }
    if (segments.size() >= 4 && first == u"test"_s && segments[1] == u"read.cgi"_s) {
        if (!isBoardName(segments[2]) || !isThreadKey(segments[3])) {
            return statusPage(404);
        }
        return threadPage(segments[2], segments[3], false);
    }
    if (segments.isEmpty()) {
        return serveFile(u"bbsmenu.html"_s);
    }
    if (segments.size() == 1 && trailingSlash && isBoard(first)) {
        return topPage(first);
    }
    if (segments.size() == 2 && segments[1] == u"index.html"_s && isBoard(first)
        && !QFileInfo::exists(m_root + u'/' + first + u"/index.html"_s)) {
        return topPage(first);
    }
    if (trailingSlash) {
        return statusPage(404);
    }
    return serveFile(segments.join(u'/'));
}

HttpResponse BoardSite::serveFile(const QString& relativePath)
{
    const QFileInfo info(m_root + u'/' + relativePath);
    if (!info.isFile()) {
        return statusPage(404, "No such file on this server.");
    }
    // A link inside the folder must not lead out of it.
    if (!info.canonicalFilePath().startsWith(m_root + u'/')) {
        return statusPage(403);
    }
    bool ok = false;
    QByteArray bytes = readFile(info.filePath(), &ok);
    if (!ok) {
        return statusPage(403, "The file cannot be read.");
    }
    HttpResponse response;
    const QString suffix = info.suffix().toLower();
    if (suffix == u"html"_s || suffix == u"htm"_s) {
        response.contentType = kHtmlType;
    } else if (suffix == u"txt"_s || suffix == u"dat"_s) {
        response.contentType = kTextType;
    } else {
        response.contentType = "application/octet-stream";
    }
    response.headers.append({"Last-Modified", Representation::httpDate(info.lastModified())});
    response.headers.append({"ETag", Representation::entityTag(bytes.size(), info.lastModified())});
    response.headers.append({QByteArray("Accept-Ranges"), QByteArray("bytes")});
    response.storedFile = true;
    response.body = std::move(bytes);
    return response;
}

HttpResponse BoardSite::topPage(const QString& board)
{
    const Settings settings = boardSettings(board);
    const bool machi = settings.value("BBS_TYPE") == "machi";
    const QByteArray title = boardTitle(board, settings);
    const QByteArray b = board.toLatin1();

    QByteArray page = pageHead(title);
    page += "<body bgcolor=#FFFFFF text=#000000 link=#0000FF vlink=#660099>\n";
    page += "<h1 align=center>" + title + "</h1>\n";
    bool ok = false;
    const QByteArray info = readFile(m_root + u'/' + board + u"/head.txt"_s, &ok);
    if (ok && !info.isEmpty()) {
        page += "<div>" + info + "</div>\n";
    }
    page += "<hr>\n<div class=\"threads\">\n";
    const QList<QByteArray> lines = splitLines(readFile(m_root + u'/' + board + u"/subject.txt"_s, &ok));
    static const QRegularExpression subjectPattern(u"^([0-9]+)\\.(dat|cgi)(<>|,)(.*)$"_s);
    int number = 0;
    for (const QByteArray& line : lines) {
        const QRegularExpressionMatch m = subjectPattern.match(QString::fromLatin1(line));
        if (!m.hasMatch() || ++number > 100) {
            continue;
        }
        const QByteArray key = m.captured(1).toLatin1();
        const QByteArray text = line.mid(m.capturedStart(4));
        const QByteArray href = machi ? "../bbs/read.cgi?BBS=" + b + "&amp;KEY=" + key
                                      : "../test/read.cgi/" + b + '/' + key + "/l50";
        page += "<a href=\"" + href + "\">" + QByteArray::number(number) + ": " + text + "</a><br>\n";
    }
    page += "</div>\n<hr>\n";

    if (settings.value("BBS_READONLY") == "on") {
        page += sjis(u"<p>この板では新しいスレッドを立てられません。</p>\n"_s);
    } else {
        const QByteArray now = QByteArray::number(QDateTime::currentSecsSinceEpoch());
        if (machi) {
            page += "<form method=POST action=\"../bbs/write.cgi\">\n";
            page += sjis(
                u"<input type=submit value=\"新規書き込み\" name=submit><br>\n"
                u"題名：<input type=text name=SUBJECT size=40><br>\n"
                u"名前：<input type=text name=NAME size=19> E-mail：<input type=text name=MAIL size=19><br>\n"_s);
            page += "<textarea rows=5 cols=64 name=MESSAGE></textarea>\n";
            page += "<input type=hidden name=BBS value=" + b + ">\n";
            page += "<input type=hidden name=TIME value=" + now + ">\n";
        } else {
            page += "<form method=POST action=\"../test/bbs.cgi\">\n";
            page += sjis(
                u"<input type=submit value=\"新規スレッド作成\" name=submit><br>\n"
                u"タイトル：<input type=text name=subject size=40><br>\n"
                u"名前：<input type=text name=FROM size=19> E-mail：<input type=text name=mail size=19><br>\n"_s);
            page += "<textarea rows=5 cols=64 wrap=off name=MESSAGE></textarea>\n";
            page += "<input type=hidden name=bbs value=" + b + ">\n";
            page += "<input type=hidden name=time value=" + now + ">\n";
        }
        page += "</form>\n";
    }
    page += "</body></html>\n";
    return htmlResponse(page);
}

HttpResponse BoardSite::threadPage(const QString& board, const QString& key, bool machi)
{
    if (!isBoard(board)) {
        return statusPage(404, "No such board.");
    }
    bool ok = false;
    QByteArray dat = readFile(m_root + u'/' + board + u"/dat/"_s + key + u".dat"_s, &ok);
    if (!ok) {
        // A thread that left the live folder is still read from the archive.
        dat = readFile(m_root + u'/' + board + u"/oyster/"_s + key.left(4) + u'/' + key + u".dat"_s, &ok);
    }
    if (!ok) {
        return statusPage(404, "No such thread.");
    }
    const QList<QByteArray> lines = splitLines(dat);
    const QList<QByteArray> firstFields = splitFields(lines.value(0));
    const QByteArray title = firstFields.value(4);
    const QByteArray b = board.toLatin1();
    const QString anchorBase = u"./read.cgi?BBS="_s + board + u"&KEY="_s + key;

    QByteArray page = pageHead(title);
    page += "<body bgcolor=#EFEFEF text=#000000 link=#0000FF>\n";
    page += sjis(u"<a href=\"/"_s + board + u"/\">■掲示板に戻る■</a>\n"_s);
    page += "<h1><font color=#FF0000>" + title + "</font></h1>\n<dl>\n";
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = splitFields(lines[i]);
        // A removed message leaves a gap in the numbering, as these boards show it.
        if (fields.size() < 4) {
            continue;
        }
        const QByteArray& name = fields[0];
        const QByteArray& mail = fields[1];
        const QByteArray nameHtml = mail.isEmpty()
                                        ? "<font color=\"#008800\"><b>" + name + "</b></font>"
                                        : "<a href=\"mailto:" + mail + "\"><b>" + name + "</b></a>";
        QByteArray body = fields[3];
        if (machi) {
            body = sjis(linkify(TextCodec::fromCp932(body), anchorBase));
        }
        page += "<dt>" + QByteArray::number(i + 1) + sjis(u" ：") + nameHtml + sjis(u" ：") + fields[2]
                + "<br><dd>" + body + " <br><br>\n";
    }
    page += "</dl>\n<hr>\n";
    // The form's own <dt> also closes the last message for readers that cut
    // the page at every <dt>.
    if (machi) {
        page += "<form method=POST action=\"/bbs/write.cgi?BBS=" + b + "&KEY=" + key.toLatin1() + "\">\n";
    } else {
        page += "<form method=POST action=\"/test/bbs.cgi\">\n";
    }
    page += sjis(u"<dl><dt>名前：<input type=text name="_s + (machi ? u"NAME"_s : u"FROM"_s)
                 + u" size=19> E-mail：<input type=text name="_s + (machi ? u"MAIL"_s : u"mail"_s)
                 + u" size=19>\n<dd><textarea rows=5 cols=64 name=MESSAGE></textarea>\n"_s);
    if (machi) {
        page += "<input type=hidden name=BBS value=" + b + "><input type=hidden name=KEY value="
                + key.toLatin1() + "><input type=hidden name=TIME value=" + key.toLatin1() + ">\n";
    } else {
        page += "<input type=hidden name=bbs value=" + b + "><input type=hidden name=key value="
                + key.toLatin1() + "><input type=hidden name=time value=" + key.toLatin1() + ">\n";
    }
    page += sjis(u"<input type=submit value=\"書き込む\" name=submit></dl></form>\n"_s);
    page += "</body></html>\n";
    return htmlResponse(page);
}

HttpResponse BoardSite::boardErrorPage()
{
    QByteArray page = pageHead(sjis(u"ＥＲＲＯＲ！"_s));
    page += "<body bgcolor=#EEEEEE>\n<!-- 2ch_X:error -->\n<b>"
            + sjis(u"ＥＲＲＯＲ：ただいまサーバーが混み合っています。しばらくしてからお試しください。"_s)
            + "</b><br><br>\n</body></html>\n";
    return htmlResponse(page);
}

QByteArray BoardSite::endlessChunk(QByteArrayView path)
{
    QByteArray line;
    if (path.endsWith(".dat")) {
        line = sjis(u"名無しさん<><>2024/01/01(月) 00:00:00.00 ID:Endless00<> まだまだ続きます <>\n"_s);
    } else if (path.endsWith("subject.txt")) {
        line = sjis(u"1704034800.dat<>終わらないスレッド (1)\n"_s);
    } else {
        line = sjis(u"<p>このページはいつまでも終わりません。</p>\n"_s);
    }
    QByteArray chunk;
    chunk.reserve(64 * 1024 + line.size());
    while (chunk.size() < 64 * 1024) {
        chunk += line;
    }
    return chunk;
}
