#include "shell/PathHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPathHelpers : public QObject
{
    Q_OBJECT

private slots:
    void fileNameFromPath_data();
    void fileNameFromPath();
    void fileExists();
    void fixDoubleBackslashes_data();
    void fixDoubleBackslashes();
    void nativeFileName();
};

void TestPathHelpers::fileNameFromPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("full path") << u"C:\\Lists\\servers.txt"_s << u"servers.txt"_s;
    QTest::newRow("bare name") << u"servers.txt"_s << u"servers.txt"_s;
    QTest::newRow("ends in a backslash") << u"C:\\Lists\\"_s << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("slash is no separator") << u"C:/Lists/servers.txt"_s << u"C:/Lists/servers.txt"_s;
    QTest::newRow("colon is no separator") << u"C:servers.txt"_s << u"C:servers.txt"_s;
}

void TestPathHelpers::fileNameFromPath()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(FileNameFromPath(path), name);
}

void TestPathHelpers::fileExists()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(u"list.txt"_s);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.close();

    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath(u"missing.txt"_s)));
    QVERIFY(!FileExists(dir.filePath(u"no-such-folder/list.txt"_s)));
    QVERIFY(!FileExists(u"bad\0name"_s));
    // A file whose folder may not be searched cannot be queried.
    if (QDir().mkdir(dir.filePath(u"closed"_s))) {
        const QString inside = dir.filePath(u"closed/list.txt"_s);
        QFile closed(inside);
        QVERIFY(closed.open(QIODevice::WriteOnly));
        closed.close();
        QFile::setPermissions(dir.filePath(u"closed"_s), QFileDevice::Permissions());
        if (::geteuid() != 0)
            QVERIFY(!FileExists(inside));
        QFile::setPermissions(dir.filePath(u"closed"_s),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

void TestPathHelpers::fixDoubleBackslashes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("mended");
    QTest::newRow("root folder join") << u"C:\\\\a.txt"_s << u"C:\\a.txt"_s;
    QTest::newRow("plain path unchanged") << u"C:\\lists\\a.txt"_s << u"C:\\lists\\a.txt"_s;
    QTest::newRow("network path unchanged") << u"\\\\srv\\share\\a.txt"_s << u"\\\\srv\\share\\a.txt"_s;
    QTest::newRow("three become two") << u"C:\\\\\\a.txt"_s << u"C:\\\\a.txt"_s;
    QTest::newRow("four become two") << u"C:\\\\\\\\a.txt"_s << u"C:\\\\a.txt"_s;
    QTest::newRow("network leading run becomes two") << u"\\\\\\\\srv\\\\a.txt"_s << u"\\\\srv\\a.txt"_s;
    QTest::newRow("single leading backslash") << u"\\srv\\a.txt"_s << u"\\\\srv\\a.txt"_s;
    QTest::newRow("backslashes only") << u"\\\\\\\\\\"_s << u"\\\\"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestPathHelpers::fixDoubleBackslashes()
{
    QFETCH(QString, path);
    QFETCH(QString, mended);
    QCOMPARE(FixDoubleBackslashes(path), mended);
}

void TestPathHelpers::nativeFileName()
{
    QCOMPARE(NativeFileName(u"/home/u/results.txt"_s, PathStyle::Posix), u"results.txt"_s);
    QCOMPARE(NativeFileName(u"results.txt"_s, PathStyle::Posix), u"results.txt"_s);
    QCOMPARE(NativeFileName(u"C:\\out\\results.txt"_s, PathStyle::Windows), u"results.txt"_s);
}

QTEST_APPLESS_MAIN(TestPathHelpers)
#include "tst_pathhelpers.moc"
