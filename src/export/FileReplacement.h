#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Writes a file that replaces the one of that name only when complete; every
// export that writes a named file (text, clipboard text, tsv, workbook) goes
// through it, so they all replace files the same way.
//
// - A symbolic link is followed: its target is what gets written.
// - A target that exists and is no regular file (a device such as /dev/null,
//   /dev/stdout on a pipe) is written in place, never renamed over.
// - An existing file the user may not write is refused.
// - Otherwise the bytes go to an unnamed file (O_TMPFILE) in the target's
//   folder, or, where the file system has none, to a short hidden name there
//   (".quadrix-XXXXXX", so that a name near the length limit still works).
//   commit() gives it the old file's mode (and owner, where the process may
//   set it; a new file gets the mode the umask allows), syncs it to disk,
//   checking the result, puts it in place with one rename and syncs the
//   folder.
//
// A failure before the rename, abandon(), or the process being killed,
// leaves the old file as it was. An unnamed file vanishes with its
// descriptor; a named one is removed by abandon() and the destructor (a
// SIGKILL can leave it behind). A folder sync that fails after the rename
// cannot bring the old file back: commit() then throws a description that
// says the new file is in place but may not survive a crash.
//
// Failures throw AppError with a description that names the user's path,
// never the temporary file, and what stopped it (the file, its folder, a
// read-only file system).
struct stat;

class FileReplacement final
{
public:
    // Opens the target for writing. `seekable` asks for a working file that
    // can be written at any position (a zip, which goes back to its entries'
    // headers): a device target then gets an unnamed working file in the
    // system's temporary folder, copied to the device by commit(). Throws
    // AppError.
    FileReplacement(const QString& path, bool seekable);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    const QString& name() const { return m_name; }
    // The descriptor the bytes go to, for a writer of its own (a zip).
    int descriptor() const { return m_fd; }

    // Throws AppError when not all bytes could be written. Every few
    // megabytes it starts their writeback (startWriteback()).
    void write(QByteArrayView bytes);
    // Hands the bytes written so far to the disk without waiting for them,
    // so that commit()'s sync has only the last ones left to wait for and a
    // window that writes a large file is never held up long by one call.
    // For callers that write to descriptor() themselves.
    void startWriteback();
    // Puts the complete file in place. Throws AppError; the old file is then
    // kept. The replacement is closed either way.
    void commit();
    // Gives up: the old file stays as it was.
    void abandon();

private:
    // How the bytes reach the target; commit() finishes each in its own way.
    enum class Way {
        DeviceInPlace, // m_fd is the device itself
        DeviceByCopy, // m_fd is a working file in the temporary folder, copied to m_deviceFd
        UnnamedFile, // m_fd is an unnamed file in the target's folder, given a name at the end
        NamedFile, // m_fd is m_namedWorkingFile in the target's folder
    };

    [[noreturn]] void fail(const QString& what, int error) const;
    [[noreturn]] void failToCreate(int error, const QByteArray& folder) const;
    void openDevice(const QByteArray& given, bool seekable);
    void resolveTarget(const QByteArray& given, const struct stat& status);
    Way openWorkingFile(const QByteArray& folder);
    void closeDevice(int device);
    void copyToDevice();
    void settleOnDisk();
    int openTargetFolder() const;
    bool linkAsNewTarget() const;
    void linkUnderHiddenName();
    void renameIntoPlace();
    void syncFolder(int folder) const;
    void close();

    QString m_name; // the user's path, for messages
    QByteArray m_target; // the resolved target
    Way m_way = Way::UnnamedFile;
    int m_fd = -1;
    int m_deviceFd = -1; // the device of DeviceByCopy
    QByteArray m_namedWorkingFile; // to remove when the replacement is given up
    qint64 m_unsubmitted = 0; // bytes written since the last writeback began
    bool m_existed = false;
    unsigned m_mode = 0;
    unsigned m_owner = 0;
    unsigned m_group = 0;
};
