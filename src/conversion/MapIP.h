#pragma once

#include "ConversionResult.h"
#include "Embedding.h"
#include "Forms.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <exception>

// The four IPv6 text forms of a dotted quad.
//
// Forms 1 and 2 split the argument at every "." (nothing trimmed, empty parts
// count, an empty argument has no parts), write each part as two upper-case hex
// digits and take the first four and the last four digits of that string on
// their own: three parts overlap, five drop the digits in between, fewer than
// four digits are taken whole twice. Forms 3 and 4 copy the argument unchanged
// behind their prefixes and never fail.
//
// In RFC 5952 text no invalid address may be written: an argument that is not
// exactly four octets fails every form, and the dotted quad is written
// canonically (no blanks, no leading zeros).
namespace MapIP {

enum class ConversionError : unsigned char { None, NotANumber, OutOfRange, NotFourParts };

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

// One address and its forms. The address is read once, when the object is
// made; each form's text is then a prefix and a body that are views, so a
// caller can write a form without building it (a row may be huge) or build
// it into a string of its own. Every conversion in the program goes through
// here: the windows, the results table's cells, the exports and the tool.
class RowConversion
{
public:
    // The address and the options must outlive the object.
    explicit RowConversion(QStringView address,
                           const ConversionOptions& options = ConversionOptions::defaults()) noexcept;

    QStringView address() const noexcept { return m_address; }
    // Why the form fails for this address; no failure when it converts. The
    // forms that write the address as given take any text in the program's.
    ConversionFailure failure(Form form) const noexcept
    {
        if (m_rfc5952 || definition(form).body == Body::HexGroups)
            return m_failure;
        return {};
    }
    bool converts(Form form) const noexcept { return !failure(form).failed(); }
    // The forms that convert, bit k - 1 standing for form k.
    unsigned convertedForms() const noexcept;

    // The form's text is its prefix followed by its body; both are empty
    // when it fails.
    QStringView prefix(Form form) const noexcept;
    QStringView body(Form form) const noexcept;
    // The text's length, or -1 when the form fails.
    qsizetype length(Form form) const noexcept;
    // The text into `out`, whose memory is reused when it has room; `out` is
    // left alone when the form fails.
    ConversionFailure write(Form form, QString& out) const;

private:
    // The RFC 5952 texts, written the first time a form asks for them: a
    // table reads one form of a row at a time.
    QStringView rfc5952Body(Form form) const noexcept;
    qsizetype rfc5952BodyLength(Form form) const noexcept;

    const ConversionOptions* m_options;
    bool m_rfc5952 = false;
    QStringView m_address;
    ConversionFailure m_failure;
    // The hex part of forms 1 and 2 in the program's text.
    char16_t m_hexGroups[9];
    qsizetype m_hexLength = 0;
    // In RFC 5952 text: the four octets, and what has been written of the
    // lower-case groups, the canonical dotted quad and the whole shortened
    // address (a length of -1 until then).
    std::array<quint8, 4> m_octets {};
    mutable char16_t m_lowerGroups[9];
    mutable char16_t m_quad[15];
    mutable char16_t m_shortened[39];
    mutable qsizetype m_lowerLength = -1;
    mutable qsizetype m_quadLength = -1;
    mutable qsizetype m_shortenedLength = -1;
};

// Non-throwing conversion into `out`, which is left alone on failure.
ConversionFailure tryConvert(Form form, QStringView address, QString& out,
                             const ConversionOptions& options = ConversionOptions::defaults());

// Length of the form's text without building it; -1 when the form fails.
qsizetype formLength(Form form, QStringView address,
                     const ConversionOptions& options = ConversionOptions::defaults()) noexcept;

// Length of the form's text for an address the form is known to convert,
// found without reading the address's parts: the hex part of forms 1 and 2
// depends only on whether there are two parts or more. Meaningless for an
// address that fails in the program's text; in RFC 5952 text, whose forms
// depend on the values, the address is read and -1 is returned when it fails.
qsizetype convertedLength(Form form, QStringView address,
                          const ConversionOptions& options = ConversionOptions::defaults()) noexcept;

// True when `text` is exactly what `form` gives for `address`.
bool isForm(Form form, QStringView address, QStringView text,
            const ConversionOptions& options = ConversionOptions::defaults()) noexcept;

// What forms 1 and 2 raise when the windows call them: the description above,
// which the error trap shows as any error's what().
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

// Every form at once; a failing form stays empty and its failure is kept.
struct FullConversion
{
    ConversionResult result;
    std::array<ConversionFailure, FormCount> failures;

    const ConversionFailure& failure(Form form) const { return failures[size_t(int(form) - 1)]; }
};
FullConversion convertAll(const QString& address);
// The same into an existing record, whose strings keep their memory from call
// to call: converting a stream of addresses allocates nothing once they are
// long enough. The failures' parts are views into `address`.
void convertAllInto(QStringView address, FullConversion& conversion,
                    const ConversionOptions& options = ConversionOptions::defaults());

} // namespace MapIP
