#pragma once

// Helpers shared by the tests: where the fixtures are, and reading them.

#include <QByteArray>
#include <QString>

namespace TestData {

// The fixture folder (tests/data in the source tree).
QString dir();

// The path of a fixture, relative to the fixture folder.
QString path(const QString& relative);

// The bytes of a fixture; the test fails when it cannot be read.
QByteArray bytes(const QString& relative);

// Writes bytes to a file, creating its folder.
bool writeFile(const QString& path, const QByteArray& bytes);

}  // namespace TestData
