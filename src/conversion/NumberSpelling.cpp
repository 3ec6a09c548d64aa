#include "NumberSpelling.h"

namespace NumberSpelling {

namespace {

bool isBlank(QChar c) noexcept
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c) noexcept
{
    return c >= u'0' && c <= u'9';
}

QStringView trimmedBlanks(QStringView text) noexcept
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace

ParsedPart readAddressPart(QStringView part) noexcept
{
    QStringView text = trimmedBlanks(part);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return {};

    // Saturate instead of overflowing: any magnitude above 255 is out of range.
    unsigned magnitude = 0;
    for (QChar c : text) {
        if (!isDigit(c))
            return {};
        if (magnitude <= 255)
            magnitude = magnitude * 10 + unsigned(c.unicode() - u'0');
    }
    if (magnitude > 255 || (negative && magnitude != 0))
        return { PartValue::OutOfRange, 0 };
    return { PartValue::Valid, static_cast<unsigned char>(magnitude) };
}

std::optional<double> readOctetNumber(QStringView text) noexcept
{
    text = trimmedBlanks(text);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }

    double value = 0;
    double scale = 1;
    bool seenDigit = false;
    bool seenPoint = false;
    for (QChar c : text) {
        if (isDigit(c)) {
            seenDigit = true;
            const int digit = c.unicode() - u'0';
            if (seenPoint) {
                scale /= 10;
                value += digit * scale;
            } else {
                value = value * 10 + digit;
            }
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit)
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace NumberSpelling
