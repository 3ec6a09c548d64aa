#include "PathHelpers.h"

#include <QFileInfo>

bool FileExists(const QString& path) noexcept
{
    if (path.isEmpty())
        return false;
    try {
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

QString FileNameFromPath(const QString& path)
{
    return path.sliced(path.lastIndexOf(u'\\') + 1);
}

namespace {

// Replaces every pair of backslashes by one, scanning from the left without
// overlap, so three become two and four become two.
QString collapseBackslashPairs(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        result.append(text[i]);
        if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'\\')
            ++i;
    }
    return result;
}

} // namespace

QString FixDoubleBackslashes(const QString& path)
{
    if (!path.startsWith(u'\\'))
        return collapseBackslashPairs(path);
    qsizetype start = 1;
    while (start < path.size() && path[start] == u'\\')
        ++start;
    return QStringLiteral("\\\\") + collapseBackslashPairs(QStringView(path).sliced(start));
}

QString NativeFileName(const QString& path, PathStyle style)
{
    if (style == PathStyle::Windows)
        return FileNameFromPath(path);
    return path.sliced(path.lastIndexOf(u'/') + 1);
}
