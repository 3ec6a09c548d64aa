#pragma once

#include "conversion/Decoding.h"
#include "conversion/Embedding.h"
#include "export/ListModel.h"

#include <QList>
#include <QStringView>

#include <memory>

class CellDeriver;

// The results table in either direction: its columns and the deriver that
// fills them, shared by the batch window and the command-line tool.
namespace ResultsTable {

// Converting IPv4 rows into their IPv6 forms, or decoding IPv6 rows into the
// IPv4 address they carry.
enum class Direction { Convert, Decode };

// The last column, when it is shown: the reverse-DNS name of each result.
inline constexpr QStringView ReverseDnsKey = u"reverse_dns";
inline constexpr QStringView ReverseDnsCaption = u"Reverse DNS Name";

// How the table is filled: the direction, the embedding and text style
// (decoding reads by `decoding`), and whether the reverse-DNS column shows.
struct Layout
{
    Direction direction = Direction::Convert;
    MapIP::ConversionOptions conversion = MapIP::ConversionOptions::defaults();
    MapIP::DecodeOptions decoding;
    bool reverseDns = false;

    // The same table: the options that do not apply to the direction do not count.
    friend bool operator==(const Layout& a, const Layout& b)
    {
        return a.direction == b.direction && a.reverseDns == b.reverseDns
            && (a.direction == Direction::Decode ? a.decoding == b.decoding : a.conversion == b.conversion);
    }
};

// Converting: "Original" and the forms; decoding: the decoded row's columns;
// the reverse-DNS column last when it shows.
QList<ListModel::Column> columns(Direction direction, bool reverseDns);

// The deriver of the layout's sub-items: ConversionFormsDeriver or
// DecodedFieldsDeriver.
std::shared_ptr<const CellDeriver> deriver(const Layout& layout);

// The layout the table's deriver fills it in, read back from the deriver.
std::optional<Layout> layoutOf(const ListModel& table);

// Gives the table the layout's columns and deriver, at once for every row.
void apply(ListModel& table, const Layout& layout);

} // namespace ResultsTable
