#include "AppIcon.h"

#include <QDirIterator>

using namespace Qt::StringLiterals;

QIcon applicationIcon()
{
    // One folder per rendered size; QIcon picks and scales the nearest.
    QIcon icon;
    QDirIterator sizes(u":/icons"_s, { u"quadrix.png"_s }, QDir::Files, QDirIterator::Subdirectories);
    while (sizes.hasNext())
        icon.addFile(sizes.next());
    return icon;
}
