// The expansion stream: every address's line is the line the tool writes for
// that address as a row of its own, in order across blocks and kept rows;
// a sink that fails ends the stream; the row counts a table checks first.

#include "app/BatchTool.h"
#include "conversion/MapIP.h"
#include "export/Expansion.h"
#include "export/ResultsTable.h"

#include <QBuffer>
#include <QTest>

#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Expansion::ExpansionStream;
using Expansion::Outcome;
using Expansion::StreamFormat;

namespace {

// A sink keeping every byte, safe on the writer thread.
struct Collected
{
    QByteArray bytes;
    int calls = 0;

    Expansion::Sink sink()
    {
        return [this](QByteArrayView block) {
            bytes += block;
            ++calls;
            return QString();
        };
    }
};

QByteArray expand(const std::vector<MapIP::Ipv4Network>& networks, const MapIP::ConversionOptions& options,
                  Expansion::Layout layout)
{
    Collected collected;
    ExpansionStream stream(options, layout, collected.sink());
    for (const MapIP::Ipv4Network& network : networks)
        stream.addNetwork(network);
    if (stream.finish().status != Outcome::Status::Written)
        return "not written";
    return collected.bytes;
}

// What quadrix-batch writes for the addresses as rows of their own.
QByteArray toolOutput(const QStringList& arguments)
{
    QBuffer input;
    QBuffer output;
    QBuffer errors;
    input.open(QIODevice::ReadOnly);
    output.open(QIODevice::WriteOnly);
    errors.open(QIODevice::WriteOnly);
    // A warning (nat64 carrying non-global addresses) leaves the status 0.
    const int status = runBatchTool(arguments, BatchStreams { input, output, errors });
    return status == 0 ? output.data() : errors.data();
}

const char* formatName(StreamFormat format)
{
    return format == StreamFormat::Tsv ? "tsv" : format == StreamFormat::Csv ? "csv" : "jsonl";
}

} // namespace

class TestExpansion : public QObject
{
    Q_OBJECT

private slots:
    void linesAreTheToolsRows_data();
    void linesAreTheToolsRows();
    void rowsInOrderAcrossBlocks_data();
    void rowsInOrderAcrossBlocks();
    void failingSinkEndsTheStream_data();
    void failingSinkEndsTheStream();
    void descriptorFailureIsDescribed_data();
    void descriptorFailureIsDescribed();
    void rowCount_data();
    void rowCount();
};

void TestExpansion::linesAreTheToolsRows_data()
{
    QTest::addColumn<StreamFormat>("format");
    QTest::addColumn<QString>("embedding");
    QTest::addColumn<bool>("rfc5952");
    const QStringList embeddings { u"compatible"_s,
                                   u"mapped"_s,
                                   u"nat64"_s,
                                   u"2001:db8:1:2::/96"_s,
                                   u"2001:db8::/32"_s,
                                   u"2001:db8:100::/40"_s,
                                   u"2001:db8:1::/48"_s,
                                   u"2001:db8:1:200::/56"_s,
                                   u"2001:db8:1:2::/64"_s };
    for (const StreamFormat format : { StreamFormat::Tsv, StreamFormat::Csv, StreamFormat::JsonLines }) {
        for (const QString& embedding : embeddings) {
            for (const bool rfc5952 : { false, true }) {
                QTest::addRow("%s %s%s", formatName(format), qPrintable(embedding), rfc5952 ? " rfc5952" : "")
                    << format << embedding << rfc5952;
            }
        }
    }
}

void TestExpansion::linesAreTheToolsRows()
{
    QFETCH(StreamFormat, format);
    QFETCH(QString, embedding);
    QFETCH(bool, rfc5952);
    const MapIP::ConversionOptions options(*MapIP::Embedding::parse(embedding),
                                           rfc5952 ? MapIP::TextStyle::Rfc5952 : MapIP::TextStyle::Program);
    // The ends of the space, each of the last two groups zero or not, zero
    // bytes anywhere (they shorten the groups of a spread address), a block.
    std::vector<MapIP::Ipv4Network> networks { { 0, 30 } };
    for (const quint32 address : { 0x00000100u, 0x00010000u, 0x0100FFFFu, 0x01000000u, 0x00FFFF00u,
                                   0x80000080u, 0x0A0000FFu, 0xC6336400u })
        networks.push_back({ address, 32 });
    networks.push_back({ 0xC0000200u, 27 });
    networks.push_back({ 0xFFFFFFFCu, 30 });

    QStringList arguments { u"-f"_s, QString::fromLatin1(formatName(format)), u"-e"_s, embedding };
    if (rfc5952)
        arguments.append(u"--rfc5952"_s);
    QList<QByteArray> addresses;
    for (const MapIP::Ipv4Network& network : networks) {
        for (quint64 i = 0; i < network.size(); ++i) {
            arguments += { u"-a"_s, MapIP::dottedQuad(quint32(network.address + i)) };
            addresses.append(arguments.last().toLatin1());
        }
    }
    const QByteArray tool = toolOutput(arguments);
    QCOMPARE(expand(networks, options, { format, false }), tool);

    // The reverse-DNS column ends every line, its caption the caption line.
    QList<QByteArray> lines = tool.split('\n');
    lines.removeLast();
    QByteArray expected;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        const qsizetype row = i - (format == StreamFormat::Csv);
        const QByteArray name = row < 0
            ? ResultsTable::ReverseDnsCaption.toLatin1()
            : MapIP::RowConversion(QString::fromLatin1(addresses[row]), options).reverseDnsName().toLatin1();
        if (format == StreamFormat::JsonLines) {
            line.chop(1);
            line += ",\"reverse_dns\":\"" + name + "\"}";
        } else if (format == StreamFormat::Csv) {
            line.insert(line.size() - 1, ',' + name);
        } else {
            line += '\t' + name;
        }
        expected += line + '\n';
    }
    QCOMPARE(expand(networks, options, { format, true }), expected);
}

void TestExpansion::rowsInOrderAcrossBlocks_data()
{
    QTest::addColumn<unsigned>("workers");
    QTest::newRow("one worker") << 1u;
    QTest::newRow("two workers") << 2u;
    QTest::newRow("five workers") << 5u;
}

void TestExpansion::rowsInOrderAcrossBlocks()
{
    QFETCH(unsigned, workers);
    // A prefix of many blocks (more than are ever in flight) between rows
    // kept as they are, a range of two prefixes, and rows that only look
    // like a prefix or a range.
    const QStringList rows { u"1.2.3.4"_s,           u"10.0.0.0/14"_s, u"not an address"_s,
                             u"10.8.0.1-10.8.0.4"_s, u"10.0.0.1/8"_s,  u"9.9.9.9-1.1.1.1"_s,
                             u"172.16.0.0/32"_s };
    QStringList expected { u"kept 1.2.3.4"_s };
    for (quint32 address = 0x0A000000; address < 0x0A040000; ++address)
        expected.append(MapIP::dottedQuad(address));
    expected += { u"kept not an address"_s,
                  u"10.8.0.1"_s,
                  u"10.8.0.2"_s,
                  u"10.8.0.3"_s,
                  u"10.8.0.4"_s,
                  u"kept 10.0.0.1/8"_s,
                  u"kept 9.9.9.9-1.1.1.1"_s,
                  u"172.16.0.0"_s };

    Collected collected;
    {
        ExpansionStream stream(
            MapIP::ConversionOptions::defaults(), { StreamFormat::Tsv, false }, collected.sink(),
            [](QStringView row, QByteArray& out) { out = "kept " + row.toLatin1() + "\tx\n"; }, workers);
        for (const QString& row : rows)
            QVERIFY(stream.addRow(row));
        const Outcome outcome = stream.finish();
        QCOMPARE(outcome.status, Outcome::Status::Written);
        QCOMPARE(outcome.rowsWritten, quint64(expected.size()));
        QVERIFY(!stream.addRow(u"1.1.1.1"_s));
    }
    QVERIFY(collected.calls > Expansion::ExpansionStream::BlocksInFlight);
    QStringList originals;
    for (const QByteArray& line : collected.bytes.split('\n'))
        originals.append(QString::fromLatin1(line.left(line.indexOf('\t'))));
    QCOMPARE(originals.takeLast(), QString());
    QCOMPARE(originals, expected);
}

void TestExpansion::failingSinkEndsTheStream_data()
{
    QTest::addColumn<StreamFormat>("format");
    QTest::addColumn<int>("failingCall");
    QTest::addColumn<bool>("stopInstead");
    QTest::newRow("caption line fails") << StreamFormat::Csv << 1 << false;
    QTest::newRow("third block fails") << StreamFormat::Tsv << 3 << false;
    QTest::newRow("stopped at the third block") << StreamFormat::JsonLines << 3 << true;
}

void TestExpansion::failingSinkEndsTheStream()
{
    QFETCH(StreamFormat, format);
    QFETCH(int, failingCall);
    QFETCH(bool, stopInstead);
    std::mutex mutex;
    int calls = 0;
    quint64 linesWritten = 0;
    ExpansionStream* running = nullptr;
    ExpansionStream stream(MapIP::ConversionOptions::defaults(), { format, false },
                           [&](QByteArrayView bytes) {
                               const std::lock_guard lock(mutex);
                               if (++calls == failingCall && !stopInstead)
                                   return u"Cannot write out: No space left on device"_s;
                               // Blocks of rows, not the caption line.
                               if (!bytes.startsWith("Original,"))
                                   linesWritten += quint64(bytes.count('\n'));
                               if (calls == failingCall)
                                   running->stop();
                               return QString();
                           });
    running = &stream;
    // A /8 is far more than the blocks in flight: adding must give up.
    const bool addedAll = stream.addNetwork({ 0x0A000000, 8 });
    const Outcome outcome = stream.finish();
    QVERIFY(!addedAll);
    QCOMPARE(outcome.status, stopInstead ? Outcome::Status::Stopped : Outcome::Status::Failed);
    QCOMPARE(outcome.failure, stopInstead ? QString() : u"Cannot write out: No space left on device"_s);
    QCOMPARE(calls, failingCall);
    QCOMPARE(outcome.rowsWritten, linesWritten);
}

void TestExpansion::descriptorFailureIsDescribed_data()
{
    QTest::addColumn<bool>("closedPipe");
    QTest::newRow("full device") << false;
    QTest::newRow("pipe without a reader") << true;
}

void TestExpansion::descriptorFailureIsDescribed()
{
    QFETCH(bool, closedPipe);
    // A closed pipe is reported, not a signal that ends the program.
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2] = { -1, -1 };
    if (closedPipe) {
        QCOMPARE(::pipe(fds), 0);
        ::close(fds[0]);
    } else {
        fds[1] = ::open("/dev/full", O_WRONLY);
        QVERIFY(fds[1] >= 0);
    }
    ExpansionStream stream(MapIP::ConversionOptions::defaults(), {},
                           Expansion::descriptorSink(fds[1], u"the output"_s));
    stream.addNetwork({ 0, 16 });
    const Outcome outcome = stream.finish();
    ::close(fds[1]);
    QCOMPARE(outcome.status, Outcome::Status::Failed);
    QCOMPARE(outcome.failure,
             closedPipe ? u"Cannot write the output: Broken pipe"_s
                        : u"Cannot write the output: No space left on device"_s);
    QCOMPARE(outcome.rowsWritten, quint64(0));
}

void TestExpansion::rowCount_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<quint64>("rows");
    QTest::newRow("whole space") << u"0.0.0.0/0"_s << (quint64(1) << 32);
    QTest::newRow("prefix") << u"10.0.0.0/8"_s << quint64(16777216);
    QTest::newRow("one-address prefix") << u"10.0.0.1/32"_s << quint64(1);
    QTest::newRow("range of 62 prefixes") << u"0.0.0.1-255.255.255.254"_s << (quint64(1) << 32) - 2;
    QTest::newRow("range of one address") << u"1.2.3.4-1.2.3.4"_s << quint64(1);
    QTest::newRow("address") << u"1.2.3.4"_s << quint64(1);
    QTest::newRow("host bits set") << u"10.0.0.1/8"_s << quint64(1);
    QTest::newRow("backwards range") << u"1.2.3.4-1.2.3.3"_s << quint64(1);
}

void TestExpansion::rowCount()
{
    QFETCH(QString, row);
    QFETCH(quint64, rows);
    QCOMPARE(Expansion::expandedRowCount(row, MapIP::ConversionOptions::defaults()), rows);
}

QTEST_GUILESS_MAIN(TestExpansion)
#include "tst_expansion.moc"
