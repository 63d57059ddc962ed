#include "HttpMessage.h"

#include <QDateTime>
#include <QLocale>

QByteArray HttpRequest::header(QByteArrayView lowerName) const
{
    for (const auto& [name, value] : headers) {
        if (name == lowerName) {
            return value;
        }
    }
    return {};
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

HttpResponse statusPage(int status, QByteArrayView detail)
{
    const QByteArray title = QByteArray::number(status) + ' ' + reasonPhrase(status);
    HttpResponse response;
    response.status = status;
    response.contentType = "text/html; charset=Shift_JIS";
    response.body = "<html><head><title>" + title + "</title></head>\n<body><h1>" + title + "</h1>\n";
    if (!detail.isEmpty()) {
        response.body += "<p>" + detail.toByteArray() + "</p>\n";
    }
    response.body += "</body></html>\n";
    return response;
}

QByteArray responseHead(const HttpResponse& response, QByteArrayView version, qint64 contentLength)
{
    const QByteArray date =
        QLocale::c().toString(QDateTime::currentDateTimeUtc(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1();
    QByteArray head = (version == "HTTP/1.0" ? "HTTP/1.0 " : "HTTP/1.1 ")
                      + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    head += "Date: " + date + "\r\n";
    head += "Server: yomimaru-boardserver\r\n";
    if (!response.contentType.isEmpty()) {
        head += "Content-Type: " + response.contentType + "\r\n";
    }
    if (contentLength >= 0) {
        head += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    }
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    return head;
}
