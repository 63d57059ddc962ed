#pragma once

// The romaji search dictionary (C/Migemo): turns a romaji search key into a
// regular expression that also finds the kana and kanji it may stand for.
// Opened by the main window at the first search and closed at the end; the
// dictionary is the data folder's "migemo-dict" when the user put one there,
// else the system's UTF-8 dictionary.

#include <QString>

struct _migemo;

class Migemo
{
public:
    static constexpr const char* kSystemDictionary = "/usr/share/cmigemo/utf-8/migemo-dict";

    Migemo() = default;
    ~Migemo();
    Migemo(const Migemo&) = delete;
    Migemo& operator=(const Migemo&) = delete;

    // Opens the dictionary and checks that it answers ("kigou" must find
    // 記号); true when it works.
    bool open(const QString& dictionaryPath);
    void close();

    bool isWorking() const { return m_working; }

    // The pattern for a romaji key; empty when the dictionary does not work.
    QString query(const QString& key) const;

    // The dictionary to use for a data folder.
    static QString dictionaryFor(const QString& dataRoot);

private:
    _migemo* m_handle = nullptr;
    bool m_working = false;
};
