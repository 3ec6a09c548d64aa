#pragma once

#include <QString>
#include <QStringList>

// What the batch window's two lists are made of, shared with the
// command-line tool so both build the same table.
namespace BatchLists {

inline const QString InputCaption = QStringLiteral(" IPv4(s)");

// The results table's columns: the address as given, then its four forms.
inline const QStringList ResultsCaptions = {
    QStringLiteral("Original"),
    QStringLiteral(" IPv6 Full Address"),
    QStringLiteral(" IPv6 Shorthand Address"),
    QStringLiteral(" IPv6 and Dot Notation Full Address"),
    QStringLiteral(" IPv6 and Dot Notation Shorthand Address"),
};

// "Load Sample/Example IPs" appends these, in this order.
inline const QStringList SampleAddresses = {
    QStringLiteral("204.93.240.0"),
    QStringLiteral("199.27.128.43"),
    QStringLiteral("173.245.48.111"),
};

} // namespace BatchLists
