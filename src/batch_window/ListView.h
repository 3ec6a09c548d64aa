#pragma once

#include <QTableView>

class ListModel;

// A list in report style: column captions on top, one line per row, no grid,
// whole rows selected one at a time, nothing edited in place. Column widths
// follow the model's widths in twips; a column without one gets the list
// default of 1440 twips (an inch).
class ListView final : public QTableView
{
    Q_OBJECT

public:
    static constexpr int DefaultColumnTwips = 1440;

    explicit ListView(QWidget* parent = nullptr);

    void setListModel(ListModel* model);
    ListModel* listModel() const { return m_model; }

    // The selected row, or -1 when none is selected.
    int selectedRow() const;

private:
    void applyColumnWidths();

    ListModel* m_model = nullptr;
};
