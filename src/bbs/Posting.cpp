#include "bbs/Posting.h"

#include <optional>

#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include "base/TextCodec.h"
#include "bbs/CHttp.h"
#include "bbs/HtmlText.h"
#include "bbs/ServiceDomain.h"

using namespace Qt::StringLiterals;

namespace Posting {

namespace {

const QString kBadUrl = u"内部エラー、URL指定が不正です。"_s;
const QString kTopPageFailed = u"板トップページのダウンロードに失敗しました。"_s;
const QString kNoTimeField = u"この板ではスレ立てできません"_s;
const QString kPosted = u"書き込みました。"_s;
const QString kNoAnswer = u"サーバーから応答がありませんでした。"_s;
const QString kNoAnswerAfterSending =
    u"サーバーから応答がありませんでした。書き込めたかどうか分かりません。"_s;
const QString kCutAnswer = u"サーバーの応答が途中で切れました。書き込めたかどうか分かりません。"_s;
const QString kUnknownAnswer = u"サーバーの応答を読み取れませんでした。書き込めたかどうか分かりません。"_s;
const QString kForeignForm =
    u"書き込み確認のページが別のサーバーへの送信を求めたので、書き込んでいません。"_s;
// Both posts of an exchange go here, "guid=ON" in the query as the servers want it.
const QString kBbsCgi = u"/test/bbs.cgi?guid=ON"_s;

constexpr auto kInsensitive = QRegularExpression::CaseInsensitiveOption;

// One field of the form. A raw field (the user's stored fragment) is sent
// verbatim; the others as "&name=value" ("name=value" when first).
struct Field
{
    QString name;
    QString value;
    bool raw = false;
};

struct Request
{
    QString scheme;
    QString host;
    QString path;
    QString referer;
    QList<Field> form;
    // The board and thread posted to (no thread for a new one): a server may
    // answer an accepted post by sending the browser there.
    QString board;
    QString key;

    QString body() const
    {
        QString text;
        for (const Field& field : form) {
            if (field.raw) {
                text += field.value;
                continue;
            }
            if (!text.isEmpty()) {
                text += u'&';
            }
            text += field.name + u'=' + field.value;
        }
        return text;
    }

    void set(const QString& name, const QString& value)
    {
        for (Field& field : form) {
            if (!field.raw && field.name == name) {
                field.value = value;
            }
        }
    }
};

// The value of a hidden time field: in the lower-cased page after the last
// "name=time" and the "value=" that follows it, up to the next ">" of the page
// as received. Quotes and a closing "/" around it are dropped, and the value
// is encoded, so a hostile page cannot add fields of its own.
bool timeValue(const QString& page, QString& value)
{
    const QString lower = page.toLower();
    const qsizetype field = lower.lastIndexOf(u"name=time"_s);
    if (field < 0) {
        return false;
    }
    const qsizetype start = lower.indexOf(u"value="_s, field);
    if (start < 0) {
        return false;
    }
    const qsizetype end = page.indexOf(u'>', start + 6);
    if (end < 0) {
        return false;
    }
    QString text = page.mid(start + 6, end - start - 6).trimmed();
    if (text.endsWith(u'/')) {
        text.chop(1);
    }
    text = text.trimmed();
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front()) {
        text = text.mid(1, text.size() - 2);
    }
    value = UrlEncode(text);
    return true;
}

QString attribute(const QString& tag, const QString& name)
{
    const QRegularExpression pattern(u"\\s"_s + QRegularExpression::escape(name)
                                         + u"\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]*))"_s,
                                     kInsensitive);
    const QRegularExpressionMatch match = pattern.match(tag);
    if (!match.hasMatch()) {
        return {};
    }
    for (int group = 1; group <= 3; ++group) {
        if (match.capturedStart(group) >= 0) {
            return match.captured(group);
        }
    }
    return {};
}

// The form of a confirmation page, to be posted back as it stands: where it
// goes, and its hidden fields and submit button in page order, with their
// values as the page gives them (entities decoded, then encoded for the
// form). Nothing when the page holds no form with a hidden field.
struct PageForm
{
    QString action;
    QList<Field> fields;
};

std::optional<PageForm> pageForm(const QString& page)
{
    static const QRegularExpression formTag(u"<form(\\s[^>]*)?>"_s, kInsensitive);
    static const QRegularExpression input(u"<input\\s[^>]*>"_s, kInsensitive);
    // Bounds for a hostile page; a real one has a dozen fields, the longest
    // the message itself.
    constexpr int kMaxFields = 64;
    constexpr qsizetype kMaxName = 64;
    constexpr qsizetype kMaxValue = 64 * 1024;
    for (auto forms = formTag.globalMatch(page); forms.hasNext();) {
        const QRegularExpressionMatch form = forms.next();
        qsizetype end = page.indexOf(u"</form"_s, form.capturedEnd(), Qt::CaseInsensitive);
        if (end < 0) {
            end = page.size();
        }
        PageForm result{HtmlText::decodeEntities(attribute(form.captured(0), u"action"_s)), {}};
        bool hidden = false;
        bool submit = false;
        for (auto it = input.globalMatch(QStringView(page).mid(form.capturedEnd(), end - form.capturedEnd()));
             it.hasNext() && result.fields.size() < kMaxFields;) {
            const QString tag = it.next().captured(0);
            const QString type = attribute(tag, u"type"_s).toLower();
            const QString name = HtmlText::decodeEntities(attribute(tag, u"name"_s));
            const QString value = HtmlText::decodeEntities(attribute(tag, u"value"_s));
            // Only the first button counts: it is the one a browser would press.
            if (name.isEmpty() || name.size() > kMaxName || value.size() > kMaxValue
                || !(type == u"hidden"_s || (type == u"submit"_s && !submit))) {
                continue;
            }
            hidden = hidden || type == u"hidden"_s;
            submit = submit || type == u"submit"_s;
            result.fields.append({UrlEncode(name), UrlEncode(value)});
        }
        if (hidden) {
            return result;
        }
    }
    return std::nullopt;
}

// Where the page's form posts, as a path with its query on the host posted
// to; nothing when it would send the post to another host or scheme.
std::optional<QString> formPath(const Request& request, const QString& action)
{
    const QUrl base(request.scheme + u"://"_s + request.host + request.path);
    const QUrl target = base.resolved(QUrl(action));
    if (!target.isValid() || target.scheme() != base.scheme()
        || target.host().compare(base.host(), Qt::CaseInsensitive) != 0 || target.port() != base.port()) {
        return std::nullopt;
    }
    QString path = target.path(QUrl::FullyEncoded);
    if (target.hasQuery()) {
        path += u'?' + target.query(QUrl::FullyEncoded);
    }
    return path.isEmpty() ? u"/"_s : path;
}

// The server's word that the post was taken: the success comment of the 2ch
// kind, or the success title.
bool isSuccessPage(const QString& page)
{
    static const QRegularExpression title(
        u"<title>[^<]*(書きこみました|書き込みました|書き込み完了|書きこみ完了)"_s, kInsensitive);
    return page.contains(u"2ch_X:true"_s) || title.match(page).hasMatch();
}

// A redirection to the thread posted to (to the board's threads, for a new
// one): how some servers of the 2ch kind answer an accepted post.
bool redirectsToThread(const Request& request, const QByteArray& location)
{
    const QString target = QUrl(QString::fromLatin1(location)).path();
    const QString thread = u"/test/read.cgi/"_s + request.board + u'/' + request.key;
    return !request.board.isEmpty() && target.startsWith(thread)
           && (request.key.isEmpty() || target.size() == thread.size() || target.at(thread.size()) == u'/');
}

// The scheme ("http" or "https") of a URL's first part, "http:".
QString schemeOf(const QString& part)
{
    QString scheme = part;
    if (scheme.endsWith(u':')) {
        scheme.chop(1);
    }
    return scheme.toLower();
}

}  // namespace

QString UrlEncode(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size() * 3);
    const auto encodeBytes = [&](const QByteArray& bytes) {
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
                out += QLatin1Char(char(b));
            } else {
                out += u'%';
                out += QLatin1Char(hex[b >> 4]);
                out += QLatin1Char(hex[b & 15]);
            }
        }
    };
    for (qsizetype i = 0; i < text.size();) {
        char32_t code = text.at(i).unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            length = 2;
        }
        if (TextCodec::isCp932Encodable(code)) {
            encodeBytes(TextCodec::toCp932(QStringView(text).mid(i, length)));
        } else {
            encodeBytes("&#" + QByteArray::number(quint32(code)) + ';');
        }
        i += length;
    }
    return out;
}

QString HtmlToText(const QString& page)
{
    static const QRegularExpression tag(u"<[^>]+>"_s, kInsensitive);
    QString text = page;
    text.remove(tag);
    text.replace(u"&gt;"_s, u">"_s);
    text.replace(u"&lt;"_s, u"<"_s);
    text.replace(u"&nbsp;"_s, u" "_s);
    text.replace(u"&amp;"_s, u"&"_s);
    text.replace(u"&quot;"_s, u"\""_s);
    text.replace(u"&reg;"_s, QString());
    return text;
}

bool Post(CHttp& http,
          const QString& url,
          const QString& name,
          const QString& mail,
          const QString& message,
          QString& resultMsg,
          bool machibbs,
          const QString& subject,
          const QString& cookie,
          std::optional<qint64> now)
{
    // Servers of the 2ch kind take a post only with a time at least half a
    // minute old: with the time of the post itself they issue no cookie.
    const QString time = QString::number(now.value_or(QDateTime::currentSecsSinceEpoch()) - 30);
    const QStringList parts = url.split(u'/');
    Request request;
    if (subject.isEmpty()) {
        if (parts.size() < (machibbs ? 5 : 7)) {
            resultMsg = kBadUrl;
            return false;
        }
        request.scheme = schemeOf(parts[0]);
        // A post is not sent on by a redirection: it goes where the service
        // lives today.
        request.host = ServiceDomain::currentHost(parts[2]);
        if (!machibbs) {
            request.board = parts[5];
            request.key = parts[6];
            request.path = kBbsCgi;
            request.referer = parts[0] + u"//"_s + request.host + u"/test/read.cgi/"_s + request.board + u'/'
                              + request.key + u'/';
            request.form = {{u"submit"_s, UrlEncode(u"上記全てを承諾して書き込む"_s)},
                            {u"bbs"_s, request.board},
                            {u"key"_s, request.key},
                            {u"FROM"_s, UrlEncode(name)},
                            {u"mail"_s, UrlEncode(mail)},
                            {u"MESSAGE"_s, UrlEncode(message)},
                            {u"guid"_s, u"ON"_s},
                            {u"hana"_s, u"mogera"_s},
                            {u"kiri"_s, u"tanpo"_s},
                            {u"suka"_s, u"pontan"_s},
                            {u"tepo"_s, u"don"_s},
                            {u"kuno"_s, u"ichi"_s},
                            {QString(), cookie, true},
                            {u"time"_s, time}};
        } else {
            static const QRegularExpression shape(u"^read\\.cgi\\?BBS=([^&]*)&KEY=([0-9]*)$"_s, kInsensitive);
            const QString rest = url.section(u'/', 4);
            const QRegularExpressionMatch match = shape.match(rest);
            if (!match.hasMatch()) {
                return false;
            }
            const QString board = match.captured(1);
            const QString key = match.captured(2);
            request.path = u"/bbs/write.cgi?BBS="_s + board + u"&KEY="_s + key;
            request.referer = url;
            request.form = {{u"submit"_s, UrlEncode(u"上記全てを承諾して書き込む"_s)},
                            {u"BBS"_s, board},
                            {u"KEY"_s, key},
                            {u"NAME"_s, UrlEncode(name)},
                            {u"MAIL"_s, UrlEncode(mail)},
                            {u"MESSAGE"_s, UrlEncode(message)},
                            {u"TIME"_s, key}};
        }
    } else {
        if (parts.size() <= 3) {
            resultMsg = kBadUrl;
            return false;
        }
        request.scheme = schemeOf(parts[0]);
        // A post is not sent on by a redirection: it goes where the service
        // lives today.
        request.host = ServiceDomain::currentHost(parts[2]);
        request.board = parts[3];
        request.referer = parts[0] + u"//"_s + request.host + u'/' + request.board + u'/';
        if (!machibbs) {
            // The board's top page is not needed: the time is the client's
            // own (today's top pages may not even carry one).
            request.path = kBbsCgi;
            request.form = {{u"submit"_s, UrlEncode(u"新規スレッド作成"_s)},
                            {u"bbs"_s, request.board},
                            {u"FROM"_s, UrlEncode(name)},
                            {u"mail"_s, UrlEncode(mail)},
                            {u"MESSAGE"_s, UrlEncode(message)},
                            {u"subject"_s, UrlEncode(subject)},
                            {u"time"_s, time}};
        } else {
            const QString top = http.Get2(url);
            if (top.isEmpty()) {
                resultMsg = kTopPageFailed;
                return false;
            }
            QString topTime;
            if (!timeValue(top, topTime)) {
                resultMsg = kNoTimeField;
                return false;
            }
            request.path = u"/bbs/write.cgi"_s;
            request.form = {{u"submit"_s, UrlEncode(u"新規書き込み"_s)},
                            {u"BBS"_s, request.board},
                            {u"SUBJECT"_s, UrlEncode(subject)},
                            {u"NAME"_s, UrlEncode(name)},
                            {u"MAIL"_s, UrlEncode(mail)},
                            {u"MESSAGE"_s, UrlEncode(message)},
                            {u"TIME"_s, topTime}};
        }
    }
    if (request.scheme != u"http"_s && request.scheme != u"https"_s) {
        resultMsg = kBadUrl;
        return false;
    }

    static const QRegularExpression confirmation(u"<title>.*確認.*</title>"_s, kInsensitive);
    static const QRegularExpression oldTitle(u"<title>.*＠2ch掲示板.*</title>"_s, kInsensitive);
    static const QRegularExpression oldSubmit(u"<input type=submit value=\"(.*)\" name=\"submit\">"_s,
                                              kInsensitive);
    static const QRegularExpression error(
        u"(<title>|<b>).*(error|[ｅＥ][ｒＲ][ｒＲ][ｏＯ][ｒＲ]|エラー|ｴﾗｰ|規制).*(</title>|</b>)"_s,
        kInsensitive);

    for (int confirmations = 0;; ++confirmations) {
        QString page = http.Post(request.host, request.path, request.referer, request.body(), request.scheme);
        const int status = http.lastStatus();
        if (status == 0) {
            // Once the whole form has gone out, the server may have stored it.
            resultMsg = http.lastPostSent() ? kNoAnswerAfterSending : kNoAnswer;
            return false;
        }
        const bool redirected = status >= 301 && status <= 303;
        if (redirected && (machibbs || redirectsToThread(request, http.lastHeader("Location")))) {
            // An accepted post sends the browser on to the thread.
            resultMsg = kPosted;
            return true;
        }
        if (status != 200) {
            resultMsg = u"サーバーがエラー"_s + QString::number(status) + u"を返しました。"_s;
            return false;
        }
        if (!http.lastComplete()) {
            resultMsg = kCutAnswer;
            return false;
        }
        if (page.trimmed().isEmpty()) {
            resultMsg = kNoAnswer;
            return false;
        }
        page.remove(u" 　\t"_s, Qt::CaseInsensitive);

        const bool confirming = page.contains(u"2ch_X:cookie"_s) || confirmation.match(page).hasMatch();
        const bool older = !confirming && oldTitle.match(page).hasMatch() && oldSubmit.match(page).hasMatch();
        if (confirming || older) {
            if (confirmations >= kMaxConfirmations) {
                resultMsg = HtmlToText(page).trimmed();
                if (resultMsg.isEmpty()) {
                    resultMsg = kUnknownAnswer;
                }
                return false;
            }
            // The page's own form goes back as it stands, to where it says.
            if (const std::optional<PageForm> form = pageForm(page)) {
                const std::optional<QString> path = formPath(request, form->action);
                if (!path) {
                    resultMsg = kForeignForm;
                    return false;
                }
                request.path = *path;
                request.form = form->fields;
            } else if (older) {
                request.path = u"/test/subbbs.cgi"_s;
                const QString lower = page.toLower();
                const QString marker = u"submit value=\""_s;
                const qsizetype start = lower.indexOf(marker);
                const qsizetype end = start < 0 ? -1 : lower.indexOf(u"\" name="_s, start + marker.size());
                if (end >= 0) {
                    request.set(u"submit"_s,
                                UrlEncode(page.mid(start + marker.size(), end - start - marker.size())));
                }
                QString pageTime;
                if (timeValue(page, pageTime)) {
                    request.set(u"time"_s, pageTime);
                    request.set(u"TIME"_s, pageTime);
                }
            }
            continue;
        }
        if (page.contains(u"2ch_X:error"_s) || page.contains(u"2ch_X:false"_s)
            || error.match(page).hasMatch()) {
            resultMsg = HtmlToText(page).trimmed();
            return false;
        }
        if (isSuccessPage(page)) {
            resultMsg = kPosted;
            return true;
        }
        // A refusal the page does not spell out may still come in a header.
        const QString refusal = TextCodec::decodeServerText(http.lastHeader("X-Chx-Error")).trimmed();
        resultMsg = refusal.isEmpty() ? kUnknownAnswer : refusal;
        return false;
    }
}

}  // namespace Posting
