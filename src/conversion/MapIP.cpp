#include "MapIP.h"

#include "NumberSpelling.h"

#include <algorithm>

namespace MapIP {

namespace {

// The ends of the hex digit string. Every part gives exactly two digits, so
// its first four characters are those of the first two parts and its last
// four those of the last two; one part gives its two digits in both places.
// The parts in between are never needed, so they are not kept.
struct HexDigitEnds
{
    unsigned char first = 0;
    unsigned char second = 0;
    unsigned char beforeLast = 0;
    unsigned char last = 0;
    qsizetype parts = 0;

    void append(unsigned char value) noexcept
    {
        if (parts == 0)
            first = value;
        else if (parts == 1)
            second = value;
        beforeLast = last;
        last = value;
        ++parts;
    }

    // Characters of the head and of the tail: two per part, at most four.
    qsizetype endLength() const noexcept { return parts >= 2 ? 4 : 2 * parts; }
    // Length of the hex part of forms 1 and 2: head, ":", tail.
    qsizetype length() const noexcept { return 2 * endLength() + 1; }

    // Writes head, ":", tail; returns the position after them.
    char16_t* write(char16_t* cursor) const noexcept
    {
        if (parts == 0) {
            *cursor++ = u':';
            return cursor;
        }
        cursor = writeByte(cursor, first);
        if (parts >= 2)
            cursor = writeByte(cursor, second);
        *cursor++ = u':';
        if (parts >= 2)
            cursor = writeByte(cursor, beforeLast);
        return writeByte(cursor, last);
    }

    // The four octets of a four-part address, which are the ends' bytes.
    bool isFourOctets() const noexcept { return parts == 4; }

    static char16_t* writeByte(char16_t* cursor, unsigned char value) noexcept
    {
        static constexpr char16_t Hex[] = u"0123456789ABCDEF";
        *cursor++ = Hex[value >> 4];
        *cursor++ = Hex[value & 0xF];
        return cursor;
    }
};

bool isDigit(char16_t c) noexcept
{
    return c >= u'0' && c <= u'9';
}

ConversionFailure hexDigits(QStringView address, HexDigitEnds& ends) noexcept
{
    using NumberSpelling::ParsedPart;
    using NumberSpelling::PartValue;
    if (address.isEmpty())
        return {};
    const char16_t* const begin = address.utf16();
    const char16_t* const end = begin + address.size();
    const char16_t* cursor = begin;
    while (true) {
        const char16_t* const partStart = cursor;
        // Nearly every part is one to three plain digits: those are read on
        // the way; anything else goes through the full spelling rules.
        unsigned value = 0;
        for (int digits = 0; digits < 3 && cursor != end && isDigit(*cursor); ++digits)
            value = value * 10 + unsigned(*cursor++ - u'0');
        ParsedPart parsed;
        if (cursor != partStart && (cursor == end || *cursor == u'.')) {
            parsed = value <= 255 ? ParsedPart { PartValue::Valid, static_cast<unsigned char>(value) }
                                  : ParsedPart { PartValue::OutOfRange, 0 };
        } else {
            while (cursor != end && *cursor != u'.')
                ++cursor;
            parsed = NumberSpelling::readAddressPart(QStringView(partStart, cursor));
        }
        switch (parsed.state) {
        case PartValue::Valid:
            break;
        case PartValue::NotANumber:
            return { ConversionError::NotANumber, QStringView(partStart, cursor) };
        case PartValue::OutOfRange:
            return { ConversionError::OutOfRange, QStringView(partStart, cursor) };
        }
        ends.append(parsed.value);
        if (cursor == end)
            return {};
        ++cursor; // the dot
    }
}

bool isHexForm(Form form) noexcept
{
    return definition(form).body == Body::HexGroups;
}

// Makes `out` `size` characters long, contents undefined. Its buffer is
// reused when it has room, so a caller converting row after row into one
// string does not allocate; otherwise a new one is made outright, which
// costs less than growing an empty string.
void setLength(QString& out, qsizetype size)
{
    if (out.capacity() >= size)
        out.resize(size);
    else
        out = QString(size, Qt::Uninitialized);
}

// Sets `out` to the two texts joined.
void assign(QString& out, QStringView first, QStringView second)
{
    setLength(out, first.size() + second.size());
    QChar* cursor = out.data();
    cursor = std::copy(first.begin(), first.end(), cursor);
    std::copy(second.begin(), second.end(), cursor);
}

// Writes an octet in decimal without leading zeros.
char16_t* writeDecimal(char16_t* cursor, unsigned value) noexcept
{
    if (value >= 100)
        *cursor++ = char16_t(u'0' + value / 100);
    if (value >= 10)
        *cursor++ = char16_t(u'0' + value / 10 % 10);
    *cursor++ = char16_t(u'0' + value % 10);
    return cursor;
}

char16_t* writeLowerGroup(char16_t* cursor, unsigned high, unsigned low) noexcept
{
    static constexpr char16_t Hex[] = u"0123456789abcdef";
    for (const unsigned value : { high, low }) {
        *cursor++ = Hex[value >> 4];
        *cursor++ = Hex[value & 0xF];
    }
    return cursor;
}

qsizetype decimalLength(unsigned value) noexcept
{
    return 1 + qsizetype(value >= 10) + qsizetype(value >= 100);
}

// The forms that write the address as given, which convert whatever it holds.
constexpr unsigned nonHexForms()
{
    unsigned forms = 0;
    for (const FormDefinition& form : Forms) {
        if (form.body != Body::HexGroups)
            forms |= 1u << (int(form.form) - 1);
    }
    return forms;
}
constexpr unsigned NonHexForms = nonHexForms();

// A group in lower case without leading zeros, as RFC 5952 writes it.
char16_t* writeShortGroup(char16_t* cursor, unsigned value) noexcept
{
    static constexpr char16_t Hex[] = u"0123456789abcdef";
    if (value >= 0x1000)
        *cursor++ = Hex[value >> 12];
    if (value >= 0x100)
        *cursor++ = Hex[(value >> 8) & 0xF];
    if (value >= 0x10)
        *cursor++ = Hex[(value >> 4) & 0xF];
    *cursor++ = Hex[value & 0xF];
    return cursor;
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
    case ConversionError::NotFourParts: {
        const qsizetype parts = failure.part.isEmpty() ? 0 : failure.part.count(u'.') + 1;
        return QStringLiteral("Not an IPv4 address: the address %1 has %2 parts, not the four that RFC 5952 "
                              "text needs")
            .arg(quotedForMessage(failure.part))
            .arg(parts);
    }
    }
    return {};
}

RowConversion::RowConversion(QStringView address, const ConversionOptions& options) noexcept
    : m_options(&options)
    , m_rfc5952(options.style() == TextStyle::Rfc5952)
    , m_address(address)
{
    HexDigitEnds ends;
    m_failure = hexDigits(address, ends);
    if (m_failure.failed())
        return;
    if (options.style() == TextStyle::Program)
        m_hexLength = ends.write(m_hexGroups) - m_hexGroups;
    else if (!ends.isFourOctets())
        m_failure = { ConversionError::NotFourParts, address };
    else
        m_octets = { ends.first, ends.second, ends.beforeLast, ends.last };
}

QStringView RowConversion::rfc5952Body(Form form) const noexcept
{
    const auto [first, second, beforeLast, last] = m_octets;
    if (!isHexForm(form)) {
        if (m_quadLength < 0) {
            char16_t* cursor = m_quad;
            for (const quint8 octet : m_octets) {
                if (cursor != m_quad)
                    *cursor++ = u'.';
                cursor = writeDecimal(cursor, octet);
            }
            m_quadLength = cursor - m_quad;
        }
        return QStringView(m_quad, m_quadLength);
    }
    // RFC 5952 shortens the shorthand as one address, with no prefix of its own.
    if (definition(form).prefix == Prefix::Shortened) {
        if (m_shortenedLength < 0) {
            const unsigned seventh = first << 8 | second;
            const unsigned eighth = beforeLast << 8 | last;
            const QStringView head = m_options->shortenedHead(seventh == 0, eighth == 0);
            char16_t* cursor = std::copy(head.utf16(), head.utf16() + head.size(), m_shortened);
            if (seventh != 0) {
                cursor = writeShortGroup(cursor, seventh);
                *cursor++ = u':';
                cursor = writeShortGroup(cursor, eighth);
            } else if (eighth != 0) {
                cursor = writeShortGroup(cursor, eighth);
            }
            m_shortenedLength = cursor - m_shortened;
        }
        return QStringView(m_shortened, m_shortenedLength);
    }
    if (m_lowerLength < 0) {
        char16_t* cursor = writeLowerGroup(m_lowerGroups, first, second);
        *cursor++ = u':';
        m_lowerLength = writeLowerGroup(cursor, beforeLast, last) - m_lowerGroups;
    }
    return QStringView(m_lowerGroups, m_lowerLength);
}

// The lengths follow from the octets' values: a table measures every row's
// cells before it writes any.
qsizetype RowConversion::rfc5952BodyLength(Form form) const noexcept
{
    const auto [first, second, beforeLast, last] = m_octets;
    if (!isHexForm(form))
        return 3 + decimalLength(first) + decimalLength(second) + decimalLength(beforeLast)
            + decimalLength(last);
    if (definition(form).prefix == Prefix::Shortened)
        return m_options->shortenedLength(quint16(first << 8 | second), quint16(beforeLast << 8 | last));
    return 9;
}

unsigned RowConversion::convertedForms() const noexcept
{
    if (m_rfc5952)
        return m_failure.failed() ? 0u : (1u << FormCount) - 1;
    return m_failure.failed() ? NonHexForms : (1u << FormCount) - 1;
}

QStringView RowConversion::prefix(Form form) const noexcept
{
    return converts(form) ? m_options->prefix(form) : QStringView();
}

QStringView RowConversion::body(Form form) const noexcept
{
    if (!converts(form))
        return {};
    if (m_rfc5952)
        return rfc5952Body(form);
    return isHexForm(form) ? QStringView(m_hexGroups, m_hexLength) : m_address;
}

qsizetype RowConversion::length(Form form) const noexcept
{
    if (!converts(form))
        return -1;
    const qsizetype prefix = m_options->prefix(form).size();
    if (m_rfc5952)
        return prefix + rfc5952BodyLength(form);
    return prefix + (isHexForm(form) ? m_hexLength : m_address.size());
}

ConversionFailure RowConversion::write(Form form, QString& out) const
{
    const ConversionFailure failed = failure(form);
    if (!failed.failed())
        assign(out, prefix(form), body(form));
    return failed;
}

ConversionFailure tryConvert(Form form, QStringView address, QString& out, const ConversionOptions& options)
{
    // A form that writes the address as given needs nothing read from it.
    if (!isHexForm(form) && options.style() == TextStyle::Program) {
        assign(out, options.prefix(form), address);
        return {};
    }
    return RowConversion(address, options).write(form, out);
}

qsizetype formLength(Form form, QStringView address, const ConversionOptions& options) noexcept
{
    if (!isHexForm(form) && options.style() == TextStyle::Program)
        return options.prefix(form).size() + address.size();
    return RowConversion(address, options).length(form);
}

qsizetype convertedLength(Form form, QStringView address, const ConversionOptions& options) noexcept
{
    if (options.style() == TextStyle::Rfc5952)
        return RowConversion(address, options).length(form);
    const qsizetype prefix = options.prefix(form).size();
    if (!isHexForm(form))
        return prefix + address.size();
    // No parts gives ":", one part its two digits twice, more parts four.
    if (address.isEmpty())
        return prefix + 1;
    // Addresses are short and their first dot comes early: a plain search
    // beats a call into the library's vectorised one.
    const bool severalParts = std::find(address.begin(), address.end(), u'.') != address.end();
    return prefix + (severalParts ? 9 : 5);
}

bool isForm(Form form, QStringView address, QStringView text, const ConversionOptions& options) noexcept
{
    const QStringView prefix = options.prefix(form);
    if (!text.startsWith(prefix))
        return false;
    if (!isHexForm(form) && options.style() == TextStyle::Program)
        return text.sliced(prefix.size()) == address;
    const RowConversion row(address, options);
    return row.converts(form) && text.sliced(prefix.size()) == row.body(form);
}

QString convert(Form form, QStringView address, const ConversionOptions& options)
{
    QString text;
    const ConversionFailure failure = tryConvert(form, address, text, options);
    if (failure.failed())
        throw ConversionException(failure);
    return text;
}

QString IPv4ToIPv6Full(QStringView address)
{
    return convert(Form::Full, address);
}

QString IPv4ToIPv6Shorthand(QStringView address)
{
    return convert(Form::Shorthand, address);
}

QString IPv4ToIPv6DotFull(QStringView address)
{
    return convert(Form::DotFull, address);
}

QString IPv4ToIPv6DotShorthand(QStringView address)
{
    return convert(Form::DotShorthand, address);
}

namespace {

// Every form written straight into its field, the address read once; a
// failing form is emptied.
void convertForms(QStringView address, FullConversion& conversion, const ConversionOptions& options)
{
    const RowConversion row(address, options);
    for (const FormDefinition& form : Forms) {
        QString& text = conversion.result.*form.field;
        ConversionFailure& failure = conversion.failures[size_t(int(form.form) - 1)];
        failure = row.write(form.form, text);
        if (failure.failed())
            text.truncate(0);
    }
}

} // namespace

FullConversion convertAll(const QString& address)
{
    FullConversion conversion;
    conversion.result.Original = address;
    convertForms(address, conversion, ConversionOptions::defaults());
    return conversion;
}

void convertAllInto(QStringView address, FullConversion& conversion, const ConversionOptions& options)
{
    assign(conversion.result.Original, address, {});
    convertForms(address, conversion, options);
}

} // namespace MapIP
