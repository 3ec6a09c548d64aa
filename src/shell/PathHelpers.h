#pragma once

#include <QString>

// Small file and path helpers shared by both windows. None of them shows a
// message or raises an error.

// True when the file system can report a last-modified time for the path.
// Never raises: the empty path, a missing folder or any failing query is false.
bool FileExists(const QString& path) noexcept;

// The text after the last backslash, or the whole text when there is none.
// Only the backslash separates components here; "/" and ":" are ordinary.
QString FileNameFromPath(const QString& path);

// Collapses doubled backslashes in a path joined from a folder and a name
// ("C:\" + "\" + "a.txt"). A path that starts with a backslash is a network
// path: its leading run of backslashes becomes exactly two.
QString FixDoubleBackslashes(const QString& path);

// How the folder and the names of a multiple selection are joined.
enum class PathStyle { Windows, Posix };
constexpr PathStyle NativePathStyle =
#ifdef Q_OS_WIN
    PathStyle::Windows;
#else
    PathStyle::Posix;
#endif

// The bare name of a file for display: after the last backslash on Windows,
// after the last "/" elsewhere.
QString NativeFileName(const QString& path, PathStyle style = NativePathStyle);
