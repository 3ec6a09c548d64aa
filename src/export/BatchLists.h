#pragma once

#include "conversion/Forms.h"

#include <QString>
#include <QStringList>

// What the batch window's two lists are made of, shared with the
// command-line tool so both build the same table.
namespace BatchLists {

inline const QString InputCaption = QStringLiteral(" IPv4(s)");

// The results table's columns: the address as given, then its forms.
inline const QStringList ResultsCaptions = [] {
    QStringList captions { MapIP::OriginalCaption.toString() };
    for (const MapIP::FormDefinition& form : MapIP::Forms)
        captions.append(form.caption.toString());
    return captions;
}();

// "Load Sample/Example IPs" appends these, in this order.
inline const QStringList SampleAddresses = {
    QStringLiteral("204.93.240.0"),
    QStringLiteral("199.27.128.43"),
    QStringLiteral("173.245.48.111"),
};

} // namespace BatchLists
