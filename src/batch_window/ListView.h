#pragma once

#include <QHash>
#include <QStringList>
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

    // A column without a width of its own opens wide enough for the widest of
    // these texts and for its caption, at the list's font, instead of the
    // list default.
    void setColumnSamples(int column, const QStringList& texts);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColumnWidths();
    int fittingWidth(int column) const;

    ListModel* m_model = nullptr;
    QHash<int, QStringList> m_samples;
};
