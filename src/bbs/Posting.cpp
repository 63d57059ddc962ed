#include "bbs/Posting.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include "base/TextCodec.h"
#include "bbs/CHttp.h"
#include "bbs/HtmlText.h"

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

    bool has(const QString& name) const
    {
        for (const Field& field : form) {
            if (!field.raw && field.name == name) {
                return true;
            }
        }
        return false;
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

// Adds the confirmation page's hidden inputs that the form does not hold yet
// (a server may add a field of its own and take the post only with it), with
// their values as the page gives them.
void addHiddenInputs(Request& request, const QString& page)
{
    static const QRegularExpression input(u"<input\\s[^>]*>"_s, kInsensitive);
    int added = 0;
    for (auto it = input.globalMatch(page); it.hasNext() && added < 20;) {
        const QString tag = it.next().captured(0);
        if (attribute(tag, u"type"_s).compare(u"hidden"_s, Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QString name = attribute(tag, u"name"_s);
        if (name.isEmpty() || name.size() > 64) {
            continue;
        }
        const QString encodedName = UrlEncode(HtmlText::decodeEntities(name));
        if (request.has(encodedName) || request.has(name)) {
            continue;
        }
        const QString value = attribute(tag, u"value"_s);
        if (value.size() > 1024) {
            continue;  // no page's own field is that long
        }
        request.form.append({encodedName, UrlEncode(HtmlText::decodeEntities(value))});
        ++added;
    }
}

bool isSuccessTitle(const QString& page)
{
    static const QRegularExpression title(
        u"<title>[^<]*(書きこみました|書き込みました|書き込み完了|書きこみ完了)"_s, kInsensitive);
    return title.match(page).hasMatch();
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
          const QString& cookie)
{
    const QStringList parts = url.split(u'/');
    Request request;
    if (subject.isEmpty()) {
        if (parts.size() < (machibbs ? 5 : 7)) {
            resultMsg = kBadUrl;
            return false;
        }
        request.scheme = schemeOf(parts[0]);
        request.host = parts[2];
        if (!machibbs) {
            const QString& board = parts[5];
            const QString& key = parts[6];
            request.path = u"/test/bbs.cgi"_s;
            request.referer = parts[0] + u"//"_s + request.host + u'/' + board + u'/' + key + u'/';
            request.form = {{u"submit"_s, UrlEncode(u"上記全てを承諾して書き込む"_s)},
                            {u"bbs"_s, board},
                            {u"key"_s, key},
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
                            {u"time"_s, key}};
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
        const QString top = http.Get2(url);
        if (top.isEmpty()) {
            resultMsg = kTopPageFailed;
            return false;
        }
        QString time;
        if (!timeValue(top, time)) {
            resultMsg = kNoTimeField;
            return false;
        }
        request.scheme = schemeOf(parts[0]);
        request.host = parts[2];
        const QString& board = parts[3];
        request.referer = parts[0] + u"//"_s + request.host + u'/' + board + u'/';
        if (!machibbs) {
            request.path = u"/test/bbs.cgi"_s;
            request.form = {{u"submit"_s, UrlEncode(u"新規スレッド作成"_s)},
                            {u"bbs"_s, board},
                            {u"FROM"_s, UrlEncode(name)},
                            {u"mail"_s, UrlEncode(mail)},
                            {u"MESSAGE"_s, UrlEncode(message)},
                            {u"subject"_s, UrlEncode(subject)},
                            {u"time"_s, time}};
        } else {
            request.path = u"/bbs/write.cgi"_s;
            request.form = {{u"submit"_s, UrlEncode(u"新規書き込み"_s)},
                            {u"BBS"_s, board},
                            {u"SUBJECT"_s, UrlEncode(subject)},
                            {u"NAME"_s, UrlEncode(name)},
                            {u"MAIL"_s, UrlEncode(mail)},
                            {u"MESSAGE"_s, UrlEncode(message)},
                            {u"TIME"_s, time}};
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
        if (machibbs && status >= 301 && status <= 303) {
            // まちＢＢＳ answers an accepted post by sending the browser on.
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

        const bool confirming = confirmation.match(page).hasMatch();
        const bool older = !confirming && oldTitle.match(page).hasMatch() && oldSubmit.match(page).hasMatch();
        if (confirming || older) {
            if (confirmations >= kMaxConfirmations) {
                resultMsg = HtmlToText(page).trimmed();
                if (resultMsg.isEmpty()) {
                    resultMsg = kUnknownAnswer;
                }
                return false;
            }
            if (older) {
                request.path = u"/test/subbbs.cgi"_s;
                const QString lower = page.toLower();
                const QString marker = u"submit value=\""_s;
                const qsizetype start = lower.indexOf(marker);
                const qsizetype end = start < 0 ? -1 : lower.indexOf(u"\" name="_s, start + marker.size());
                if (end >= 0) {
                    request.set(u"submit"_s,
                                UrlEncode(page.mid(start + marker.size(), end - start - marker.size())));
                }
                QString time;
                if (timeValue(page, time)) {
                    request.set(u"time"_s, time);
                    request.set(u"TIME"_s, time);
                }
            }
            addHiddenInputs(request, page);
            continue;
        }
        if (error.match(page).hasMatch()) {
            resultMsg = HtmlToText(page).trimmed();
            return false;
        }
        if (isSuccessTitle(page)) {
            resultMsg = kPosted;
            return true;
        }
        resultMsg = kUnknownAnswer;
        return false;
    }
}

}  // namespace Posting
