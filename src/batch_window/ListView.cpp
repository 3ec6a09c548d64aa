#include "ListView.h"

#include "ListModel.h"
#include "shell/Twips.h"

#include <QHeaderView>

ListView::ListView(QWidget* parent)
    : QTableView(parent)
{
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    // Fixed row heights: the view never measures a million rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(false);
}

void ListView::setListModel(ListModel* model)
{
    m_model = model;
    setModel(model);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    connect(model, &QAbstractItemModel::columnsInserted, this, &ListView::applyColumnWidths);
    connect(model, &QAbstractItemModel::headerDataChanged, this, &ListView::applyColumnWidths);
    applyColumnWidths();
}

void ListView::applyColumnWidths()
{
    for (int column = 0; column < m_model->columns(); ++column) {
        const int twips = m_model->columnWidthTwips(column);
        horizontalHeader()->resizeSection(column, Twips::toPixels(twips > 0 ? twips : DefaultColumnTwips));
    }
}

int ListView::selectedRow() const
{
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.front().row();
}
