#pragma once

#include "Forms.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace MapIP {

// The /96 block an IPv4 address is embedded in: its six upper 16-bit groups.
// The IPv4-compatible block ::/96 is the default, as it has always been the
// program's; the IPv4-mapped block and the NAT64 well-known prefix are what
// networks use today, and a NAT64 gateway may have a /96 prefix of its own.
class Embedding
{
public:
    using Groups = std::array<quint16, 6>;

    // The named blocks, in the order the windows offer them.
    enum class Named { Compatible, Mapped, Nat64 };
    static constexpr std::array<QStringView, 3> Names { u"compatible", u"mapped", u"nat64" };

    Embedding() = default; // ::/96
    explicit Embedding(const Groups& groups)
        : m_groups(groups)
    {
    }
    static Embedding named(Named name);

    // A name above or a prefix written as IPv6 text with "/96". A text that is
    // not one of them leaves `error` with a message saying why.
    static std::optional<Embedding> parse(QStringView text, QString* error = nullptr);

    const Groups& groups() const { return m_groups; }
    // The block as "prefix/96" in RFC 5952 text.
    QString prefixText() const;

    friend bool operator==(const Embedding&, const Embedding&) = default;

private:
    Groups m_groups {};
};

// How the forms are written: the program's own text (upper case, every group
// in four digits) or the canonical text of RFC 5952.
enum class TextStyle { Program, Rfc5952 };

// The embedding and the text style together, with what every row's forms
// share worked out once: a table of a million rows reads its cells through
// one of these.
class ConversionOptions
{
public:
    ConversionOptions()
        : ConversionOptions(Embedding(), TextStyle::Program)
    {
    }
    ConversionOptions(const Embedding& embedding, TextStyle style);

    // The options of a program given no choice; the object lives as long as
    // the program.
    static const ConversionOptions& defaults();

    const Embedding& embedding() const { return m_embedding; }
    TextStyle style() const { return m_style; }

    // What the form writes ahead of the address's part: the six groups of the
    // block, in full or shortened, with the colon that joins them to the
    // rest. Empty for the RFC 5952 shorthand, which is shortened as a whole.
    QStringView prefix(Form form) const { return m_prefixes[size_t(int(form) - 1)]; }

    // The length of the RFC 5952 shorthand of the whole address whose last
    // two groups are `seventh` and `eighth`, found without writing it.
    qsizetype shortenedLength(quint16 seventh, quint16 eighth) const noexcept
    {
        const auto digits = [](quint16 group) -> qsizetype {
            return group == 0 ? 0 : 1 + (group >= 0x10) + (group >= 0x100) + (group >= 0x1000);
        };
        return m_shortenedLengths[(seventh != 0) | (eighth != 0) << 1] + digits(seventh) + digits(eighth);
    }

    // The RFC 5952 shorthand of the whole address up to its last two groups'
    // own text: what follows is the seventh group and ":" when it is not
    // zero, then the eighth ("0" when it is zero and the seventh is not).
    QStringView shortenedHead(bool seventhIsZero, bool eighthIsZero) const noexcept
    {
        return m_shortenedHeads[size_t(!seventhIsZero) | size_t(!eighthIsZero) << 1];
    }

    friend bool operator==(const ConversionOptions& a, const ConversionOptions& b)
    {
        return a.m_embedding == b.m_embedding && a.m_style == b.m_style;
    }

private:
    Embedding m_embedding;
    TextStyle m_style;
    std::array<QString, FormCount> m_prefixes;
    // Where the run written "::" lies depends only on which of the last two
    // groups are zero: the shorthand's length for each case, leaving out the
    // digits of a group that is not zero.
    std::array<qsizetype, 4> m_shortenedLengths {};
    std::array<QString, 4> m_shortenedHeads;
};

// The groups as RFC 5952 writes them: leading zeros dropped (or kept, with
// `fourDigits`), the first of the longest runs of two or more zero groups
// written "::". `upper` writes the hex letters in upper case.
struct GroupSpelling
{
    bool fourDigits = false;
    bool upper = false;
};
// Writes `count` groups at `out` (room for 5 * count characters) and returns
// the end of the text.
char16_t* writeShortenedGroups(const quint16* groups, int count, GroupSpelling spelling,
                               char16_t* out) noexcept;

} // namespace MapIP
