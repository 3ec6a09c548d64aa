#include "Decoding.h"

#include "MapIP.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace MapIP {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView withoutBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

quint32 lastTwoGroups(const Ipv6Groups& groups)
{
    return quint32(groups[6]) << 16 | groups[7];
}

bool zeroGroups(const Ipv6Groups& groups, int from, int to)
{
    return std::all_of(groups.begin() + from, groups.begin() + to, [](quint16 group) { return group == 0; });
}

// The carrier an address lies in, tried in order, with the IPv4 address.
std::optional<Carrier> findCarrier(const Ipv6Groups& groups, Decoded& decoded)
{
    decoded.ipv4 = lastTwoGroups(groups);
    if (zeroGroups(groups, 0, 5) && groups[5] == 0xFFFF)
        return Carrier::Mapped;
    if (groups[0] == 0x64 && groups[1] == 0xFF9B && zeroGroups(groups, 2, 6))
        return Carrier::Nat64;
    if (groups[0] == 0x2002) {
        decoded.ipv4 = quint32(groups[1]) << 16 | groups[2];
        return Carrier::SixToFour;
    }
    if (groups[0] == 0x2001 && groups[1] == 0) {
        // The client's address and port are stored inverted, so that NATs
        // that rewrite addresses in payloads leave them alone.
        decoded.ipv4 = ~lastTwoGroups(groups);
        decoded.server = quint32(groups[2]) << 16 | groups[3];
        decoded.port = quint16(~groups[5]);
        return Carrier::Teredo;
    }
    // ISATAP's interface identifiers: 0000:5efe or 0200:5efe, each with the
    // group bit set or not.
    if ((groups[4] & ~0x0300) == 0 && groups[5] == 0x5EFE)
        return Carrier::Isatap;
    // :: and ::1 are the unspecified and the loopback address, not embeddings.
    if (zeroGroups(groups, 0, 6) && decoded.ipv4 > 1)
        return Carrier::Compatible;
    return std::nullopt;
}

QString blockOf(const DecodeOptions& options)
{
    const Embedding& chosen = *options.chosen();
    const QStringView name = chosen.name();
    return name.isEmpty() ? chosen.prefixText() : chosen.prefixText() + u" ("_s + name.toString() + u')';
}

char16_t* writeNumber(unsigned value, char16_t* out)
{
    char16_t digits[10];
    int count = 0;
    do {
        digits[count++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

} // namespace

Decoded decode(QStringView row, const DecodeOptions& options)
{
    Decoded decoded;
    const QStringView text = withoutBlanks(row);
    if (text.contains(u'%')) {
        decoded.error = DecodeError::Zone;
        return decoded;
    }
    if (text.contains(u'/')) {
        decoded.error = DecodeError::PrefixLength;
        return decoded;
    }
    const std::optional<Ipv6Groups> groups = readIpv6(text);
    if (!groups) {
        decoded.error = DecodeError::NotIpv6;
        return decoded;
    }
    if (!options.chosen()) {
        decoded.carrier = findCarrier(*groups, decoded);
        if (!decoded.carrier)
            decoded.error = DecodeError::NoIpv4;
        return decoded;
    }
    switch (options.chosen()->extract(*groups, &decoded.ipv4)) {
    case Embedding::Refusal::None:
        break;
    case Embedding::Refusal::OutsideBlock:
        decoded.error = DecodeError::OutsideBlock;
        break;
    case Embedding::Refusal::ReservedBitsSet:
        decoded.error = DecodeError::ReservedBitsSet;
        break;
    }
    return decoded;
}

QString describe(const Decoded& decoded, QStringView row, const DecodeOptions& options)
{
    const QString shown = quotedPart(row);
    switch (decoded.error) {
    case DecodeError::None:
        return {};
    case DecodeError::NotIpv6:
        return u"Not an IPv6 address: %1 is not IPv6 text (groups of hex digits joined by \":\")"_s.arg(
            shown);
    case DecodeError::Zone:
        return u"Not an IPv6 address: %1 names a zone (\"%\" and what follows); give the address without it"_s
            .arg(shown);
    case DecodeError::PrefixLength:
        return u"Not an IPv6 address: %1 has a prefix length; give the address without it"_s.arg(shown);
    case DecodeError::NoIpv4: {
        QStringList names;
        for (const QStringView name : CarrierNames)
            names.append(name.toString());
        return u"No IPv4 address: %1 lies in none of the blocks that carry one (%2)"_s.arg(
            shown, names.join(u", "_s));
    }
    case DecodeError::OutsideBlock:
        return u"Not in the chosen block: %1 lies outside %2"_s.arg(shown, blockOf(options));
    case DecodeError::ReservedBitsSet:
        return u"Not an RFC 6052 address: %1 has bits 64 to 71 set, which stay zero behind %2"_s.arg(
            shown, blockOf(options));
    }
    return {};
}

RowDecoding::RowDecoding(QStringView row, const DecodeOptions& options)
    : m_row(row)
    , m_options(&options)
    , m_decoded(decode(row, options))
{
    if (m_decoded.failed())
        return;
    m_ipv4Length = writeDottedQuad(m_decoded.ipv4, m_ipv4) - m_ipv4;
    if (m_decoded.carrier == Carrier::Teredo) {
        constexpr QStringView Server = u"server ";
        constexpr QStringView Port = u", port ";
        char16_t* cursor = std::copy(Server.utf16(), Server.utf16() + Server.size(), m_detail);
        cursor = writeDottedQuad(m_decoded.server, cursor);
        cursor = std::copy(Port.utf16(), Port.utf16() + Port.size(), cursor);
        m_detailLength = writeNumber(m_decoded.port, cursor) - m_detail;
    }
}

QStringView RowDecoding::text(Field field) const
{
    if (m_decoded.failed())
        return {};
    switch (field) {
    case Field::Ipv4:
        return QStringView(m_ipv4, m_ipv4Length);
    case Field::Embedding:
        return m_decoded.carrier ? carrierName(*m_decoded.carrier) : QStringView(m_options->label());
    case Field::Detail:
        return QStringView(m_detail, m_detailLength);
    }
    return {};
}

char16_t* writeDottedQuad(quint32 address, char16_t* out) noexcept
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out = writeNumber((address >> shift) & 0xFF, out);
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

std::optional<QString> nonGlobalRange(quint32 address)
{
    static constexpr struct
    {
        quint32 network;
        int length;
        const char16_t* description;
    } Ranges[] = {
        { 0x00000000, 8, u"a \"this network\" address (RFC 1122)" },
        { 0x0A000000, 8, u"a private address (RFC 1918)" },
        { 0x64400000, 10, u"a shared address (RFC 6598)" },
        { 0x7F000000, 8, u"a loopback address (RFC 1122)" },
        { 0xA9FE0000, 16, u"a link-local address (RFC 3927)" },
        { 0xAC100000, 12, u"a private address (RFC 1918)" },
        { 0xC0000000, 24, u"an IETF protocol assignment (RFC 6890)" },
        { 0xC0000200, 24, u"a documentation address (RFC 5737)" },
        { 0xC0A80000, 16, u"a private address (RFC 1918)" },
        { 0xC6120000, 15, u"a benchmarking address (RFC 2544)" },
        { 0xC6336400, 24, u"a documentation address (RFC 5737)" },
        { 0xCB007100, 24, u"a documentation address (RFC 5737)" },
        { 0xE0000000, 4, u"a multicast address (RFC 5771)" },
        { 0xF0000000, 4, u"a reserved address (RFC 1112)" },
    };
    for (const auto& range : Ranges) {
        if ((address >> (32 - range.length)) == (range.network >> (32 - range.length)))
            return QString::fromUtf16(range.description);
    }
    return std::nullopt;
}

} // namespace MapIP
