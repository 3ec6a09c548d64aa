#include "Controls.h"

#include "Twips.h"

#include <QPushButton>

QPushButton* createPushButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1StringView(name));
    button->setFont(arialFont(11.25));
    button->setAutoDefault(false);
    return button;
}
