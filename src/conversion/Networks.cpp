#include "Networks.h"

#include <QStringList>

#include <bit>

using namespace Qt::StringLiterals;

namespace MapIP {

namespace {

// The zones covering `length` bits of a number written in digits of
// `digitBits` bits each, most significant first (`digitAt(i)`), named in
// reverse order below `suffix`.
template<typename DigitAt>
QString zones(int length, int digitBits, const DigitAt& digitAt, QStringView suffix, bool hex)
{
    const int digits = (length + digitBits - 1) / digitBits;
    const int spare = digits * digitBits - length;
    const auto digitText = [hex](unsigned value) {
        return hex ? QString(QChar(hexDigit(value, false))) : QString::number(value);
    };
    // The digits the zones share, least significant first, after the one
    // that varies.
    QString shared;
    for (int i = digits - 2; i >= 0; --i)
        shared += u'.' + digitText(digitAt(i));
    if (digits == 0)
        return suffix.toString();
    QStringList names;
    const unsigned first = digitAt(digits - 1) & ~((1u << spare) - 1);
    for (unsigned value = first; value < first + (1u << spare); ++value)
        names.append(digitText(value) + shared + u'.' + suffix.toString());
    return names.join(u' ');
}

} // namespace

char16_t* writeDottedQuad(quint32 address, char16_t* out) noexcept
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned octet = (address >> shift) & 0xFF;
        if (octet >= 100)
            *out++ = char16_t(u'0' + octet / 100);
        if (octet >= 10)
            *out++ = char16_t(u'0' + octet / 10 % 10);
        *out++ = char16_t(u'0' + octet % 10);
        if (shift > 0)
            *out++ = u'.';
    }
    return out;
}

QString dottedQuad(quint32 address)
{
    char16_t buffer[15];
    return QStringView(buffer, writeDottedQuad(address, buffer) - buffer).toString();
}

QString networkText(const Ipv4Network& network)
{
    return dottedQuad(network.address) + u'/' + QString::number(network.length);
}

std::vector<Ipv4Network> summarizeRange(quint32 first, quint32 last)
{
    std::vector<Ipv4Network> prefixes;
    quint64 next = first;
    while (next <= last) {
        // The largest block that starts here and ends within the range.
        int length = next == 0 ? 0 : 32 - std::countr_zero(quint32(next));
        while (next + (quint64(1) << (32 - length)) - 1 > last)
            ++length;
        prefixes.push_back({ quint32(next), length });
        next += quint64(1) << (32 - length);
    }
    return prefixes;
}

QString ip6ArpaZones(const Ipv6Groups& address, int length)
{
    const auto nibble
        = [&](int i) -> unsigned { return (address[size_t(i / 4)] >> (12 - 4 * (i % 4))) & 0xF; };
    return zones(length, 4, nibble, u"ip6.arpa", true);
}

QString inAddrArpaZones(quint32 address, int length)
{
    const auto octet = [&](int i) -> unsigned { return (address >> (24 - 8 * i)) & 0xFF; };
    return zones(length, 8, octet, u"in-addr.arpa", false);
}

} // namespace MapIP
