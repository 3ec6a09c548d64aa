#include "VisibleText.h"

QString withVisibleControls(QStringView text)
{
    QString shown = text.toString();
    for (QChar& c : shown) {
        if (isControlCharacter(c.unicode()))
            c = u'?';
    }
    return shown;
}
