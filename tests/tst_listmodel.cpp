#include "conversion/MapIP.h"
#include "export/CellDeriver.h"
#include "export/EncodedBlocks.h"
#include "export/ExportTarget.h"
#include "export/ListModel.h"
#include "export/ResultsTable.h"
#include "export/TableFormats.h"
#include "shell/Yielder.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ResultsTable::Layout)

namespace {

std::unique_ptr<ListModel> resultsTable()
{
    auto model = std::make_unique<ListModel>(ListModel::CheckBoxes::OnEveryRow);
    model->setCellDeriver(std::make_shared<ConversionFormsDeriver>());
    for (const QString& caption :
         { u"Original"_s, u" IPv6 Full Address"_s, u" IPv6 Shorthand Address"_s,
           u" IPv6 and Dot Notation Full Address"_s, u" IPv6 and Dot Notation Shorthand Address"_s })
        model->addColumn(caption);
    return model;
}

ResultsTable::Layout layout(ResultsTable::Direction direction, bool reverseDns,
                            const MapIP::DecodeOptions& decoding = {})
{
    ResultsTable::Layout layout;
    layout.direction = direction;
    layout.decoding = decoding;
    layout.reverseDns = reverseDns;
    return layout;
}

QStringList cellsOf(const ListModel& model, qsizetype row)
{
    QStringList cells;
    for (int column = 0; column < model.columns(); ++column)
        cells.append(model.cell(row, column));
    return cells;
}

QString jsonLines(const TableSource& table)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ExportTarget target(buffer, u"buffer"_s);
    target.create();
    EncodedBlocks output(target, EncodedBlocks::Encoding::Utf8);
    NoYield yielder;
    writeJsonLines(table, yielder, output);
    output.flush();
    target.finish();
    return QString::fromUtf8(buffer.data());
}

void tick(ListModel& model, int row, bool checked = true)
{
    model.publishRows();
    QVERIFY(model.setData(model.index(row, 0), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole));
}

} // namespace

class TestListModel : public QObject
{
    Q_OBJECT

private slots:
    void columnsKeepCaptionsAndWidths();
    void rfc5952CellsFollowTheRowsText();
    void appendedRowStartsEmptyAndUnchecked();
    void subItemsReadBackExactly();
    void derivedSubItemsMatchTheFormsSetAsText_data();
    void derivedSubItemsMatchTheFormsSetAsText();
    void removingRowsShiftsLaterOnes();
    void clearingKeepsColumns();
    void viewsLearnOfRowsInOneBlock();
    void onlyTheUserTicks();
    void programTicksRowsTheViewHasNotSeen();
    void longCellsAreShownShort();
    void modelContract();
    void switchingLayoutRereadsEveryRow_data();
    void switchingLayoutRereadsEveryRow();
    void rangeOfSeveralPrefixesMakesARowEach();
    void jsonLinesKeysAreTheColumnsAndNullMarksMissingResults();
};

void TestListModel::columnsKeepCaptionsAndWidths()
{
    auto model = resultsTable();
    model->setColumnWidthTwips(0, 1200);
    QCOMPARE(model->columns(), 5);
    QCOMPARE(model->caption(1), u" IPv6 Full Address"_s);
    QCOMPARE(model->headerData(4, Qt::Horizontal).toString(), u" IPv6 and Dot Notation Shorthand Address"_s);
    QCOMPARE(model->columnWidthTwips(0), 1200);
    QCOMPARE(model->columnWidthTwips(1), 0);
}

void TestListModel::appendedRowStartsEmptyAndUnchecked()
{
    auto model = resultsTable();
    QCOMPARE(model->appendRow(u"10.0.0.1"_s), 0);
    QCOMPARE(model->rows(), 1);
    QCOMPARE(model->cell(0, 0), u"10.0.0.1"_s);
    for (int k = 1; k <= 4; ++k) {
        QCOMPARE(model->subItem(0, k), QString());
        QCOMPARE(model->cellLength(0, k), 0);
    }
    QVERIFY(!model->isChecked(0));
}

void TestListModel::subItemsReadBackExactly()
{
    auto model = resultsTable();
    // The run's texts are kept as bits, anything else as text; both read back exactly.
    model->appendRow(u"10.0.0.1"_s);
    model->setSubItem(0, 1, u"0000:0000:0000:0000:0000:0000:0A00:0001"_s);
    model->setSubItem(0, 2, u"::0A00:0001"_s);
    model->setSubItem(0, 3, u"something else"_s);
    model->setSubItem(0, 4, u"::10.0.0.1"_s);
    model->appendRow(u"abc"_s);
    model->setSubItem(1, 2, u"::0A00:0001"_s); // not what "abc" derives to
    model->setSubItem(1, 4, u"::abc"_s);
    model->appendRow(QString());
    model->setSubItem(2, 1, u"0000:0000:0000:0000:0000:0000::"_s);

    const QStringList expected[] = {
        { u"10.0.0.1"_s, u"0000:0000:0000:0000:0000:0000:0A00:0001"_s, u"::0A00:0001"_s, u"something else"_s,
          u"::10.0.0.1"_s },
        { u"abc"_s, QString(), u"::0A00:0001"_s, QString(), u"::abc"_s },
        { QString(), u"0000:0000:0000:0000:0000:0000::"_s, QString(), QString(), QString() },
    };
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(model->cell(row, column), expected[row][column]);
            QCOMPARE(model->cellLength(row, column), expected[row][column].size());
        }
    }

    // Setting a cell again replaces it, also back to empty.
    model->setSubItem(0, 3, u"0000:0000:0000:0000:0000:0000:10.0.0.1"_s);
    QCOMPARE(model->subItem(0, 3), u"0000:0000:0000:0000:0000:0000:10.0.0.1"_s);
    model->setSubItem(0, 1, QString());
    QCOMPARE(model->subItem(0, 1), QString());
}

void TestListModel::derivedSubItemsMatchTheFormsSetAsText_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<unsigned>("derived");
    QTest::newRow("converts") << u"172.16.254.1"_s << 0b1111u;
    QTest::newRow("one part") << u"7"_s << 0b1111u;
    QTest::newRow("empty") << QString() << 0b1111u;
    QTest::newRow("out of range") << u"1.2.3.256"_s << 0b1100u;
    QTest::newRow("text") << u"abc"_s << 0b1100u;
    QTest::newRow("non-ASCII") << u"\u00e9t\u00e9.1"_s << 0b1100u;
}

// The command-line tool marks the forms as derived without building them;
// the table must read exactly as when the batch run sets each form's text.
void TestListModel::derivedSubItemsMatchTheFormsSetAsText()
{
    QFETCH(QString, address);
    QFETCH(unsigned, derived);

    auto asText = resultsTable();
    auto asBits = resultsTable();
    for (ListModel* model : { asText.get(), asBits.get() }) {
        model->appendRow(u"before"_s);
        model->setSubItem(0, 3, u"something"_s);
    }
    const qsizetype row = asText->appendRow(address);
    const auto forms = { MapIP::IPv4ToIPv6Full, MapIP::IPv4ToIPv6Shorthand, MapIP::IPv4ToIPv6DotFull,
                         MapIP::IPv4ToIPv6DotShorthand };
    int subItem = 1;
    for (auto form : forms) {
        try {
            asText->setSubItem(row, subItem, form(address));
        } catch (const MapIP::ConversionException&) {
        }
        ++subItem;
    }
    QCOMPARE(asBits->appendRow(address), row);
    QCOMPARE(asBits->deriveSubItems(row), derived);

    QString buffer(60, u'#');
    for (qsizetype r = 0; r <= row; ++r) {
        for (int column = 0; column < asText->columns(); ++column) {
            const QString expected = asText->cell(r, column);
            QCOMPARE(asBits->cell(r, column), expected);
            QCOMPARE(asBits->cellLength(r, column), expected.size());
            QCOMPARE(asBits->cellView(r, column, buffer), QStringView(expected));
        }
    }
}

void TestListModel::removingRowsShiftsLaterOnes()
{
    auto model = resultsTable();
    for (const QString& text : { u"1"_s, u"2"_s, u"3"_s })
        model->appendRow(text);
    model->setSubItem(2, 3, u"kept"_s);
    tick(*model, 2);
    const quint64 before = model->removalCount();
    model->removeRowAt(1);
    QVERIFY(model->removalCount() != before);
    QCOMPARE(model->rows(), 2);
    QCOMPARE(model->text(1), u"3"_s);
    QCOMPARE(model->subItem(1, 3), u"kept"_s);
    QVERIFY(model->isChecked(1));
    model->removeRowAt(5); // out of range: nothing happens
    QCOMPARE(model->rows(), 2);
}

void TestListModel::clearingKeepsColumns()
{
    auto model = resultsTable();
    model->appendRow(u"1.2.3.4"_s);
    model->clearRows();
    QCOMPARE(model->rows(), 0);
    QCOMPARE(model->columns(), 5);
    QCOMPARE(model->caption(0), u"Original"_s);
    model->appendRow(u"again"_s);
    QCOMPARE(model->text(0), u"again"_s);
}

void TestListModel::viewsLearnOfRowsInOneBlock()
{
    auto model = resultsTable();
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        model->appendRow(QString::number(i));
    QCOMPARE(model->rows(), 1000);
    QCOMPARE(model->rowCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(model->rowCount(), 1000);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), 999);

    // Removing a row the views have not heard of yet works too.
    model->appendRow(u"late"_s);
    model->removeRowAt(1000);
    QCoreApplication::processEvents();
    QCOMPARE(model->rowCount(), 1000);
}

void TestListModel::onlyTheUserTicks()
{
    auto model = resultsTable();
    model->appendRow(u"1.2.3.4"_s);
    model->publishRows();
    QVERIFY(model->flags(model->index(0, 0)).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(!model->flags(model->index(0, 1)).testFlag(Qt::ItemIsUserCheckable));
    QCOMPARE(model->data(model->index(0, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    tick(*model, 0);
    QVERIFY(model->isChecked(0));
    QVERIFY(!model->setData(model->index(0, 1), u"edited"_s, Qt::EditRole));
    // A tick may arrive as the enumeration itself rather than as an int.
    QVERIFY(model->setData(model->index(0, 0), QVariant::fromValue(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(!model->isChecked(0));
    QVERIFY(model->setData(model->index(0, 0), QVariant::fromValue(Qt::Checked), Qt::CheckStateRole));
    QVERIFY(model->isChecked(0));

    ListModel input(ListModel::CheckBoxes::None);
    input.addColumn(u" IPv4(s)"_s);
    input.appendRow(u"1.2.3.4"_s);
    input.publishRows();
    QVERIFY(!input.data(input.index(0, 0), Qt::CheckStateRole).isValid());
    QVERIFY(!input.setData(input.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!input.setChecked(0, true));
}

void TestListModel::programTicksRowsTheViewHasNotSeen()
{
    auto model = resultsTable();
    QSignalSpy changes(model.get(), &QAbstractItemModel::dataChanged);
    model->appendRow(u"1.2.3.4"_s);
    model->appendRow(u"5.6.7.8"_s);
    QVERIFY(model->setChecked(1, true));
    QVERIFY(!model->setChecked(2, true));
    // Not yet published: no view may hear of the row before it is inserted.
    QCOMPARE(changes.size(), 0);
    model->publishRows();
    QCOMPARE(model->data(model->index(1, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    QVERIFY(!model->isChecked(0));
    QVERIFY(model->setChecked(1, false));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes[0][0].value<QModelIndex>(), model->index(1, 0));
    QVERIFY(!model->isChecked(1));
}

void TestListModel::longCellsAreShownShort()
{
    auto model = resultsTable();
    const QString longText(100000, u'9');
    model->appendRow(longText);
    model->publishRows();
    const QString shown = model->data(model->index(0, 0)).toString();
    QCOMPARE(shown.size(), ListModel::MaxShownLength + 1);
    QVERIFY(shown.endsWith(u'\u2026'));
    QCOMPARE(model->text(0), longText);
}

void TestListModel::modelContract()
{
    auto model = resultsTable();
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 50; ++i)
        model->appendRow(u"10.0.0."_s + QString::number(i));
    QCoreApplication::processEvents();
    model->removeRowAt(3);
    tick(*model, 4);
    model->clearRows();
    model->appendRow(u"x"_s);
    model->publishRows();
}

QTEST_GUILESS_MAIN(TestListModel)
// The deriver reads a row once for its four cells; a row read next, in the
// same memory or not, long or short, failing or not, gets its own cells.
void TestListModel::rfc5952CellsFollowTheRowsText()
{
    const MapIP::ConversionOptions options(MapIP::Embedding::named(MapIP::Embedding::Named::Nat64),
                                           MapIP::TextStyle::Rfc5952);
    const ConversionFormsDeriver deriver(options);
    QString row = u"192.0.2.33"_s;
    QString cell;
    deriver.deriveInto(2, row, cell);
    QCOMPARE(cell, u"64:ff9b::c000:221"_s);
    QCOMPARE(deriver.knownDerivedLength(2, row), 17);

    // The same memory with another address.
    row[9] = u'4';
    deriver.deriveInto(2, row, cell);
    QCOMPARE(cell, u"64:ff9b::c000:222"_s);
    deriver.deriveInto(4, row, cell);
    QCOMPARE(cell, u"64:ff9b::192.0.2.34"_s);
    QCOMPARE(deriver.knownDerivedLength(4, row), 19);

    // Too long to keep a copy of, spelt with leading zeros.
    const QString padded = u"192.000.002.033"_s + u"  "_s;
    deriver.deriveInto(1, padded.trimmed(), cell);
    QCOMPARE(cell, u"0064:ff9b:0000:0000:0000:0000:c000:0221"_s);
    deriver.deriveInto(3, u"0000192.0.2.33"_s, cell);
    QCOMPARE(cell, u"0064:ff9b:0000:0000:0000:0000:192.0.2.33"_s);
    deriver.deriveInto(3, u"00000192.0.2.33"_s, cell);
    QCOMPARE(cell, u"0064:ff9b:0000:0000:0000:0000:192.0.2.33"_s);

    // A row RFC 5952 text refuses, after one it takes, and the other way round.
    deriver.deriveInto(4, u"1.2.3"_s, cell);
    QCOMPARE(cell, QString());
    QCOMPARE(deriver.knownDerivedLength(4, u"1.2.3"_s), 0);
    deriver.deriveInto(4, u"1.2.3.4"_s, cell);
    QCOMPARE(cell, u"64:ff9b::1.2.3.4"_s);
}

using Direction = ResultsTable::Direction;

void TestListModel::switchingLayoutRereadsEveryRow_data()
{
    QTest::addColumn<ResultsTable::Layout>("layout");
    QTest::addColumn<QStringList>("keys");
    // The cells of the rows ::ffff:192.0.2.33, 192.0.2.33 and the Teredo
    // address of RFC 4380 (a null string: no value at all).
    QTest::addColumn<QList<QStringList>>("cells");
    const QString mapped = u"::ffff:192.0.2.33"_s;
    const QString ipv4 = u"192.0.2.33"_s;
    const QString teredo = u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s;
    const QString ip6arpa = u"1.2.2.0.0.0.0.c."_s + u"0."_s.repeated(24) + u"ip6.arpa"_s;
    QTest::newRow("converting")
        << layout(Direction::Convert, false)
        << QStringList { u"original"_s, u"full"_s, u"shorthand"_s, u"dot_full"_s, u"dot_shorthand"_s }
        << QList<QStringList> {
               { mapped, {}, {}, u"0000:0000:0000:0000:0000:0000:"_s + mapped, u"::"_s + mapped },
               { ipv4, u"0000:0000:0000:0000:0000:0000:C000:0221"_s, u"::C000:0221"_s,
                 u"0000:0000:0000:0000:0000:0000:192.0.2.33"_s, u"::192.0.2.33"_s },
               { teredo, {}, {}, u"0000:0000:0000:0000:0000:0000:"_s + teredo, u"::"_s + teredo },
           };
    QTest::newRow("converting, reverse DNS")
        << layout(Direction::Convert, true)
        << QStringList { u"original"_s, u"full"_s,          u"shorthand"_s,
                         u"dot_full"_s, u"dot_shorthand"_s, u"reverse_dns"_s }
        << QList<QStringList> {
               { mapped, {}, {}, u"0000:0000:0000:0000:0000:0000:"_s + mapped, u"::"_s + mapped, {} },
               { ipv4, u"0000:0000:0000:0000:0000:0000:C000:0221"_s, u"::C000:0221"_s,
                 u"0000:0000:0000:0000:0000:0000:192.0.2.33"_s, u"::192.0.2.33"_s, ip6arpa },
               { teredo, {}, {}, u"0000:0000:0000:0000:0000:0000:"_s + teredo, u"::"_s + teredo, {} },
           };
    QTest::newRow("decoding") << layout(Direction::Decode, false)
                              << QStringList { u"original"_s, u"ipv4"_s, u"embedding"_s, u"detail"_s }
                              << QList<QStringList> {
                                     { mapped, ipv4, u"mapped"_s, u""_s },
                                     { ipv4, {}, {}, {} },
                                     { teredo, u"192.0.2.45"_s, u"teredo"_s,
                                       u"server 65.54.227.120, port 40000"_s },
                                 };
    QTest::newRow("decoding, reverse DNS")
        << layout(Direction::Decode, true)
        << QStringList { u"original"_s, u"ipv4"_s, u"embedding"_s, u"detail"_s, u"reverse_dns"_s }
        << QList<QStringList> {
               { mapped, ipv4, u"mapped"_s, u""_s, u"33.2.0.192.in-addr.arpa"_s },
               { ipv4, {}, {}, {}, {} },
               { teredo, u"192.0.2.45"_s, u"teredo"_s, u"server 65.54.227.120, port 40000"_s,
                 u"45.2.0.192.in-addr.arpa"_s },
           };
    QTest::newRow("decoding by one embedding")
        << layout(Direction::Decode, false,
                  MapIP::DecodeOptions(MapIP::Embedding::named(MapIP::Embedding::Named::Mapped)))
        << QStringList { u"original"_s, u"ipv4"_s, u"embedding"_s, u"detail"_s }
        << QList<QStringList> { { mapped, ipv4, u"mapped"_s, u""_s },
                                { ipv4, {}, {}, {} },
                                { teredo, {}, {}, {} } };
}

// A filled table takes another direction, embedding or reverse-DNS column at
// once: every row reads as the new deriver gives it, whichever layout it was
// filled in, and the views hear of the new columns.
void TestListModel::switchingLayoutRereadsEveryRow()
{
    QFETCH(ResultsTable::Layout, layout);
    QFETCH(QStringList, keys);
    QFETCH(QList<QStringList>, cells);

    for (const Direction filledIn : { Direction::Convert, Direction::Decode }) {
        ListModel model(ListModel::CheckBoxes::OnEveryRow);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ResultsTable::apply(model, ::layout(filledIn, false));
        for (const QStringList& row : cells)
            model.appendDerivedRows(row[0]);
        model.publishRows();
        model.setColumnWidthTwips(0, 1200);

        ResultsTable::apply(model, layout);
        QCOMPARE(model.columns(), keys.size());
        QCOMPARE(model.columnWidthTwips(0), 1200);
        for (int column = 0; column < model.columns(); ++column) {
            QCOMPARE(model.key(column), keys[column]);
            QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), model.caption(column));
        }
        QCOMPARE(model.caption(1),
                 layout.direction == Direction::Decode ? u"IPv4 Address"_s : u" IPv6 Full Address"_s);
        QString buffer;
        for (qsizetype row = 0; row < cells.size(); ++row) {
            QCOMPARE(cellsOf(model, row), cells[row]);
            for (int column = 1; column < model.columns(); ++column) {
                QCOMPARE(model.cellLength(row, column), cells[row][column].size());
                QCOMPARE(model.cellView(row, column, buffer), QStringView(cells[row][column]));
                QCOMPARE(model.isBlank(row, column), cells[row][column].isNull());
            }
        }
        QCOMPARE(ResultsTable::layoutOf(model), std::optional(layout));
    }
}

void TestListModel::rangeOfSeveralPrefixesMakesARowEach()
{
    ListModel model(ListModel::CheckBoxes::OnEveryRow);
    ResultsTable::Layout mappedWithNames = layout(Direction::Convert, true);
    mappedWithNames.conversion = MapIP::ConversionOptions(
        MapIP::Embedding::named(MapIP::Embedding::Named::Mapped), MapIP::TextStyle::Program);
    ResultsTable::apply(model, mappedWithNames);
    const QString range = u"10.0.0.0-10.0.2.255"_s;
    QCOMPARE(model.appendDerivedRows(u"1.2.3.4"_s), 0);
    QCOMPARE(model.appendDerivedRows(range), 1);
    // A range that is one prefix stays one row, with its forms.
    QCOMPARE(model.appendDerivedRows(u"10.0.0.0-10.0.0.255"_s), 3);
    QCOMPARE(model.rows(), 4);
    QCOMPARE(model.partOf(0), std::nullopt);
    QCOMPARE(model.partOf(1), std::optional(MapIP::Ipv4Network { 0x0A000000, 23 }));
    QCOMPARE(model.partOf(2), std::optional(MapIP::Ipv4Network { 0x0A000200, 24 }));
    QCOMPARE(model.partOf(3), std::nullopt);
    const QString zone = u".a.0.f.f.f.f."_s + u"0."_s.repeated(20) + u"ip6.arpa"_s;
    QCOMPARE(cellsOf(model, 1),
             (QStringList { range, u"0000:0000:0000:0000:0000:FFFF:0A00:0000/119"_s,
                            u"::FFFF:0A00:0000/119"_s, u"0000:0000:0000:0000:0000:FFFF:10.0.0.0/119"_s,
                            u"::FFFF:10.0.0.0/119"_s, u"0.0.0.0"_s + zone + u" 1.0.0.0"_s + zone }));
    QCOMPARE(model.cell(2, 2), u"::FFFF:0A00:0200/120"_s);
    QCOMPARE(model.cellLength(2, 2), 20);
    QCOMPARE(model.cell(3, 2), u"::FFFF:0A00:0000/120"_s);

    // The parts stay parts whatever the table shows: decoded, a range carries nothing.
    ResultsTable::apply(model, layout(Direction::Decode, false));
    QCOMPARE(cellsOf(model, 2), (QStringList { range, {}, {}, {} }));
    QVERIFY(model.isBlank(2, 1));
    ResultsTable::apply(model, layout(Direction::Convert, false));
    QCOMPARE(model.cell(2, 1), u"0000:0000:0000:0000:0000:0000:0A00:0200/120"_s);

    // Removing a part leaves the other one whole.
    model.removeRowAt(1);
    QCOMPARE(model.cell(1, 2), u"::0A00:0200/120"_s);
}

// Keys come from the table's columns; a result the row did not give is null,
// an empty one (a decoded row without detail) an empty string.
void TestListModel::jsonLinesKeysAreTheColumnsAndNullMarksMissingResults()
{
    ListModel model(ListModel::CheckBoxes::OnEveryRow);
    ResultsTable::apply(model, layout(Direction::Decode, true));
    model.appendDerivedRows(u"64:ff9b::c000:221"_s);
    model.appendDerivedRows(u"1.2.3.4"_s);
    for (int row = 0; row < 2; ++row)
        tick(model, row);
    QCOMPARE(
        jsonLines(model),
        u"{\"original\":\"64:ff9b::c000:221\",\"ipv4\":\"192.0.2.33\",\"embedding\":\"nat64\",\"detail\":"
        u"\"\","
        "\"reverse_dns\":\"33.2.0.192.in-addr.arpa\"}\n"
        "{\"original\":\"1.2.3.4\",\"ipv4\":null,\"embedding\":null,\"detail\":null,\"reverse_dns\":null}\n"_s);

    // A table that names no keys falls back on the forms' names.
    auto forms = resultsTable();
    forms->appendRow(u"1.2.3.256"_s);
    forms->deriveSubItems(0);
    tick(*forms, 0);
    QCOMPARE(
        jsonLines(*forms),
        u"{\"original\":\"1.2.3.256\",\"full\":null,\"shorthand\":null,"
        "\"dot_full\":\"0000:0000:0000:0000:0000:0000:1.2.3.256\",\"dot_shorthand\":\"::1.2.3.256\"}\n"_s);
}

#include "tst_listmodel.moc"
