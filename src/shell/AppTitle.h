#pragma once

#include <QString>

// The product name as the windows' caption.
inline const QString ProductName = QStringLiteral("Quadrix Software");

// The application title that titles message boxes: the product name cut at its
// last blank, again and again until it is at most 40 characters long. The
// first cut is always made, so "Quadrix Software" gives "Quadrix". A name with
// no blank to cut at is kept as it is, shortened to 40 characters.
QString ShortenAppTitle(const QString& productName);
