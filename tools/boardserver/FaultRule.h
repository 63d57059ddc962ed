#pragma once

// A fault the server injects on purpose, so that tests can see how a client
// copes with slow, broken, endless or unexpected answers. Written on the
// command line as KIND[:VALUE][@PATH-SUBSTRING][#COUNT]; see the README.

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

struct FaultRule
{
    enum class Kind
    {
        Delay,      // wait VALUE ms before answering (default 1000)
        NoLength,   // no Content-Length; the body ends when the server closes
        Short,      // announce the whole body, send VALUE bytes (default half), close
        Drop,       // close the connection without answering
        Endless,    // send a body without end until the client leaves or VALUE s pass (default 10)
        Stall,      // send the head and half the body, then nothing for VALUE s (default 60), then close
        ErrorPage,  // answer 200 with a board error page instead of the real answer
        Status,     // answer with status VALUE (default 500) and a small HTML page
        Redirect,   // answer 302 with Location: TEXT
        Trickle,    // send the head with the whole length, then one body byte every VALUE ms (default 1000)
        Long,       // announce VALUE bytes (default half the body) and send the whole body, then close
        Throttle,   // send the whole answer at VALUE bytes per second (default 125000), as a slow link would
    };

    Kind kind = Kind::Delay;
    qint64 value = -1;      // -1: the kind's default
    QByteArray text;        // the redirect target
    QByteArray pathFilter;  // empty: every request
    int remaining = -1;     // requests left to affect; -1: no end

    // Parses one command-line description; on failure says why.
    static std::optional<FaultRule> parse(const QString& rule, QString* error);

    bool matches(QByteArrayView pathAndQuery) const;

    // Faults that change how the real answer travels (delay, no length, short,
    // long, stall, trickle, throttle); the others replace the answer, so the request is not carried out.
    bool deliversRealAnswer() const;

    QByteArray name() const;
};

// What happens to one request: an optional delay and at most one other fault.
struct FaultPlan
{
    qint64 delayMs = 0;
    std::optional<FaultRule> fault;
};

// Picks the first matching delay rule and the first matching other rule, and
// counts them down.
FaultPlan planFaults(QList<FaultRule>& rules, QByteArrayView pathAndQuery);

// Bounds of the endless body, whatever the rule says.
inline constexpr qint64 kEndlessMaxBytes = 512LL * 1024 * 1024;
