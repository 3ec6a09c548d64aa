#pragma once

#include "ConversionResult.h"
#include "Embedding.h"
#include "Forms.h"
#include "Networks.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <exception>
#include <optional>
#include <vector>

// The four IPv6 text forms of a dotted quad.
//
// In the program's own text, in a /96 block, forms 1 and 2 split the argument
// at every "." (nothing trimmed, empty parts count, an empty argument has no
// parts), write each part as two upper-case hex digits and take the first four
// and the last four digits of that string on their own: three parts overlap,
// five drop the digits in between, fewer than four digits are taken whole
// twice. Forms 3 and 4 copy the argument unchanged behind their prefixes and
// never fail.
//
// In RFC 5952 text no invalid address may be written: an argument that is not
// exactly four octets written in decimal digits (leading zeros are fine) fails
// every form, and the dotted quad is written canonically.
//
// Behind a prefix shorter than /96 the address's 32 bits are spread over the
// groups, so it must be four octets; only the two hex forms exist there.
//
// A row may also be a prefix, a.b.c.d/n, whose forms are those of a.b.c.d
// followed by the length that covers the embedding's prefix and the first n
// bits of the address, or a range, a.b.c.d-e.f.g.h, which stands for the
// smallest list of prefixes that covers it. A row that only looks like one
// (its address part is no four octets) is read as an address, as ever.
namespace MapIP {

enum class ConversionError : unsigned char {
    None,
    NotANumber,
    OutOfRange,
    // An octet RFC 5952 text does not take as written: blanks, a sign.
    NotAnOctet,
    // Not four parts, in RFC 5952 text or behind a prefix below /96.
    NotFourParts,
    NotFourPartsToSpread,
    // Prefixes: nothing after the "/", a length outside 0 to 32, bits set
    // past the length.
    PrefixLengthMissing,
    PrefixLengthInvalid,
    HostBitsSet,
    // Ranges: the first address above the last, and (where one set of
    // forms is asked for) a range that is more than one prefix.
    RangeBackwards,
    SeveralPrefixes,
};

struct ConversionFailure
{
    ConversionFailure() = default;
    ConversionFailure(ConversionError error, QStringView part, Ipv4Network meant = {}, quint32 meantLast = 0,
                      int prefixes = 0)
        : error(error)
        , part(part)
        , meant(meant)
        , meantLast(meantLast)
        , prefixes(prefixes)
    {
    }

    ConversionError error = ConversionError::None;
    // The first part that failed, or the whole address when it does not have
    // four parts, or the whole row; a view into the argument.
    QStringView part;
    // What the user probably meant, for a prefix or range that is refused:
    // the network without its host bits, the range the right way round.
    Ipv4Network meant;
    quint32 meantLast = 0;
    // The prefixes a range holds.
    int prefixes = 0;

    bool failed() const noexcept { return error != ConversionError::None; }
};

// The description the error report and the command-line tool show.
QString describe(const ConversionFailure& failure);

// A part of a row as messages show it: quoted, and only its start when it is
// long (a row can be a whole line of a binary file).
QString quotedPart(QStringView part);

// A form's text in its three pieces: what the form writes ahead of the
// address, the address's own part, and a prefix's length ("/M").
struct FormPieces
{
    QStringView prefix;
    QStringView body;
    QStringView suffix;

    qsizetype size() const noexcept { return prefix.size() + body.size() + suffix.size(); }
};

// One row and its forms: the one way the program converts a row. The
// windows, the results table's cells, the exports and the tool all come
// through here.
//
// The row is read the first time a form needs it, and only then: in the
// program's text a /96 block's dot forms copy a plain address and never read
// it. Each form's text is a prefix, a body and a suffix (a prefix's length),
// all views, so a caller can write a form without building it (a row may be
// huge) or build it into a string of its own.
class RowConversion final
{
public:
    enum class Kind { Address, Prefix, Range };

    // The row and the options must outlive the object.
    explicit RowConversion(QStringView row,
                           const ConversionOptions& options = ConversionOptions::defaults()) noexcept
        : m_options(&options)
        , m_row(row)
        , m_address(row)
    {
    }
    // Options made for the call would be gone before the forms are read.
    RowConversion(QStringView row, ConversionOptions&& options) = delete;
    // One prefix of a range: its forms, with the range as the row.
    RowConversion(QStringView row, const Ipv4Network& part, const ConversionOptions& options) noexcept;
    // A plain address that plainOctets() of a conversion with the same
    // options gave: its forms, without reading the row again.
    RowConversion(QStringView row, quint32 octets, const ConversionOptions& options) noexcept;
    RowConversion(const RowConversion&) = delete;
    RowConversion& operator=(const RowConversion&) = delete;

    // The row as given.
    QStringView address() const noexcept { return m_row; }
    const ConversionOptions& options() const noexcept { return *m_options; }
    Kind kind() const noexcept;

    // Why the form fails for this row: no failure when it converts, and none
    // for a form these options do not write either.
    const ConversionFailure& failure(Form form) const noexcept;
    // Whether the form has a text. Asked for every form of every row, often
    // twice, so it is inline.
    bool converts(Form form) const noexcept
    {
        if (!m_options->writesForm(form))
            return false;
        if (!readsAddress(form))
            return true;
        // The program's dot forms copy an address whatever it holds; only a
        // prefix or a range can make them fail.
        return !readFailure().failed()
            || (m_kind == Kind::Address && m_options->layout() == ConversionOptions::Layout::ProgramBlock
                && definition(form).body != Body::HexGroups);
    }
    // The forms that have a text, bit formIndex(form) standing for each.
    unsigned convertedForms() const noexcept;
    // The address's value when it reads as four octets (a prefix's network).
    std::optional<quint32> ipv4() const noexcept;
    // The value of a plain address that reads as four octets, for a caller
    // that converts the row again later.
    std::optional<quint32> plainOctets() const noexcept { return isPlain() ? ipv4() : std::nullopt; }
    // True when the forms' lengths are those of every other row of as many
    // characters for which this is true: a plain address of four parts in
    // the program's text, whose hex part is always nine characters and whose
    // dot forms copy it. A caller that measures a million such rows
    // measures one of each length.
    bool lengthsFollowSize() const noexcept
    {
        return m_options->layout() == ConversionOptions::Layout::ProgramBlock && isPlain()
            && !readFailure().failed() && m_fourOctets;
    }
    // The prefix a prefix row stands for.
    std::optional<Ipv4Network> network() const noexcept;
    // The length the forms of a prefix end in, -1 for an address.
    int formPrefixLength() const noexcept;
    // A range's prefixes, the smallest list that covers it exactly, in
    // order; none for a row that is no range or a range that fails.
    std::vector<Ipv4Network> rangePrefixes() const;
    // The ip6.arpa name of the forms' address, or the zones that cover a
    // prefix; empty for a row that is no four octets.
    QString reverseDnsName() const;

    // The form's text is its prefix, body and suffix; all are empty when it
    // has none.
    QStringView prefix(Form form) const noexcept;
    QStringView body(Form form) const noexcept;
    QStringView suffix(Form form) const noexcept;
    // All three at once, with one look at whether the form converts (a
    // writer that goes through every row and form calls this).
    FormPieces pieces(Form form) const noexcept;
    // The bodies of the forms of a plain address made from its octets (the
    // octets constructor), which has every form the options write: one look
    // at the layout for all of them, for a writer of a million rows. A form
    // the options do not write has none. Such an address has no suffix.
    std::array<QStringView, FormCount> plainBodies() const noexcept;
    // The text's length, or -1 when it has none.
    qsizetype length(Form form) const noexcept;
    // The length of a form known to convert (a table checked it when the
    // cell was set), found with as little reading as the form needs: the hex
    // part of the program's forms of a plain address only depends on whether
    // there are two parts or more. 0 when the form turns out to have no text.
    qsizetype lengthIfConverts(Form form) const noexcept;
    // True when `text` is exactly the form's text.
    bool isText(Form form, QStringView text) const noexcept;
    // The text into `out`, whose memory is reused when it has room; `out` is
    // left alone when the form has none.
    ConversionFailure write(Form form, QString& out) const;

private:
    // A row without "/" or "-" is a plain address. Asked several times for
    // every form of every row, so the answer is kept.
    bool isPlain() const noexcept
    {
        if (m_plain < 0)
            m_plain = findsNoSlashOrDash() ? 1 : 0;
        return m_plain == 1;
    }
    bool findsNoSlashOrDash() const noexcept;
    bool readsAddress(Form form) const noexcept
    {
        return m_options->layout() != ConversionOptions::Layout::ProgramBlock
            || definition(form).body == Body::HexGroups || !isPlain();
    }
    const ConversionFailure& readFailure() const noexcept
    {
        if (!m_read)
            read();
        return m_failure;
    }
    void read() const noexcept;
    bool readPrefix(qsizetype slash) const noexcept;
    bool readRange(qsizetype dash) const noexcept;
    void readAddress() const noexcept;
    void takeNetwork(const Ipv4Network& network) const noexcept;
    void takeOctets(quint32 value) const noexcept;
    // The body of a form known to convert.
    QStringView convertedBody(Form form) const noexcept;
    // The body in the program's /96 block: the hex part, or the address.
    QStringView programBody(Form form) const noexcept;
    QStringView rfc5952Body(Form form) const noexcept;
    QStringView groupsText(Form form) const noexcept;

    const ConversionOptions* m_options;
    QStringView m_row;
    // The address the forms are written from: the row, a prefix's address
    // part as given, or a range part's address.
    mutable QStringView m_address;
    mutable Kind m_kind = Kind::Address;
    // -1 unknown, 0 no, 1 yes.
    mutable signed char m_plain = -1;
    mutable bool m_read = false;
    mutable ConversionFailure m_failure;
    mutable std::array<quint8, 4> m_octets {};
    mutable bool m_fourOctets = false;
    // convertedForms(), -1 until asked.
    mutable int m_convertedForms = -1;
    mutable Ipv4Network m_network;
    mutable quint32 m_rangeLast = 0;
    // Texts written the first time a form asks for them (a table reads one
    // form of a row at a time), -1 until then: the hex part of the program's
    // forms, or the texts of RFC 5952 and of the eight groups.
    mutable std::array<qsizetype, FormCount> m_lengths { -1, -1, -1, -1 };
    mutable char16_t m_texts[FormCount][MaxIpv6TextLength];
    // "/M" behind a prefix's forms.
    mutable char16_t m_suffix[4];
    mutable qsizetype m_suffixLength = 0;
    // A range part's address, written.
    char16_t m_partText[15];
};

// What the windows raise for a form that fails: the description above, which
// the error trap shows as any error's what().
class ConversionException final : public std::exception
{
public:
    explicit ConversionException(const ConversionFailure& failure)
        : m_utf8(describe(failure).toUtf8())
    {
    }

    QString description() const { return QString::fromUtf8(m_utf8); }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QByteArray m_utf8;
};

// A form's text as the windows take it: raises ConversionException when the
// form fails.
QString convert(Form form, QStringView address,
                const ConversionOptions& options = ConversionOptions::defaults());

// The four operations as the windows call them: forms 1 and 2 raise
// ConversionException; forms 3 and 4 never fail.
QString IPv4ToIPv6Full(QStringView address);
QString IPv4ToIPv6Shorthand(QStringView address);
QString IPv4ToIPv6DotFull(QStringView address);
QString IPv4ToIPv6DotShorthand(QStringView address);

} // namespace MapIP
