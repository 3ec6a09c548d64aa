#include "MapIP.h"

#include "CharacterSearch.h"
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

// A prefix's length: one or two decimal digits from 0 to 32; -1 otherwise.
int readPrefixLength(QStringView text) noexcept
{
    if (text.isEmpty() || text.size() > 2
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return isDigit(c.unicode()); }))
        return -1;
    const int length = text.size() == 1 ? text[0].unicode() - u'0'
                                        : (text[0].unicode() - u'0') * 10 + (text[1].unicode() - u'0');
    return length <= 32 ? length : -1;
}

// The value of a row that is four parts of one to three decimal digits,
// each at most 255, between three dots, and nothing else: nearly every row,
// read here in one pass. Nothing for any other row, which the full reading
// then takes; what this takes, it reads as that reading does.
std::optional<quint32> plainDottedQuad(QStringView row) noexcept
{
    const char16_t* cursor = row.utf16();
    const char16_t* const end = cursor + row.size();
    // The next character's digit value, or 10 and more for anything else.
    const auto digit = [&] { return cursor == end ? 10u : unsigned(*cursor) - u'0'; };
    quint32 value = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (cursor == end || *cursor != u'.')
                return std::nullopt;
            ++cursor;
        }
        unsigned octet = digit();
        if (octet > 9)
            return std::nullopt;
        ++cursor;
        for (int more = 0; more < 2; ++more) {
            const unsigned next = digit();
            if (next > 9)
                break;
            octet = octet * 10 + next;
            ++cursor;
        }
        if (octet > 255)
            return std::nullopt;
        value = value << 8 | octet;
    }
    if (cursor != end)
        return std::nullopt;
    return value;
}

quint32 valueOf(const HexDigitEnds& ends) noexcept
{
    return quint32(ends.first) << 24 | quint32(ends.second) << 16 | quint32(ends.beforeLast) << 8 | ends.last;
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
    case ConversionError::PrefixLengthMissing:
        return QStringLiteral("Not a prefix: %1 has no length after \"/\"; did you mean %2?")
            .arg(quotedPart(failure.part), networkText(failure.meant));
    case ConversionError::PrefixLengthInvalid:
        return QStringLiteral("Not a prefix: the length in %1 is not a number from 0 to 32; did you mean %2?")
            .arg(quotedPart(failure.part), networkText(failure.meant));
    case ConversionError::HostBitsSet:
        return QStringLiteral("Not a network: %1 has bits set past its length; did you mean %2?")
            .arg(quotedPart(failure.part), networkText(failure.meant));
    case ConversionError::RangeBackwards:
        return QStringLiteral("Not a range: %1 ends below where it starts; did you mean %2-%3?")
            .arg(quotedPart(failure.part), dottedQuad(failure.meant.address), dottedQuad(failure.meantLast));
    case ConversionError::SeveralPrefixes:
        return QStringLiteral("The range %1 holds %2 prefixes; the batch window lists them one by one")
            .arg(quotedPart(failure.part))
            .arg(failure.prefixes);
    }
    return {};
}

RowConversion::RowConversion(QStringView row, const Ipv4Network& part,
                             const ConversionOptions& options) noexcept
    : m_options(&options)
    , m_row(row)
    , m_kind(Kind::Prefix)
    , m_plain(0)
    , m_read(true)
{
    m_address = QStringView(m_partText, writeDottedQuad(part.address, m_partText) - m_partText);
    takeNetwork(part);
}

RowConversion::RowConversion(QStringView row, quint32 octets, const ConversionOptions& options) noexcept
    : m_options(&options)
    , m_row(row)
    , m_address(row)
    , m_plain(1)
    , m_read(true)
{
    takeOctets(octets);
}

bool RowConversion::findsNoSlashOrDash() const noexcept
{
    const char16_t* const end = m_row.utf16() + m_row.size();
    return findEither(m_row.utf16(), end, u'/', u'-') == end;
}

// How the layout reads an address of four parts.
namespace {

Reading fourPartReading(const ConversionOptions& options)
{
    return options.style() == TextStyle::Rfc5952 ? Reading::FourOctets : Reading::FourParts;
}

// Reads four parts; nothing when the text is no four octets.
std::optional<HexDigitEnds> readFourParts(QStringView text, Reading reading) noexcept
{
    HexDigitEnds ends;
    if (readParts(text, reading, ends).failed() || ends.parts != 4)
        return std::nullopt;
    return ends;
}

} // namespace

void RowConversion::takeOctets(quint32 value) const noexcept
{
    m_octets = { quint8(value >> 24), quint8(value >> 16), quint8(value >> 8), quint8(value) };
    m_fourOctets = true;
    if (m_options->layout() != ConversionOptions::Layout::ProgramBlock)
        return;
    // Both hex forms write the same part; it is written once, as the full form's.
    char16_t* const text = m_texts[formIndex(Form::Full)];
    char16_t* cursor = writeHexByte(writeHexByte(text, m_octets[0], true), m_octets[1], true);
    *cursor++ = u':';
    cursor = writeHexByte(writeHexByte(cursor, m_octets[2], true), m_octets[3], true);
    m_lengths[formIndex(Form::Full)] = cursor - text;
}

void RowConversion::takeNetwork(const Ipv4Network& network) const noexcept
{
    m_network = network;
    takeOctets(network.address);
    m_suffix[0] = u'/';
    m_suffixLength = writeDecimal(m_suffix + 1, unsigned(formPrefixLength())) - m_suffix;
}

void RowConversion::read() const noexcept
{
    m_read = true;
    if (const std::optional<quint32> value = plainDottedQuad(m_row)) {
        m_plain = 1;
        takeOctets(*value);
        return;
    }
    if (!isPlain()) {
        const qsizetype slash = m_row.indexOf(u'/');
        if (slash >= 0 ? readPrefix(slash) : readRange(m_row.indexOf(u'-')))
            return;
    }
    readAddress();
}

// A row whose part before the "/" is four octets is a prefix, or fails as one.
bool RowConversion::readPrefix(qsizetype slash) const noexcept
{
    const QStringView addressPart = m_row.first(slash);
    const std::optional<HexDigitEnds> ends = readFourParts(addressPart, fourPartReading(*m_options));
    if (!ends)
        return false;
    m_kind = Kind::Prefix;
    m_address = addressPart;
    const quint32 address = valueOf(*ends);
    const QStringView lengthText = m_row.sliced(slash + 1);
    const int length = readPrefixLength(lengthText);
    if (length < 0) {
        // The address alone, its longest prefix, is the likeliest meaning.
        const ConversionError error = lengthText.isEmpty() ? ConversionError::PrefixLengthMissing
                                                           : ConversionError::PrefixLengthInvalid;
        m_failure = { error, m_row, { address, 32 } };
    } else if ((address & ~networkMask(length)) != 0) {
        m_failure = { ConversionError::HostBitsSet, m_row, { address & networkMask(length), length } };
    } else {
        takeNetwork({ address, length });
    }
    return true;
}

// A row whose parts on either side of its first "-" are four octets each is
// a range; one that is a single prefix converts as that prefix.
bool RowConversion::readRange(qsizetype dash) const noexcept
{
    if (dash <= 0)
        return false;
    const Reading reading = fourPartReading(*m_options);
    const std::optional<HexDigitEnds> first = readFourParts(m_row.first(dash), reading);
    const std::optional<HexDigitEnds> last
        = first ? readFourParts(m_row.sliced(dash + 1), reading) : std::nullopt;
    if (!last)
        return false;
    m_kind = Kind::Range;
    m_address = m_row.first(dash);
    m_network = { valueOf(*first), 32 };
    m_rangeLast = valueOf(*last);
    if (m_network.address > m_rangeLast) {
        m_failure = { ConversionError::RangeBackwards, m_row, { m_rangeLast, 32 }, m_network.address };
        return true;
    }
    const std::vector<Ipv4Network> prefixes = summarizeRange(m_network.address, m_rangeLast);
    if (prefixes.size() == 1)
        takeNetwork(prefixes.front());
    else
        m_failure = { ConversionError::SeveralPrefixes, m_row, {}, 0, int(prefixes.size()) };
    return true;
}

void RowConversion::readAddress() const noexcept
{
    const ConversionOptions::Layout layout = m_options->layout();
    const Reading reading
        = layout == ConversionOptions::Layout::ProgramBlock ? Reading::AnyParts : fourPartReading(*m_options);
    HexDigitEnds ends;
    m_failure = readParts(m_address, reading, ends);
    if (m_failure.failed())
        return;
    if (ends.parts == 4) {
        takeOctets(valueOf(ends));
        return;
    }
    if (reading == Reading::AnyParts) {
        char16_t* const text = m_texts[formIndex(Form::Full)];
        m_lengths[formIndex(Form::Full)] = ends.write(text) - text;
        return;
    }
    const bool rfc5952 = m_options->style() == TextStyle::Rfc5952;
    m_failure
        = { rfc5952 ? ConversionError::NotFourParts : ConversionError::NotFourPartsToSpread, m_address };
}

RowConversion::Kind RowConversion::kind() const noexcept
{
    // A dotted quad is read in the one pass that would look for "/" and "-".
    readFailure();
    return m_kind;
}

std::optional<quint32> RowConversion::ipv4() const noexcept
{
    readFailure();
    if (m_failure.failed() || !m_fourOctets)
        return std::nullopt;
    return valueOf({ m_octets[0], m_octets[1], m_octets[2], m_octets[3], 4 });
}

std::optional<Ipv4Network> RowConversion::network() const noexcept
{
    readFailure();
    if (m_failure.failed() || m_suffixLength == 0)
        return std::nullopt;
    return m_network;
}

int RowConversion::formPrefixLength() const noexcept
{
    readFailure();
    if (m_kind == Kind::Address || m_failure.failed())
        return -1;
    return m_options->embedding().lengthCovering(m_network.length);
}

std::vector<Ipv4Network> RowConversion::rangePrefixes() const
{
    if (kind() != Kind::Range || m_failure.error == ConversionError::RangeBackwards)
        return {};
    return summarizeRange(m_network.address, m_rangeLast);
}

QString RowConversion::reverseDnsName() const
{
    const std::optional<quint32> address = ipv4();
    if (!address)
        return {};
    const Ipv6Groups groups = m_options->embedding().embed(*address);
    return ip6ArpaZones(groups, m_suffixLength > 0 ? formPrefixLength() : 128);
}

const ConversionFailure& RowConversion::failure(Form form) const noexcept
{
    static const ConversionFailure None;
    return converts(form) ? None : m_options->writesForm(form) ? m_failure : None;
}

unsigned RowConversion::convertedForms() const noexcept
{
    // Checked for every row, often twice (its messages, its cells): kept.
    if (m_convertedForms >= 0)
        return unsigned(m_convertedForms);
    // A row that reads has every form the options write.
    unsigned forms = readFailure().failed() ? 0 : m_options->writtenForms();
    if (forms == 0) {
        for (const FormDefinition& definition : Forms) {
            if (converts(definition.form))
                forms |= 1u << formIndex(definition.form);
        }
    }
    m_convertedForms = int(forms);
    return forms;
}

QStringView RowConversion::prefix(Form form) const noexcept
{
    return converts(form) ? m_options->prefix(form) : QStringView();
}

QStringView RowConversion::suffix(Form form) const noexcept
{
    return converts(form) ? QStringView(m_suffix, m_suffixLength) : QStringView();
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

FormPieces RowConversion::pieces(Form form) const noexcept
{
    if (!converts(form))
        return {};
    return { m_options->prefix(form), convertedBody(form), QStringView(m_suffix, m_suffixLength) };
}

std::array<QStringView, FormCount> RowConversion::plainBodies() const noexcept
{
    Q_ASSERT(m_plain == 1 && m_read && m_fourOctets && !m_failure.failed());
    std::array<QStringView, FormCount> bodies;
    const bool program = m_options->layout() == ConversionOptions::Layout::ProgramBlock;
    for (const FormDefinition& definition : Forms) {
        if (m_options->writesForm(definition.form))
            bodies[formIndex(definition.form)]
                = program ? programBody(definition.form) : convertedBody(definition.form);
    }
    return bodies;
}

QStringView RowConversion::body(Form form) const noexcept
{
    return converts(form) ? convertedBody(form) : QStringView();
}

QStringView RowConversion::programBody(Form form) const noexcept
{
    if (!isHexForm(form))
        return m_address;
    return QStringView(m_texts[formIndex(Form::Full)], m_lengths[formIndex(Form::Full)]);
}

QStringView RowConversion::convertedBody(Form form) const noexcept
{
    switch (m_options->layout()) {
    case ConversionOptions::Layout::ProgramBlock:
        return programBody(form);
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
                + decimalLength(last) + m_suffixLength;
        const qsizetype hex = definition(form).prefix == Prefix::Shortened
            ? m_options->shortenedLength(quint16(first << 8 | second), quint16(beforeLast << 8 | last))
            : prefix + 9;
        return hex + m_suffixLength;
    }
    return prefix(form).size() + body(form).size() + m_suffixLength;
}

qsizetype RowConversion::lengthIfConverts(Form form) const noexcept
{
    if (m_options->layout() != ConversionOptions::Layout::ProgramBlock || !isPlain())
        return std::max<qsizetype>(0, length(form));
    const qsizetype prefix = m_options->prefix(form).size();
    if (!isHexForm(form))
        return prefix + m_address.size();
    // A row read already has its hex part written.
    if (m_read && m_lengths[formIndex(Form::Full)] >= 0)
        return prefix + m_lengths[formIndex(Form::Full)];
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
    if (!converts(form))
        return false;
    const FormPieces own = pieces(form);
    return text.size() == own.size() && text.startsWith(own.prefix) && text.endsWith(own.suffix)
        && text.sliced(own.prefix.size(), own.body.size()) == own.body;
}

ConversionFailure RowConversion::write(Form form, QString& out) const
{
    if (!converts(form))
        return failure(form);
    const FormPieces text = pieces(form);
    setLength(out, text.size());
    QChar* cursor = out.data();
    for (const QStringView piece : { text.prefix, text.body, text.suffix })
        cursor = std::copy(piece.begin(), piece.end(), cursor);
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
