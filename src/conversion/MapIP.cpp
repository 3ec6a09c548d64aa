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
    quint8 first = 0;
    quint8 second = 0;
    quint8 beforeLast = 0;
    quint8 last = 0;
    qsizetype parts = 0;

    void append(quint8 value) noexcept
    {
        if (parts == 0)
            first = value;
        else if (parts == 1)
            second = value;
        beforeLast = last;
        last = value;
        ++parts;
    }

    // Writes head, ":", tail; returns the position after them.
    char16_t* write(char16_t* cursor) const noexcept
    {
        if (parts == 0) {
            *cursor++ = u':';
            return cursor;
        }
        cursor = writeHexByte(cursor, first, true);
        if (parts >= 2)
            cursor = writeHexByte(cursor, second, true);
        *cursor++ = u':';
        if (parts >= 2)
            cursor = writeHexByte(cursor, beforeLast, true);
        return writeHexByte(cursor, last, true);
    }
};

bool isDigit(char16_t c) noexcept
{
    return c >= u'0' && c <= u'9';
}

// How strictly an address's parts are read.
enum class Reading {
    // Any number of parts, each a number as NumberSpelling spells one.
    AnyParts,
    // Four such parts.
    FourParts,
    // Four octets in decimal digits and nothing else, as RFC 5952 text takes them.
    FourOctets,
};

// Reads the parts of `address` one by one into `ends`; the first part that
// is no octet ends the reading with its failure.
ConversionFailure readParts(QStringView address, Reading reading, HexDigitEnds& ends) noexcept
{
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
        NumberSpelling::ParsedPart parsed;
        if (cursor != partStart && (cursor == end || *cursor == u'.')) {
            parsed = value <= 255 ? NumberSpelling::ParsedPart { PartValue::Valid, quint8(value) }
                                  : NumberSpelling::ParsedPart { PartValue::OutOfRange, 0 };
        } else {
            while (cursor != end && *cursor != u'.')
                ++cursor;
            const QStringView part(partStart, cursor);
            parsed = NumberSpelling::readAddressPart(part);
            // RFC 5952 text takes leading zeros, but no blank or sign.
            if (reading == Reading::FourOctets && parsed.state == PartValue::Valid
                && !std::all_of(part.begin(), part.end(), [](QChar c) { return isDigit(c.unicode()); }))
                return { ConversionError::NotAnOctet, part };
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

qsizetype decimalLength(unsigned value) noexcept
{
    return 1 + qsizetype(value >= 10) + qsizetype(value >= 100);
}

bool isHexForm(Form form) noexcept
{
    return definition(form).body == Body::HexGroups;
}

QString describeParts(const ConversionFailure& failure, QStringView needs)
{
    const qsizetype parts = failure.part.isEmpty() ? 0 : failure.part.count(u'.') + 1;
    return QStringLiteral("Not an IPv4 address: the address %1 has %2 parts, not the four that %3")
        .arg(quotedPart(failure.part))
        .arg(parts)
        .arg(needs);
}

} // namespace

QString quotedPart(QStringView part)
{
    // A part can be a whole line of a binary file; the message only needs its start.
    constexpr qsizetype Shown = 40;
    if (part.size() <= Shown)
        return u'"' + part.toString() + u'"';
    return u'"' + part.first(Shown).toString() + QStringLiteral("\u2026\"");
}

QString describe(const ConversionFailure& failure)
{
    switch (failure.error) {
    case ConversionError::None:
        return {};
    case ConversionError::NotANumber:
        return QStringLiteral("Type mismatch: the address part %1 is not a number")
            .arg(quotedPart(failure.part));
    case ConversionError::OutOfRange:
        return QStringLiteral("Overflow: the address part %1 is outside 0 to 255")
            .arg(quotedPart(failure.part));
    case ConversionError::NotAnOctet:
        return QStringLiteral(
                   "Not an IPv4 address: the address part %1 is not written in decimal digits alone, "
                   "as RFC 5952 text needs")
            .arg(quotedPart(failure.part));
    case ConversionError::NotFourParts:
        return describeParts(failure, u"RFC 5952 text needs");
    case ConversionError::NotFourPartsToSpread:
        return describeParts(failure, u"an embedding behind a prefix shorter than /96 needs");
    }
    return {};
}

void RowConversion::read() const noexcept
{
    m_read = true;
    const ConversionOptions::Layout layout = m_options->layout();
    const bool rfc5952 = m_options->style() == TextStyle::Rfc5952;
    const Reading reading = layout == ConversionOptions::Layout::ProgramBlock ? Reading::AnyParts
        : rfc5952                                                             ? Reading::FourOctets
                                                                              : Reading::FourParts;
    HexDigitEnds ends;
    m_failure = readParts(m_address, reading, ends);
    if (m_failure.failed())
        return;
    if (ends.parts == 4) {
        m_octets = { ends.first, ends.second, ends.beforeLast, ends.last };
        m_fourOctets = true;
    }
    if (reading == Reading::AnyParts) {
        // Both hex forms write the same part; it is written once, as the full form's.
        char16_t* const text = m_texts[formIndex(Form::Full)];
        m_lengths[formIndex(Form::Full)] = ends.write(text) - text;
        return;
    }
    if (ends.parts != 4)
        m_failure
            = { rfc5952 ? ConversionError::NotFourParts : ConversionError::NotFourPartsToSpread, m_address };
}

std::optional<quint32> RowConversion::ipv4() const noexcept
{
    readFailure();
    if (m_failure.failed() || !m_fourOctets)
        return std::nullopt;
    const auto [first, second, third, fourth] = m_octets;
    return quint32(first) << 24 | quint32(second) << 16 | quint32(third) << 8 | fourth;
}

ConversionFailure RowConversion::failure(Form form) const noexcept
{
    if (!readsAddress(form) || !m_options->writesForm(form))
        return {};
    return readFailure();
}

bool RowConversion::converts(Form form) const noexcept
{
    return m_options->writesForm(form) && !failure(form).failed();
}

unsigned RowConversion::convertedForms() const noexcept
{
    unsigned forms = 0;
    for (const FormDefinition& definition : Forms) {
        if (converts(definition.form))
            forms |= 1u << formIndex(definition.form);
    }
    return forms;
}

QStringView RowConversion::prefix(Form form) const noexcept
{
    return converts(form) ? m_options->prefix(form) : QStringView();
}

QStringView RowConversion::rfc5952Body(Form form) const noexcept
{
    const size_t index = formIndex(form);
    char16_t* const text = m_texts[index];
    if (m_lengths[index] >= 0)
        return QStringView(text, m_lengths[index]);
    const auto [first, second, beforeLast, last] = m_octets;
    char16_t* cursor = text;
    if (!isHexForm(form)) {
        for (const quint8 octet : m_octets) {
            if (cursor != text)
                *cursor++ = u'.';
            cursor = writeDecimal(cursor, octet);
        }
    } else if (definition(form).prefix == Prefix::Shortened) {
        // RFC 5952 shortens the shorthand as one address, with no prefix of its own.
        const quint16 seventh = quint16(first << 8 | second);
        const quint16 eighth = quint16(beforeLast << 8 | last);
        const QStringView head = m_options->shortenedHead(seventh == 0, eighth == 0);
        cursor = std::copy(head.utf16(), head.utf16() + head.size(), cursor);
        if (seventh != 0) {
            cursor = writeGroup(seventh, Rfc5952Spelling, cursor);
            *cursor++ = u':';
        }
        if (seventh != 0 || eighth != 0)
            cursor = writeGroup(eighth, Rfc5952Spelling, cursor);
    } else {
        cursor = writeHexByte(writeHexByte(cursor, first, false), second, false);
        *cursor++ = u':';
        cursor = writeHexByte(writeHexByte(cursor, beforeLast, false), last, false);
    }
    m_lengths[index] = cursor - text;
    return QStringView(text, m_lengths[index]);
}

QStringView RowConversion::groupsText(Form form) const noexcept
{
    const size_t index = formIndex(form);
    char16_t* const text = m_texts[index];
    if (m_lengths[index] < 0) {
        const auto [first, second, third, fourth] = m_octets;
        const Ipv6Groups groups = m_options->embedding().embed(quint32(first) << 24 | quint32(second) << 16
                                                               | quint32(third) << 8 | fourth);
        const bool program = m_options->style() == TextStyle::Program;
        // The full form keeps every digit; only the shorthand drops zeros.
        const char16_t* end = definition(form).prefix == Prefix::Shortened
            ? writeShortenedGroups(groups.data(), 8, program ? ProgramSpelling : Rfc5952Spelling, text)
            : writeGroups(groups.data(), 8, GroupSpelling { true, program }, text);
        m_lengths[index] = end - text;
    }
    return QStringView(text, m_lengths[index]);
}

QStringView RowConversion::body(Form form) const noexcept
{
    if (!converts(form))
        return {};
    switch (m_options->layout()) {
    case ConversionOptions::Layout::ProgramBlock:
        if (!isHexForm(form))
            return m_address;
        return QStringView(m_texts[formIndex(Form::Full)], m_lengths[formIndex(Form::Full)]);
    case ConversionOptions::Layout::Rfc5952Block:
        return rfc5952Body(form);
    case ConversionOptions::Layout::Groups:
        return groupsText(form);
    }
    return {};
}

qsizetype RowConversion::length(Form form) const noexcept
{
    if (!converts(form))
        return -1;
    if (m_options->layout() == ConversionOptions::Layout::Rfc5952Block) {
        // The lengths follow from the octets' values: a table measures every
        // row's cells before it writes any.
        const auto [first, second, beforeLast, last] = m_octets;
        const qsizetype prefix = m_options->prefix(form).size();
        if (!isHexForm(form))
            return prefix + 3 + decimalLength(first) + decimalLength(second) + decimalLength(beforeLast)
                + decimalLength(last);
        if (definition(form).prefix == Prefix::Shortened)
            return m_options->shortenedLength(quint16(first << 8 | second), quint16(beforeLast << 8 | last));
        return prefix + 9;
    }
    return prefix(form).size() + body(form).size();
}

qsizetype RowConversion::lengthIfConverts(Form form) const noexcept
{
    if (m_options->layout() != ConversionOptions::Layout::ProgramBlock)
        return std::max<qsizetype>(0, length(form));
    const qsizetype prefix = m_options->prefix(form).size();
    if (!isHexForm(form))
        return prefix + m_address.size();
    // No parts gives ":", one part its two digits twice, more parts four.
    if (m_address.isEmpty())
        return prefix + 1;
    // Addresses are short and their first dot comes early: a plain search
    // beats a call into the library's vectorised one.
    const bool severalParts = std::find(m_address.begin(), m_address.end(), u'.') != m_address.end();
    return prefix + (severalParts ? 9 : 5);
}

bool RowConversion::isText(Form form, QStringView text) const noexcept
{
    const QStringView head = m_options->prefix(form);
    if (!converts(form) || !text.startsWith(head))
        return false;
    return text.sliced(head.size()) == body(form);
}

ConversionFailure RowConversion::write(Form form, QString& out) const
{
    const ConversionFailure failed = failure(form);
    if (!converts(form))
        return failed;
    const QStringView head = prefix(form);
    const QStringView tail = body(form);
    setLength(out, head.size() + tail.size());
    QChar* cursor = std::copy(head.begin(), head.end(), out.data());
    std::copy(tail.begin(), tail.end(), cursor);
    return {};
}

QString convert(Form form, QStringView address, const ConversionOptions& options)
{
    QString text;
    const ConversionFailure failure = RowConversion(address, options).write(form, text);
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

} // namespace MapIP
