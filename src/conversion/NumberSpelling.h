#pragma once

#include <QStringView>

#include <optional>

// Which texts count as numbers.
//
// An address part (between two dots) is a whole decimal number: optional blanks
// (spaces or TABs), an optional "+" or "-" sign, one or more ASCII digits 0-9,
// optional blanks. No exponent, radix prefix, digit grouping or fraction. A sign
// is accepted so that "-1" is recognised as a number that lies out of range
// rather than as text; "-0" is 0. Leading zeros are fine ("010" is 10).
//
// An octet box of the single-address window counts as numeric with the same
// spelling plus an optional decimal fraction (".5", "2.5", "5."), so that
// "2.5" passes the window's checks and then splits the address into more parts.
namespace NumberSpelling {

enum class PartValue : unsigned char { Valid, NotANumber, OutOfRange };

struct ParsedPart
{
    PartValue state = PartValue::NotANumber;
    unsigned char value = 0; // meaningful when state is Valid
};

// Reads one address part as an unsigned 8-bit value.
ParsedPart readAddressPart(QStringView part) noexcept;

// Reads an octet box's text as a real number; nullopt when it is not numeric.
std::optional<double> readOctetNumber(QStringView text) noexcept;

} // namespace NumberSpelling
