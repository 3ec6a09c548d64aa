#pragma once

#include "Forms.h"
#include "Ipv6Text.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace MapIP {

// The IPv6 prefix an IPv4 address is embedded behind. The IPv4-compatible
// block ::/96 is the default, as it has always been the program's; the
// IPv4-mapped block and the NAT64 well-known prefix are what networks use
// today, and a NAT64 gateway may have a prefix of its own of 32, 40, 48, 56,
// 64 or 96 bits, the address's 32 bits then laid out as RFC 6052 section 2.2
// lays them (bits 64 to 71 stay zero).
class Embedding
{
public:
    // The named blocks, in the order the windows offer them.
    enum class Named { Compatible, Mapped, Nat64 };
    static constexpr std::array<QStringView, 3> Names { u"compatible", u"mapped", u"nat64" };
    // The prefix lengths an address can be embedded behind.
    static constexpr std::array<int, 6> Lengths { 32, 40, 48, 56, 64, 96 };

    Embedding() = default; // ::/96
    static Embedding named(Named name);

    // A name above, or a prefix written as IPv6 text with one of the
    // lengths. A text that is not one of them leaves `error` with a message
    // saying why.
    static std::optional<Embedding> parse(QStringView text, QString* error = nullptr);

    // The prefix's groups, zero past its length.
    const Ipv6Groups& prefix() const { return m_prefix; }
    int length() const { return m_length; }
    // The name of a named block, or empty for any other prefix.
    QStringView name() const;
    // The prefix as RFC 5952 text with its length, such as 64:ff9b::/96.
    QString prefixText() const;
    // The name, or for any other prefix its text.
    QString label() const;

    // Where the address's bytes go: the byte positions (0 the most
    // significant of the sixteen) of its four bytes.
    const std::array<int, 4>& bytePositions() const { return m_positions; }
    // The IPv6 address of an IPv4 address.
    Ipv6Groups embed(quint32 address) const noexcept;
    // How many leading bits of the IPv6 address cover the prefix and the
    // first `ipv4Bits` bits of the IPv4 address: the position just after
    // that bit (bits 64 to 71 lie in between behind a short prefix).
    int lengthCovering(int ipv4Bits) const noexcept;

    // Why an IPv6 address does not carry an IPv4 address behind this prefix.
    enum class Refusal { None, OutsideBlock, ReservedBitsSet };
    // The IPv4 address an IPv6 address carries, read back by the same
    // layout; the bits after it (the suffix) are not looked at.
    Refusal extract(const Ipv6Groups& address, quint32* ipv4) const noexcept;

    friend bool operator==(const Embedding& a, const Embedding& b)
    {
        return a.m_length == b.m_length && a.m_prefix == b.m_prefix;
    }

private:
    Embedding(const Ipv6Groups& prefix, int length);

    Ipv6Groups m_prefix {};
    int m_length = 96;
    std::array<int, 4> m_positions { 12, 13, 14, 15 };
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
    // How a row's forms are made. A /96 block is written as a prefix text
    // shared by every row and the address's own part: in the program's text
    // that part is the hex digits of any number of parts, or the address as
    // given; in RFC 5952 text only four octets make an address. Below /96 an
    // address is spread over the groups, so a form is written whole from
    // its eight groups, and there are no dot forms.
    enum class Layout { ProgramBlock, Rfc5952Block, Groups };

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
    Layout layout() const { return m_layout; }

    // Whether the form is written at all: the dot forms need the address in
    // the last 32 bits.
    bool writesForm(Form form) const
    {
        return m_layout != Layout::Groups || definition(form).body != Body::AddressAsGiven;
    }
    // Those forms, bit formIndex(form) standing for each.
    unsigned writtenForms() const
    {
        unsigned forms = 0;
        for (const FormDefinition& form : Forms)
            forms |= writesForm(form.form) ? 1u << formIndex(form.form) : 0u;
        return forms;
    }

    // What the form writes ahead of the address's part in a /96 block: the
    // six groups of the block, in full or shortened, with the colon that
    // joins them to the rest. Empty for the RFC 5952 shorthand, which is
    // shortened as a whole, and below /96.
    QStringView prefix(Form form) const { return m_prefixes[formIndex(form)]; }

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
    Layout m_layout;
    std::array<QString, FormCount> m_prefixes;
    // Where the run written "::" lies depends only on which of the last two
    // groups are zero: the shorthand's length for each case, leaving out the
    // digits of a group that is not zero.
    std::array<qsizetype, 4> m_shortenedLengths {};
    std::array<QString, 4> m_shortenedHeads;
};

} // namespace MapIP
