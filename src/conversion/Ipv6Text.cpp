#include "Ipv6Text.h"

#include <algorithm>
#include <array>

namespace MapIP {

namespace {

// Every character's hex digit value, -1 for those that are none: looked up
// for every character of a million rows.
constexpr std::array<signed char, 128> HexValues = [] {
    std::array<signed char, 128> values {};
    for (size_t c = 0; c < values.size(); ++c) {
        values[c] = c >= '0' && c <= '9' ? static_cast<signed char>(c - '0')
            : c >= 'a' && c <= 'f'       ? static_cast<signed char>(c - 'a' + 10)
            : c >= 'A' && c <= 'F'       ? static_cast<signed char>(c - 'A' + 10)
                                         : -1;
    }
    return values;
}();

int hexValue(char16_t c) noexcept
{
    return c < HexValues.size() ? HexValues[c] : -1;
}

// The first of the longest runs of two or more zero groups, as [begin, end);
// {-1, -1} when there is none.
std::pair<int, int> longestZeroRun(const quint16* groups, int count) noexcept
{
    int bestBegin = 0;
    int bestLength = 0;
    for (int i = 0; i < count;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < count && groups[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestBegin = i;
            bestLength = j - i;
        }
        i = j;
    }
    if (bestLength < 2)
        return { -1, -1 };
    return { bestBegin, bestBegin + bestLength };
}

// A dotted quad in strict decimal (no blanks, no leading zeros), as IPv6 text
// may end in one: [cursor, end) is the whole of it.
bool readEmbeddedQuad(const char16_t* cursor, const char16_t* end, quint16* high, quint16* low) noexcept
{
    quint32 value = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (cursor == end || *cursor != u'.')
                return false;
            ++cursor;
        }
        const char16_t* const start = cursor;
        unsigned octet = 0;
        while (cursor != end && *cursor >= u'0' && *cursor <= u'9' && cursor - start < 3)
            octet = octet * 10 + unsigned(*cursor++ - u'0');
        const qsizetype digits = cursor - start;
        if (digits == 0 || octet > 255 || (digits > 1 && *start == u'0'))
            return false;
        value = value << 8 | octet;
    }
    if (cursor != end)
        return false;
    *high = quint16(value >> 16);
    *low = quint16(value);
    return true;
}

} // namespace

char16_t* writeGroup(quint16 value, GroupSpelling spelling, char16_t* out) noexcept
{
    bool started = spelling.fourDigits;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = (value >> shift) & 0xF;
        if (digit != 0 || shift == 0)
            started = true;
        if (started)
            *out++ = hexDigit(digit, spelling.upper);
    }
    return out;
}

char16_t* writeGroups(const quint16* groups, int count, GroupSpelling spelling, char16_t* out) noexcept
{
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            *out++ = u':';
        out = writeGroup(groups[i], spelling, out);
    }
    return out;
}

char16_t* writeShortenedGroups(const quint16* groups, int count, GroupSpelling spelling,
                               char16_t* out) noexcept
{
    const auto [runBegin, runEnd] = longestZeroRun(groups, count);
    for (int i = 0; i < count; ++i) {
        if (i == runBegin) {
            *out++ = u':';
            *out++ = u':';
            i = runEnd - 1;
            continue;
        }
        if (i > 0 && i != runEnd)
            *out++ = u':';
        out = writeGroup(groups[i], spelling, out);
    }
    return out;
}

QString ipv6Text(const Ipv6Groups& groups, GroupSpelling spelling, bool shortened)
{
    char16_t buffer[MaxIpv6TextLength];
    const char16_t* end = shortened ? writeShortenedGroups(groups.data(), 8, spelling, buffer)
                                    : writeGroups(groups.data(), 8, spelling, buffer);
    return QStringView(buffer, end - buffer).toString();
}

std::optional<Ipv6Groups> readIpv6(QStringView text) noexcept
{
    const char16_t* cursor = text.utf16();
    const char16_t* const end = cursor + text.size();
    std::array<quint16, 8> read {};
    int count = 0;
    int gap = -1; // where "::" stands among the groups read
    if (end - cursor >= 2 && cursor[0] == u':' && cursor[1] == u':') {
        gap = 0;
        cursor += 2;
    }
    while (cursor != end) {
        const char16_t* const start = cursor;
        unsigned value = 0;
        int digit = 0;
        while (cursor != end && cursor - start < 5 && (digit = hexValue(*cursor)) >= 0) {
            value = value << 4 | unsigned(digit);
            ++cursor;
        }
        if (cursor != end && *cursor == u'.') {
            // A dotted quad ends the text and stands for the last two groups.
            if (count > 6 || !readEmbeddedQuad(start, end, &read[size_t(count)], &read[size_t(count) + 1]))
                return std::nullopt;
            count += 2;
            break;
        }
        if (cursor == start || cursor - start > 4 || count == 8)
            return std::nullopt;
        read[size_t(count++)] = quint16(value);
        if (cursor == end)
            break;
        if (*cursor++ != u':' || cursor == end)
            return std::nullopt;
        if (*cursor == u':') {
            if (gap >= 0)
                return std::nullopt;
            gap = count;
            ++cursor;
        }
    }
    if (gap < 0)
        return count == 8 ? std::optional(read) : std::nullopt;
    // "::" stands for at least one group.
    if (count > 7)
        return std::nullopt;
    Ipv6Groups groups {};
    std::copy(read.begin(), read.begin() + gap, groups.begin());
    std::copy(read.begin() + gap, read.begin() + count, groups.end() - (count - gap));
    return groups;
}

} // namespace MapIP
