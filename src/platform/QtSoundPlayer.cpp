#include "QtSoundPlayer.h"

#include <QAudioDevice>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcSound, "yomimaru.sound", QtWarningMsg)

namespace {

// What the sound server may still hold when QSoundEffect reports the end.
constexpr qint64 kServerBufferMs = 250;

}  // namespace

QtSoundPlayer::QtSoundPlayer(const QStringList& searchDirs)
    : m_searchDirs(searchDirs)
{}

QtSoundPlayer::~QtSoundPlayer()
{
    qDeleteAll(m_effects);
}

bool QtSoundPlayer::hasAudioOutput()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

QStringList QtSoundPlayer::searchDirsFor(const QStringList& resourceDirs)
{
    QStringList dirs;
    for (const QString& dir : resourceDirs) {
        dirs << dir << QDir(dir).filePath(QStringLiteral("sounds"));
    }
    return dirs;
}

int QtSoundPlayer::waveDurationMs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // Cues are small; a header beyond this is not a cue.
    const QByteArray head = file.read(4096);
    if (!head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        return 0;
    }
    const auto le32 = [&head](qsizetype at) {
        return quint32(quint8(head.at(at))) | quint32(quint8(head.at(at + 1))) << 8
               | quint32(quint8(head.at(at + 2))) << 16 | quint32(quint8(head.at(at + 3))) << 24;
    };
    quint32 byteRate = 0;
    for (qsizetype at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = le32(at + 4);
        if (id == "fmt " && at + 16 <= head.size()) {
            byteRate = le32(at + 16);
        } else if (id == "data") {
            const quint64 bytes = qMin<quint64>(size, quint64(file.size() - (at + 8)));
            return byteRate == 0 ? 0 : int(qMin<quint64>(bytes * 1000 / byteRate, 600000));
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return 0;
}

QString QtSoundPlayer::find(const QString& fileName) const
{
    // Only plain names: a cue never comes from outside the resource folders.
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName.startsWith(u'.')) {
        return {};
    }
    for (const QString& dir : m_searchDirs) {
        const QFileInfo info(QDir(dir).filePath(fileName));
        if (info.isFile()) {
            return info.absoluteFilePath();
        }
    }
    return {};
}

bool QtSoundPlayer::play(const QString& fileName, bool synchronous)
{
    const QString path = find(fileName);
    if (path.isEmpty()) {
        qCDebug(lcSound) << "no sound file" << fileName;
        return false;
    }
    if (!hasAudioOutput()) {
        qCDebug(lcSound) << "no audio output; skipping" << fileName;
        return false;
    }
    QSoundEffect*& effect = m_effects[path];
    if (effect == nullptr) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(path));
    }
    if (effect->status() == QSoundEffect::Error) {
        qCDebug(lcSound) << "cannot play" << path;
        return false;
    }
    effect->play();
    if (!synchronous) {
        return true;
    }
    // QSoundEffect says it has stopped once its data is handed to the sound
    // server, which still holds up to a few tenths of a second of it; so the
    // wait lasts at least as long as the sound itself, and a little longer
    // after the stop.
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 lengthMs = waveDurationMs(path);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QTimer drained;
    drained.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&drained, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(effect, &QSoundEffect::playingChanged, &loop, [&, effect] {
        if (!effect->isPlaying()) {
            drained.start(int(qMax<qint64>(kServerBufferMs, lengthMs - elapsed.elapsed())));
        }
    });
    QObject::connect(effect, &QSoundEffect::statusChanged, &loop, [&loop, effect] {
        if (effect->status() == QSoundEffect::Error) {
            loop.quit();
        }
    });
    timeout.start(m_timeoutMs);
    loop.exec();
    if (timeout.isActive()) {
        return effect->status() != QSoundEffect::Error;
    }
    qCDebug(lcSound) << "sound did not end in time:" << path;
    effect->stop();
    return true;
}
