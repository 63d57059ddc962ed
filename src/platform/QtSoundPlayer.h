#pragma once

// Plays sound cues through QSoundEffect, finding the files among the
// program's resources. Where the machine has no audio output the cues are
// skipped: QSoundEffect would otherwise report "playing" for ever.

#include <memory>

#include <QHash>
#include <QStringList>

#include "speech/SoundPlayer.h"

class QSoundEffect;

class QtSoundPlayer : public SoundPlayer
{
public:
    // The folders searched for sound files, in order.
    explicit QtSoundPlayer(const QStringList& searchDirs);
    ~QtSoundPlayer() override;

    bool play(const QString& fileName, bool synchronous) override;

    // How long a synchronous play waits at most.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    static bool hasAudioOutput();

    // The playing time of a PCM WAVE file, or 0 when it cannot be read.
    static int waveDurationMs(const QString& path);

    // The folders to search given the program's resource folders: each one,
    // then its "sounds" folder (where the shipped cues live).
    static QStringList searchDirsFor(const QStringList& resourceDirs);

private:
    QString find(const QString& fileName) const;

    QStringList m_searchDirs;
    QHash<QString, QSoundEffect*> m_effects;
    int m_timeoutMs = 3000;
};
