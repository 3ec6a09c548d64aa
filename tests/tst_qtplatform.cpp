#include "app/DesktopPlatform.h"
#include "app/QtPlatform.h"
#include "export/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

class TestQtPlatform : public QObject
{
    Q_OBJECT

private slots:
    void nameFilters();
    void displayText();
    void clipboardThroughQt();
    void spreadsheetIsLibreOfficeCalc();
};

void TestQtPlatform::nameFilters()
{
    const QList<FileTypeFilter> filters { { u"Lists"_s, { u"*.txt"_s, u"*.lst"_s } },
                                          { u"All Files"_s, { u"*"_s } } };
    QCOMPARE(toQtNameFilters(filters), (QStringList { u"Lists (*.txt *.lst)"_s, u"All Files (*)"_s }));
}

void TestQtPlatform::displayText()
{
    QCOMPARE(toDisplayText(u"a\r\nb\r\rc"_s), u"a\nb\n\nc"_s);
}

void TestQtPlatform::clipboardThroughQt()
{
    const std::unique_ptr<Platform> platform = createDesktopPlatform();
    ClipboardSetText(platform->clipboard(), u"10.0.0.1\t::0A00:0001\r\n"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"10.0.0.1\t::0A00:0001\r\n"_s);
    ClipboardClear(platform->clipboard());
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TestQtPlatform::spreadsheetIsLibreOfficeCalc()
{
    const std::unique_ptr<Platform> platform = createDesktopPlatform();
    const bool onPath = !QStandardPaths::findExecutable(u"soffice"_s).isEmpty()
        || !QStandardPaths::findExecutable(u"libreoffice"_s).isEmpty();
    QCOMPARE(platform->spreadsheet().canStart(), onPath);
}

QTEST_MAIN(TestQtPlatform)
#include "tst_qtplatform.moc"
