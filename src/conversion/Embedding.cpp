#include "Embedding.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace MapIP {

namespace {

QString quoted(QStringView text)
{
    return u'"' + text.toString() + u'"';
}

quint8 byteAt(const Ipv6Groups& groups, int position)
{
    const quint16 group = groups[size_t(position / 2)];
    return quint8(position % 2 == 0 ? group >> 8 : group & 0xFF);
}

void setByte(Ipv6Groups& groups, int position, quint8 value)
{
    quint16& group = groups[size_t(position / 2)];
    group = position % 2 == 0 ? quint16((group & 0x00FF) | value << 8) : quint16((group & 0xFF00) | value);
}

// Behind a prefix of `length` bits the address's four bytes take the next
// four byte positions, passing over byte 8 (bits 64 to 71), which RFC 6052
// keeps zero.
std::array<int, 4> bytePositionsFor(int length)
{
    std::array<int, 4> positions {};
    int position = length / 8;
    for (int& byte : positions) {
        if (position == 8)
            ++position;
        byte = position++;
    }
    return positions;
}

bool bitsSetPast(const Ipv6Groups& groups, int length)
{
    for (int position = length / 8; position < 16; ++position) {
        if (byteAt(groups, position) != 0)
            return true;
    }
    return false;
}

QString ordinal(int number)
{
    const int lastTwo = number % 100;
    const int last = number % 10;
    const char16_t* suffix = (lastTwo >= 11 && lastTwo <= 13) ? u"th"
        : last == 1                                           ? u"st"
        : last == 2                                           ? u"nd"
        : last == 3                                           ? u"rd"
                                                              : u"th";
    return QString::number(number) + QString::fromUtf16(suffix);
}

QString lengthList()
{
    QStringList lengths;
    for (const int length : Embedding::Lengths)
        lengths.append(u'/' + QString::number(length));
    return lengths.mid(0, lengths.size() - 1).join(u", "_s) + u" or "_s + lengths.last();
}

// The prefixes of the four forms in a /96 block, each ending where the
// address's part begins.
std::array<QString, FormCount> prefixesFor(const Ipv6Groups& groups, TextStyle style)
{
    const bool program = style == TextStyle::Program;
    const GroupSpelling full { true, program };
    const GroupSpelling shortened { program, program };
    char16_t buffer[MaxIpv6TextLength];
    const auto text = [&](GroupSpelling spelling, bool shorten) {
        char16_t* end = shorten ? writeShortenedGroups(groups.data(), 6, spelling, buffer)
                                : writeGroups(groups.data(), 6, spelling, buffer);
        // A text ending in "::" is followed directly by the address's part.
        if (!(end - buffer >= 2 && end[-1] == u':' && end[-2] == u':'))
            *end++ = u':';
        return QStringView(buffer, end - buffer).toString();
    };
    std::array<QString, FormCount> prefixes;
    for (const FormDefinition& form : Forms) {
        // RFC 5952 shortens the hex form as a whole, its last two groups included.
        if (!program && form.prefix == Prefix::Shortened && form.body == Body::HexGroups)
            continue;
        const bool shorten = form.prefix == Prefix::Shortened;
        prefixes[formIndex(form.form)] = text(shorten ? shortened : full, shorten);
    }
    return prefixes;
}

// The shorthand for each case of the last two groups being zero or not, with
// a group that is not zero standing as 1: the run written "::" lies where it
// lies for every address of the case.
std::array<QString, 4> shortenedTemplates(const Ipv6Groups& prefix)
{
    std::array<QString, 4> templates;
    for (int zeros = 0; zeros < 4; ++zeros) {
        Ipv6Groups address = prefix;
        address[6] = quint16(zeros & 1);
        address[7] = quint16((zeros & 2) >> 1);
        templates[size_t(zeros)] = ipv6Text(address, Rfc5952Spelling, true);
    }
    return templates;
}

// The lengths of the templates less the digits standing for groups that are
// not zero.
std::array<qsizetype, 4> shortenedLengthsFor(const std::array<QString, 4>& templates)
{
    std::array<qsizetype, 4> lengths {};
    for (int zeros = 0; zeros < 4; ++zeros)
        lengths[size_t(zeros)] = templates[size_t(zeros)].size() - (zeros & 1) - ((zeros & 2) >> 1);
    return lengths;
}

// The templates without the text of the last two groups: "1:1" or "1:0"
// when the seventh is not zero, "1" when only the eighth is not.
std::array<QString, 4> shortenedHeadsFor(std::array<QString, 4> templates)
{
    for (int zeros = 0; zeros < 4; ++zeros) {
        const qsizetype tail = (zeros & 1) ? 3 : (zeros & 2) ? 1 : 0;
        templates[size_t(zeros)].chop(tail);
    }
    return templates;
}

ConversionOptions::Layout layoutOf(const Embedding& embedding, TextStyle style)
{
    if (embedding.length() != 96)
        return ConversionOptions::Layout::Groups;
    return style == TextStyle::Program ? ConversionOptions::Layout::ProgramBlock
                                       : ConversionOptions::Layout::Rfc5952Block;
}

} // namespace

Embedding::Embedding(const Ipv6Groups& prefix, int length)
    : m_prefix(prefix)
    , m_length(length)
    , m_positions(bytePositionsFor(length))
{
}

Embedding Embedding::named(Named name)
{
    switch (name) {
    case Named::Compatible:
        return Embedding();
    case Named::Mapped:
        return Embedding({ 0, 0, 0, 0, 0, 0xFFFF, 0, 0 }, 96);
    case Named::Nat64:
        return Embedding({ 0x64, 0xFF9B, 0, 0, 0, 0, 0, 0 }, 96);
    }
    return Embedding();
}

std::optional<Embedding> Embedding::parse(QStringView text, QString* error)
{
    const auto refuse = [error](const QString& message) -> std::optional<Embedding> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    for (size_t i = 0; i < Names.size(); ++i) {
        if (text == Names[i])
            return named(Named(i));
    }
    const qsizetype slash = text.indexOf(u'/');
    const QStringView addressText = slash < 0 ? text : text.first(slash);
    const std::optional<Ipv6Groups> address = readIpv6(addressText);
    if (!address) {
        return refuse(u"The prefix %1 is not IPv6 text: write it as groups of hex digits joined by \":\", "
                      u"such as 2001:db8:64::/96"_s.arg(quoted(addressText)));
    }
    const QStringView lengthText = slash < 0 ? QStringView() : text.sliced(slash + 1);
    const auto* length = std::find_if(Lengths.begin(), Lengths.end(),
                                      [&](int known) { return lengthText == QString::number(known); });
    if (length == Lengths.end()) {
        return refuse(u"The prefix %1 has no length an IPv4 address can follow: write it ending in %2 "
                      u"(RFC 6052), such as 2001:db8:64::/96"_s.arg(quoted(text), lengthList()));
    }
    if (bitsSetPast(*address, *length)) {
        const QString rule = *length == 96 ? u"its last two groups must be zero"_s
                                           : u"every bit after its first %1 must be zero"_s.arg(*length);
        return refuse(
            u"The prefix %1 has bits set past the %2: %3"_s.arg(quoted(text), ordinal(*length), rule));
    }
    return Embedding(*address, *length);
}

QStringView Embedding::name() const
{
    for (size_t i = 0; i < Names.size(); ++i) {
        if (*this == named(Named(i)))
            return Names[i];
    }
    return {};
}

QString Embedding::prefixText() const
{
    return ipv6Text(m_prefix, Rfc5952Spelling, true) + u'/' + QString::number(m_length);
}

QString Embedding::label() const
{
    const QStringView known = name();
    return known.isEmpty() ? prefixText() : known.toString();
}

Ipv6Groups Embedding::embed(quint32 address) const noexcept
{
    Ipv6Groups groups = m_prefix;
    for (int i = 0; i < 4; ++i)
        setByte(groups, m_positions[size_t(i)], quint8(address >> (24 - 8 * i)));
    return groups;
}

int Embedding::lengthCovering(int ipv4Bits) const noexcept
{
    if (ipv4Bits <= 0)
        return m_length;
    const int last = ipv4Bits - 1;
    return m_positions[size_t(last / 8)] * 8 + last % 8 + 1;
}

Embedding::Refusal Embedding::extract(const Ipv6Groups& address, quint32* ipv4) const noexcept
{
    const int whole = m_length / 16;
    if (!std::equal(m_prefix.begin(), m_prefix.begin() + whole, address.begin()))
        return Refusal::OutsideBlock;
    if (m_length % 16 != 0 && byteAt(address, m_length / 8 - 1) != byteAt(m_prefix, m_length / 8 - 1))
        return Refusal::OutsideBlock;
    if (m_length < 96 && byteAt(address, 8) != 0)
        return Refusal::ReservedBitsSet;
    quint32 value = 0;
    for (const int position : m_positions)
        value = value << 8 | byteAt(address, position);
    *ipv4 = value;
    return Refusal::None;
}

ConversionOptions::ConversionOptions(const Embedding& embedding, TextStyle style)
    : m_embedding(embedding)
    , m_style(style)
    , m_layout(layoutOf(embedding, style))
{
    if (m_layout == Layout::Groups)
        return;
    m_prefixes = prefixesFor(embedding.prefix(), style);
    const std::array<QString, 4> templates = shortenedTemplates(embedding.prefix());
    m_shortenedLengths = shortenedLengthsFor(templates);
    m_shortenedHeads = shortenedHeadsFor(templates);
}

const ConversionOptions& ConversionOptions::defaults()
{
    static const ConversionOptions options;
    return options;
}

} // namespace MapIP
