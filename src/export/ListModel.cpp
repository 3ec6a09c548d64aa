#include "ListModel.h"

#include "CellDeriver.h"

#include <QTimer>

#include <algorithm>

ListModel::ListModel(CheckBoxes checkBoxes, QObject* parent)
    : QAbstractTableModel(parent)
    , m_checkBoxes(checkBoxes)
{
}

ListModel::~ListModel() = default;

void ListModel::setCellDeriver(std::shared_ptr<const CellDeriver> deriver)
{
    Q_ASSERT(m_rows.empty());
    m_deriver = std::move(deriver);
}

void ListModel::changeCellDeriver(std::shared_ptr<const CellDeriver> deriver)
{
    m_deriver = std::move(deriver);
    if (m_published > 0 && columns() > 1)
        emit dataChanged(index(0, 1), index(int(m_published - 1), columns() - 1));
}

void ListModel::addColumn(const QString& caption, const QString& key)
{
    const int column = columns();
    Q_ASSERT(column <= MaxSubItems);
    beginInsertColumns(QModelIndex(), column, column);
    m_captions.append(caption);
    m_keys.append(key);
    m_widthsTwips.append(0);
    endInsertColumns();
}

void ListModel::switchColumns(const QList<Column>& columns, std::shared_ptr<const CellDeriver> deriver)
{
    Q_ASSERT(columns.size() <= MaxSubItems + 1);
    const int before = this->columns();
    const int after = int(columns.size());
    if (after < before) {
        beginRemoveColumns(QModelIndex(), after, before - 1);
        m_captions.resize(after);
        m_keys.resize(after);
        m_widthsTwips.resize(after);
        endRemoveColumns();
    } else if (after > before) {
        beginInsertColumns(QModelIndex(), before, after - 1);
        m_captions.resize(after);
        m_keys.resize(after);
        m_widthsTwips.resize(after, 0);
        endInsertColumns();
    }
    for (int column = 0; column < after; ++column) {
        m_captions[column] = columns[column].caption;
        m_keys[column] = columns[column].key;
    }
    m_deriver = std::move(deriver);
    // Every sub-item is derived: the new deriver reads a cell it has no text
    // for as empty. Texts stored for the old columns go, parts stay.
    StateBits allDerived = 0;
    for (int subItem = 1; subItem <= MaxSubItems; ++subItem)
        allDerived = StateBits(allDerived | (int(CellState::Derived) << (2 * (subItem - 1))));
    for (Row& row : m_rows) {
        row.states = m_deriver ? allDerived : 0;
        row.unverified = true;
        if (row.extra != 0)
            m_extras[row.extra - 1].cells = {};
    }
    if (after > 0)
        emit headerDataChanged(Qt::Horizontal, 0, after - 1);
    if (m_published > 0 && after > 1)
        emit dataChanged(index(0, 1), index(int(m_published - 1), after - 1));
}

void ListModel::setColumnWidthTwips(int column, int twips)
{
    if (column < 0 || column >= columns())
        return;
    m_widthsTwips[column] = twips;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int ListModel::columnWidthTwips(int column) const
{
    return m_widthsTwips.value(column);
}

const char16_t* ListModel::store(QStringView text)
{
    return m_texts.store(text).utf16();
}

qsizetype ListModel::appendRow(QStringView text)
{
    Row row;
    row.text = store(text);
    row.length = text.size();
    m_rows.push_back(row);
    schedulePublish();
    return qsizetype(m_rows.size()) - 1;
}

qsizetype ListModel::appendDerivedRows(QStringView text)
{
    const qsizetype first = rows();
    if (!m_deriver) {
        appendRow(text);
        return first;
    }
    const std::vector<MapIP::Ipv4Network> parts = m_deriver->partsOf(text);
    if (parts.empty()) {
        deriveSubItems(appendRow(text));
        return first;
    }
    // The parts share one copy of the text.
    const QStringView stored(store(text), text.size());
    for (const MapIP::Ipv4Network& part : parts)
        appendPartRow(stored, part);
    schedulePublish();
    return first;
}

qsizetype ListModel::appendPart(QStringView text, const MapIP::Ipv4Network& part)
{
    appendPartRow(QStringView(store(text), text.size()), part);
    schedulePublish();
    return rows() - 1;
}

void ListModel::appendPartRow(QStringView stored, const MapIP::Ipv4Network& part)
{
    Row row;
    row.text = stored.utf16();
    row.length = stored.size();
    m_rows.push_back(row);
    Row& added = m_rows.back();
    extraOf(added).part = part;
    for (int subItem = 1; subItem <= MaxSubItems; ++subItem)
        setState(added, subItem, CellState::Derived);
}

std::optional<MapIP::Ipv4Network> ListModel::partOf(qsizetype row) const
{
    if (row < 0 || row >= rows())
        return std::nullopt;
    const MapIP::Ipv4Network* part = partOf(m_rows[size_t(row)]);
    return part ? std::optional(*part) : std::nullopt;
}

ListModel::Extra& ListModel::extraOf(Row& row)
{
    if (row.extra == 0) {
        m_extras.emplace_back();
        row.extra = quint32(m_extras.size());
    }
    return m_extras[row.extra - 1];
}

void ListModel::deriveCell(const Row& row, int subItem, QString& out) const
{
    if (const MapIP::Ipv4Network* part = partOf(row))
        m_deriver->derivePartInto(subItem, rowText(row), *part, out);
    else
        m_deriver->deriveInto(subItem, rowText(row), out);
}

ListModel::CellState ListModel::stateOf(const Row& row, int subItem)
{
    return static_cast<CellState>((row.states >> (2 * (subItem - 1))) & 0x3);
}

void ListModel::setState(Row& row, int subItem, CellState state)
{
    const int shift = 2 * (subItem - 1);
    row.states = static_cast<StateBits>((row.states & ~(0x3 << shift)) | (static_cast<int>(state) << shift));
}

void ListModel::setSubItem(qsizetype row, int subItem, QStringView text)
{
    if (row < 0 || row >= rows() || subItem < 1 || subItem > MaxSubItems)
        return;
    Row& record = m_rows[size_t(row)];
    if (text.isEmpty()) {
        setState(record, subItem, CellState::Empty);
    } else if (m_deriver && !partOf(record) && m_deriver->derives(subItem, rowText(record), text)) {
        setState(record, subItem, CellState::Derived);
    } else {
        extraOf(record).cells[size_t(subItem - 1)] = text.toString();
        setState(record, subItem, CellState::Stored);
    }
    if (row < m_published) {
        const QModelIndex changed = index(int(row), subItem);
        emit dataChanged(changed, changed, { Qt::DisplayRole });
    }
}

void ListModel::setSubItemDerived(qsizetype row, int subItem)
{
    if (row < 0 || row >= rows() || subItem < 1 || subItem > MaxSubItems || !m_deriver)
        return;
    setState(m_rows[size_t(row)], subItem, CellState::Derived);
    if (row < m_published) {
        const QModelIndex changed = index(int(row), subItem);
        emit dataChanged(changed, changed, { Qt::DisplayRole });
    }
}

void ListModel::setDerivedSubItems(qsizetype row, unsigned subItems)
{
    if (row < 0 || row >= rows() || !m_deriver)
        return;
    Row& record = m_rows[size_t(row)];
    record.unverified = false;
    for (int subItem = 1; subItem <= MaxSubItems; ++subItem) {
        const bool derives = (subItems >> (subItem - 1)) & 1;
        setState(record, subItem, derives ? CellState::Derived : CellState::Empty);
    }
    if (row < m_published && columns() > 1)
        emit dataChanged(index(int(row), 1), index(int(row), columns() - 1), { Qt::DisplayRole });
}

unsigned ListModel::deriveSubItems(qsizetype row)
{
    if (row < 0 || row >= rows() || !m_deriver)
        return 0;
    const Row& record = m_rows[size_t(row)];
    // A part's cells are all its own to derive.
    const unsigned derived
        = partOf(record) ? (1u << MaxSubItems) - 1 : m_deriver->derivedSubItems(rowText(record));
    setDerivedSubItems(row, derived);
    return derived;
}

QString ListModel::text(qsizetype row) const
{
    if (row < 0 || row >= rows())
        return {};
    return rowText(m_rows[size_t(row)]).toString();
}

QString ListModel::subItem(qsizetype row, int subItem) const
{
    if (row < 0 || row >= rows() || subItem < 1 || subItem > MaxSubItems)
        return {};
    const Row& record = m_rows[size_t(row)];
    switch (stateOf(record, subItem)) {
    case CellState::Empty:
        return {};
    case CellState::Derived: {
        QString text;
        deriveCell(record, subItem, text);
        return text;
    }
    case CellState::Stored:
        return m_extras[record.extra - 1].cells[size_t(subItem - 1)];
    }
    return {};
}

QString ListModel::cell(qsizetype row, int column) const
{
    return column == 0 ? text(row) : subItem(row, column);
}

qsizetype ListModel::cellLength(qsizetype row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column > MaxSubItems)
        return 0;
    const Row& record = m_rows[size_t(row)];
    if (column == 0)
        return record.length;
    switch (stateOf(record, column)) {
    case CellState::Empty:
        return 0;
    case CellState::Derived:
        if (partOf(record)) {
            QString text;
            deriveCell(record, column, text);
            return text.size();
        }
        // The cell was checked when it was set, and the row's text never
        // changes; after a switch of columns it may have no text.
        if (record.unverified)
            return std::max<qsizetype>(0, m_deriver->derivedLength(column, rowText(record)));
        return std::max<qsizetype>(0, m_deriver->knownDerivedLength(column, rowText(record)));
    case CellState::Stored:
        return m_extras[record.extra - 1].cells[size_t(column - 1)].size();
    }
    return 0;
}

bool ListModel::isBlank(qsizetype row, int column) const
{
    if (row < 0 || row >= rows() || column < 1 || column > MaxSubItems)
        return column != 0;
    const Row& record = m_rows[size_t(row)];
    switch (stateOf(record, column)) {
    case CellState::Empty:
        return true;
    case CellState::Derived:
        if (partOf(record)) {
            QString text;
            deriveCell(record, column, text);
            return text.isEmpty();
        }
        return m_deriver->derivedLength(column, rowText(record)) < 0;
    case CellState::Stored:
        return false;
    }
    return true;
}

QStringView ListModel::cellView(qsizetype row, int column, QString& buffer) const
{
    if (row < 0 || row >= rows() || column < 0 || column > MaxSubItems)
        return {};
    const Row& record = m_rows[size_t(row)];
    if (column == 0)
        return rowText(record);
    switch (stateOf(record, column)) {
    case CellState::Empty:
        return {};
    case CellState::Derived:
        deriveCell(record, column, buffer);
        return buffer;
    case CellState::Stored:
        return m_extras[record.extra - 1].cells[size_t(column - 1)];
    }
    return {};
}

bool ListModel::isChecked(qsizetype row) const
{
    return row >= 0 && row < rows() && m_rows[size_t(row)].checked;
}

void ListModel::removeRowAt(qsizetype row)
{
    if (row < 0 || row >= rows())
        return;
    ++m_removals;
    if (row < m_published) {
        beginRemoveRows(QModelIndex(), int(row), int(row));
        m_rows.erase(m_rows.begin() + row);
        --m_published;
        endRemoveRows();
    } else {
        m_rows.erase(m_rows.begin() + row);
    }
}

void ListModel::clearRows()
{
    ++m_removals;
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_extras.clear();
    m_texts.clear();
    m_published = 0;
    endResetModel();
}

void ListModel::schedulePublish()
{
    if (m_publishScheduled)
        return;
    m_publishScheduled = true;
    QTimer::singleShot(0, this, &ListModel::publishRows);
}

void ListModel::publishRows()
{
    m_publishScheduled = false;
    const qsizetype total = rows();
    if (total <= m_published)
        return;
    beginInsertRows(QModelIndex(), int(m_published), int(total - 1));
    m_published = total;
    endInsertRows();
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_published);
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns();
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_published)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        QString shown = cell(index.row(), index.column());
        if (shown.size() > MaxShownLength) {
            shown.truncate(MaxShownLength);
            shown.append(u'\u2026');
        }
        return shown;
    }
    case Qt::CheckStateRole:
        if (m_checkBoxes == CheckBoxes::OnEveryRow && index.column() == 0)
            return m_rows[size_t(index.row())].checked ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    // Only the check box is editable, and only the user ticks it (through the view).
    if (!index.isValid() || index.row() >= m_published || index.column() != 0 || role != Qt::CheckStateRole
        || m_checkBoxes != CheckBoxes::OnEveryRow)
        return false;
    // The view's check box sends an int; reading it as one spares a type
    // conversion per row when a whole table is ticked.
    const int state = value.typeId() == QMetaType::Int ? value.toInt() : int(value.value<Qt::CheckState>());
    return setChecked(index.row(), state == Qt::Checked);
}

bool ListModel::setChecked(qsizetype row, bool checked)
{
    if (row < 0 || row >= rows() || m_checkBoxes != CheckBoxes::OnEveryRow)
        return false;
    m_rows[size_t(row)].checked = checked;
    // A row the views do not know yet shows its state when it is published.
    if (row < m_published) {
        // One list for every tick: a new one each time would cost an
        // allocation per row when a whole table is ticked.
        static const QList<int> CheckStateOnly { Qt::CheckStateRole };
        const QModelIndex changed = index(int(row), 0);
        emit dataChanged(changed, changed, CheckStateOnly);
    }
    return true;
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_captions.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkBoxes == CheckBoxes::OnEveryRow && index.column() == 0)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}
