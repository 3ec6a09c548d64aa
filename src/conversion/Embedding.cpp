#include "Embedding.h"

#include <QList>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace MapIP {

namespace {

using Address = std::array<quint16, 8>;

int hexValue(QChar c) noexcept
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A dotted quad in strict decimal (no blanks, no leading zeros), as IPv6 text
// may end in one.
bool readDottedQuad(QStringView text, quint16* high, quint16* low)
{
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    unsigned value = 0;
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part[0] == u'0'))
            return false;
        unsigned octet = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return false;
            octet = octet * 10 + unsigned(c.unicode() - u'0');
        }
        if (octet > 255)
            return false;
        value = value << 8 | octet;
    }
    *high = quint16(value >> 16);
    *low = quint16(value & 0xFFFF);
    return true;
}

// Groups of one side of "::" (or of an address without one); a dotted quad
// may end the last side and counts as two groups.
bool readGroups(QStringView text, bool mayEndInQuad, std::vector<quint16>& groups)
{
    if (text.isEmpty())
        return true;
    const QList<QStringView> pieces = text.split(u':');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QStringView piece = pieces[i];
        if (mayEndInQuad && i + 1 == pieces.size() && piece.contains(u'.')) {
            quint16 high = 0;
            quint16 low = 0;
            if (!readDottedQuad(piece, &high, &low))
                return false;
            groups.push_back(high);
            groups.push_back(low);
            return true;
        }
        if (piece.isEmpty() || piece.size() > 4)
            return false;
        unsigned value = 0;
        for (QChar c : piece) {
            const int digit = hexValue(c);
            if (digit < 0)
                return false;
            value = value << 4 | unsigned(digit);
        }
        groups.push_back(quint16(value));
    }
    return true;
}

// IPv6 text as RFC 4291 section 2.2 allows it.
std::optional<Address> readIPv6(QStringView text)
{
    const qsizetype gap = text.indexOf(u"::");
    if (gap >= 0 && text.indexOf(u"::", gap + 1) >= 0)
        return std::nullopt;
    std::vector<quint16> head;
    std::vector<quint16> tail;
    if (gap < 0) {
        if (!readGroups(text, true, head) || head.size() != 8)
            return std::nullopt;
    } else if (!readGroups(text.first(gap), false, head) || !readGroups(text.sliced(gap + 2), true, tail)
               || head.size() + tail.size() > 7) {
        return std::nullopt;
    }
    Address address {};
    std::copy(head.begin(), head.end(), address.begin());
    std::copy(tail.begin(), tail.end(), address.end() - qsizetype(tail.size()));
    return address;
}

QString quoted(QStringView text)
{
    return u'"' + text.toString() + u'"';
}

// The first of the longest runs of two or more zero groups, as [begin, end).
std::pair<int, int> longestZeroRun(const quint16* groups, int count) noexcept
{
    int bestBegin = 0;
    int bestLength = 0;
    for (int i = 0; i < count;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < count && groups[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestBegin = i;
            bestLength = j - i;
        }
        i = j;
    }
    if (bestLength < 2)
        return { -1, -1 };
    return { bestBegin, bestBegin + bestLength };
}

char16_t* writeGroup(quint16 value, GroupSpelling spelling, char16_t* out) noexcept
{
    static constexpr char16_t Lower[] = u"0123456789abcdef";
    static constexpr char16_t Upper[] = u"0123456789ABCDEF";
    const char16_t* digits = spelling.upper ? Upper : Lower;
    bool started = spelling.fourDigits;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = (value >> shift) & 0xF;
        if (digit != 0 || shift == 0)
            started = true;
        if (started)
            *out++ = digits[digit];
    }
    return out;
}

// The prefixes of the four forms, each ending where the address's part
// begins.
std::array<QString, FormCount> prefixesFor(const Embedding::Groups& groups, TextStyle style)
{
    const bool program = style == TextStyle::Program;
    const GroupSpelling full { true, program };
    const GroupSpelling shortened { program, program };
    char16_t buffer[40];
    const auto text = [&](GroupSpelling spelling, bool shorten) {
        char16_t* end = buffer;
        if (shorten) {
            end = writeShortenedGroups(groups.data(), 6, spelling, buffer);
        } else {
            for (int i = 0; i < 6; ++i) {
                end = writeGroup(groups[size_t(i)], spelling, end);
                *end++ = u':';
            }
            --end;
        }
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
        prefixes[size_t(int(form.form) - 1)] = text(shorten ? shortened : full, shorten);
    }
    return prefixes;
}

// The shorthand for each case of the last two groups being zero or not, with
// a group that is not zero standing as 1: the run written "::" lies where it
// lies for every address of the case.
std::array<QString, 4> shortenedTemplates(const Embedding::Groups& groups)
{
    std::array<QString, 4> templates;
    for (int zeros = 0; zeros < 4; ++zeros) {
        const std::array<quint16, 8> address { groups[0],          groups[1],
                                               groups[2],          groups[3],
                                               groups[4],          groups[5],
                                               quint16(zeros & 1), quint16((zeros & 2) >> 1) };
        char16_t buffer[40];
        const char16_t* end = writeShortenedGroups(address.data(), 8, GroupSpelling {}, buffer);
        templates[size_t(zeros)] = QStringView(buffer, end - buffer).toString();
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

} // namespace

char16_t* writeShortenedGroups(const quint16* groups, int count, GroupSpelling spelling,
                               char16_t* out) noexcept
{
    const auto [runBegin, runEnd] = longestZeroRun(groups, count);
    for (int i = 0; i < count; ++i) {
        if (i == runBegin) {
            *out++ = u':';
            *out++ = u':';
            i = runEnd - 1;
            continue;
        }
        if (i > 0 && i != runEnd)
            *out++ = u':';
        out = writeGroup(groups[i], spelling, out);
    }
    return out;
}

Embedding Embedding::named(Named name)
{
    switch (name) {
    case Named::Compatible:
        return Embedding();
    case Named::Mapped:
        return Embedding(Groups { 0, 0, 0, 0, 0, 0xFFFF });
    case Named::Nat64:
        return Embedding(Groups { 0x64, 0xFF9B, 0, 0, 0, 0 });
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
    const std::optional<Address> address = readIPv6(addressText);
    if (!address) {
        return refuse(u"The prefix %1 is not IPv6 text: write it as groups of hex digits joined by \":\", "
                      u"such as 2001:db8:64::/96"_s.arg(quoted(addressText)));
    }
    if (slash < 0 || text.sliced(slash + 1) != u"96") {
        return refuse(u"The prefix %1 is not a /96 prefix: an IPv4 address fills the last 32 bits, so "
                      u"write it ending in /96, such as 2001:db8:64::/96"_s.arg(quoted(text)));
    }
    if ((*address)[6] != 0 || (*address)[7] != 0) {
        return refuse(u"The prefix %1 has bits set past the 96th: its last two groups must be zero"_s.arg(
            quoted(text)));
    }
    Groups groups;
    std::copy_n(address->begin(), 6, groups.begin());
    return Embedding(groups);
}

QString Embedding::prefixText() const
{
    const Address address {
        m_groups[0], m_groups[1], m_groups[2], m_groups[3], m_groups[4], m_groups[5], 0, 0
    };
    char16_t buffer[40];
    const char16_t* end = writeShortenedGroups(address.data(), 8, GroupSpelling {}, buffer);
    return QStringView(buffer, end - buffer).toString() + u"/96"_s;
}

ConversionOptions::ConversionOptions(const Embedding& embedding, TextStyle style)
    : m_embedding(embedding)
    , m_style(style)
    , m_prefixes(prefixesFor(embedding.groups(), style))
{
    const std::array<QString, 4> templates = shortenedTemplates(embedding.groups());
    m_shortenedLengths = shortenedLengthsFor(templates);
    m_shortenedHeads = shortenedHeadsFor(templates);
}

const ConversionOptions& ConversionOptions::defaults()
{
    static const ConversionOptions options;
    return options;
}

} // namespace MapIP
