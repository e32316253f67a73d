#include "filesystem.h"

#include "paths.h"

namespace fsservice {

QStringList FileSystem::ListFiles(const QString& pattern) {
    const qsizetype cut = pattern.lastIndexOf(separator());
    const QString folder = cut < 0 ? QStringLiteral(".") : pattern.left(cut + 1);
    return GetFolder(folder).Listing(QStringView(pattern).mid(cut + 1));
}

}  // namespace fsservice
