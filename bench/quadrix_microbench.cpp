// Micro-benchmarks of the conversion and the formatters, per address and per
// row, without processes or disks in the way:
//
//   build/quadrix-microbench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// bench/compare runs it this way and puts the medians into docs/performance.md.
#include "conversion/MapIP.h"
#include "export/CellDeriver.h"
#include "export/ClipboardText.h"
#include "export/ExportTarget.h"
#include "export/ListModel.h"
#include "export/TextFileWriter.h"
#include "shell/ErrorTrap.h"
#include "shell/ListFileReader.h"
#include "shell/Yielder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QIODevice>
#include <QRandomGenerator>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Addresses of every length, as a list of servers holds them.
QStringList addresses(int count)
{
    QRandomGenerator random(20261207);
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        list.append(QString::number(random.bounded(256)) + u'.' + QString::number(random.bounded(256)) + u'.'
                    + QString::number(random.bounded(256)) + u'.' + QString::number(random.bounded(256)));
    }
    return list;
}

// The results table after a run over `rows` addresses, every row ticked,
// its forms in `options`.
std::unique_ptr<ListModel>
resultsTable(int rows, const MapIP::ConversionOptions& options = MapIP::ConversionOptions::defaults())
{
    auto table = std::make_unique<ListModel>(ListModel::CheckBoxes::OnEveryRow);
    for (const QString& caption :
         { u"Original"_s, u" IPv6 Full Address"_s, u" IPv6 Shorthand Address"_s,
           u" IPv6 and Dot Notation Full Address"_s, u" IPv6 and Dot Notation Shorthand Address"_s })
        table->addColumn(caption);
    table->setCellDeriver(std::make_shared<ConversionFormsDeriver>(options));
    for (const QString& address : addresses(rows))
        table->deriveSubItems(table->appendRow(address));
    table->publishRows();
    for (int row = 0; row < rows; ++row)
        table->setChecked(row, true);
    return table;
}

// Takes every byte and keeps none: the formatters' cost without a disk's.
class DiscardingDevice final : public QIODevice
{
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override { return size; }
};

class FailOnReport final : public ErrorReporter
{
public:
    void reportError(const QString& reportText) override { qFatal("%s", qPrintable(reportText)); }
};

// One address to all four forms, as new strings.
void convertAll(benchmark::State& state)
{
    const QStringList list = addresses(1024);
    qsizetype i = 0;
    for (auto _ : state) {
        const MapIP::RowConversion row(list[i++ & 1023]);
        std::array<QString, MapIP::FormCount> texts;
        for (const MapIP::FormDefinition& form : MapIP::Forms)
            row.write(form.form, texts[MapIP::formIndex(form.form)]);
        benchmark::DoNotOptimize(texts);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(convertAll);

// One address to all four forms into strings reused from address to
// address, as a stream of rows is converted.
void convertAllIntoReusedRecord(benchmark::State& state)
{
    const QStringList list = addresses(1024);
    std::array<QString, MapIP::FormCount> texts;
    qsizetype i = 0;
    for (auto _ : state) {
        const MapIP::RowConversion row(list[i++ & 1023]);
        for (const MapIP::FormDefinition& form : MapIP::Forms)
            row.write(form.form, texts[MapIP::formIndex(form.form)]);
        benchmark::DoNotOptimize(texts);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(convertAllIntoReusedRecord);

// Each form on its own into a reused string, as the exports build the results
// table's cells when they read them.
void convertEachFormIntoReusedString(benchmark::State& state)
{
    const QStringList list = addresses(1024);
    QString text;
    qsizetype i = 0;
    for (auto _ : state) {
        const QString& address = list[i++ & 1023];
        for (const MapIP::FormDefinition& form : MapIP::Forms) {
            MapIP::RowConversion(address).write(form.form, text);
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(convertEachFormIntoReusedString);

// Reading a list: bytes to rows by the window's line rules.
void readListPerRow(benchmark::State& state)
{
    QByteArray bytes;
    for (const QString& address : addresses(int(state.range(0))))
        bytes += address.toLatin1() + "\r\n";
    qsizetype rows = 0;
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        readListRows(buffer, u"list"_s, [&rows](QStringView) { ++rows; });
    }
    benchmark::DoNotOptimize(rows);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(readListPerRow)->Arg(100000)->Unit(benchmark::kMillisecond);

// The column-aligned text of a table, written to a device that discards it.
void writeAlignedText(benchmark::State& state, const TableSource& table)
{
    NoYield yielder;
    FailOnReport reporter;
    for (auto _ : state) {
        DiscardingDevice device;
        device.open(QIODevice::WriteOnly);
        ExportTarget target(device, u"nowhere"_s);
        SaveListviewProperlySpaced(table, target, nullptr, yielder, reporter);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The column-aligned text, per row.
void alignedTextPerRow(benchmark::State& state)
{
    writeAlignedText(state, *resultsTable(int(state.range(0))));
}
BENCHMARK(alignedTextPerRow)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same in the NAT64 prefix's RFC 5952 text, whose forms depend on the
// octets' values: against alignedTextPerRow, what the choice costs.
void alignedTextPerRowNat64Rfc5952(benchmark::State& state)
{
    const MapIP::ConversionOptions options(MapIP::Embedding::named(MapIP::Embedding::Named::Nat64),
                                           MapIP::TextStyle::Rfc5952);
    writeAlignedText(state, *resultsTable(int(state.range(0)), options));
}
BENCHMARK(alignedTextPerRowNat64Rfc5952)->Arg(100000)->Unit(benchmark::kMillisecond);

// The clipboard text, per row, built whole as the window builds it.
void clipboardTextPerRow(benchmark::State& state)
{
    const auto table = resultsTable(int(state.range(0)));
    NoYield yielder;
    for (auto _ : state) {
        std::optional<QString> text = buildClipboardText(*table, yielder);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(clipboardTextPerRow)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The results table posts its row announcements to an event loop.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
