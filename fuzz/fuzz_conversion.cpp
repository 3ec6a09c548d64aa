// The four forms of any text: forms 3 and 4 are always the text behind their
// prefixes; forms 1 and 2 either fail, as a plain reading of the parts says
// they must, or give exactly the digits of that reading.

#include "conversion/MapIP.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstring>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Expected
{
    MapIP::ConversionError error = MapIP::ConversionError::None;
    QString digits;
};

// The rule read another way: split, trim blanks, allow one sign, digits only.
Expected expectedDigits(const QString& address)
{
    Expected expected;
    if (address.isEmpty())
        return expected;
    for (const QString& part : address.split(u'.')) {
        qsizetype begin = 0;
        qsizetype end = part.size();
        while (begin < end && (part[begin] == u' ' || part[begin] == u'\t'))
            ++begin;
        while (end > begin && (part[end - 1] == u' ' || part[end - 1] == u'\t'))
            --end;
        QString number = part.mid(begin, end - begin);
        const bool negative = number.startsWith(u'-');
        if (number.startsWith(u'-') || number.startsWith(u'+'))
            number.remove(0, 1);
        const bool digitsOnly = !number.isEmpty()
            && std::all_of(number.begin(), number.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!digitsOnly) {
            expected.error = MapIP::ConversionError::NotANumber;
            return expected;
        }
        while (number.size() > 1 && number.front() == u'0')
            number.remove(0, 1);
        const int value = number.size() > 3 ? 1000 : number.toInt();
        if (value > 255 || (negative && value != 0)) {
            expected.error = MapIP::ConversionError::OutOfRange;
            return expected;
        }
        expected.digits += QString::number(value, 16).toUpper().rightJustified(2, u'0');
    }
    return expected;
}

// What holds for any row and form: a text or a failure, never both; the
// length, the text check and the failure's part (inside the row) agree with
// the text.
void checkSelfConsistent(const QString& address, const MapIP::RowConversion& row)
{
    for (const MapIP::FormDefinition& definition : MapIP::Forms) {
        const MapIP::Form form = definition.form;
        QString text = QStringLiteral("untouched");
        const MapIP::ConversionFailure failure = row.write(form, text);
        check(failure.failed() != row.converts(form));
        check(MapIP::RowConversion(address).length(form) == (failure.failed() ? -1 : text.size()));
        if (failure.failed()) {
            check(text == u"untouched");
            check(failure.part.isEmpty()
                  || (failure.part.data() >= address.data()
                      && failure.part.data() + failure.part.size() <= address.data() + address.size()));
            check(!MapIP::describe(failure).isEmpty());
            continue;
        }
        check(MapIP::RowConversion(address).isText(form, text));
        check(MapIP::RowConversion(address).lengthIfConverts(form) == text.size());
        // A plain address made again from the octets it was read as has the
        // same text, and its body is the one all bodies at once give.
        if (const std::optional<quint32> octets = row.plainOctets()) {
            const MapIP::RowConversion again(address, *octets, row.options());
            check(again.isText(form, text));
            check(again.plainBodies()[MapIP::formIndex(form)] == row.body(form));
        }
    }
}

} // namespace

// The six zero groups that the full forms put before the address.
constexpr QStringView SixZeroGroups = u"0000:0000:0000:0000:0000:0000:";

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The text as UTF-16 units, so any text can arrive, lone surrogates included.
    QString address(size / 2, Qt::Uninitialized);
    std::memcpy(address.data(), data, size / 2 * 2);

    const MapIP::RowConversion row(address);
    checkSelfConsistent(address, row);
    // A row with "/" or "-" may be a prefix or a range, whose forms follow
    // rules of their own: what holds for them is checked above.
    if (address.contains(u'/') || address.contains(u'-'))
        return 0;
    QString dotFull;
    QString dotShorthand;
    check(!row.write(MapIP::Form::DotFull, dotFull).failed());
    check(!row.write(MapIP::Form::DotShorthand, dotShorthand).failed());
    check(dotFull == SixZeroGroups.toString() + address);
    check(dotShorthand == QStringLiteral("::") + address);

    const Expected expected = expectedDigits(address);
    for (MapIP::Form form : { MapIP::Form::Full, MapIP::Form::Shorthand }) {
        QString text;
        check(row.write(form, text).error == expected.error);
        if (expected.error != MapIP::ConversionError::None)
            continue;
        const QString prefix = form == MapIP::Form::Full ? SixZeroGroups.toString() : QStringLiteral("::");
        check(text == prefix + expected.digits.left(4) + u':' + expected.digits.right(4));
    }
    return 0;
}
