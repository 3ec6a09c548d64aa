#include "Form2.h"

#include "BuildConfig.h"
#include "ListView.h"
#include "TextProgressBar.h"
#include "conversion/MapIP.h"
#include "export/BatchLists.h"
#include "export/CellDeriver.h"
#include "export/ClipboardText.h"
#include "export/ListModel.h"
#include "export/ResultsTable.h"
#include "export/SpreadsheetExport.h"
#include "export/TextFileWriter.h"
#include "shell/AppError.h"
#include "shell/AppTitle.h"
#include "shell/ErrorTrap.h"
#include "shell/ListFileReader.h"
#include "shell/PathHelpers.h"
#include "shell/Platform.h"
#include "shell/RunReports.h"
#include "shell/SpreadsheetApplication.h"
#include "shell/Yielder.h"
#include "widgets/AppIcon.h"
#include "widgets/Appearance.h"
#include "widgets/Controls.h"
#include "widgets/EmbeddingControls.h"
#include "widgets/EmbeddingNotes.h"
#include "widgets/Twips.h"
#include "widgets/WindowPointer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

const QString ObjectName = QStringLiteral("Form2");
const QString IdleProgressText = QStringLiteral("Progress Bar");

// The kinds of file both file dialogs offer: list files and results files are
// text files, though any file may be picked.
const QList<FileTypeFilter> TextFileFilters { { QStringLiteral("Text Files"), { QStringLiteral("*.txt") } },
                                              { QStringLiteral("All Files"), { QStringLiteral("*") } } };

// The texts of a form as wide as any the results table shows in `options`:
// the form of every hex digit repeated ("AAAA:AAAA") and of octets of three
// digits.
QStringList widestTexts(MapIP::Form form, const MapIP::ConversionOptions& options)
{
    QStringList texts;
    for (int digit = 0; digit < 16; ++digit) {
        const QString address = QStringList(4, QString::number(digit * 0x11)).join(u'.');
        const MapIP::RowConversion conversion(address, options);
        QString text;
        if (conversion.converts(form)) {
            conversion.write(form, text);
            texts.append(text);
        }
    }
    return texts;
}

// Dropped files as paths to load: a remote address cannot be read and is
// reported as a file that is not found. None when nothing dropped is a file.
QStringList droppedPaths(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    if (std::none_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        return {};
    QStringList paths;
    for (const QUrl& url : urls)
        paths.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
    return paths;
}

} // namespace

Form2::HandlerScope::HandlerScope(Form2& form)
    : m_form(form)
{
    ++m_form.m_runningHandlers;
}

Form2::HandlerScope::~HandlerScope()
{
    if (--m_form.m_runningHandlers == 0 && m_form.m_unloaded)
        m_form.deleteLater();
}

Form2::Form2(Platform& platform, QWidget* singleWindow)
    : QWidget(nullptr)
    , m_platform(platform)
    , m_singleWindow(singleWindow)
    , m_yieldBudgetMs(EventLoopYielder::DefaultBudgetMs)
{
    setObjectName(ObjectName);
    m_pointer = new WindowPointer(this);
    buildControls();
    Form_Load();
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Two rows below the progress bar hold the embedding and the text style,
    // then the direction and the reverse-DNS column; the notes on the forms
    // go below them.
    setFixedSize(Twips::toPixels(8040), Twips::toPixels(9465));
    setFont(arialFont(9));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildLists();
    buildButtons();

    m_progressBar = new TextProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setText(IdleProgressText);
    m_progressBar->setAccessibleName(IdleProgressText);
    Twips::place(m_progressBar, 120, 7480, 7800, 405);

    m_embedding = new EmbeddingControls(this, 120, 7995, 7800, m_platform.inputBoxes(), m_platform,
                                        [this] { return m_platform.applicationTitle(); });
    connect(m_embedding, &EmbeddingControls::optionsChanged, this, &Form2::applyEmbedding);
    auto* directionLabel = new QLabel(QStringLiteral("Direction"), this);
    directionLabel->setObjectName(QStringLiteral("DirectionLabel"));
    m_direction = new QComboBox(this);
    m_direction->setObjectName(QStringLiteral("DirectionBox"));
    m_direction->setAccessibleName(QStringLiteral("Direction"));
    m_direction->addItems({ QStringLiteral("IPv4 to IPv6"), QStringLiteral("IPv6 to IPv4") });
    directionLabel->setBuddy(m_direction);
    m_reverseDns = new QCheckBox(QStringLiteral("Reverse DNS Name"), this);
    m_reverseDns->setObjectName(QStringLiteral("ReverseDnsBox"));
    Twips::place(directionLabel, 120, 8565, 1080, 285);
    Twips::place(m_direction, 1200, 8505, 2700, 375);
    Twips::place(m_reverseDns, 4020, 8505, 3900, 375);
    connect(m_direction, &QComboBox::activated, this, &Form2::applyEmbedding);
    connect(m_reverseDns, &QCheckBox::toggled, this, &Form2::applyEmbedding);
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("NotesLabel"));
    m_notes->setAccessibleName(QStringLiteral("Notes on the forms"));
    m_notes->setTextFormat(Qt::PlainText);
    m_notes->setWordWrap(true);
    m_notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Twips::place(m_notes, 120, 8940, 7800, 465);

    m_pointer->hoverSets(this, MousePointer::Default);
    // Files and text dropped anywhere on the window, the input list included,
    // arrive here: the lists themselves take no drops.
    setAcceptDrops(true);
}

// The push buttons, after the lists in the tab order.
void Form2::buildButtons()
{
    // In the tab order: name, caption, place in twips (each 405 high) and
    // handler.
    static constexpr struct
    {
        const char* name;
        const char16_t* caption;
        int left;
        int top;
        int width;
        void (Form2::*click)();
    } Buttons[] = {
        { "PushButton1", u"Add One IPv4", 120, 2520, 3840, &Form2::PushButton1_Click },
        { "PushButton4", u"Load IPv4s From Text File", 120, 3030, 3840, &Form2::PushButton4_Click },
        { "PushButton6", u"Clear List", 4080, 2520, 3840, &Form2::PushButton6_Click },
        { "PushButton2", u"Start Converting", 120, 4050, 7800, &Form2::PushButton2_Click },
        { "PushButton3", u"Save Results As Text File", 120, 6450, 3840, &Form2::PushButton3_Click },
        { "PushButton13", u"Save Results As Excel File", 4080, 6450, 3840, &Form2::PushButton13_Click },
        { "PushButton5", u"< Back", 120, 120, 7800, &Form2::PushButton5_Click },
        { "PushButton7", u"Clear List", 4080, 6960, 3840, &Form2::PushButton7_Click },
        { "PushButton8", u"Copy Results To Clipboard", 120, 6960, 3840, &Form2::PushButton8_Click },
        { "PushButton9", u"<- What is this feature?", 4080, 3030, 3840, &Form2::PushButton9_Click },
        { "PushButton10", u"Help", 4080, 3540, 3840, &Form2::PushButton10_Click },
        { "PushButton11", u"Load Sample/Example IPs", 120, 3540, 3840, &Form2::PushButton11_Click },
    };
    QWidget* previous = m_listView2;
    for (const auto& row : Buttons) {
        QPushButton* pushButton = createPushButton(this, row.name, QString::fromUtf16(row.caption));
        Twips::place(pushButton, row.left, row.top, row.width, 405);
        connect(pushButton, &QPushButton::clicked, this, row.click);
        m_pointer->hoverSets(pushButton, MousePointer::Custom);
        setTabOrder(previous, pushButton);
        previous = pushButton;
    }
}

// The input list and the results table, first in the tab order.
void Form2::buildLists()
{
    const auto list = [this](const char* name, ListModel* model, int top) {
        auto* view = new ListView(this);
        view->setObjectName(QLatin1StringView(name));
        view->setFont(arialFont(9));
        view->setListModel(model);
        Twips::place(view, 120, top, 7800, 1815);
        view->installEventFilter(this);
        m_pointer->hoverSets(view, MousePointer::Default, WindowPointer::Parts::WithParts);
        return view;
    };
    m_inputModel = new ListModel(ListModel::CheckBoxes::None, this);
    m_listView1 = list("ListView1", m_inputModel, 620);
    m_listView1->setAccessibleName(BatchLists::InputCaption.trimmed());
    m_listView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listView1, &QWidget::customContextMenuRequested, this, &Form2::ListView1_ContextMenu);

    m_resultsModel = new ListModel(ListModel::CheckBoxes::OnEveryRow, this);
    m_resultsModel->setCellDeriver(std::make_shared<ConversionFormsDeriver>());
    m_listView2 = list("ListView2", m_resultsModel, 4545);
    m_listView2->setAccessibleName(QStringLiteral("Results"));
    fitFormColumns(MapIP::ConversionOptions::defaults());
    setTabOrder(m_listView1, m_listView2);
}

void Form2::Form_Load()
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("Form_Load"));
    trap(100, [&] { Appearance::ApplyFormColors(this); });
    Appearance::setUpHandCursor(trap, *m_pointer, m_platform.programLocation().programFolder());
    trap(108, [&] {
        setWindowTitle(ProductName);
        setWindowIcon(applicationIcon());
    });
    trap(110, [&] { m_inputModel->addColumn(BatchLists::InputCaption); });
    trap(112, [&] { m_inputModel->setColumnWidthTwips(0, 6800); });
    trap(114, [&] { m_resultsModel->addColumn(BatchLists::ResultsCaptions[0]); });
    trap(116, [&] { m_resultsModel->setColumnWidthTwips(0, 1200); });
    // A column per form, statements 118 to 124.
    for (int column = 1; column <= MapIP::FormCount; ++column)
        trap(116 + 2 * column, [&] { m_resultsModel->addColumn(BatchLists::ResultsCaptions[column]); });
}

MousePointer Form2::mousePointer() const
{
    return m_pointer->value();
}

void Form2::setMousePointer(MousePointer pointer)
{
    m_pointer->set(pointer);
}

void Form2::endBusy()
{
    if (!m_unloaded)
        setMousePointer(MousePointer::Default);
}

void Form2::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void Form2::Form_Unload()
{
    unload(true);
}

void Form2::discard()
{
    unload(false);
}

void Form2::unload(bool showSingleWindow)
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    hide();
    if (showSingleWindow && m_singleWindow)
        m_singleWindow->show();
    // A handler still at work (a run letting events through) ends at its next
    // yield; the window goes once it has returned.
    if (m_runningHandlers == 0)
        deleteLater();
}

void Form2::PushButton1_Click()
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton1_Click"));
    QString address;
    trap(100, [&] {
        address = m_platform.inputBoxes().ask(QStringLiteral("Enter IPv4 to add: "),
                                              m_platform.applicationTitle(), QStringLiteral("0.0.0.0"));
    });
    if (address.isEmpty()) // 102: Cancel, or OK on an emptied box
        return;
    trap(104, [&] { m_inputModel->appendRow(address); });
}

void Form2::PushButton2_Click()
{
    HandlerScope scope(*this);
    // A list of thousands of bad rows would otherwise bring thousands of
    // reports in a row; after the first few the user may stop them.
    RunReports reports(m_platform.errorReporter());
    ErrorTrap trap(reports, ObjectName, QStringLiteral("PushButton2_Click"));
    if (ConversionBusy) // 100
        return;
    ConversionBusy = true; // 102
    trap(104, [&] { m_resultsModel->clearRows(); });
    // The run's rows take the choices made now.
    m_runNote.clear();
    applyLayout();
    const bool decoding = decodes();

    EventLoopYielder yielder(m_yieldBudgetMs, [this] { return m_unloaded; });
    // Rows appended while the run goes on lie beyond n and are not converted.
    const qsizetype n = m_inputModel->rows(); // 106
    qsizetype failedRows = 0;
    // The window is busy before events first run, so that the Delete key and
    // the input list's "Clear List" cannot take rows from under the run.
    if (n > 0)
        setMousePointer(MousePointer::Hourglass);
    for (qsizetype i = 1; i <= n; ++i) {
        yielder.yield(); // 108
        if (yielder.stopRequested())
            break;
        setMousePointer(MousePointer::Hourglass); // 110
        trap(112, [&] { m_progressBar->setValue(double(i) / double(m_inputModel->rows()) * 100.0); });
        if (i > m_inputModel->rows()) // the input list only grows while busy; be safe all the same
            break;
        const QString s = m_inputModel->text(i - 1); // 114
        trap(116, [&] { m_progressBar->setText(QStringLiteral("Processing: ") + s); });
        yielder.yield(); // 118
        if (yielder.stopRequested())
            break;
        if (!convertRow(trap, s, decoding))
            ++failedRows;
    } // 130

    if (!m_unloaded) {
        setMousePointer(MousePointer::Default); // 132
        m_progressBar->setValue(0); // 134
        m_progressBar->setText(IdleProgressText); // 136
        m_resultsModel->publishRows();
        showNotes();
        // Reports held back leave the user a count of what they would have said.
        if (reports.heldBack() > 0) {
            trap(138, [&] {
                m_platform.showMessage(QStringLiteral("%1 rows failed to convert.").arg(failedRows));
            });
        }
        trap(138, [&] { m_platform.showMessage(QStringLiteral("Done.")); });
    }
    ConversionBusy = false; // 140
    if (!m_unloaded)
        applyEmbedding();
}

bool Form2::convertRow(ErrorTrap& trap, const QString& text, bool decoding)
{
    qsizetype row = -1;
    // A range of several prefixes makes a row for each, and none of them fails.
    bool parts = false;
    trap(120, [&] {
        row = m_resultsModel->appendDerivedRows(text);
        parts = m_resultsModel->partOf(row).has_value();
    });
    return decoding ? checkDecoding(trap, text) : parts || setRowForms(trap, row, text);
}

void Form2::showNotes()
{
    // Decoding writes no forms; the notes are about the forms.
    QStringList notes;
    if (!decodes()) {
        notes.append(missingDotFormsNote(m_embedding->options()));
        // The run's note holds while its embedding is chosen.
        if (embedsIntoWellKnownNat64(m_embedding->options()))
            notes.append(m_runNote);
    }
    notes.removeAll(QString());
    m_notes->setText(notes.join(u'\n'));
}

bool Form2::decodes() const
{
    return m_direction->currentIndex() == 1;
}

bool Form2::checkDecoding(ErrorTrap& trap, const QString& row)
{
    const auto layout = ResultsTable::layoutOf(*m_resultsModel);
    if (!layout)
        return true;
    return trap(122, [&] {
        const MapIP::Decoded decoded = MapIP::decode(row, layout->decoding);
        if (decoded.failed())
            throw AppError(MapIP::describe(decoded, row, layout->decoding));
    });
}

void Form2::fitFormColumns(const MapIP::ConversionOptions& options)
{
    // The forms' columns open wide enough to read every form without dragging
    // them apart; the horizontal scroll bar shows the rest.
    for (int column = 1; column <= MapIP::FormCount; ++column)
        m_listView2->setColumnSamples(column, widestTexts(MapIP::formAt(column), options));
}

void Form2::applyEmbedding()
{
    if (ConversionBusy)
        return;
    applyLayout();
    showNotes();
}

void Form2::applyLayout()
{
    ResultsTable::Layout chosen;
    chosen.direction = decodes() ? ResultsTable::Direction::Decode : ResultsTable::Direction::Convert;
    chosen.conversion = m_embedding->options();
    // Decoding reads by any carrier until another embedding than the first is chosen.
    if (m_embedding->options().embedding() != MapIP::Embedding())
        chosen.decoding = MapIP::DecodeOptions(m_embedding->options().embedding());
    chosen.reverseDns = m_reverseDns->isChecked();
    const std::optional<ResultsTable::Layout> current = ResultsTable::layoutOf(*m_resultsModel);
    if (current && *current == chosen)
        return;
    // Converted rows keep every form the program's text has as derived, so
    // another embedding or style only needs the new deriver; decoded rows
    // that failed by one embedding may decode by another, and are read afresh.
    if (current && current->direction == chosen.direction && current->reverseDns == chosen.reverseDns
        && chosen.direction == ResultsTable::Direction::Convert)
        m_resultsModel->changeCellDeriver(ResultsTable::deriver(chosen));
    else
        ResultsTable::apply(*m_resultsModel, chosen);
    // A longer prefix needs wider columns, a shorter one leaves room.
    if (chosen.direction == ResultsTable::Direction::Convert) {
        fitFormColumns(m_embedding->options());
    } else {
        // The widest a decoded row's texts get.
        m_listView2->setColumnSamples(1, { QStringLiteral("255.255.255.255/32") });
        m_listView2->setColumnSamples(2, { m_embedding->options().embedding().label() });
        m_listView2->setColumnSamples(3, { QStringLiteral("server 255.255.255.255, port 65535") });
    }
    if (chosen.reverseDns) {
        const QString nibbles = QStringLiteral("f.").repeated(32) + QStringLiteral("ip6.arpa");
        m_listView2->setColumnSamples(m_resultsModel->columns() - 1, { nibbles });
    }
}

bool Form2::setRowForms(ErrorTrap& trap, qsizetype row, const QString& address)
{
    static constexpr auto FormLines = std::to_array({ 122, 124, 126, 128 });
    static_assert(FormLines.size() == MapIP::FormCount, "a statement for every form");
    const auto& deriver = *static_cast<const ConversionFormsDeriver*>(m_resultsModel->cellDeriver());
    const MapIP::RowConversion conversion(address, deriver.options());
    // The first address of the run the NAT64 well-known prefix must not carry.
    if (m_runNote.isEmpty() && embedsIntoWellKnownNat64(deriver.options())) {
        if (const std::optional<quint32> value = conversion.ipv4())
            m_runNote = nat64Note(*value);
    }
    // A form is kept as derived whenever the program's own text has it, so
    // that a later change of style shows it; the table reads it as empty
    // while the chosen style refuses it. The options are the deriver's, made
    // once for the run: making them costs more than converting a row.
    std::optional<MapIP::RowConversion> programText;
    if (deriver.options().style() != MapIP::TextStyle::Program)
        programText.emplace(address, deriver.programTextOptions());
    const MapIP::RowConversion& lenient = programText ? *programText : conversion;
    // The results table may be cleared while an error report is up; the
    // row's cells are then no longer set.
    const quint64 removals = m_resultsModel->removalCount();
    bool converted = true;
    for (int k = 1; k <= MapIP::FormCount; ++k) {
        converted &= trap(FormLines[size_t(k - 1)], [&] {
            const MapIP::Form form = MapIP::formAt(k);
            // The table builds the text from the row when it is read.
            if (lenient.converts(form) && row >= 0 && m_resultsModel->removalCount() == removals)
                m_resultsModel->setSubItemDerived(row, k);
            if (conversion.failure(form).failed())
                throw MapIP::ConversionException(conversion.failure(form));
        });
    }
    return converted;
}

void Form2::PushButton4_Click()
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton4_Click"));
    OpenFilesRequest request; // 100 to 106
    request.title = QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files");
    request.filters = TextFileFilters;
    request.severalFiles = true;
    QStringList paths;
    trap(108, [&] { paths = m_platform.fileDialogs().openFileNames(request); });
    if (paths.isEmpty()) // 110
        return;
    loadListFiles(trap, paths); // 114 to 138
}

void Form2::openListFiles(const QStringList& paths)
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton4_Click"));
    loadListFiles(trap, paths);
}

void Form2::loadListFiles(ErrorTrap& trap, const QStringList& paths)
{
    setMousePointer(MousePointer::Hourglass); // 114
    // A file alone fails at line 120, one of several at line 134.
    const int line = paths.size() == 1 ? 120 : 134;
    for (const QString& path : paths)
        trap(line, [&] {
            LoadListviewFromTextFile([this](QStringView row) { m_inputModel->appendRow(row); }, path,
                                     m_platform);
        });
    endBusy(); // 138
}

void Form2::PushButton3_Click()
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton3_Click"));
    // 100 to 104: no name offered, and no question before replacing a file.
    SaveFileRequest request;
    request.title = QStringLiteral("Save");
    request.filters = TextFileFilters;
    QString path;
    trap(106, [&] { path = m_platform.fileDialogs().saveFileName(request); });
    // 108: Cancel writes nothing and says nothing; an empty table is saved as
    // its caption line alone.
    if (path.isEmpty())
        return;
    setMousePointer(MousePointer::Hourglass); // 110
    EventLoopYielder yielder(m_yieldBudgetMs, [this] { return m_unloaded; });
    SaveListviewProperlySpaced(*m_resultsModel, path, m_progressBar, yielder,
                               m_platform.errorReporter()); // 112
    endBusy(); // 114
}

void Form2::PushButton8_Click()
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton8_Click"));
    EventLoopYielder yielder(m_yieldBudgetMs, [this] { return m_unloaded; });
    trap(100, [&] { CopyListviewProperlySpaced(*m_resultsModel, m_platform.clipboard(), yielder); });
}

void Form2::PushButton13_Click()
{
    HandlerScope scope(*this);
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton13_Click"));
    bool installed = false;
    trap(100,
         [&] { installed = SaveResultsAsExcelFileIsExcelInstalled(m_platform.spreadsheet(), m_platform); });
    if (!installed) {
        trap(102, [&] { m_platform.showMessage(SpreadsheetFeatureNeedsExcelMessage.toString()); });
        return;
    }
    if (m_resultsModel->rows() == 0) // 104
        return;
    setMousePointer(MousePointer::Hourglass); // 106

    // A failing call ends its step with one report, not one per cell; the
    // steps after it still run, as long as there is a workbook to work on.
    EventLoopYielder yielder(m_yieldBudgetMs, [this] { return m_unloaded; });
    std::unique_ptr<SpreadsheetWorkbook> workbook;
    trap(108, [&] { workbook = m_platform.spreadsheet().start(); });
    bool going = workbook != nullptr;
    if (going)
        trap(110, [&] { going = writeCaptionRow(*m_resultsModel, *workbook, yielder); });
    if (going)
        trap(112, [&] { going = writeDataRows(*m_resultsModel, *workbook, yielder); });
    if (going) {
        trap(114, [&] { workbook->autofitColumns(); });
        trap(116, [&] { workbook->makeVisible(); });
    }
    endBusy(); // 118
}

void Form2::PushButton5_Click()
{
    HandlerScope scope(*this);
    if (m_singleWindow) // 100
        m_singleWindow->show();
    close(); // 102
}

void Form2::PushButton6_Click()
{
    if (!isBusy()) // 100
        m_inputModel->clearRows();
}

void Form2::PushButton7_Click()
{
    m_resultsModel->clearRows(); // 100
}

void Form2::PushButton9_Click()
{
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton9_Click"));
    trap(100, [&] {
        m_platform.showMessage(QStringLiteral(
            "You must load text files into the list. You can not load Word files for example."));
    });
}

void Form2::PushButton10_Click()
{
    ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("PushButton10_Click"));
    trap(100, [&] {
        m_platform.webBrowser().open(QUrl(QStringLiteral(QUADRIX_HELP_ADDRESS)),
                                     WebBrowser::WindowMode::Normal);
    });
}

void Form2::PushButton11_Click()
{
    for (const QString& address : BatchLists::SampleAddresses) // 100 to 104
        m_inputModel->appendRow(address);
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_listView1 || watched == m_listView2)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == m_listView1 && key->matches(QKeySequence::Paste)) {
            ListView1_Paste();
            return true;
        }
        ListView_KeyDown(static_cast<ListView*>(watched), key->key());
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::ListView1_ContextMenu(const QPoint& position)
{
    auto* menu = new QMenu(m_listView1);
    menu->setObjectName(QStringLiteral("ListView1Menu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* paste = menu->addAction(QStringLiteral("Paste"), this, &Form2::ListView1_Paste);
    paste->setShortcut(QKeySequence::Paste);
    menu->popup(m_listView1->viewport()->mapToGlobal(position));
}

void Form2::ListView1_Paste()
{
    // Refused while busy, as the Delete key and "Clear List" are.
    if (isBusy())
        return;
    appendListText(m_platform.clipboard().readText());
}

void Form2::appendListText(const QString& text)
{
    // A column copied from a spreadsheet or a terminal becomes rows, line by
    // line as a list file's lines do; the line end such a copy ends in adds
    // no row.
    readListText(
        text, [this](QStringView row) { m_inputModel->appendRow(row); }, FinalLineFeed::EndsLastLine);
}

void Form2::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!isBusy() && data && (data->hasUrls() || data->hasText()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Form2::dragMoveEvent(QDragMoveEvent* event)
{
    // The run may have started since the drag came in.
    if (isBusy())
        event->ignore();
    else
        event->acceptProposedAction();
}

void Form2::dropEvent(QDropEvent* event)
{
    if (isBusy() || !event->mimeData()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Form_OLEDragDrop(*event->mimeData());
}

void Form2::Form_OLEDragDrop(const QMimeData& data)
{
    HandlerScope scope(*this);
    const QStringList paths = droppedPaths(data);
    if (!paths.isEmpty()) {
        ErrorTrap trap(m_platform.errorReporter(), ObjectName, QStringLiteral("Form_OLEDragDrop"));
        loadListFiles(trap, paths);
    } else if (data.hasText()) {
        appendListText(data.text());
    }
}

void Form2::ListView_KeyDown(ListView* list, int keyCode)
{
    if (keyCode != Qt::Key_Delete || isBusy())
        return;
    ListModel* model = list->listModel();
    if (model->rows() == 0)
        return;
    const int selected = list->selectedRow();
    if (selected >= 0)
        model->removeRowAt(selected);
}
