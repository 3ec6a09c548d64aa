#include "AppTitle.h"

QString ShortenAppTitle(const QString& productName)
{
    constexpr qsizetype MaxLength = 40;
    QString title = productName;
    do {
        const qsizetype blank = title.lastIndexOf(u' ');
        if (blank <= 0)
            break;
        title.truncate(blank);
    } while (title.size() > MaxLength);
    if (title.size() > MaxLength)
        title.truncate(MaxLength);
    return title;
}
