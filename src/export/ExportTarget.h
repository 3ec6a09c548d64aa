#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

class FileReplacement;
class QIODevice;

// Where an export's bytes go: a file named by its path, or a device that is
// already open (the command-line tool's standard output).
//
// A file is written completely or not at all, as FileReplacement replaces
// files: the old one is replaced only when finish() succeeds, a failure or
// abandon() leaves it exactly as it was, a link is written through and a
// device (/dev/null) is written in place.
//
// An open device is written as it stands and left open; finish() flushes it.
//
// Failures throw AppError with a description that names the target.
class ExportTarget final
{
public:
    explicit ExportTarget(QString path);
    // `name` stands for the device in progress texts and messages.
    ExportTarget(QIODevice& device, QString name);
    ~ExportTarget();

    ExportTarget(const ExportTarget&) = delete;
    ExportTarget& operator=(const ExportTarget&) = delete;

    // The path, or the device's name.
    const QString& name() const { return m_name; }

    // Opens the target for writing. Throws when it cannot be created.
    void create();
    bool isOpen() const { return m_open; }
    // Throws when not all bytes could be written.
    void write(QByteArrayView bytes);
    // Puts the complete file in place, or flushes the device. Throws when
    // that fails; the target is closed either way.
    void finish();
    // Gives up: a file is left as it was before create().
    void abandon();

private:
    QString m_name;
    QIODevice* m_device = nullptr; // a device given open, not owned
    std::unique_ptr<FileReplacement> m_file; // a file this target opened
    bool m_open = false;
};
