#include "BuildConfig.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QString AppId = QStringLiteral(QUADRIX_APP_ID);
const QString SourceDir = QStringLiteral(QUADRIX_SOURCE_DIR);

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return { -1, program + u" did not finish: "_s + process.errorString() };
    return { process.exitCode(), QString::fromLocal8Bit(process.readAll()) };
}

QString gunzipped(const QString& path)
{
    const Run gzip = run(u"gzip"_s, { u"-dc"_s, path });
    return gzip.exitCode == 0 ? gzip.output : QString();
}

// The value of the first line of `text` that starts with `key`.
QString valueAfter(const QString& text, const QString& key)
{
    const qsizetype start = text.indexOf(key);
    return start < 0 ? QString() : text.mid(start + key.size()).section(u'\n', 0, 0).trimmed();
}

// The keys of a .desktop file's [Desktop Entry] group.
QHash<QString, QString> desktopEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QHash<QString, QString> keys;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inEntry = line == u"[Desktop Entry]";
        else if (inEntry && line.contains(u'='))
            keys.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    return keys;
}

} // namespace

// Installs the build into a scratch prefix, as `cmake --install` does for a
// user or the Debian package, and checks it from a desktop's point of view.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void filesWhereTheDesktopLooks_data();
    void filesWhereTheDesktopLooks();
    void iconsHaveTheirFoldersSize();
    void desktopEntryStartsTheInstalledProgram();
    void metainfoDescribesThisRelease();
    void validatorsAccept_data();
    void validatorsAccept();
    void installedToolRuns();
    void compressedAsDebianWants_data();
    void compressedAsDebianWants();
    void manualPagesNameWhatExists();
    void licenceAndReleaseAgreeEverywhere();
    void appIdFromWebHost_data();
    void appIdFromWebHost();

private:
    QString installed(const QString& relative) const { return m_prefix.filePath(relative); }

    QTemporaryDir m_prefix;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    const Run install
        = run(QStringLiteral(QUADRIX_CMAKE_COMMAND),
              { u"--install"_s, QStringLiteral(QUADRIX_BINARY_DIR), u"--prefix"_s, m_prefix.path() });
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
}

void TestInstall::filesWhereTheDesktopLooks_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << u"bin/quadrix"_s << true;
    QTest::newRow("tool") << u"bin/quadrix-batch"_s << true;
    QTest::newRow("menu entry") << u"share/applications/%1.desktop"_s.arg(AppId) << false;
    QTest::newRow("metainfo") << u"share/metainfo/%1.metainfo.xml"_s.arg(AppId) << false;
    QTest::newRow("scalable icon") << u"share/icons/hicolor/scalable/apps/%1.svg"_s.arg(AppId) << false;
    for (const char* size : { "48x48", "128x128", "256x256" }) {
        QTest::newRow(size) << u"share/icons/hicolor/%1/apps/%2.png"_s.arg(QLatin1StringView(size), AppId)
                            << false;
    }
    QTest::newRow("program's manual page") << u"share/man/man1/quadrix.1.gz"_s << false;
    QTest::newRow("tool's manual page") << u"share/man/man1/quadrix-batch.1.gz"_s << false;
    QTest::newRow("copyright") << u"share/doc/quadrix/copyright"_s << false;
    QTest::newRow("changelog") << u"share/doc/quadrix/changelog.gz"_s << false;
}

void TestInstall::filesWhereTheDesktopLooks()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(path));
    QCOMPARE(file.isExecutable(), executable);
}

void TestInstall::iconsHaveTheirFoldersSize()
{
    const QDir hicolor(installed(u"share/icons/hicolor"_s));
    const QStringList folders = hicolor.entryList({ u"*x*"_s }, QDir::Dirs);
    QCOMPARE(folders.size(), 3);
    for (const QString& folder : folders) {
        const int side = folder.section(u'x', 0, 0).toInt();
        QImageReader reader(hicolor.filePath(folder + u"/apps/"_s + AppId + u".png"_s));
        QCOMPARE(reader.size(), QSize(side, side));
    }
}

void TestInstall::desktopEntryStartsTheInstalledProgram()
{
    const QHash<QString, QString> entry
        = desktopEntry(installed(u"share/applications/%1.desktop"_s.arg(AppId)));
    QCOMPARE(entry.value(u"Type"_s), u"Application"_s);
    QCOMPARE(entry.value(u"Icon"_s), AppId);
    const QString program = entry.value(u"Exec"_s).section(u' ', 0, 0);
    QVERIFY2(QFileInfo(installed(u"bin/"_s + program)).isExecutable(), qPrintable(program));
    QVERIFY(!entry.value(u"Name"_s).isEmpty());
    QVERIFY(!entry.value(u"Categories"_s).isEmpty());
}

void TestInstall::metainfoDescribesThisRelease()
{
    QFile file(installed(u"share/metainfo/%1.metainfo.xml"_s.arg(AppId)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList screenshots;
    QStringList binaries;
    QString id, launchable, release, rating;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == u"id")
            id = xml.readElementText();
        else if (name == u"launchable")
            launchable = xml.readElementText();
        else if (name == u"image")
            screenshots.append(xml.readElementText());
        else if (name == u"binary")
            binaries.append(xml.readElementText());
        else if (name == u"release")
            release = xml.attributes().value(u"version"_s).toString();
        else if (name == u"content_rating")
            rating = xml.attributes().value(u"type"_s).toString();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(id, AppId);
    QCOMPARE(launchable, AppId + u".desktop"_s);
    QCOMPARE(release, QStringLiteral(QUADRIX_VERSION));
    QCOMPARE(rating, u"oars-1.1"_s);
    QCOMPARE(binaries, (QStringList { u"quadrix"_s, u"quadrix-batch"_s }));
    QVERIFY(!screenshots.isEmpty());
    for (const QString& url : std::as_const(screenshots)) {
        QVERIFY2(url.startsWith(u"https://" QUADRIX_WEB_HOST "/"_s), qPrintable(url));
        const QString shot = SourceDir + u"/docs/screenshots/"_s + url.section(u'/', -1);
        QVERIFY2(QFileInfo::exists(shot), qPrintable(u"no such screenshot: "_s + shot));
    }
}

void TestInstall::validatorsAccept_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop-file-validate")
        << u"desktop-file-validate"_s << QStringList {} << u"share/applications/%1.desktop"_s.arg(AppId);
    QTest::newRow("appstreamcli") << u"appstreamcli"_s << QStringList { u"validate"_s, u"--no-net"_s }
                                  << u"share/metainfo/%1.metainfo.xml"_s.arg(AppId);
}

void TestInstall::validatorsAccept()
{
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    const QString path = QStandardPaths::findExecutable(validator);
    if (path.isEmpty())
        QSKIP(qPrintable(validator + u" is not installed (packages desktop-file-utils, appstream)"_s));
    const Run check = run(path, arguments << installed(file));
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
    // desktop-file-validate exits 0 with warnings and hints; a clean file has none.
    QVERIFY2(!check.output.contains(u"warning:"_s) && !check.output.contains(u"hint:"_s),
             qPrintable(check.output));
}

void TestInstall::installedToolRuns()
{
    const Run version = run(installed(u"bin/quadrix-batch"_s), { u"--version"_s });
    QCOMPARE(version.exitCode, 0);
    QVERIFY2(version.output.contains(QStringLiteral(QUADRIX_VERSION)), qPrintable(version.output));
}

void TestInstall::compressedAsDebianWants_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("source");
    QTest::newRow("quadrix.1") << u"share/man/man1/quadrix.1.gz"_s << u"docs/quadrix.1"_s;
    QTest::newRow("quadrix-batch.1") << u"share/man/man1/quadrix-batch.1.gz"_s << u"docs/quadrix-batch.1"_s;
    QTest::newRow("changelog") << u"share/doc/quadrix/changelog.gz"_s << QString();
}

// gzip -9n: the best compression, and no file name or time stamp in the
// header, so the same sources make the same package.
void TestInstall::compressedAsDebianWants()
{
    QFETCH(QString, path);
    QFETCH(QString, source);
    QFile file(installed(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(10);
    QCOMPARE(header.size(), 10);
    QCOMPARE(header.first(3), QByteArray("\x1f\x8b\x08"));
    const bool named = header[3] & 0x08;
    QVERIFY2(!named, "the original file name is stored");
    QCOMPARE(header.mid(4, 4), QByteArray(4, '\0'));
    QCOMPARE(int(header[8]), 2);
    if (!source.isEmpty()) {
        QFile page(SourceDir + u'/' + source);
        QVERIFY(page.open(QIODevice::ReadOnly));
        QCOMPARE(gunzipped(installed(path)), QString::fromUtf8(page.readAll()));
    }
}

// Every page a SEE ALSO section names is installed, and the program's page
// documents the options its --help lists.
void TestInstall::manualPagesNameWhatExists()
{
    const QDir pages(installed(u"share/man/man1"_s));
    static const QRegularExpression reference(u"^\\.BR ([a-z\\\\-]+) \\(1\\)"_s,
                                              QRegularExpression::MultilineOption);
    for (const QString& name : pages.entryList({ u"*.1.gz"_s })) {
        const QString page = gunzipped(pages.filePath(name));
        const QString seeAlso = page.section(u".SH SEE ALSO"_s, 1);
        QVERIFY2(!seeAlso.isEmpty(), qPrintable(name));
        for (const QRegularExpressionMatch& match : reference.globalMatch(seeAlso)) {
            const QString named = match.captured(1).replace(u"\\-"_s, u"-"_s) + u".1.gz"_s;
            QVERIFY2(pages.exists(named), qPrintable(name + u" names "_s + named));
        }
    }

    const Run help = run(installed(u"bin/quadrix"_s), { u"--help"_s });
    QCOMPARE(help.exitCode, 0);
    const QString page = gunzipped(pages.filePath(u"quadrix.1.gz"_s)).replace(u"\\-"_s, u"-"_s);
    static const QRegularExpression option(u"--[a-z-]+"_s);
    for (const QRegularExpressionMatch& match : option.globalMatch(help.output))
        QVERIFY2(page.contains(match.captured()), qPrintable(match.captured()));
}

// The package's copyright file is machine-readable and gives the program
// the licence the metainfo gives; the changelog's latest entry is the
// release the metainfo describes.
void TestInstall::licenceAndReleaseAgreeEverywhere()
{
    QFile metainfo(installed(u"share/metainfo/%1.metainfo.xml"_s.arg(AppId)));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&metainfo);
    QString licence, date;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"project_license")
            licence = xml.readElementText();
        else if (xml.name() == u"release")
            date = xml.attributes().value(u"date"_s).toString();
    }
    QVERIFY(!licence.isEmpty() && !date.isEmpty());

    QFile copyright(installed(u"share/doc/quadrix/copyright"_s));
    QVERIFY(copyright.open(QIODevice::ReadOnly));
    const QString notice = QString::fromUtf8(copyright.readAll());
    QVERIFY(
        notice.startsWith(u"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"_s));
    QCOMPARE(valueAfter(notice.section(u"\nFiles: *\n"_s, 1), u"License:"_s), licence);
    QVERIFY2(notice.contains(u"\n\nLicense: "_s + licence + u"\n "_s), "the licence has no text of its own");

    const QString changelog = gunzipped(installed(u"share/doc/quadrix/changelog.gz"_s));
    QVERIFY2(changelog.startsWith(u"quadrix (" QUADRIX_VERSION ") "_s), qPrintable(changelog));
    const QString signed_ = valueAfter(changelog, u"\n -- "_s).section(u"  "_s, 1);
    QCOMPARE(QDateTime::fromString(signed_, Qt::RFC2822Date).date(), QDate::fromString(date, Qt::ISODate));
}

void TestInstall::appIdFromWebHost_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("id");
    QTest::newRow("three labels") << u"quadrix.example.org"_s << u"org.example.quadrix"_s;
    QTest::newRow("upper case") << u"Tools.Example.COM"_s << u"com.example.tools"_s;
    QTest::newRow("hyphen and digit") << u"my-host.3com.co.uk"_s << u"uk.co._3com.my_host"_s;
    QTest::newRow("one label") << u"localhost"_s << QString();
    QTest::newRow("empty label") << u"quadrix..org"_s << QString();
    QTest::newRow("port") << u"quadrix.example.org:8080"_s << QString();
    QTest::newRow("path") << u"example.org/quadrix"_s << QString();
}

void TestInstall::appIdFromWebHost()
{
    QFETCH(QString, host);
    QFETCH(QString, id);
    const Run script = run(QStringLiteral(QUADRIX_CMAKE_COMMAND),
                           { u"-DHOST="_s + host, u"-P"_s, SourceDir + u"/cmake/QuadrixAppId.cmake"_s });
    if (id.isEmpty()) {
        QVERIFY2(script.exitCode != 0, qPrintable(script.output));
        QVERIFY2(script.output.contains(u"is not a host name"_s), qPrintable(script.output));
    } else {
        QCOMPARE(script.exitCode, 0);
        QCOMPARE(script.output.trimmed(), id);
    }
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
