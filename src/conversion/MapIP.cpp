#include "MapIP.h"

#include "NumberSpelling.h"
#include "shell/AppError.h"

#include <algorithm>

namespace MapIP {

namespace {

// The first and the last (at most) four characters of the hex digit string;
// the digits in between are never needed, so they are not kept.
struct HexDigitEnds
{
    char16_t head[4] = {};
    char16_t tail[4] = {};
    int headLength = 0;
    int tailLength = 0;

    void append(char16_t high, char16_t low) noexcept
    {
        for (char16_t digit : {high, low}) {
            if (headLength < 4)
                head[headLength++] = digit;
            if (tailLength == 4) {
                std::copy(tail + 1, tail + 4, tail);
                tail[3] = digit;
            } else {
                tail[tailLength++] = digit;
            }
        }
    }

    // Length of the hex part of forms 1 and 2: head, ":", tail.
    qsizetype length() const noexcept { return headLength + 1 + tailLength; }
};

ConversionFailure hexDigits(QStringView address, HexDigitEnds& ends) noexcept
{
    static constexpr char16_t Hex[] = u"0123456789ABCDEF";
    if (address.isEmpty())
        return {};
    qsizetype start = 0;
    while (true) {
        const qsizetype dot = address.indexOf(u'.', start);
        const QStringView part = address.sliced(start, (dot < 0 ? address.size() : dot) - start);
        const NumberSpelling::ParsedPart parsed = NumberSpelling::readAddressPart(part);
        switch (parsed.state) {
        case NumberSpelling::PartValue::Valid:
            break;
        case NumberSpelling::PartValue::NotANumber:
            return {ConversionError::NotANumber, part};
        case NumberSpelling::PartValue::OutOfRange:
            return {ConversionError::OutOfRange, part};
        }
        ends.append(Hex[parsed.value >> 4], Hex[parsed.value & 0xF]);
        if (dot < 0)
            return {};
        start = dot + 1;
    }
}

QStringView prefixOf(Form form) noexcept
{
    return form == Form::Full || form == Form::DotFull ? FullPrefix : ShortPrefix;
}

bool isHexForm(Form form) noexcept
{
    return form == Form::Full || form == Form::Shorthand;
}

QString joined(QStringView first, QStringView second)
{
    QString text;
    text.reserve(first.size() + second.size());
    text.append(first).append(second);
    return text;
}

QString quotedForMessage(QStringView part)
{
    // A part can be a whole line of a binary file; the message only needs its start.
    constexpr qsizetype Shown = 40;
    if (part.size() <= Shown)
        return u'"' + part.toString() + u'"';
    return u'"' + part.first(Shown).toString() + QStringLiteral("\u2026\"");
}

} // namespace

QString describe(const ConversionFailure& failure)
{
    switch (failure.error) {
    case ConversionError::None:
        return {};
    case ConversionError::NotANumber:
        return QStringLiteral("Type mismatch: the address part %1 is not a number")
            .arg(quotedForMessage(failure.part));
    case ConversionError::OutOfRange:
        return QStringLiteral("Overflow: the address part %1 is outside 0 to 255")
            .arg(quotedForMessage(failure.part));
    }
    return {};
}

ConversionFailure tryConvert(Form form, QStringView address, QString& out)
{
    const QStringView prefix = prefixOf(form);
    if (!isHexForm(form)) {
        out = joined(prefix, address);
        return {};
    }
    HexDigitEnds ends;
    const ConversionFailure failure = hexDigits(address, ends);
    if (failure.failed())
        return failure;

    QString text(prefix.size() + ends.length(), Qt::Uninitialized);
    QChar* cursor = text.data();
    cursor = std::copy(prefix.begin(), prefix.end(), cursor);
    cursor = std::copy(ends.head, ends.head + ends.headLength, cursor);
    *cursor++ = u':';
    std::copy(ends.tail, ends.tail + ends.tailLength, cursor);
    out = std::move(text);
    return {};
}

qsizetype formLength(Form form, QStringView address) noexcept
{
    const qsizetype prefix = prefixOf(form).size();
    if (!isHexForm(form))
        return prefix + address.size();
    HexDigitEnds ends;
    if (hexDigits(address, ends).failed())
        return -1;
    return prefix + ends.length();
}

bool isForm(Form form, QStringView address, QStringView text) noexcept
{
    const QStringView prefix = prefixOf(form);
    if (!text.startsWith(prefix))
        return false;
    const QStringView rest = text.sliced(prefix.size());
    if (!isHexForm(form))
        return rest == address;
    HexDigitEnds ends;
    if (hexDigits(address, ends).failed() || rest.size() != ends.length())
        return false;
    return std::equal(ends.head, ends.head + ends.headLength, rest.begin())
        && rest[ends.headLength] == u':'
        && std::equal(ends.tail, ends.tail + ends.tailLength, rest.begin() + ends.headLength + 1);
}

namespace {

QString convertOrRaise(Form form, QStringView address)
{
    QString text;
    const ConversionFailure failure = tryConvert(form, address, text);
    if (failure.failed())
        throw AppError(describe(failure));
    return text;
}

} // namespace

QString IPv4ToIPv6Full(QStringView address)
{
    return convertOrRaise(Form::Full, address);
}

QString IPv4ToIPv6Shorthand(QStringView address)
{
    return convertOrRaise(Form::Shorthand, address);
}

QString IPv4ToIPv6DotFull(QStringView address)
{
    return joined(FullPrefix, address);
}

QString IPv4ToIPv6DotShorthand(QStringView address)
{
    return joined(ShortPrefix, address);
}

FullConversion convertAll(const QString& address)
{
    FullConversion conversion;
    ConversionResult& result = conversion.result;
    result.Original = address;
    conversion.fullFailure = tryConvert(Form::Full, address, result.Full);
    conversion.shorthandFailure = tryConvert(Form::Shorthand, address, result.Shorthand);
    result.DotFull = IPv4ToIPv6DotFull(address);
    result.DotShorthand = IPv4ToIPv6DotShorthand(address);
    return conversion;
}

} // namespace MapIP
