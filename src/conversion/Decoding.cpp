#include "Decoding.h"

#include "CharacterSearch.h"
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

// The carrier an address lies in, tried in order, with the IPv4 address. The
// network of a prefix may be :: itself, which as an address is none.
std::optional<Carrier> findCarrier(const Ipv6Groups& groups, Decoded& decoded, bool prefix)
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
    if (zeroGroups(groups, 0, 6) && (decoded.ipv4 > 1 || prefix))
        return Carrier::Compatible;
    return std::nullopt;
}

QString blockOf(const DecodeOptions& options)
{
    const Embedding& chosen = *options.chosen();
    const QStringView name = chosen.name();
    return name.isEmpty() ? chosen.prefixText() : chosen.prefixText() + u" ("_s + name.toString() + u')';
}

// The block a row was read behind, for messages: the chosen one, or the
// carrier's.
QString embeddingOf(const Decoded& decoded, const DecodeOptions& options)
{
    if (options.chosen() || !decoded.carrier)
        return options.chosen() ? blockOf(options) : QString();
    const QStringView name = carrierName(*decoded.carrier);
    switch (*decoded.carrier) {
    case Carrier::Mapped:
        return u"::ffff:0:0/96 (mapped)"_s;
    case Carrier::Nat64:
        return u"64:ff9b::/96 (nat64)"_s;
    case Carrier::SixToFour:
        return u"2002::/16 (6to4)"_s;
    case Carrier::Compatible:
        return u"::/96 (compatible)"_s;
    case Carrier::Teredo:
    case Carrier::Isatap:
        break;
    }
    return name.toString();
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

// The bits of the IPv6 address past `length`, cleared.
Ipv6Groups masked(Ipv6Groups groups, int length)
{
    for (int i = 0; i < 8; ++i) {
        const int kept = std::clamp(length - 16 * i, 0, 16);
        groups[size_t(i)] = kept == 0 ? 0 : quint16(groups[size_t(i)] & (0xFFFF << (16 - kept)));
    }
    return groups;
}

// How many of the IPv4 address's bits lie before `length`, when its bytes
// stand at `positions`.
int ipv4BitsBefore(int length, const std::array<int, 4>& positions)
{
    int bits = 0;
    for (const int position : positions)
        bits += std::clamp(length - 8 * position, 0, 8);
    return bits;
}

// An IPv6 prefix: the IPv4 prefix it stands for, behind `embedding`'s layout
// (or 6to4's, bits 16 to 47, when there is no embedding).
DecodeError readPrefixLayout(int length, const Embedding* embedding, Decoded& decoded)
{
    static constexpr std::array<int, 4> SixToFour { 2, 3, 4, 5 };
    const int embeddingLength = embedding ? embedding->length() : 16;
    if (length < embeddingLength)
        return DecodeError::PrefixShorterThanEmbedding;
    if (embeddingLength < 96 && length > 64 && length < 72)
        return DecodeError::PrefixInsideReservedBits;
    decoded.length = ipv4BitsBefore(length, embedding ? embedding->bytePositions() : SixToFour);
    return DecodeError::None;
}

DecodeError decodeByCarrier(const Ipv6Groups& groups, bool prefix, Decoded& decoded)
{
    decoded.carrier = findCarrier(groups, decoded, prefix);
    if (!decoded.carrier)
        return DecodeError::NoIpv4;
    if (!prefix)
        return DecodeError::None;
    switch (*decoded.carrier) {
    case Carrier::Teredo:
    case Carrier::Isatap:
        return DecodeError::PrefixNotCarried;
    case Carrier::SixToFour:
        return readPrefixLayout(decoded.ipv6Length, nullptr, decoded);
    case Carrier::Mapped:
    case Carrier::Nat64:
    case Carrier::Compatible:
        break;
    }
    const Embedding block
        = Embedding::named(*decoded.carrier == Carrier::Mapped      ? Embedding::Named::Mapped
                               : *decoded.carrier == Carrier::Nat64 ? Embedding::Named::Nat64
                                                                    : Embedding::Named::Compatible);
    return readPrefixLayout(decoded.ipv6Length, &block, decoded);
}

DecodeError decodeByChoice(const Ipv6Groups& groups, bool prefix, const Embedding& chosen, Decoded& decoded)
{
    if (prefix) {
        const DecodeError error = readPrefixLayout(decoded.ipv6Length, &chosen, decoded);
        if (error != DecodeError::None)
            return error;
    }
    switch (chosen.extract(groups, &decoded.ipv4)) {
    case Embedding::Refusal::None:
        return DecodeError::None;
    case Embedding::Refusal::OutsideBlock:
        return DecodeError::OutsideBlock;
    case Embedding::Refusal::ReservedBitsSet:
        return DecodeError::ReservedBitsSet;
    }
    return DecodeError::None;
}

// A prefix length from 0 to 128; -1 otherwise.
int readIpv6Length(QStringView text)
{
    if (text.isEmpty() || text.size() > 3
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    const int length = text.toInt();
    return length <= 128 ? length : -1;
}

} // namespace

Decoded decode(QStringView row, const DecodeOptions& options)
{
    Decoded decoded;
    QStringView text = withoutBlanks(row);
    const auto fail = [&decoded](DecodeError error) {
        decoded.error = error;
        return decoded;
    };
    // A zone's "%" anywhere, or the first "/" of a prefix.
    const char16_t* const end = text.utf16() + text.size();
    const char16_t* const found = findEither(text.utf16(), end, u'%', u'/');
    if (std::find(found, end, u'%') != end)
        return fail(DecodeError::Zone);
    const qsizetype slash = found != end ? found - text.utf16() : -1;
    const bool prefix = slash >= 0;
    if (prefix) {
        decoded.ipv6Length = readIpv6Length(text.sliced(slash + 1));
        text = text.first(slash);
    }
    const std::optional<Ipv6Groups> groups = readIpv6(text);
    if (!groups)
        return fail(DecodeError::NotIpv6);
    if (prefix) {
        if (decoded.ipv6Length < 0)
            return fail(DecodeError::PrefixLengthInvalid);
        decoded.network = masked(*groups, decoded.ipv6Length);
        if (decoded.network != *groups)
            return fail(DecodeError::HostBitsSet);
    }
    decoded.error = options.chosen() ? decodeByChoice(*groups, prefix, *options.chosen(), decoded)
                                     : decodeByCarrier(*groups, prefix, decoded);
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
    case DecodeError::PrefixLengthInvalid:
        return u"Not a prefix: the length in %1 is not a number from 0 to 128"_s.arg(shown);
    case DecodeError::HostBitsSet:
        return u"Not a network: %1 has bits set past its length; did you mean %2/%3?"_s.arg(
            shown, ipv6Text(decoded.network, Rfc5952Spelling, true), QString::number(decoded.ipv6Length));
    case DecodeError::PrefixShorterThanEmbedding:
        return u"Not an IPv4 prefix: %1 is shorter than its embedding (%2), so it holds more than IPv4 "
               u"addresses"_s.arg(shown, embeddingOf(decoded, options));
    case DecodeError::PrefixInsideReservedBits:
        return u"Not an IPv4 prefix: %1 ends inside bits 64 to 71, which RFC 6052 keeps zero behind %2"_s.arg(
            shown, embeddingOf(decoded, options));
    case DecodeError::PrefixNotCarried:
        return u"Not an IPv4 prefix: %1 is a %2 prefix; Teredo and ISATAP addresses carry an IPv4 address, "
               u"their prefixes none"_s.arg(shown, carrierName(*decoded.carrier).toString());
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
    writeTexts();
}

RowDecoding::RowDecoding(QStringView row, const DecodedAddress& address, const DecodeOptions& options)
    : m_row(row)
    , m_options(&options)
{
    m_decoded.ipv4 = address.ipv4;
    m_decoded.carrier = address.carrier;
    writeTexts();
}

std::optional<DecodedAddress> RowDecoding::address() const
{
    if (m_decoded.failed() || m_decoded.length >= 0 || m_decoded.carrier == Carrier::Teredo)
        return std::nullopt;
    return DecodedAddress { m_decoded.ipv4, m_decoded.carrier };
}

void RowDecoding::writeTexts()
{
    if (m_decoded.failed())
        return;
    char16_t* end = writeDottedQuad(m_decoded.ipv4, m_ipv4);
    if (m_decoded.length >= 0) {
        *end++ = u'/';
        end = writeNumber(unsigned(m_decoded.length), end);
    }
    m_ipv4Length = end - m_ipv4;
    if (m_decoded.carrier == Carrier::Teredo) {
        constexpr QStringView Server = u"server ";
        constexpr QStringView Port = u", port ";
        char16_t* cursor = std::copy(Server.utf16(), Server.utf16() + Server.size(), m_detail);
        cursor = writeDottedQuad(m_decoded.server, cursor);
        cursor = std::copy(Port.utf16(), Port.utf16() + Port.size(), cursor);
        m_detailLength = writeNumber(m_decoded.port, cursor) - m_detail;
    }
}

QString RowDecoding::reverseDnsName() const
{
    if (m_decoded.failed())
        return {};
    return inAddrArpaZones(m_decoded.ipv4, m_decoded.length < 0 ? 32 : m_decoded.length);
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
