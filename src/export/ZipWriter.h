#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>

// Writes a zip archive to an open file with zlib's minizip, from the file's
// start, through pwrite at positions of its own: nothing moves the
// descriptor's offset and every write's result is checked. The archive is
// written entry by entry, each packed at a level of its own, and an entry's
// bytes may come in any number of pieces, so a large one never has to be held
// whole.
//
// Every failure (of the system or of the library, including the central
// directory written by finish()) throws AppError "Cannot save NAME: why";
// the file then holds no archive to keep, and the caller gives it up.
class ZipWriter final
{
public:
    // `fd` stays the caller's; `name` is the user's name of the file.
    ZipWriter(int fd, const QString& name);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Starts an entry; the one before must have been ended. `level` is zlib's
    // (1 fastest, 9 smallest).
    void beginEntry(const char* entryName, int level);
    void write(QByteArrayView bytes);
    void endEntry();
    // An entry given whole.
    void addEntry(const char* entryName, QByteArrayView bytes, int level);
    // Writes the central directory and checks that the file holds the whole
    // archive. Later calls throw.
    void finish();

    // What the file holds so far, in bytes.
    std::uint64_t size() const;

    // The file a descriptor and a position stand for (ioapi's stream).
    struct Output
    {
        int fd = -1;
        std::uint64_t position = 0;
        std::uint64_t end = 0;
        int error = 0; // the first errno of a failed write; later writes fail too
    };

private:
    [[noreturn]] void fail(int result) const;

    QString m_name;
    Output m_output;
    void* m_zip = nullptr;
    bool m_inEntry = false;
    std::uint64_t m_entrySize = 0;
};
