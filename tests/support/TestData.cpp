#include "support/TestData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace TestData {

QString dir()
{
    return qEnvironmentVariable("YOMIMARU_TEST_DATA");
}

QString path(const QString& relative)
{
    return QDir(dir()).filePath(relative);
}

QByteArray bytes(const QString& relative)
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("fixture missing: %s", qPrintable(file.fileName()));
        return {};
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace TestData
