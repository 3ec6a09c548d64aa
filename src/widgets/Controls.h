#pragma once

#include <QString>

class QPushButton;
class QWidget;

// A push button as both windows use them: Arial 11.25 pt bold, never a default
// button that Enter would press.
QPushButton* createPushButton(QWidget* parent, const char* name, const QString& caption);
