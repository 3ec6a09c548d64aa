#include "ListView.h"

#include "export/ListModel.h"
#include "widgets/Twips.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>

#include <algorithm>

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

void ListView::setColumnSamples(int column, const QStringList& texts)
{
    m_samples.insert(column, texts);
    if (m_model)
        applyColumnWidths();
}

void ListView::applyColumnWidths()
{
    for (int column = 0; column < m_model->columns(); ++column) {
        const int twips = m_model->columnWidthTwips(column);
        const int width = twips > 0 ? Twips::toPixels(twips)
                                    : std::max(Twips::toPixels(DefaultColumnTwips), fittingWidth(column));
        horizontalHeader()->resizeSection(column, width);
    }
}

int ListView::fittingWidth(int column) const
{
    // A cell's text sits between the margins the style gives it on each side;
    // an average character more keeps it clear of the next column.
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    int widest = horizontalHeader()->sectionSizeHint(column);
    for (const QString& text : m_samples.value(column))
        widest = std::max(widest, fontMetrics().horizontalAdvance(text) + margins);
    return widest + fontMetrics().averageCharWidth();
}

void ListView::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    // Widths measured at the old font or style no longer fit.
    if (m_model && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        applyColumnWidths();
}

int ListView::selectedRow() const
{
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.front().row();
}
