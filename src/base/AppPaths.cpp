#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

AppPaths::AppPaths(const QString& dataRoot, const QString& configDir)
    : m_dataRoot(dataRoot)
    , m_configDir(configDir)
{}

AppPaths AppPaths::resolve(const QString& dataDirOption, const QString& configDirOption)
{
    QString data = dataDirOption;
    if (data.isEmpty()) {
        data = qEnvironmentVariable("YOMIMARU_DATA_DIR");
    }
    if (data.isEmpty()) {
        data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/yomimaru"_s;
    }
    QString config = configDirOption;
    if (config.isEmpty()) {
        config = qEnvironmentVariable("YOMIMARU_CONFIG_DIR");
    }
    if (config.isEmpty()) {
        config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/yomimaru"_s;
    }
    return AppPaths(QDir(data).absolutePath(), QDir(config).absolutePath());
}

QString AppPaths::dataFile(const QString& relativePath) const
{
    return QDir(m_dataRoot).filePath(relativePath);
}

QStringList AppPaths::resourceDirs() const
{
    if (!m_resourceDirs.isEmpty()) {
        return m_resourceDirs;
    }
    QStringList dirs{m_dataRoot};
    if (QCoreApplication::instance()) {
        dirs << installedResourceDir(QCoreApplication::applicationDirPath());
    }
    dirs << QStringLiteral(YOMIMARU_INSTALL_RESOURCES) << QStringLiteral(YOMIMARU_SOURCE_RESOURCES);
    dirs.removeDuplicates();
    return dirs;
}

QString AppPaths::installedResourceDir(const QString& binDir)
{
    if (binDir.isEmpty()) {
        return {};
    }
    return QDir::cleanPath(binDir + u"/../share/yomimaru"_s);
}

QString AppPaths::findResource(const QString& name) const
{
    for (const QString& dir : resourceDirs()) {
        if (dir.isEmpty()) {
            continue;
        }
        const QString path = QDir(dir).filePath(name);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}
