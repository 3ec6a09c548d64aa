#include "app/DesktopPlatform.h"
#include "app/QtPlatform.h"
#include "export/Clipboard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

class TestQtPlatform : public QObject
{
    Q_OBJECT

private slots:
    void nameFilters();
    void displayText();
    void messageBoxWithAChoice();
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

// The box with a second button answers true only when that button is
// pressed; Escape, as the close box, answers as OK does.
void TestQtPlatform::messageBoxWithAChoice()
{
    const std::unique_ptr<Platform> platform = createDesktopPlatform();
    const auto answer = [&](const std::function<void(QMessageBox*)>& user) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->text(), u"Overflow\nat line 2"_s);
            user(box);
        });
        return platform->messageBoxes().showWithChoice(u"Overflow\r\nat line 2"_s, u"Application Error"_s,
                                                       MessageBoxes::Icon::Warning, u"Stop"_s);
    };
    const auto press = [](const QString& caption) {
        return [caption](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove(u'&') == caption)
                    button->click();
            }
        };
    };
    QVERIFY(answer(press(u"Stop"_s)));
    QVERIFY(!answer(press(u"OK"_s)));
    QVERIFY(!answer([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }));
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
