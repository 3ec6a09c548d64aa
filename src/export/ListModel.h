#pragma once

#include "conversion/Forms.h"
#include "conversion/Networks.h"
#include "export/TableSource.h"
#include "export/TextArena.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>

#include <memory>
#include <optional>
#include <vector>

class CellDeriver;

// One list of the batch window in report style: columns with captions and
// widths, rows with a text and a sub-item per form, and on the results table a
// check box per row that only the user ticks.
//
// Rows are kept compactly (texts in one arena, derived cells as bits) so that a
// list holds a million rows without strain. Appended rows count at once for the
// program (rows(), cell()), while views learn of them in one block at the next
// event-loop turn instead of one insertion per row.
class ListModel final : public QAbstractTableModel, public TableSource
{
    Q_OBJECT

public:
    // The forms and a reverse-DNS name after them.
    static constexpr int MaxSubItems = MapIP::FormCount + 1;
    // A cell longer than this is shown cut short; its text stays whole.
    static constexpr qsizetype MaxShownLength = 1000;

    enum class CheckBoxes { None, OnEveryRow };

    explicit ListModel(CheckBoxes checkBoxes, QObject* parent = nullptr);
    ~ListModel() override;

    // Cells equal to what the deriver gives are stored as a bit, not as text.
    void setCellDeriver(std::shared_ptr<const CellDeriver> deriver);
    // Gives a filled table another deriver: every derived cell reads the new
    // one's text at once, at the cost of a repaint.
    void changeCellDeriver(std::shared_ptr<const CellDeriver> deriver);
    const CellDeriver* cellDeriver() const { return m_deriver.get(); }

    // A column's caption, and its key in machine-readable outputs (empty:
    // the outputs choose one).
    struct Column
    {
        QString key;
        QString caption;
    };

    void addColumn(const QString& caption, const QString& key = {});
    // Gives the whole table other columns and the deriver that fills them,
    // at once: every row's sub-items become what the new deriver gives, a
    // row that is part of a range staying that part. A million rows take a
    // pass over their bits, not a derivation each. Kept widths stay with
    // their columns; a new column starts at 0.
    void switchColumns(const QList<Column>& columns, std::shared_ptr<const CellDeriver> deriver);
    void setColumnWidthTwips(int column, int twips);
    int columnWidthTwips(int column) const;

    // Appends a row with the text; it starts with empty sub-items, unchecked.
    // Returns its index.
    qsizetype appendRow(QStringView text);
    // Appends what the row makes in the results table, its sub-items as the
    // deriver gives them: the row, or a row per part when the deriver splits
    // it (a range of several prefixes), each carrying the row's text.
    // Returns the index of the first row appended.
    qsizetype appendDerivedRows(QStringView text);
    // Appends one of those rows: the part, its sub-items derived.
    qsizetype appendPart(QStringView text, const MapIP::Ipv4Network& part);
    // The part a row stands for, if it is one.
    std::optional<MapIP::Ipv4Network> partOf(qsizetype row) const;
    // Sets sub-item 1 to MaxSubItems of a row.
    void setSubItem(qsizetype row, int subItem, QStringView text);
    // Sets a sub-item to what the cell deriver gives for the row's text,
    // without building that text: the same as setSubItem() with the derived
    // text, for a caller that knows it derives.
    void setSubItemDerived(qsizetype row, int subItem);
    // Sets every sub-item at once: those in `subItems` (bit k - 1 standing
    // for sub-item k) derived, the others empty.
    void setDerivedSubItems(qsizetype row, unsigned subItems);
    // setDerivedSubItems() with what the deriver says derives. Returns those
    // sub-items.
    unsigned deriveSubItems(qsizetype row);
    QString text(qsizetype row) const;
    QString subItem(qsizetype row, int subItem) const;
    // Ticks or unticks a row's check box; false on a table without check
    // boxes or past its end.
    bool setChecked(qsizetype row, bool checked);
    void removeRowAt(qsizetype row);
    void clearRows();

    // Changes whenever a row is removed: a row index taken earlier still names
    // the same row only while this stays the same.
    quint64 removalCount() const { return m_removals; }

    // Tells the views about appended rows now rather than at the next turn.
    void publishRows();

    // TableSource
    int columns() const override { return int(m_captions.size()); }
    QString caption(int column) const override { return m_captions.value(column); }
    QString key(int column) const override { return m_keys.value(column); }
    qsizetype rows() const override { return qsizetype(m_rows.size()); }
    QString cell(qsizetype row, int column) const override;
    qsizetype cellLength(qsizetype row, int column) const override;
    bool isBlank(qsizetype row, int column) const override;
    QStringView cellView(qsizetype row, int column, QString& buffer) const override;
    bool isChecked(qsizetype row) const override;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    enum class CellState : quint8 { Empty = 0, Derived = 1, Stored = 2 };
    // Two bits for each sub-item's state.
    using StateBits = quint16;
    static_assert(2 * MaxSubItems <= 8 * int(sizeof(StateBits)), "widen StateBits for more sub-items");

    struct Row
    {
        const char16_t* text = nullptr; // in the arena
        qsizetype length = 0;
        quint32 extra = 0; // 1 + index into m_extras, 0 when none
        StateBits states = 0; // two bits per sub-item
        bool checked = false;
        // Derived cells that no deriver has looked at (after a switch of
        // columns): their lengths are found the long way.
        bool unverified = false;
    };
    static_assert(sizeof(Row) <= 24, "a row stays small: a table may hold millions");

    // What few rows have: texts stored rather than derived, and the part of
    // a range a row stands for.
    struct Extra
    {
        std::array<QString, MaxSubItems> cells;
        std::optional<MapIP::Ipv4Network> part;
    };

    QStringView rowText(const Row& row) const { return QStringView(row.text, row.length); }
    static CellState stateOf(const Row& row, int subItem);
    static void setState(Row& row, int subItem, CellState state);
    const char16_t* store(QStringView text);
    Extra& extraOf(Row& row);
    void appendPartRow(QStringView stored, const MapIP::Ipv4Network& part);
    const MapIP::Ipv4Network* partOf(const Row& row) const
    {
        return row.extra != 0 && m_extras[row.extra - 1].part ? &*m_extras[row.extra - 1].part : nullptr;
    }
    // A derived cell's text into `out`.
    void deriveCell(const Row& row, int subItem, QString& out) const;
    void schedulePublish();

    CheckBoxes m_checkBoxes;
    std::shared_ptr<const CellDeriver> m_deriver;
    QStringList m_captions;
    QStringList m_keys;
    QList<int> m_widthsTwips;

    std::vector<Row> m_rows;
    std::vector<Extra> m_extras;
    // A row's pointer into the arena stays valid.
    TextArena m_texts;

    qsizetype m_published = 0;
    bool m_publishScheduled = false;
    quint64 m_removals = 0;
};
