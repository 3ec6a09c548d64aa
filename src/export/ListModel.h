#pragma once

#include "conversion/Forms.h"
#include "export/TableSource.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>

#include <memory>
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
    static constexpr int MaxSubItems = MapIP::FormCount;
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

    void addColumn(const QString& caption);
    void setColumnWidthTwips(int column, int twips);
    int columnWidthTwips(int column) const;

    // Appends a row with the text; it starts with empty sub-items, unchecked.
    // Returns its index.
    qsizetype appendRow(QStringView text);
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
    qsizetype rows() const override { return qsizetype(m_rows.size()); }
    QString cell(qsizetype row, int column) const override;
    qsizetype cellLength(qsizetype row, int column) const override;
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
        quint32 storedCells = 0; // 1 + index into m_storedCells, 0 when none
        StateBits states = 0; // two bits per sub-item
        bool checked = false;
    };

    QStringView rowText(const Row& row) const { return QStringView(row.text, row.length); }
    static CellState stateOf(const Row& row, int subItem);
    static void setState(Row& row, int subItem, CellState state);
    const char16_t* store(QStringView text);
    void schedulePublish();

    CheckBoxes m_checkBoxes;
    std::shared_ptr<const CellDeriver> m_deriver;
    QStringList m_captions;
    QList<int> m_widthsTwips;

    std::vector<Row> m_rows;
    std::vector<std::array<QString, MaxSubItems>> m_storedCells;
    // Texts live in blocks that never move, so a row's pointer stays valid.
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t* m_free = nullptr;
    qsizetype m_freeLeft = 0;

    qsizetype m_published = 0;
    bool m_publishScheduled = false;
    quint64 m_removals = 0;
};
