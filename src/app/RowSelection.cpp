#include "RowSelection.h"

#include <QList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Larger row numbers all mean "past the end of any list": they are counted
// as this one, which leaves room to add 1 without overflow.
constexpr qsizetype BeyondAnyList = qsizetype(1) << 62;

// A row number: ASCII digits only, no sign or blanks, as many as given.
// Nothing when it is not one.
std::optional<qsizetype> rowNumber(QStringView text)
{
    if (text.isEmpty())
        return std::nullopt;
    qsizetype value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const qsizetype digit = c.unicode() - u'0';
        value = value > (BeyondAnyList - digit) / 10 ? BeyondAnyList : value * 10 + digit;
    }
    return value;
}

} // namespace

std::optional<RowSelection> RowSelection::parse(QStringView list, QString& error)
{
    RowSelection selection;
    selection.m_everyRow = false;
    for (QStringView item : list.split(u',')) {
        const qsizetype dash = item.indexOf(u'-');
        const std::optional<qsizetype> first = rowNumber(dash < 0 ? item : item.first(dash));
        const std::optional<qsizetype> last = dash < 0 ? first : rowNumber(item.sliced(dash + 1));
        if (!first || !last) {
            error = u"'"_s + item.toString() + u"' is not a row number or a range such as 3-5"_s;
            return std::nullopt;
        }
        if (*first == 0 || *last == 0) {
            error = u"row numbers start at 1, not 0"_s;
            return std::nullopt;
        }
        if (*last < *first) {
            error = u"the range '"_s + item.toString() + u"' runs backwards"_s;
            return std::nullopt;
        }
        selection.m_ranges.push_back({ *first, *last });
    }
    selection.merge();
    return selection;
}

void RowSelection::merge()
{
    std::sort(m_ranges.begin(), m_ranges.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    std::vector<Range> merged;
    for (const Range& range : m_ranges) {
        if (!merged.empty() && range.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, range.last);
        else
            merged.push_back(range);
    }
    m_ranges = std::move(merged);
}

void RowSelection::add(const RowSelection& other)
{
    if (m_everyRow || other.m_everyRow) {
        m_everyRow = true;
        m_ranges.clear();
        return;
    }
    m_ranges.insert(m_ranges.end(), other.m_ranges.begin(), other.m_ranges.end());
    merge();
}

bool RowSelection::containsNamed(qsizetype row) const
{
    // The first range that ends at or after the row holds it, if any does.
    const auto range = std::lower_bound(m_ranges.begin(), m_ranges.end(), row,
                                        [](const Range& r, qsizetype value) { return r.last < value; });
    return range != m_ranges.end() && range->first <= row;
}
