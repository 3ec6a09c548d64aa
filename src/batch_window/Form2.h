#pragma once

#include "widgets/MousePointer.h"

#include <QPointer>
#include <QWidget>

namespace MapIP {
class ConversionOptions;
}

class ListModel;
class ListView;
class QCheckBox;
class QLabel;
class QComboBox;
class EmbeddingControls;
class ErrorTrap;
class Platform;
class QMimeData;
class QPushButton;
class TextProgressBar;
class WindowPointer;

// The batch window: the input list, the results table and the run that fills
// it, with the buttons that fill, clear and export the lists.
//
// Leaving it ("< Back" or the close box) shows the single-address window
// again and discards this window with both lists. Handlers that let window
// events run (the run, the exports) may find the window left in the middle of
// their work: they end early, and the window is destroyed only once the last
// of them has returned.
class Form2 final : public QWidget
{
    Q_OBJECT

public:
    // Builds the window and runs its start-up steps (Form_Load).
    Form2(Platform& platform, QWidget* singleWindow);
    ~Form2() override;

    ListModel* ListView1() const { return m_inputModel; }
    ListModel* ListView2() const { return m_resultsModel; }
    TextProgressBar* ProgressBar1() const { return m_progressBar; }

    MousePointer mousePointer() const;
    void setMousePointer(MousePointer pointer);
    WindowPointer& pointer() const { return *m_pointer; }

    // How long the run and the exports may work between two event-loop turns;
    // 0 lets events run at every yield point.
    void setYieldBudget(int milliseconds) { m_yieldBudgetMs = milliseconds; }

    // True once the window has been left; it is about to be destroyed.
    bool isUnloaded() const { return m_unloaded; }

    // Loads list files handed to the program from outside the window (the
    // desktop's "open with") into the input list, as "Load IPv4s From Text
    // File" loads the files chosen in its dialog, with the same messages.
    void openListFiles(const QStringList& paths);

    // Ends the window without showing the single-address window again, as the
    // program ends: work under way stops at its next yield.
    void discard();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Marks a handler as running, so that leaving the window meanwhile does not
    // destroy it under the handler's feet.
    class HandlerScope
    {
    public:
        explicit HandlerScope(Form2& form);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        Form2& m_form;
    };

    void buildControls();
    void buildLists();
    void buildButtons();
    void Form_Load();
    void Form_Unload();
    void unload(bool showSingleWindow);
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton8_Click();
    void PushButton13_Click();
    void ListView_KeyDown(ListView* list, int keyCode);
    void ListView1_ContextMenu(const QPoint& position);
    void ListView1_Paste();
    void Form_OLEDragDrop(const QMimeData& data);

    // The run's statements that give a results row its forms, one per form,
    // in the embedding and text style the run started with. False when a
    // form failed (and was reported).
    bool setRowForms(ErrorTrap& trap, qsizetype row, const QString& address);
    // Puts the chosen embedding and text style on the results table, unless a
    // run is filling it: that run's rows keep the choice it started with,
    // and the table takes the new one when the run ends.
    void applyEmbedding();
    // Puts the chosen direction, embedding, text style and reverse-DNS column
    // on the results table, at once for every row.
    void applyLayout();
    // The quiet notes on the forms below the direction row: no dot forms
    // below /96, and the run's first address 64:ff9b::/96 must not carry.
    void showNotes();
    // Sizes the forms' columns for their widest texts in `options`.
    void fitFormColumns(const MapIP::ConversionOptions& options);
    // The run's statement that reports a row that does not decode; false when it does not.
    bool checkDecoding(ErrorTrap& trap, const QString& row);
    // The run's statements for one input row (120 to 128): its results row
    // or rows, and the reports of what fails; false when something failed.
    bool convertRow(ErrorTrap& trap, const QString& text, bool decoding);
    bool decodes() const;
    // Loads list files into the input list, in order, as the busy window does.
    void loadListFiles(ErrorTrap& trap, const QStringList& paths);
    // Appends the rows of a pasted or dropped text to the input list.
    void appendListText(const QString& text);

    bool isBusy() const { return mousePointer() == MousePointer::Hourglass; }
    // Restores the arrow after a long operation, unless the window is gone.
    void endBusy();

    Platform& m_platform;
    QPointer<QWidget> m_singleWindow;
    bool ConversionBusy = false;
    int m_yieldBudgetMs;
    int m_runningHandlers = 0;
    bool m_unloaded = false;

    ListModel* m_inputModel = nullptr;
    ListModel* m_resultsModel = nullptr;
    ListView* m_listView1 = nullptr;
    ListView* m_listView2 = nullptr;
    TextProgressBar* m_progressBar = nullptr;
    WindowPointer* m_pointer = nullptr;
    EmbeddingControls* m_embedding = nullptr;
    // The direction of the results table, and its reverse-DNS column.
    QComboBox* m_direction = nullptr;
    QCheckBox* m_reverseDns = nullptr;
    QLabel* m_notes = nullptr;
    QString m_runNote;
};
