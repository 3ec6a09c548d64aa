#include "ResultsTable.h"

#include "CellDeriver.h"
#include "conversion/Forms.h"

namespace ResultsTable {

QList<ListModel::Column> columns(Direction direction, bool reverseDns)
{
    QList<ListModel::Column> columns;
    if (direction == Direction::Convert) {
        columns.append({ MapIP::OriginalName.toString(), MapIP::OriginalCaption.toString() });
        for (const MapIP::FormDefinition& form : MapIP::Forms)
            columns.append({ form.name.toString(), form.caption.toString() });
    } else {
        for (const MapIP::DecodeColumn& column : MapIP::DecodeColumns)
            columns.append({ column.name.toString(), column.caption.toString() });
    }
    if (reverseDns)
        columns.append({ ReverseDnsKey.toString(), ReverseDnsCaption.toString() });
    return columns;
}

std::shared_ptr<const CellDeriver> deriver(const Layout& layout)
{
    if (layout.direction == Direction::Decode)
        return std::make_shared<DecodedFieldsDeriver>(layout.decoding, layout.reverseDns);
    return std::make_shared<ConversionFormsDeriver>(layout.conversion, layout.reverseDns);
}

std::optional<Layout> layoutOf(const ListModel& table)
{
    const CellDeriver* current = table.cellDeriver();
    Layout layout;
    if (const auto* forms = dynamic_cast<const ConversionFormsDeriver*>(current)) {
        layout.conversion = forms->options();
        layout.reverseDns = forms->reverseDns();
        return layout;
    }
    if (const auto* fields = dynamic_cast<const DecodedFieldsDeriver*>(current)) {
        layout.direction = Direction::Decode;
        layout.decoding = fields->options();
        layout.reverseDns = fields->reverseDns();
        return layout;
    }
    return std::nullopt;
}

void apply(ListModel& table, const Layout& layout)
{
    table.switchColumns(columns(layout.direction, layout.reverseDns), deriver(layout));
}

} // namespace ResultsTable
