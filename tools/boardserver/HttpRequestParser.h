#pragma once

// Builds one request from the bytes of a connection as they arrive. Everything
// is bounded: a request line, a header block or a body that grows past its
// limit is refused with a status, and so is anything malformed, so that no
// input can make the server grow without end or misread a path.

#include <QByteArray>
#include <QByteArrayView>

#include "HttpMessage.h"

class HttpRequestParser
{
public:
    static constexpr qsizetype kMaxRequestLine = 8 * 1024;
    static constexpr qsizetype kMaxHeaderBlock = 16 * 1024;
    static constexpr int kMaxHeaderCount = 100;
    static constexpr qint64 kMaxBody = 1024 * 1024;

    enum class State
    {
        NeedMore,
        Complete,
        Failed,
    };

    State feed(QByteArrayView bytes);

    State state() const { return m_state; }

    // Valid once the state is Complete.
    const HttpRequest& request() const { return m_request; }

    // Once the header block is read: true when the client waits for
    // "100 Continue" before it sends the body.
    bool expectsContinue() const { return m_headDone && m_expectContinue && m_state == State::NeedMore; }

    // Valid once the state is Failed: 400, 405, 413, 431, 501 or 505.
    int failureStatus() const { return m_failureStatus; }

    QByteArray failureDetail() const { return m_failureDetail; }

private:
    State fail(int status, QByteArrayView detail);
    State parseHead(QByteArrayView head);
    State parseTarget();

    QByteArray m_buffer;
    HttpRequest m_request;
    State m_state = State::NeedMore;
    bool m_headDone = false;
    bool m_expectContinue = false;
    qint64 m_bodyLength = 0;
    int m_failureStatus = 0;
    QByteArray m_failureDetail;
};
