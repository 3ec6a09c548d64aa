#include "export/Clipboard.h"

#include "FakePlatform.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestClipboard : public QObject
{
    Q_OBJECT

private slots:
    void retriesWhileAnotherProgramHoldsIt();
    void givesUpSilentlyAfterAThousandAttempts();
    void raisingAttemptsCountAsFailures();
};

void TestClipboard::retriesWhileAnotherProgramHoldsIt()
{
    FakeClipboard clipboard;
    clipboard.busyAttempts = 999;
    ClipboardSetText(clipboard, u"text"_s);
    QCOMPARE(clipboard.setAttempts, 1000);
    QVERIFY(clipboard.hasText);
    QCOMPARE(clipboard.text, u"text"_s);

    clipboard.busyAttempts = 3;
    ClipboardClear(clipboard);
    QCOMPARE(clipboard.clearAttempts, 4);
    QVERIFY(!clipboard.hasText);
}

void TestClipboard::givesUpSilentlyAfterAThousandAttempts()
{
    FakeClipboard clipboard;
    clipboard.text = u"old"_s;
    clipboard.busyAttempts = 5000;
    ClipboardSetText(clipboard, u"new"_s);
    QCOMPARE(clipboard.setAttempts, 1000);
    QCOMPARE(clipboard.text, u"old"_s);
}

namespace {

class ThrowingClipboard final : public ClipboardAccess
{
public:
    bool tryClear() override
    {
        ++attempts;
        throw std::runtime_error("held");
    }
    bool trySetText(const QString&) override
    {
        ++attempts;
        if (attempts < 10)
            throw std::runtime_error("held");
        return true;
    }
    int attempts = 0;
};

} // namespace

void TestClipboard::raisingAttemptsCountAsFailures()
{
    ThrowingClipboard clipboard;
    ClipboardClear(clipboard);
    QCOMPARE(clipboard.attempts, 1000);
    clipboard.attempts = 0;
    ClipboardSetText(clipboard, u"x"_s);
    QCOMPARE(clipboard.attempts, 10);
}

QTEST_APPLESS_MAIN(TestClipboard)
#include "tst_clipboard.moc"
