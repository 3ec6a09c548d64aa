#pragma once

#include "conversion/Embedding.h"
#include "export/ListModel.h"
#include "export/ProgressDisplay.h"
#include "export/TableSource.h"
#include "shell/ErrorTrap.h"
#include "shell/Yielder.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Tables and doubles shared by the export suites.

// The results table as the batch window builds it: five columns, derived cells.
std::unique_ptr<ListModel> resultsTable();
// Any captions, cells stored as given.
std::unique_ptr<ListModel> tableWithCaptions(const QStringList& captions);

// The forms of an address, in the order of the forms' table; a form without
// a text is the empty text.
QStringList formTexts(QStringView address,
                      const MapIP::ConversionOptions& options = MapIP::ConversionOptions::defaults());

// Appends a row of the results table as the batch run fills it: the address
// and its four forms, a failing form left empty. Ticks it when `checked`.
void addConverted(ListModel& table, const QString& address, bool checked = true);
// Appends a row with the given cells (the row's text first).
void addRow(ListModel& table, const QStringList& cells, bool checked = true);
// Ticks or unticks a row the way the user does, through the view's role.
void setTicked(ListModel& table, qsizetype row, bool checked);

// What the user may do to a table while an export yields.
enum class TableChange { RemoveLastRow, RemoveFirstRow, Clear };
inline constexpr TableChange AllTableChanges[]
    = { TableChange::RemoveLastRow, TableChange::RemoveFirstRow, TableChange::Clear };
void applyChange(ListModel& table, TableChange change);
const char* nameOf(TableChange change);

// What happened, in order: progress values and texts, and turns of the
// event loop, so a test can see where the work yielded.
struct ExportEvent
{
    enum Kind { Value, Text, Yield } kind;
    double value = 0;
    QString text;
};

class RecordingProgress final : public ProgressDisplay
{
public:
    explicit RecordingProgress(std::vector<ExportEvent>& log)
        : m_log(log)
    {
    }
    void setValue(double value) override { m_log.push_back({ ExportEvent::Value, value, {} }); }
    void setText(const QString& text) override { m_log.push_back({ ExportEvent::Text, 0, text }); }

private:
    std::vector<ExportEvent>& m_log;
};

// A yielder that counts its turns, can run a hook at each (the user acting
// in the window meanwhile) and can ask to stop from a given turn on.
class ScriptedYielder final : public Yielder
{
public:
    void yield() override;
    bool stopRequested() const override { return stopFrom > 0 && calls >= stopFrom; }

    int calls = 0;
    // From this turn (counting from 1) on, stopRequested() is true; 0 never.
    int stopFrom = 0;
    std::function<void(int call)> onYield;
    std::vector<ExportEvent>* log = nullptr;
};

// Passes every read on to a table and counts the reads of rows past its
// current end, which the exports must never make.
class BoundsCheckingTable final : public TableSource
{
public:
    explicit BoundsCheckingTable(const TableSource& table)
        : m_table(table)
    {
    }

    int columns() const override { return m_table.columns(); }
    QString caption(int column) const override;
    qsizetype rows() const override { return m_table.rows(); }
    QString cell(qsizetype row, int column) const override;
    qsizetype cellLength(qsizetype row, int column) const override;
    bool isChecked(qsizetype row) const override;

    mutable int readsPastEnd = 0;

private:
    void check(qsizetype row, int column) const;
    const TableSource& m_table;
};

// Collects error reports as the program's message box would show them.
class RecordingReporter final : public ErrorReporter
{
public:
    void reportError(const QString& reportText) override { reports.append(reportText); }
    QStringList reports;
};

// The progress-only events as "value N" and "text T" lines.
QStringList progressSteps(const std::vector<ExportEvent>& log);
