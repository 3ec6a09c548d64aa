#include "ExportTarget.h"

#include "shell/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

ExportTarget::ExportTarget(QString path)
    : m_name(std::move(path))
{
}

ExportTarget::ExportTarget(QIODevice& device, QString name)
    : m_name(std::move(name))
    , m_device(&device)
{
}

ExportTarget::~ExportTarget()
{
    abandon();
}

void ExportTarget::create()
{
    if (m_device) {
        if (!m_device->isOpen() || !m_device->isWritable())
            throw AppError(u"Cannot write "_s + m_name + u": it is not open for writing"_s);
        m_open = m_device;
        return;
    }
    const QFileInfo existing(m_name);
    if (existing.exists() && !existing.isFile() && !existing.isDir()) {
        m_file = std::make_unique<QFile>(m_name);
    } else {
        auto save = std::make_unique<QSaveFile>(m_name);
        // Writing in place would truncate the old file before the new one
        // is complete.
        save->setDirectWriteFallback(false);
        m_save = save.get();
        m_file = std::move(save);
    }
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        const QString reason = m_file->errorString();
        m_file.reset();
        m_save = nullptr;
        throw AppError(u"Cannot create "_s + m_name + u": "_s + reason);
    }
    m_open = m_file.get();
}

void ExportTarget::write(QByteArrayView bytes)
{
    if (!m_open)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    // An unbuffered write may take only part of the bytes (a file size
    // limit, a pipe); the next attempt then tells why.
    while (!bytes.isEmpty()) {
        const qint64 written = m_open->write(bytes.data(), bytes.size());
        if (written <= 0)
            throw AppError(u"Cannot write "_s + m_name + u": "_s + m_open->errorString());
        bytes = bytes.sliced(written);
    }
}

void ExportTarget::finish()
{
    QIODevice* device = std::exchange(m_open, nullptr);
    if (!device)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    if (m_device) {
        auto* file = qobject_cast<QFileDevice*>(m_device);
        if (file && (!file->flush() || file->error() != QFileDevice::NoError))
            throw AppError(u"Cannot write "_s + m_name + u": "_s + file->errorString());
        return;
    }
    std::unique_ptr<QFileDevice> file = std::move(m_file);
    if (QSaveFile* save = std::exchange(m_save, nullptr)) {
        if (!save->commit())
            throw AppError(u"Cannot save "_s + m_name + u": "_s + save->errorString());
    } else {
        file->close();
        if (file->error() != QFileDevice::NoError)
            throw AppError(u"Cannot write "_s + m_name + u": "_s + file->errorString());
    }
}

void ExportTarget::abandon()
{
    // A QSaveFile that is not committed removes its temporary file and
    // leaves the old file alone.
    if (m_save)
        m_save->cancelWriting();
    m_file.reset();
    m_save = nullptr;
    m_open = nullptr;
}
