#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// The rows that --tick names: row numbers from 1, single ("3") or as ranges
// ("3-5"), separated by commas. With nothing named, every row is selected.
// A number too large for any list is taken as given: it selects no row.
class RowSelection final
{
public:
    struct Range
    {
        qsizetype first = 1;
        qsizetype last = 1;
    };

    // Every row.
    RowSelection() = default;

    // Reads a list such as "1,3-5". Returns nothing and sets `error` when the
    // list is empty, holds something other than numbers and ranges, names row
    // 0 or has a range that runs backwards.
    static std::optional<RowSelection> parse(QStringView list, QString& error);

    // Adds the rows of another selection; every row stays every row.
    void add(const RowSelection& other);

    bool selectsEveryRow() const { return m_everyRow; }
    // True when row `row` (from 1) is selected.
    bool contains(qsizetype row) const { return m_everyRow || containsNamed(row); }
    // The named rows as ranges in ascending order, neither overlapping nor
    // touching; empty when every row is selected.
    const std::vector<Range>& ranges() const { return m_ranges; }

private:
    bool containsNamed(qsizetype row) const;
    void merge();

    bool m_everyRow = true;
    std::vector<Range> m_ranges;
};
