#pragma once

// A throw-away profile for a test: a data root and a settings store in a
// temporary folder, with the settings loaded.

#include <QTemporaryDir>

#include "base/CSettings.h"
#include "base/SettingsStore.h"

class TempProfile
{
public:
    TempProfile()
        : m_store(m_dir.filePath(QStringLiteral("config")))
        , m_settings(m_store)
    {
        m_settings.InitInstance();
    }

    bool isValid() const { return m_dir.isValid(); }

    QString dataRoot() const { return m_dir.filePath(QStringLiteral("data")); }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    CSettings& settings() { return m_settings; }

    SettingsStore& store() { return m_store; }

private:
    QTemporaryDir m_dir;
    SettingsStore m_store;
    CSettings m_settings;
};
