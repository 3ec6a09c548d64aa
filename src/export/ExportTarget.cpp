#include "ExportTarget.h"

#include "FileReplacement.h"
#include "shell/AppError.h"

#include <QFileDevice>
#include <QIODevice>

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
        // A device is given closed when the caller closed it (quadrix-batch >&-).
        if (!m_device->isOpen())
            throw AppError(u"Cannot write "_s + m_name + u": it is closed"_s);
        if (!m_device->isWritable())
            throw AppError(u"Cannot write "_s + m_name + u": it is not open for writing"_s);
    } else {
        m_file = std::make_unique<FileReplacement>(m_name, false);
    }
    m_open = true;
}

void ExportTarget::write(QByteArrayView bytes)
{
    if (!m_open)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    if (m_file) {
        m_file->write(bytes);
        return;
    }
    // An unbuffered write may take only part of the bytes (a file size
    // limit, a pipe); the next attempt then tells why.
    while (!bytes.isEmpty()) {
        const qint64 written = m_device->write(bytes.data(), bytes.size());
        if (written <= 0)
            throw AppError(u"Cannot write "_s + m_name + u": "_s + m_device->errorString());
        bytes = bytes.sliced(written);
    }
}

void ExportTarget::finish()
{
    if (!std::exchange(m_open, false))
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    if (m_file) {
        const std::unique_ptr<FileReplacement> file = std::move(m_file);
        file->commit();
        return;
    }
    auto* file = qobject_cast<QFileDevice*>(m_device);
    if (file && (!file->flush() || file->error() != QFileDevice::NoError))
        throw AppError(u"Cannot write "_s + m_name + u": "_s + file->errorString());
}

void ExportTarget::abandon()
{
    // The replacement drops its working file and leaves the old file alone.
    m_file.reset();
    m_open = false;
}
