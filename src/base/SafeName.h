#pragma once

// Names that come from the network (categories, boards, thread keys) become
// file and folder names only through here, so that none of them can reach
// outside the data root. Folder names are mapped reversibly: the exact name
// is kept for comparisons, and only the characters a file system or a path
// would misread are written as "%XX".

#include <QString>

namespace SafeName {

// A folder or file name standing for the text: "/", "\", "%", control
// characters and a leading "." are escaped, so "..", "a/b" or "" never name
// anything but a plain entry of their own folder.
QString toFileName(const QString& name);

// The text a name of toFileName stands for.
QString fromFileName(const QString& fileName);

// True when a thread key may name a file: 1 to 64 ASCII letters, digits,
// "_" or "-".
bool isSafeKey(const QString& key);

// The board's log folder below the data root: <root>/<category>/<board>.
QString boardFolder(const QString& dataRoot, const QString& category, const QString& board);

// The folder of a category below the data root.
QString categoryFolder(const QString& dataRoot, const QString& category);

}  // namespace SafeName
