#include "Appearance.h"

#include "WindowPointer.h"
#include "shell/AppError.h"
#include "shell/ErrorTrap.h"
#include "shell/PathHelpers.h"
#include "shell/SkinFramework.h"

#include <QBuffer>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>
#include <QtEndian>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Appearance {

namespace {

void giveButtonFace(QWidget* widget)
{
    widget->setBackgroundRole(QPalette::Button);
    widget->setAutoFillBackground(true);
}

bool isRecoloured(const QWidget* widget)
{
    return qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QLabel*>(widget)
        || qobject_cast<const QRadioButton*>(widget) || qobject_cast<const QCheckBox*>(widget);
}

// The skin file counts when a listing of its folder names it as an ordinary,
// visible file.
bool skinFileListed(const QString& path)
{
    const QFileInfo info(path);
    const QStringList listed
        = info.dir().entryList({ info.fileName() }, QDir::Files | QDir::NoDotAndDotDot | QDir::CaseSensitive);
    return listed.contains(info.fileName());
}

// Reads up to `limit` bytes of a regular file. Anything else (a named pipe, a
// folder, a device) is refused before it is opened, as opening a pipe waits
// for a writer that may never come; the file is opened without waiting and
// checked again, in case it was swapped in between.
QByteArray readRegularFile(const QString& path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    const auto notAFile
        = [&path] { return AppError(QStringLiteral("Cannot read \"%1\": it is not a file").arg(path)); };
    struct stat status = {};
    if (::stat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        throw notAFile();
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        throw AppError(
            QStringLiteral("Cannot open \"%1\": %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        throw notAFile();
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        throw AppError(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()));
    }
    return file.read(limit);
}

} // namespace

QString skinFilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/x/o.cjs");
}

QString handCursorPath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/HAND-M.CUR");
}

void ApplyFormColors(QWidget* window)
{
    giveButtonFace(window);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (isRecoloured(control))
            giveButtonFace(control);
    }
}

void ApplySkin(QWidget* window, SkinFramework& skin, const QString& programFolder)
{
    const QString path = skinFilePath(programFolder);
    if (!skinFileListed(path))
        return;
    ApplyFormColors(window);

    skin.loadSkin(path, QString());
    skin.setOptionFlags(skin.optionFlags() | 1);
    skin.setSkinDialogs(true);
    skin.setSkinMenus(true);
    skin.applyWindow(static_cast<qint32>(window->winId()));
}

QCursor loadCursorFile(const QString& path)
{
    const QByteArray bytes = readRegularFile(path, 64 << 20);

    // The directory: reserved 0, type 2 (a cursor), the image count, then an
    // entry of 16 bytes per image, the hot spot at offsets 4 and 6 of it.
    const auto word = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    if (bytes.size() < 22 || word(0) != 0 || word(2) != 2 || word(4) == 0)
        throw AppError(QStringLiteral("\"%1\" is not a cursor file").arg(path));
    const QPoint hotSpot(word(6 + 4), word(6 + 6));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        throw AppError(QStringLiteral("\"%1\" holds no cursor image: %2").arg(path, reader.errorString()));
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

void setUpHandCursor(ErrorTrap& trap, WindowPointer& pointer, const QString& programFolder)
{
    const QString path = handCursorPath(programFolder);
    bool exists = false;
    trap(104, [&] { exists = FileExists(path); });
    if (exists)
        trap(106, [&] { pointer.setCustomCursor(loadCursorFile(path)); });
}

bool hasButtonFaceColor(const QWidget* widget)
{
    return widget->backgroundRole() == QPalette::Button && widget->autoFillBackground();
}

} // namespace Appearance
