#pragma once

#include "ConversionResult.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <exception>

// The four IPv6 text forms of a dotted quad.
//
// Forms 1 and 2 split the argument at every "." (nothing trimmed, empty parts
// count, an empty argument has no parts), write each part as two upper-case hex
// digits and take the first four and the last four digits of that string on
// their own: three parts overlap, five drop the digits in between, fewer than
// four digits are taken whole twice. Forms 3 and 4 copy the argument unchanged
// behind their prefixes and never fail.
namespace MapIP {

enum class Form : int { Full = 1, Shorthand = 2, DotFull = 3, DotShorthand = 4 };

enum class ConversionError : unsigned char { None, NotANumber, OutOfRange };

struct ConversionFailure
{
    ConversionError error = ConversionError::None;
    QStringView part; // the first part that failed, a view into the argument

    bool failed() const noexcept { return error != ConversionError::None; }
};

inline constexpr QStringView FullPrefix = u"0000:0000:0000:0000:0000:0000:";
inline constexpr QStringView ShortPrefix = u"::";

// The description the error report and the command-line tool show.
QString describe(const ConversionFailure& failure);

// Non-throwing conversion into `out`, which is left alone on failure.
ConversionFailure tryConvert(Form form, QStringView address, QString& out);

// Length of the form's text without building it; -1 when the form fails.
qsizetype formLength(Form form, QStringView address) noexcept;

// Length of the form's text for an address the form is known to convert,
// found without reading the address's parts: the hex part of forms 1 and 2
// depends only on whether there are two parts or more. Meaningless for an
// address that fails.
qsizetype convertedLength(Form form, QStringView address) noexcept;

// True when `text` is exactly what `form` gives for `address`.
bool isForm(Form form, QStringView address, QStringView text) noexcept;

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

// The four operations as the windows call them: forms 1 and 2 raise
// ConversionException; forms 3 and 4 never fail.
QString IPv4ToIPv6Full(QStringView address);
QString IPv4ToIPv6Shorthand(QStringView address);
QString IPv4ToIPv6DotFull(QStringView address);
QString IPv4ToIPv6DotShorthand(QStringView address);

// All four forms at once; a failing form stays empty and its failure is kept.
struct FullConversion
{
    ConversionResult result;
    ConversionFailure fullFailure;
    ConversionFailure shorthandFailure;
};
FullConversion convertAll(const QString& address);
// The same into an existing record, whose strings keep their memory from call
// to call: converting a stream of addresses allocates nothing once they are
// long enough. The failures' parts are views into `address`.
void convertAllInto(QStringView address, FullConversion& conversion);

} // namespace MapIP
