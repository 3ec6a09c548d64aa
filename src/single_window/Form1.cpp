#include "Form1.h"

#include "BuildConfig.h"
#include "batch_window/Form2.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "conversion/NumberSpelling.h"
#include "export/Clipboard.h"
#include "shell/AppTitle.h"
#include "shell/ErrorTrap.h"
#include "shell/Platform.h"
#include "widgets/AppIcon.h"
#include "widgets/Appearance.h"
#include "widgets/Controls.h"
#include "widgets/EmbeddingControls.h"
#include "widgets/EmbeddingNotes.h"
#include "widgets/Twips.h"
#include "widgets/WindowPointer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

const QString OctetToolTip
    = QStringLiteral("Enter Your Server IP Address Located at the Lower Right of Tallyclock");

QLineEdit* makeResultBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1StringView(name));
    box->setReadOnly(true);
    return box;
}

// Quiet notes on what the result boxes show for `address` in `options`.
QStringList formNotes(const QString& address, const MapIP::ConversionOptions& options)
{
    QStringList notes;
    if (const QString note = missingDotFormsNote(options); !note.isEmpty())
        notes.append(note);
    if (embedsIntoWellKnownNat64(options)) {
        if (const std::optional<quint32> value = MapIP::RowConversion(address, options).ipv4()) {
            if (const QString note = nat64Note(*value); !note.isEmpty())
                notes.append(note);
        }
    }
    return notes;
}

// Why the address line holds no IPv4 address, prefix or range.
QString entryProblem(const MapIP::ConversionFailure& failure, const QString& entry)
{
    switch (failure.error) {
    case MapIP::ConversionError::NotANumber:
    case MapIP::ConversionError::NotAnOctet:
    case MapIP::ConversionError::NotFourParts:
    case MapIP::ConversionError::NotFourPartsToSpread:
        return QStringLiteral("Not an address: %1 is neither four numbers from 0 to 255 joined by \".\" "
                              "(a.b.c.d, a prefix a.b.c.d/n or a range a.b.c.d-e.f.g.h) nor IPv6 text")
            .arg(MapIP::quotedPart(entry));
    default:
        return MapIP::describe(failure);
    }
}

} // namespace

Form1::Form1(Platform& platform, QWidget* parent)
    : QWidget(parent)
    , m_platform(platform)
{
    setObjectName(QStringLiteral("Form1"));
    m_pointer = new WindowPointer(this);
    buildControls();
    Form_Load();
}

Form1::~Form1()
{
    delete m_batchWindow;
}

void Form1::buildControls()
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    // One row below the results holds the embedding and the text style, the
    // rows below it the address line and what it holds.
    setFixedSize(Twips::toPixels(8040), Twips::toPixels(9000));
    setFont(arialFont(9));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_pushButton4 = createPushButton(this, "PushButton4", QStringLiteral("Help"));
    Twips::place(m_pushButton4, 120, 120, 7800, 405);

    buildAddressFrame();
    buildResultsFrame();

    m_pushButton2 = createPushButton(this, "PushButton2", QStringLiteral("Start Converting"));
    Twips::place(m_pushButton2, 120, 2610, 7800, 405);
    m_pushButton1
        = createPushButton(this, "PushButton1", QStringLiteral("Convert Multiple Addresses At Once"));
    Twips::place(m_pushButton1, 120, 1140, 7800, 405);
    m_pushButton5 = createPushButton(this, "PushButton5", QStringLiteral("Load Sample/Example IP"));
    Twips::place(m_pushButton5, 120, 630, 7800, 405);

    m_embedding = new EmbeddingControls(this, 120, 7020, 7800, m_platform.inputBoxes(), m_platform,
                                        [this] { return m_platform.applicationTitle(); });
    connect(m_embedding, &EmbeddingControls::optionsChanged, this, &Form1::Embedding_Change);
    buildAddressLine();

    for (QPushButton* button : { m_pushButton1, m_pushButton2, m_pushButton3, m_pushButton4, m_pushButton5 })
        m_pointer->hoverSets(button, MousePointer::Custom);
    for (QWidget* background :
         { static_cast<QWidget*>(this), static_cast<QWidget*>(m_frame1), static_cast<QWidget*>(m_frame2) })
        m_pointer->hoverSets(background, MousePointer::Default);

    connect(m_pushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(m_pushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(m_pushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(m_pushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(m_pushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
}

// The four octet boxes, the dots between them and the outline beneath.
void Form1::buildAddressFrame()
{
    m_frame1 = new QGroupBox(QStringLiteral("IPv4 Address:"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    Twips::place(m_frame1, 120, 1590, 7800, 915);

    static constexpr int OctetLeft[] = { 270, 960, 1650, 2340 };
    // A screen reader says which of the four boxes has the focus.
    static constexpr const char16_t* OctetNames[]
        = { u"First octet", u"Second octet", u"Third octet", u"Fourth octet" };
    for (int i = 0; i < 4; ++i) {
        auto* box = new QLineEdit(QStringLiteral("0"), m_frame1);
        box->setObjectName(QStringLiteral("Text1_%1").arg(i + 1));
        box->setAccessibleName(QString::fromUtf16(OctetNames[i]));
        box->setMaxLength(3);
        box->setFont(arialFont(11.25));
        box->setToolTip(OctetToolTip);
        box->setTextMargins(0, 0, 0, 0);
        Twips::place(box, OctetLeft[i], 420, 555, 285);
        box->installEventFilter(this);
        m_text1[i] = box;
    }

    // The dots between the octets; index 7 stands between the second and third box.
    static constexpr struct
    {
        int index;
        int left;
    } Dots[] = { { 5, 810 }, { 6, 2190 }, { 7, 1500 } };
    for (const auto& dot : Dots) {
        auto* box = new QLineEdit(QStringLiteral("."), m_frame1);
        box->setObjectName(QStringLiteral("Sepa1_%1").arg(dot.index));
        box->setAccessibleName(QStringLiteral("Dot"));
        box->setFrame(false);
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
        box->setAlignment(Qt::AlignCenter);
        box->setTextMargins(0, 0, 0, 0);
        QFont font(QStringLiteral("Times New Roman"));
        font.setPointSizeF(11.25);
        font.setBold(true);
        box->setFont(font);
        Twips::place(box, dot.left, 420, 165, 285);
    }

    // An outline drawn beneath the octet boxes and the dots.
    auto* shape = new QFrame(m_frame1);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setFrameShape(QFrame::Box);
    shape->setLineWidth(1);
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    Twips::place(shape, 240, 390, 2685, 345);
    shape->lower();
}

// A label and a result box per form, and the copy button.
void Form1::buildResultsFrame()
{
    m_frame2 = new QGroupBox(QStringLiteral("Results"), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    Twips::place(m_frame2, 120, 3060, 7800, 3855);

    m_pushButton3 = createPushButton(m_frame2, "PushButton3", QStringLiteral("Copy Results To Clipboard"));
    Twips::place(m_pushButton3, 240, 3280, 7290, 405);

    // One row of the results frame per form: its label above its box.
    static constexpr struct
    {
        const char* box;
        const char* label;
        int top;
        int labelWidth;
    } ResultRows[] = {
        { "Text2", "Label1", 360, 2400 },
        { "Text3", "Label2", 1080, 2400 },
        { "Text4", "Label3", 1800, 3720 },
        { "Text5", "Label4", 2520, 3840 },
    };
    static_assert(std::size(ResultRows) == MapIP::FormCount, "every form needs a row of the results frame");
    for (int i = 0; i < MapIP::FormCount; ++i) {
        const auto& place = ResultRows[i];
        m_resultBoxes[i] = makeResultBox(m_frame2, place.box);
        Twips::place(m_resultBoxes[i], 240, place.top + 240, 7290, 375);
        // A label without a buddy shows "&" as it stands; no mnemonic is meant.
        auto* label = new QLabel(MapIP::Forms[i].label.toString(), m_frame2);
        label->setObjectName(QLatin1StringView(place.label));
        label->setTextFormat(Qt::PlainText);
        Twips::place(label, 240, place.top, place.labelWidth, 255);
        m_labels[i] = label;
        // Each result box is named by the label above it; a buddy would read
        // the labels' "&" as a mnemonic.
        m_resultBoxes[i]->setAccessibleName(label->text());
    }
}

// The address line below the embedding, and the label beneath it.
void Form1::buildAddressLine()
{
    auto* caption = new QLabel(QStringLiteral("Address:"), this);
    caption->setObjectName(QStringLiteral("Label5"));
    Twips::place(caption, 120, 7560, 1200, 285);

    m_addressLine = new QLineEdit(this);
    m_addressLine->setObjectName(QStringLiteral("Text6"));
    m_addressLine->setAccessibleName(QStringLiteral("Address, prefix or range"));
    m_addressLine->setPlaceholderText(
        QStringLiteral("Type or paste an IPv4 or IPv6 address, prefix or range"));
    Twips::place(m_addressLine, 1320, 7500, 6600, 375);
    caption->setBuddy(m_addressLine);
    connect(m_addressLine, &QLineEdit::textChanged, this, &Form1::Text6_Change);

    // Says what the line holds, why it is no address, and notes on the
    // forms shown; never a message box, as the line is read at every key.
    m_addressNote = new QLabel(this);
    m_addressNote->setObjectName(QStringLiteral("Label6"));
    m_addressNote->setAccessibleName(QStringLiteral("Address notes"));
    m_addressNote->setTextFormat(Qt::PlainText);
    m_addressNote->setWordWrap(true);
    m_addressNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_addressNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Twips::place(m_addressNote, 120, 7950, 7800, 975);
}

Form2* Form1::batchWindow() const
{
    return m_batchWindow;
}

QLineEdit* Form1::Text1(int index) const
{
    Q_ASSERT(index >= 1 && index <= 4);
    return m_text1[index - 1];
}

void Form1::Form_Load()
{
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    const QString programFolder = m_platform.programLocation().programFolder();
    trap(100, [&] { Appearance::ApplySkin(this, m_platform.skinFramework(), programFolder); });
    Appearance::setUpHandCursor(trap, *m_pointer, programFolder);
    trap(108, [&] { OpenHomePageAtRandom(); });
    trap(128, [&] {
        setWindowTitle(ProductName);
        setWindowIcon(applicationIcon());
        m_platform.setApplicationTitle(ShortenAppTitle(ProductName));
    });
}

void Form1::OpenHomePageAtRandom()
{
    RandomSource& random = m_platform.random();
    random.seedFromTimeOfDay();
    const int draw = static_cast<int>(100 * random.nextFraction()) + 1;
    if (draw == 7) {
        m_platform.webBrowser().open(QUrl(QStringLiteral(QUADRIX_HOME_ADDRESS)),
                                     WebBrowser::WindowMode::MinimisedWithFocus);
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing the start-up window ends the program, the batch window included.
    event->accept();
    if (m_batchWindow)
        m_batchWindow->discard();
    QCoreApplication::quit();
}

void Form1::PushButton1_Click()
{
    showBatchWindow();
}

Form2* Form1::showBatchWindow()
{
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
    const bool shown = trap(100, [&] {
        // Each visit starts afresh with empty lists.
        if (!m_batchWindow || m_batchWindow->isUnloaded())
            m_batchWindow = new Form2(m_platform, this);
        m_batchWindow->show();
    });
    trap(102, [&] { hide(); });
    return shown ? m_batchWindow.data() : nullptr;
}

void Form1::PushButton2_Click()
{
    // The label now speaks of the octets, not of the address line.
    m_convertedLead.clear();
    m_showsDecoded = false;
    convertOctets();
}

void Form1::convertOctets()
{
    if (ConversionBusy)
        return;
    ConversionBusy = true;
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("PushButton2_Click"));
    // An error report is modal: a choice made while it is up is applied once
    // the conversion is through.
    const MapIP::ConversionOptions options = m_embedding->options();

    // Every box is tested before the decision; which one failed is not said.
    bool allNumeric = true;
    bool allBelow256 = true;
    for (QLineEdit* box : m_text1) {
        const std::optional<double> value = NumberSpelling::readOctetNumber(box->text());
        if (!value)
            allNumeric = false;
        else if (*value >= 256)
            allBelow256 = false;
    }

    if (!allNumeric) {
        trap(126, [&] { m_platform.showMessage(QStringLiteral("Numbers must be entered.")); });
    } else if (!allBelow256) {
        trap(124, [&] { m_platform.showMessage(QStringLiteral("Numbers must be 255 or less.")); });
    } else {
        QString address;
        trap(108, [&] {
            address = Text1(1)->text() + u'.' + Text1(2)->text() + u'.' + Text1(3)->text() + u'.'
                + Text1(4)->text();
        });
        showForms(trap, address, options, false);
        m_convertedAddress = address;
    }
    ConversionBusy = false;
    if (!(options == m_embedding->options()))
        Embedding_Change();
}

void Form1::showForms(ErrorTrap& trap, const QString& address, const MapIP::ConversionOptions& options,
                      bool emptyFailed, const QString& lead)
{
    // The statements that fill the result boxes, one per form.
    static constexpr auto FormLines = std::to_array({ 110, 116, 118, 120 });
    static_assert(FormLines.size() == MapIP::FormCount, "a statement for every form");
    for (int i = 0; i < MapIP::FormCount; ++i) {
        const bool shown = trap(FormLines[i], [&] {
            m_resultBoxes[i]->setText(MapIP::convert(MapIP::Forms[i].form, address, options));
        });
        if (!shown && emptyFailed)
            m_resultBoxes[i]->clear();
    }
    if (!m_showsDecoded) {
        QStringList lines = formNotes(address, options);
        if (!lead.isEmpty())
            lines.prepend(lead);
        m_addressNote->setText(lines.join(u'\n'));
    }
}

void Form1::Embedding_Change()
{
    // A typed prefix may decode what the address line holds.
    if (m_showsDecoded && !ConversionBusy)
        showDecodedEntry(m_addressLine->text().trimmed());
    // Before the first conversion the boxes are empty and stay so; the
    // octets typed since are converted by "Start Converting" as ever.
    if (ConversionBusy || !m_convertedAddress)
        return;
    ConversionBusy = true;
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("Embedding_Change"));
    const MapIP::ConversionOptions options = m_embedding->options();
    // A box keeps no text of the previous choice: a form the new one refuses
    // is reported and left empty.
    showForms(trap, *m_convertedAddress, options, true, m_convertedLead);
    ConversionBusy = false;
    if (!(options == m_embedding->options()))
        Embedding_Change();
}

void Form1::PushButton3_Click()
{
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    const QString lineBreak = QStringLiteral("\r\n");
    QString summary;
    trap(106, [&] {
        summary = m_frame1->title() + u' ' + Text1(1)->text() + u'.' + Text1(2)->text() + u'.'
            + Text1(3)->text() + u'.' + Text1(4)->text() + lineBreak;
    });
    // A line per form, label and box; the last one ends the text.
    static constexpr auto FormLines = std::to_array({ 108, 110, 112, 114 });
    static_assert(FormLines.size() == MapIP::FormCount, "a statement for every form");
    for (int i = 0; i < MapIP::FormCount; ++i) {
        trap(FormLines[i], [&] {
            summary += m_labels[i]->text() + QStringLiteral(": ") + m_resultBoxes[i]->text();
            if (i + 1 < MapIP::FormCount)
                summary += lineBreak;
        });
    }
    trap(116, [&] { ClipboardClear(m_platform.clipboard()); });
    trap(118, [&] { ClipboardSetText(m_platform.clipboard(), summary); });
    trap(120, [&] {
        m_platform.showMessage(QStringLiteral("Results have been copied to the clipboard.\r\r"
                                              "Click a text area where you normally type and press "
                                              "Ctrl+V to paste the clipboard."));
    });
}

void Form1::PushButton4_Click()
{
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    trap(100, [&] {
        m_platform.webBrowser().open(QUrl(QStringLiteral(QUADRIX_HELP_ADDRESS)),
                                     WebBrowser::WindowMode::Normal);
    });
}

void Form1::PushButton5_Click()
{
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    trap(100, [&] { Text1(1)->setText(QStringLiteral("172")); });
    trap(102, [&] { Text1(2)->setText(QStringLiteral("16")); });
    trap(104, [&] { Text1(3)->setText(QStringLiteral("254")); });
    trap(106, [&] { Text1(4)->setText(QStringLiteral("1")); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    for (int index = 1; index <= 4; ++index) {
        if (watched != Text1(index))
            continue;
        if (event->type() == QEvent::FocusIn) {
            Text1_GotFocus(index);
            // A mouse press that follows the focus would place the caret and drop
            // the selection; select again once it has been handled.
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
                QLineEdit* box = Text1(index);
                QTimer::singleShot(0, box, [box] {
                    if (box->hasFocus())
                        box->selectAll();
                });
            }
        } else if (event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // A held key repeats its presses but is released once.
            if (!key->isAutoRepeat())
                Text1_KeyUp(index, key->key());
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Text1_GotFocus(int index)
{
    QLineEdit* box = Text1(index);
    box->setSelection(0, int(box->text().size()));
}

void Form1::Text1_KeyUp(int index, int keyCode)
{
    // Right moves on and Left moves back whatever the caret position; then a
    // box holding three characters passes the focus on after any key.
    if (keyCode == Qt::Key_Right && index < 4)
        Text1(index + 1)->setFocus();
    else if (keyCode == Qt::Key_Left && index > 1)
        Text1(index - 1)->setFocus();

    if (Text1(index)->text().size() == 3) {
        if (index < 4)
            Text1(index + 1)->setFocus();
        else
            m_pushButton2->setFocus();
    }
}

void Form1::Text6_Change()
{
    const QString entry = m_addressLine->text().trimmed();
    m_showsDecoded = false;
    if (entry.isEmpty())
        m_addressNote->clear();
    else if (entry.contains(u':'))
        showDecodedEntry(entry);
    else
        showIpv4Entry(entry);
}

void Form1::showIpv4Entry(const QString& entry)
{
    // The line takes only real addresses: four octets of 0 to 255, read as
    // RFC 5952 text reads them, whatever style the forms are written in.
    const MapIP::ConversionOptions strict(m_embedding->options().embedding(), MapIP::TextStyle::Rfc5952);
    const MapIP::RowConversion reading(entry, strict);
    const MapIP::ConversionFailure failure = reading.failure(MapIP::Form::Full);
    if (failure.failed()) {
        m_addressNote->setText(entryProblem(failure, entry));
        return;
    }
    const bool isRange = reading.kind() == MapIP::RowConversion::Kind::Range;
    const quint32 address = isRange ? reading.rangePrefixes().front().address : reading.ipv4().value_or(0);
    for (int i = 0; i < 4; ++i)
        Text1(i + 1)->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
    if (reading.kind() == MapIP::RowConversion::Kind::Address) {
        // As the octet boxes convert.
        m_convertedLead.clear();
        convertOctets();
        return;
    }
    if (ConversionBusy)
        return;
    ConversionBusy = true;
    ErrorTrap trap(m_platform.errorReporter(), QStringLiteral("Form1"), QStringLiteral("Text6_Change"));
    const MapIP::ConversionOptions options = m_embedding->options();
    m_convertedLead = isRange ? QStringLiteral("The range %1 is the prefix %2")
                                    .arg(entry, MapIP::networkText(reading.rangePrefixes().front()))
                              : QString();
    showForms(trap, entry, options, true, m_convertedLead);
    m_convertedAddress = entry;
    ConversionBusy = false;
    if (!(options == m_embedding->options()))
        Embedding_Change();
}

void Form1::showDecodedEntry(const QString& entry)
{
    m_showsDecoded = true;
    // A typed prefix is no carrier's: it decodes the entry first, and the
    // carriers in their order decode what it does not.
    const MapIP::Embedding& chosen = m_embedding->options().embedding();
    const MapIP::DecodeOptions byChoice(chosen);
    const MapIP::DecodeOptions byCarriers;
    const bool typed = chosen.name().isEmpty() && !MapIP::decode(entry, byChoice).failed();
    const MapIP::DecodeOptions& options = typed ? byChoice : byCarriers;
    const MapIP::RowDecoding decoding(entry, options);
    if (decoding.failed()) {
        m_addressNote->setText(MapIP::describe(decoding.decoded(), entry, options));
        return;
    }
    QStringList lines;
    static constexpr MapIP::RowDecoding::Field Fields[]
        = { MapIP::RowDecoding::Field::Ipv4, MapIP::RowDecoding::Field::Embedding,
            MapIP::RowDecoding::Field::Detail };
    for (const MapIP::RowDecoding::Field field : Fields) {
        const QStringView text = decoding.text(field);
        if (!text.isEmpty())
            lines.append(MapIP::DecodeColumns[size_t(field) + 1].caption.toString() + QStringLiteral(": ")
                         + text.toString());
    }
    if (decoding.decoded().carrier == MapIP::Carrier::Nat64)
        lines.append(nat64Note(decoding.decoded().ipv4));
    lines.removeAll(QString());
    m_addressNote->setText(lines.join(u'\n'));
}
