#pragma once

#include "ConversionResult.h"
#include "Embedding.h"
#include "Forms.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <exception>
#include <optional>

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
};

struct ConversionFailure
{
    ConversionError error = ConversionError::None;
    // The first part that failed, or the whole address when it does not have
    // four parts; a view into the argument.
    QStringView part;

    bool failed() const noexcept { return error != ConversionError::None; }
};

// The description the error report and the command-line tool show.
QString describe(const ConversionFailure& failure);

// A part of a row as messages show it: quoted, and only its start when it is
// long (a row can be a whole line of a binary file).
QString quotedPart(QStringView part);

// One address and its forms: the one way the program converts a row. The
// windows, the results table's cells, the exports and the tool all come
// through here.
//
// The address is read the first time a form needs it, and only then: in the
// program's text a /96 block's dot forms copy the address and never read it.
// Each form's text is a prefix and a body, both views, so a caller can write
// a form without building it (a row may be huge) or build it into a string
// of its own.
class RowConversion final
{
public:
    // The address and the options must outlive the object.
    explicit RowConversion(QStringView address,
                           const ConversionOptions& options = ConversionOptions::defaults()) noexcept
        : m_options(&options)
        , m_address(address)
    {
    }

    QStringView address() const noexcept { return m_address; }
    const ConversionOptions& options() const noexcept { return *m_options; }

    // Why the form fails for this address: no failure when it converts, and
    // none for a form these options do not write either.
    ConversionFailure failure(Form form) const noexcept;
    // Whether the form has a text.
    bool converts(Form form) const noexcept;
    // The forms that have a text, bit formIndex(form) standing for each.
    unsigned convertedForms() const noexcept;
    // The address's value when it reads as four octets.
    std::optional<quint32> ipv4() const noexcept;

    // The form's text is its prefix followed by its body; both are empty
    // when it has none.
    QStringView prefix(Form form) const noexcept;
    QStringView body(Form form) const noexcept;
    // The text's length, or -1 when it has none.
    qsizetype length(Form form) const noexcept;
    // The length of a form known to convert (a table checked it when the
    // cell was set), found with as little reading as the form needs: the hex
    // part of the program's forms only depends on whether there are two parts
    // or more. 0 when the form turns out to have no text.
    qsizetype lengthIfConverts(Form form) const noexcept;
    // True when `text` is exactly the form's text.
    bool isText(Form form, QStringView text) const noexcept;
    // The text into `out`, whose memory is reused when it has room; `out` is
    // left alone when the form has none.
    ConversionFailure write(Form form, QString& out) const;

private:
    bool readsAddress(Form form) const noexcept
    {
        return m_options->layout() != ConversionOptions::Layout::ProgramBlock
            || definition(form).body == Body::HexGroups;
    }
    const ConversionFailure& readFailure() const noexcept
    {
        if (!m_read)
            read();
        return m_failure;
    }
    void read() const noexcept;
    QStringView rfc5952Body(Form form) const noexcept;
    QStringView groupsText(Form form) const noexcept;

    const ConversionOptions* m_options;
    QStringView m_address;
    mutable bool m_read = false;
    mutable ConversionFailure m_failure;
    mutable std::array<quint8, 4> m_octets {};
    mutable bool m_fourOctets = false;
    // Texts written the first time a form asks for them (a table reads one
    // form of a row at a time), -1 until then: the hex part of the program's
    // forms, or the texts of RFC 5952 and of the eight groups.
    mutable std::array<qsizetype, FormCount> m_lengths { -1, -1, -1, -1 };
    mutable char16_t m_texts[FormCount][MaxIpv6TextLength];
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
