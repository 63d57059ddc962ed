#pragma once

// The served folder of boards and every page the board server makes from it:
// the board menu, subject.txt and dat files as stored, thread pages of the
// "machi" kind, board top pages with their hidden time field, and the three
// posting scripts. It writes only inside the served folder, and only when a
// post is accepted. One instance serves one event loop; nothing is shared.

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
    HttpResponse errorPage(Script script, const QString& message, const QString& board);

    // True when the request brings back a confirmation's cookie together with
    // the hidden field that confirmation page carried.
    bool hasConfirmationCookie(const HttpRequest& request, const QMap<QByteArray, QByteArray>& form) const;
    // A new cookie (the Set-Cookie value) and its hidden field (name, value).
    QByteArray issueCookie(QPair<QByteArray, QByteArray>& hidden);

    void rewriteLinks(HttpResponse& response) const;

    QString m_root;  // canonical, without a final slash; empty when invalid
    Options m_options;
    // Each confirmation cookie with the random hidden field of its page.
    QHash<QByteArray, QPair<QByteArray, QByteArray>> m_cookies;
    QList<QByteArray> m_menuHosts;
    QByteArray m_directAuthority;
};
