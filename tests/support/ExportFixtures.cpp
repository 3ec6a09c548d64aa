#include "ExportFixtures.h"

#include "conversion/MapIP.h"
#include "export/CellDeriver.h"

using namespace Qt::StringLiterals;

std::unique_ptr<ListModel> resultsTable()
{
    auto table = tableWithCaptions({ u"Original"_s, u" IPv6 Full Address"_s, u" IPv6 Shorthand Address"_s,
                                     u" IPv6 and Dot Notation Full Address"_s,
                                     u" IPv6 and Dot Notation Shorthand Address"_s });
    table->setCellDeriver(std::make_shared<ConversionFormsDeriver>());
    return table;
}

std::unique_ptr<ListModel> tableWithCaptions(const QStringList& captions)
{
    auto table = std::make_unique<ListModel>(ListModel::CheckBoxes::OnEveryRow);
    for (const QString& caption : captions)
        table->addColumn(caption);
    return table;
}

QStringList formTexts(QStringView address, const MapIP::ConversionOptions& options)
{
    const MapIP::RowConversion row(address, options);
    QStringList texts;
    for (const MapIP::FormDefinition& form : MapIP::Forms) {
        QString text;
        row.write(form.form, text);
        texts.append(text);
    }
    return texts;
}

void addConverted(ListModel& table, const QString& address, bool checked)
{
    addRow(table, QStringList { address } + formTexts(address), checked);
}

void addRow(ListModel& table, const QStringList& cells, bool checked)
{
    const qsizetype row = table.appendRow(cells.value(0));
    for (int k = 1; k < cells.size(); ++k)
        table.setSubItem(row, k, cells[k]);
    if (checked)
        setTicked(table, row, true);
}

void setTicked(ListModel& table, qsizetype row, bool checked)
{
    table.publishRows();
    table.setChecked(row, checked);
}

void applyChange(ListModel& table, TableChange change)
{
    switch (change) {
    case TableChange::RemoveLastRow:
        table.removeRowAt(table.rows() - 1);
        break;
    case TableChange::RemoveFirstRow:
        table.removeRowAt(0);
        break;
    case TableChange::Clear:
        table.clearRows();
        break;
    }
}

const char* nameOf(TableChange change)
{
    switch (change) {
    case TableChange::RemoveLastRow:
        return "last row removed";
    case TableChange::RemoveFirstRow:
        return "first row removed";
    case TableChange::Clear:
        return "table cleared";
    }
    return "";
}

void ScriptedYielder::yield()
{
    ++calls;
    if (log)
        log->push_back({ ExportEvent::Yield, 0, {} });
    if (onYield)
        onYield(calls);
}

void BoundsCheckingTable::check(qsizetype row, int column) const
{
    if (row < 0 || row >= m_table.rows() || column < 0 || column >= m_table.columns())
        ++readsPastEnd;
}

QString BoundsCheckingTable::caption(int column) const
{
    if (column < 0 || column >= m_table.columns())
        ++readsPastEnd;
    return m_table.caption(column);
}

QString BoundsCheckingTable::cell(qsizetype row, int column) const
{
    check(row, column);
    return m_table.cell(row, column);
}

qsizetype BoundsCheckingTable::cellLength(qsizetype row, int column) const
{
    check(row, column);
    return m_table.cellLength(row, column);
}

bool BoundsCheckingTable::isChecked(qsizetype row) const
{
    check(row, 0);
    return m_table.isChecked(row);
}

QStringList progressSteps(const std::vector<ExportEvent>& log)
{
    QStringList steps;
    for (const ExportEvent& event : log) {
        if (event.kind == ExportEvent::Value)
            steps.append(u"value "_s + QString::number(event.value));
        else if (event.kind == ExportEvent::Text)
            steps.append(u"text "_s + event.text);
    }
    return steps;
}
