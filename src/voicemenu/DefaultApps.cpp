#include "DefaultApps.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "base/TextFile.h"

using namespace Qt::StringLiterals;

namespace {

// Values of one group of a desktop-entry style file ("[Group]", "Key=Value").
QString groupValue(const QStringList& lines, const QString& group, const QString& key)
{
    bool inGroup = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed() == key) {
            return line.mid(eq + 1).trimmed();
        }
    }
    return {};
}

// Turns the field codes of an Exec line into the "%1" of an open command.
QString execToCommand(const QString& exec)
{
    QString out;
    bool addressPlaced = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c != u'%' || i + 1 >= exec.size()) {
            out += c;
            continue;
        }
        const QChar code = exec.at(++i);
        if (code == u'%') {
            out += u'%';
        } else if (code == u'u' || code == u'U' || code == u'f' || code == u'F') {
            if (!addressPlaced) {
                out += u"%1"_s;
                addressPlaced = true;
            }
        }
        // Other field codes (%i, %c, %k and the deprecated ones) are dropped.
    }
    return out.simplified();
}

}  // namespace

void DefaultApps::setSearchDirs(const QStringList& configDirs, const QStringList& dataDirs)
{
    m_configDirs = configDirs;
    m_dataDirs = dataDirs;
    m_customDirs = true;
}

QStringList DefaultApps::configDirs() const
{
    if (m_customDirs) {
        return m_configDirs;
    }
    return QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
}

QStringList DefaultApps::dataDirs() const
{
    if (m_customDirs) {
        return m_dataDirs;
    }
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

QString DefaultApps::defaultDesktopEntry(const QString& mimeType) const
{
    QStringList lists;
    for (const QString& dir : configDirs()) {
        lists << dir + u"/mimeapps.list"_s;
    }
    for (const QString& dir : dataDirs()) {
        lists << dir + u"/applications/mimeapps.list"_s;
    }
    for (const QString& path : lists) {
        const std::optional<QStringList> lines = TextFile::readLines(path);
        if (!lines) {
            continue;
        }
        const QString value = groupValue(*lines, u"Default Applications"_s, mimeType);
        for (const QString& id : value.split(u';', Qt::SkipEmptyParts)) {
            if (!execOf(id).isEmpty()) {
                return id;
            }
        }
    }
    // No default chosen: the first application that says it handles the type.
    for (const QString& dir : dataDirs()) {
        const std::optional<QStringList> lines = TextFile::readLines(dir + u"/applications/mimeinfo.cache"_s);
        if (!lines) {
            continue;
        }
        const QString value = groupValue(*lines, u"MIME Cache"_s, mimeType);
        for (const QString& id : value.split(u';', Qt::SkipEmptyParts)) {
            if (!execOf(id).isEmpty()) {
                return id;
            }
        }
    }
    return {};
}

QString DefaultApps::execOf(const QString& desktopId) const
{
    if (desktopId.contains(u'/') || desktopId.contains(u"..")) {
        return {};
    }
    for (const QString& dir : dataDirs()) {
        const std::optional<QStringList> lines = TextFile::readLines(dir + u"/applications/"_s + desktopId);
        if (lines) {
            return groupValue(*lines, u"Desktop Entry"_s, u"Exec"_s);
        }
    }
    return {};
}

QString DefaultApps::commandForScheme(const QString& scheme) const
{
    if (scheme.isEmpty()) {
        return {};
    }
    const QString id = defaultDesktopEntry(u"x-scheme-handler/"_s + scheme.toLower());
    return id.isEmpty() ? QString() : execToCommand(execOf(id));
}

QString DefaultApps::browserCommand() const
{
    return commandForScheme(u"http"_s);
}

QString DefaultApps::mailerCommand() const
{
    return commandForScheme(u"mailto"_s);
}

QString DefaultApps::commandFor(const QString& command, const QString& address)
{
    if (command.contains(u"%1"_s)) {
        return QString(command).replace(u"%1"_s, address);
    }
    return command + u' ' + address;
}
