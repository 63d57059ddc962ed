#include "BoardFiles.h"

#include <QFile>
#include <QRegularExpression>

#include "base/TextCodec.h"

using namespace Qt::Literals::StringLiterals;

namespace BoardFiles {

namespace {

constexpr qint64 kMaxServedFile = 64LL * 1024 * 1024;

}  // namespace

QByteArray sjis(QStringView text)
{
    QByteArray out;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(u"&#", from);
        if (at < 0) {
            return out + TextCodec::toCp932(text.sliced(from));
        }
        out += TextCodec::toCp932(text.sliced(from, at - from)) + "&#";
        from = at + 2;
    }
}

bool isBoardName(QStringView name)
{
    static const QRegularExpression pattern(u"^[A-Za-z0-9_-]{1,64}$"_s);
    return pattern.match(name).hasMatch();
}

bool isThreadKey(QStringView key)
{
    static const QRegularExpression pattern(u"^[0-9]{1,16}$"_s);
    return pattern.match(key).hasMatch();
}

bool isDigits(QByteArrayView text)
{
    if (text.isEmpty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

QMap<QByteArray, QByteArray> parseForm(QByteArrayView body)
{
    QMap<QByteArray, QByteArray> form;
    for (const QByteArray& pair : body.toByteArray().split('&')) {
        if (pair.isEmpty()) {
            continue;
        }
        const qsizetype eq = pair.indexOf('=');
        QByteArray name = eq < 0 ? pair : pair.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        name = QByteArray::fromPercentEncoding(name.replace('+', ' '));
        value = QByteArray::fromPercentEncoding(value.replace('+', ' '));
        if (!form.contains(name)) {
            form.insert(name, value);
        }
    }
    return form;
}

QByteArray readFile(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = false;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxServedFile) {
        return {};
    }
    QByteArray bytes = file.readAll();
    *ok = true;
    return bytes;
}

QList<QByteArray> splitLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return lines;
}

QList<QByteArray> splitFields(const QByteArray& line)
{
    QList<QByteArray> fields;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = line.indexOf("<>", from);
        if (at < 0) {
            fields.append(line.mid(from));
            return fields;
        }
        fields.append(line.mid(from, at - from));
        from = at + 2;
    }
}

QByteArray pageHead(const QByteArray& title, const QByteArray& extraHead)
{
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
           "<title>"
           + title + "</title>" + extraHead + "</head>\n";
}

HttpResponse htmlResponse(QByteArray body)
{
    HttpResponse response;
    response.contentType = kHtmlType;
    response.body = std::move(body);
    return response;
}

}  // namespace BoardFiles
