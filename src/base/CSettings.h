#pragma once

// The user's 29 preferences, indexed 1..29, each kept as text in the settings
// store under "Config/Setting<index>", plus the named values of section
// "Config". The main window owns the one instance; everyone reads and writes
// through it, and every write reaches the file at once.

#include <functional>

#include <QList>
#include <QString>

class SettingsStore;

class CSettings
{
public:
    // Indexes of the settings. Reading-item settings hold "0" for read and "1"
    // for do not read; flags hold "1" for on and "0" for off.
    enum Index : qint16
    {
        SpeechVolume = 1,
        SpeechSpeed = 2,
        SpeechPitch = 3,
        ReadName = 4,
        ReadMail = 5,
        ReadDate = 6,
        ReadAsciiArt = 7,
        ReadId = 8,
        ReadRemoteHost = 9,
        ReadMessageNumber = 10,
        ExitMethod = 11,
        ScreenReaderUse = 12,
        VoiceEngine = 13,
        ReverseLRKey = 14,
        ProxyUse = 15,
        ProxyServer = 16,
        ReadQuoteLevel = 17,
        ImePhonetic = 18,
        CaretPhonetic = 19,
        ImeReadMode = 20,
        CaretReadMode = 21,
        ImeReadRange = 22,
        CaretDetailRead = 23,
        ReadPunctuation = 24,
        ReadBrackets = 25,
        ReadSymbols = 26,
        FontSize = 27,
        WindowMaximized = 28,
        LowVisionColors = 29,
    };

    static constexpr qint16 kCount = 29;
    // Field 0 is empty; fields 1..29 are the defaults.
    static constexpr const char16_t* kDefaults =
        u",10,6,5,1,1,1,1,1,1,0,1,0,1,0,0,,0,0,0,1,1,2,1,0,0,1,11,0,0";

    // Keys of the named values in section "Config".
    static constexpr const char16_t* kBoardListUrl = u"BoardListUrl";
    static constexpr const char16_t* kExceptCategory = u"ExceptCategory";
    static constexpr const char16_t* kExceptBoard = u"ExceptBoard";
    static constexpr const char16_t* kLastWriteDate = u"LastWriteDate";
    static constexpr const char16_t* kCookie = u"Cookie";

    explicit CSettings(SettingsStore& store);

    // Loads the 29 values (stored text, else the default). False when the
    // default list does not hold 29 values; errorMessage() then says so.
    bool InitInstance();

    QString errorMessage() const { return m_error; }

    // The value at index; "1" for an index outside 1..29.
    QString Get_(qint16 index) const;
    // True when the settings file holds the value (the user or the program
    // stored it), false when Get_ gives the default.
    bool isStored(qint16 index) const;
    // Stores the value and writes it at once; an index outside 1..29 is ignored.
    // False when the file could not be written (the value still holds for
    // this run).
    bool Set_(qint16 index, const QString& value);

    // The value as a number, or fallback when it is not one.
    int getInt(qint16 index, int fallback) const;

    // Named values of section "Config".
    QString Get_Named(const QString& key, const QString& defaultValue = {}) const;
    bool HasNamed(const QString& key) const;
    bool Set_Named(const QString& key, const QString& value);

    // Told the sentence to speak when a setting cannot be written: once, until
    // a write works again.
    void setWriteFailureHandler(std::function<void(const QString&)> handler)
    {
        m_onWriteFailure = std::move(handler);
    }

    SettingsStore& store() { return m_store; }

private:
    SettingsStore& m_store;
    QList<QString> m_values;  // element 0 is an empty sentinel; settings count from 1
    QString m_error;
    std::function<void(const QString&)> m_onWriteFailure;
    bool m_writeFailing = false;

    bool written(bool ok);
};
