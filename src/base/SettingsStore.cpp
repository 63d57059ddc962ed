#include "SettingsStore.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSettings>
#include <QStringList>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSettings, "yomimaru.settings", QtWarningMsg)

namespace {

QString fullKey(const QString& section, const QString& key)
{
    return section + u'/' + key;
}

// QSettings would refuse to write over a file it could not parse and every
// later change would be lost. Keeps the damaged file beside the new one for
// the user, and starts the new one from what could be read.
void keepDamagedFile(std::unique_ptr<QSettings>& settings, const QString& filePath)
{
    qCWarning(lcSettings) << "settings file damaged, kept as .bad:" << filePath;
    QHash<QString, QVariant> readable;
    for (const QString& key : settings->allKeys()) {
        readable.insert(key, settings->value(key));
    }
    settings.reset();
    QFile::remove(filePath + u".bad"_s);
    QFile::rename(filePath, filePath + u".bad"_s);
    settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    for (auto it = readable.cbegin(); it != readable.cend(); ++it) {
        settings->setValue(it.key(), it.value());
    }
    settings->sync();
}

}  // namespace

SettingsStore::SettingsStore(const QString& configDir)
    : m_filePath(QDir(configDir).filePath(u"yomimaru.ini"_s))
{
    QDir().mkpath(configDir);
    m_settings = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
    if (m_settings->status() == QSettings::FormatError) {
        keepDamagedFile(m_settings, m_filePath);
    }
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::value(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QVariant v = m_settings->value(fullKey(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    if (v.typeId() == QMetaType::QStringList) {
        return v.toStringList().join(u',');
    }
    return v.toString();
}

bool SettingsStore::contains(const QString& section, const QString& key) const
{
    return m_settings->contains(fullKey(section, key));
}

bool SettingsStore::setValue(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(fullKey(section, key), value);
    m_settings->sync();
    if (m_settings->status() == QSettings::FormatError) {
        // Some damage shows only when the file is read again to be written.
        keepDamagedFile(m_settings, m_filePath);
    }
    if (m_settings->status() != QSettings::NoError) {
        qCWarning(lcSettings) << "settings not written:" << m_filePath;
        return false;
    }
    return true;
}
