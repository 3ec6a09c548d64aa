#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// IPv6 addresses as text: the one place that writes hexadecimal digits and
// groups, and reads IPv6 text back.
namespace MapIP {

// An IPv6 address as its eight 16-bit groups, the first the most significant.
using Ipv6Groups = std::array<quint16, 8>;

// The longest text of eight groups, each of four digits, joined by ":".
inline constexpr int MaxIpv6TextLength = 39;

// How groups are written: RFC 5952 drops leading zeros and writes lower case;
// the program's own text keeps four digits and writes upper case.
struct GroupSpelling
{
    bool fourDigits = false;
    bool upper = false;
};
inline constexpr GroupSpelling Rfc5952Spelling { false, false };
inline constexpr GroupSpelling ProgramSpelling { true, true };

constexpr char16_t hexDigit(unsigned value, bool upper) noexcept
{
    return (upper ? u"0123456789ABCDEF" : u"0123456789abcdef")[value & 0xF];
}

// The two digits of a byte.
inline char16_t* writeHexByte(char16_t* out, unsigned value, bool upper) noexcept
{
    *out++ = hexDigit(value >> 4, upper);
    *out++ = hexDigit(value, upper);
    return out;
}

// One group; returns the end of the text.
char16_t* writeGroup(quint16 value, GroupSpelling spelling, char16_t* out) noexcept;

// `count` groups joined by ":", every one written, zeros included.
char16_t* writeGroups(const quint16* groups, int count, GroupSpelling spelling, char16_t* out) noexcept;

// The same with the first of the longest runs of two or more zero groups
// written "::", as RFC 5952 section 4.2 shortens an address.
char16_t* writeShortenedGroups(const quint16* groups, int count, GroupSpelling spelling,
                               char16_t* out) noexcept;

// The address's text, shortened or with every group written.
QString ipv6Text(const Ipv6Groups& groups, GroupSpelling spelling, bool shortened);

// An address as RFC 4291 section 2.2 allows its text: one to four hex digits
// a group in either case, "::" once for a run of zero groups, and a dotted
// quad (decimal, no leading zeros) for the last two groups. Nothing else: no
// blanks, zone or prefix length.
std::optional<Ipv6Groups> readIpv6(QStringView text) noexcept;

} // namespace MapIP
