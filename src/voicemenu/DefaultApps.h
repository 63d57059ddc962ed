#pragma once

// The applications this machine opens addresses with: the browser for web
// addresses and the mailer for mail addresses, for when handing an address to
// the desktop fails. The default application of a scheme ("http", "mailto") is
// the desktop entry that the XDG mime-apps lists name as default for
// "x-scheme-handler/<scheme>" (the same look-up xdg-mime does); its command
// line is returned with "%1" where the address goes.

#include <QString>
#include <QStringList>

class DefaultApps
{
public:
    // The default application's command line for addresses of the scheme, with
    // "%1" for the address; empty when nothing is registered.
    QString commandForScheme(const QString& scheme) const;
    QString browserCommand() const;
    QString mailerCommand() const;

    // The command with "%1" replaced by the address, or with a space and the
    // address appended when it has no "%1".
    static QString commandFor(const QString& command, const QString& address);

    // The look-up folders, in order of precedence; tests replace them.
    void setSearchDirs(const QStringList& configDirs, const QStringList& dataDirs);

private:
    QString defaultDesktopEntry(const QString& mimeType) const;
    QString execOf(const QString& desktopId) const;
    QStringList configDirs() const;
    QStringList dataDirs() const;

    QStringList m_configDirs;
    QStringList m_dataDirs;
    bool m_customDirs = false;
};
