#pragma once

// The per-user key-value store: an INI file ("yomimaru.ini") holding the
// section "Config" (the numbered settings and named values) and the window
// positions under "FormLocation/<window>". Every write reaches the file at
// once, and the file is replaced atomically, so an abrupt end loses nothing.

#include <memory>

#include <QString>

class QSettings;

class SettingsStore
{
public:
    // The file "yomimaru.ini" in configDir (created when missing).
    explicit SettingsStore(const QString& configDir);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString filePath() const { return m_filePath; }

    // The stored text, or defaultValue when the key is missing. A value that a
    // hand edit turned into a list (unquoted commas) is read back joined.
    QString value(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    bool contains(const QString& section, const QString& key) const;
    // Stores the text and writes the file; false when the file cannot be written.
    bool setValue(const QString& section, const QString& key, const QString& value);

private:
    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
};
