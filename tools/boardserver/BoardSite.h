#pragma once

// The served folder of boards and every page the board server makes from it:
// the board menu, subject.txt and dat files as stored, thread pages of the
// "machi" kind, board top pages with their hidden time field, and the three
// posting scripts. It writes only inside the served folder, and only when a
// post is accepted. One instance serves one event loop; nothing is shared.

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include "HttpMessage.h"

class BoardSite
{
public:
    struct Options
    {
        // Answer a first post with the older confirmation form that sends the
        // client on to /test/subbbs.cgi, instead of the usual confirmation.
        bool oldConfirmation = false;
        // The service as it is since 2026: the board menu links its boards
        // as "HOST.5ch.io" (the samples' "HOST.2ch.example"), and every
        // request to "HOST.5ch.net" or "HOST.2ch.net" is sent there with a 301.
        bool domain5chIo = false;
        // Posting as today's servers of the 2ch kind take it: the form's time
        // must be at least 30 s and at most a day old; a first post is
        // answered with a confirmation page ("2ch_X:cookie") that sets the
        // MonaTicket cookie and carries a "feature" field; the post that
        // brings both back is taken, and from then on the ticket alone will do.
        bool monaTicket = false;
        // Boards with BBS_ACORN=1 in their SETTING.TXT take posts only with
        // the acorn cookie, which the first post without one plants.
        bool donguri = false;
        // A poster may post on one board once in this many seconds (0: any time).
        int sambaSeconds = 0;
    };

    BoardSite(const QString& root, Options options);

    // False when the folder does not exist.
    bool isValid() const { return !m_root.isEmpty(); }

    QString root() const { return m_root; }

    // From now on, every "http://HOST/" of a host named in the board menu is
    // rewritten in served text to "http://" + authority + "/", so that a client
    // without a proxy reaches this server (authority: "127.0.0.1:PORT").
    void setDirectLinks(const QByteArray& authority);

    HttpResponse handle(const HttpRequest& request, const QString& peer);

    // The error page a board answers when it refuses a request.
    static HttpResponse boardErrorPage();

    // About 64 KiB of a body that looks like what the path names (dat lines,
    // subject lines or HTML), repeated to make an endless body.
    static QByteArray endlessChunk(QByteArrayView path);

private:
    enum class Script
    {
        BbsCgi,
        SubBbsCgi,
        WriteCgi,
    };

    using Settings = QMap<QByteArray, QByteArray>;

    bool isBoard(const QString& board) const;
    Settings boardSettings(const QString& board) const;
    QByteArray boardTitle(const QString& board, const Settings& settings) const;

    HttpResponse route(const HttpRequest& request, const QString& peer);
    HttpResponse serveFile(const QString& relativePath);
    HttpResponse topPage(const QString& board);
    HttpResponse threadPage(const QString& board, const QString& key, bool machi);
    HttpResponse post(const HttpRequest& request, Script script, const QString& peer);

    HttpResponse confirmationPage(Script script,
                                  const QMap<QByteArray, QByteArray>& form,
                                  const QString& board,
                                  const QPair<QByteArray, QByteArray>& extra);
    HttpResponse successPage(Script script, const QString& board, const QString& key);
    // The refusal of a post; `prefixed` puts "ＥＲＲＯＲ：" (or "エラー：") before the message.
    HttpResponse errorPage(Script script, const QString& message, const QString& board, bool prefixed = true);

    // True when the request brings back a confirmation's cookie together with
    // the hidden field that confirmation page carried.
    bool hasConfirmationCookie(const HttpRequest& request, const QMap<QByteArray, QByteArray>& form) const;
    // Today's checks before a post of the 2ch kind is taken (time, MonaTicket,
    // acorn, Samba); the refusal or confirmation to send, or nothing.
    std::optional<HttpResponse> checkToday(const HttpRequest& request,
                                           const QMap<QByteArray, QByteArray>& form,
                                           const QString& board,
                                           const Settings& settings,
                                           const QString& peer);
    HttpResponse monaConfirmationPage(const QMap<QByteArray, QByteArray>& form,
                                      const QString& board,
                                      const QByteArray& feature);
    // A cookie as these servers set it: for a year, on the whole domain of
    // a "5ch.io" host.
    static QByteArray setCookie(const QByteArray& name, const QByteArray& value, const HttpRequest& request);
    // A new cookie (the Set-Cookie value) and its hidden field (name, value).
    QByteArray issueCookie(QPair<QByteArray, QByteArray>& hidden);

    void rewriteLinks(HttpResponse& response) const;

    QString m_root;  // canonical, without a final slash; empty when invalid
    Options m_options;
    // Each confirmation cookie with the random hidden field of its page.
    QHash<QByteArray, QPair<QByteArray, QByteArray>> m_cookies;
    // Today's proofs: tickets confirmed, tickets issued with their page's
    // feature field, acorns planted, and each poster's last post on a board.
    QSet<QByteArray> m_tickets;
    QHash<QByteArray, QByteArray> m_pendingTickets;
    QSet<QByteArray> m_acorns;
    QHash<QString, qint64> m_lastPosts;
    QList<QByteArray> m_menuHosts;
    QByteArray m_directAuthority;
};
