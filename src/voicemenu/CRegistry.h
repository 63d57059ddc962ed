#pragma once

// Reads the command registered on this machine for opening an address of a
// scheme ("http", "mailto"), for when handing the address to the desktop fails.
// The registered handler is the desktop entry that the XDG mime-apps lists name
// as default for "x-scheme-handler/<scheme>" (the same look-up xdg-mime does);
// its command line is returned with "%1" where the address goes.
//
// SectionKey names the scheme as a path whose first part is the scheme, for
// example "\http\shell\open\command".

#include <QString>
#include <QStringList>

class CRegistry
{
public:
    QString ClassKey;    // the root of the look-up; only the scheme handlers exist here
    QString SectionKey;  // "\<scheme>\shell\open\command"
    QString ValueKey;    // empty: the command
    QString Default;     // returned when nothing is registered
    QString ValueType;   // "REG_SZ" after a successful read, else empty

    // True when a handler is registered for the scheme.
    bool KeyExists() const;
    // The handler's command line with "%1" for the address, or Default.
    QString Value();

    // The command with "%1" replaced by the address, or with a space and the
    // address appended when it has no "%1".
    static QString commandFor(const QString& command, const QString& address);

    // The look-up folders, in order of precedence; tests replace them.
    void setSearchDirs(const QStringList& configDirs, const QStringList& dataDirs);

private:
    QString scheme() const;
    QString defaultDesktopEntry(const QString& mimeType) const;
    QString execOf(const QString& desktopId) const;
    QStringList configDirs() const;
    QStringList dataDirs() const;

    QStringList m_configDirs;
    QStringList m_dataDirs;
    bool m_customDirs = false;
};
