#pragma once

// Where the program keeps and finds its files. Decided once at start-up from
// the command line and the environment, then passed down as a value; nothing
// relies on the process's current folder.
//
//   data root   --data-dir DIR, else $YOMIMARU_DATA_DIR, else $XDG_DATA_HOME/yomimaru
//   settings    --config-dir DIR, else $YOMIMARU_CONFIG_DIR, else $XDG_CONFIG_HOME/yomimaru
//   resources   the data root first (the user's own copy wins), then the
//               share folder next to the executable (../share/yomimaru),
//               then the configured install prefix's, then the source
//               tree's resources/

#include <QString>
#include <QStringList>

class AppPaths
{
public:
    AppPaths() = default;
    AppPaths(const QString& dataRoot, const QString& configDir);

    // Fills in what the options left empty from the environment and the XDG
    // locations.
    static AppPaths resolve(const QString& dataDirOption, const QString& configDirOption);

    QString dataRoot() const { return m_dataRoot; }

    QString configDir() const { return m_configDir; }

    // A path inside the data root.
    QString dataFile(const QString& relativePath) const;

    // The folders searched for read-only resources, in order.
    QStringList resourceDirs() const;

    // The share folder of an installation whose executable is in binDir:
    // binDir/../share/yomimaru, so a moved installation still finds its files.
    static QString installedResourceDir(const QString& binDir);

    void setResourceDirs(const QStringList& dirs) { m_resourceDirs = dirs; }

    // The first existing file of that name among the resource folders, or an
    // empty string.
    QString findResource(const QString& name) const;

private:
    QString m_dataRoot;
    QString m_configDir;
    QStringList m_resourceDirs;
};
