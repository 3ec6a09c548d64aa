#include "BuildConfig.h"
#include "shell/ErrorTrap.h"
#include "shell/RunReports.h"

#include "FakePlatform.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestErrorTrap : public QObject
{
    Q_OBJECT

private slots:
    void reportTextLayout();
    void failingStepIsReportedAndLaterStepsRun();
    void standardExceptionsAreReportedToo();
    void reportIsAnApplicationErrorBox();
    void outOfMemoryCanEndTheProcedure();
    void stoppedReportsHoldBackEveryKindOfError();
};

namespace {

// Ends the procedure when memory runs out, as the command-line tool does.
class EndingReporter final : public ErrorReporter
{
public:
    void reportError(const QString& reportText) override { reports.append(reportText); }
    void reportOutOfMemory(const QString& object, const QString& procedure, int line) override
    {
        where = object + u'.' + procedure + u' ' + QString::number(line);
        throw std::bad_alloc();
    }

    QStringList reports;
    QString where;
};

} // namespace

void TestErrorTrap::reportTextLayout()
{
    const QString expected = u"Overflow\r\nin Hexmap2021/08/31.Form1.PushButton5_Click at line 104\r\r"
                             "Please email screenshot of this message to "_s
        + QStringLiteral(QUADRIX_SUPPORT_EMAIL);
    QCOMPARE(errorReportText(u"Overflow"_s, u"Form1"_s, u"PushButton5_Click"_s, 104), expected);
}

void TestErrorTrap::failingStepIsReportedAndLaterStepsRun()
{
    FakePlatform fake;
    ErrorTrap trap(fake.platform->errorReporter(), u"Form2"_s, u"PushButton4_Click"_s);
    QStringList ran;
    QVERIFY(trap(100, [&] { ran << u"100"_s; }));
    QVERIFY(!trap(102, [&] {
        ran << u"102"_s;
        throw AppError(u"File is locked"_s);
    }));
    QVERIFY(trap(104, [&] { ran << u"104"_s; }));
    QVERIFY(!trap(106, [&] { throw AppError(u"Second"_s); }));

    QCOMPARE(ran, (QStringList { u"100"_s, u"102"_s, u"104"_s }));
    QCOMPARE(trap.errorCount(), 2);
    const QStringList reports = fake.messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[0].startsWith(
        u"File is locked\r\nin Hexmap2021/08/31.Form2.PushButton4_Click at line 102\r\r"_s));
    QVERIFY(
        reports[1].startsWith(u"Second\r\nin Hexmap2021/08/31.Form2.PushButton4_Click at line 106\r\r"_s));
}

void TestErrorTrap::standardExceptionsAreReportedToo()
{
    FakePlatform fake;
    ErrorTrap trap(fake.platform->errorReporter(), u"Main"_s, u"SaveListviewProperlySpaced"_s);
    trap(150, [] { throw std::bad_alloc(); });
    trap(152, [] { throw std::runtime_error("disk gone"); });
    const QStringList reports = fake.messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[0].startsWith(
        u"Out of memory\r\nin Hexmap2021/08/31.Main.SaveListviewProperlySpaced at line 150"_s));
    QVERIFY(reports[1].startsWith(u"disk gone\r\n"_s));
}

void TestErrorTrap::reportIsAnApplicationErrorBox()
{
    FakePlatform fake;
    fake.platform->setApplicationTitle(u"Quadrix"_s);
    ErrorTrap trap(fake.platform->errorReporter(), u"Form1"_s, u"Form_Load"_s);
    trap(108, [] { throw AppError(u"x"_s); });
    QCOMPARE(fake.messageBoxes->shown.size(), size_t(1));
    QCOMPARE(fake.messageBoxes->shown[0].title, u"Application Error"_s);
    QCOMPARE(fake.messageBoxes->shown[0].icon, MessageBoxes::Icon::Warning);

    fake.platform->showMessage(u"Done."_s);
    QCOMPARE(fake.messageBoxes->shown[1].title, u"Quadrix"_s);
    QCOMPARE(fake.messageBoxes->shown[1].icon, MessageBoxes::Icon::None);
}

// Memory running out reaches the reporter as such, with its place; a
// reporter that throws ends the procedure there, while other errors still
// let it go on.
void TestErrorTrap::outOfMemoryCanEndTheProcedure()
{
    EndingReporter reporter;
    ErrorTrap trap(reporter, u"Main"_s, u"SaveListviewProperlySpaced"_s);
    QStringList ran;
    const auto procedure = [&] {
        trap(100, [] { throw AppError(u"first"_s); });
        trap(102, [&] {
            ran << u"102"_s;
            throw std::bad_alloc();
        });
        trap(104, [&] { ran << u"104"_s; });
    };
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, procedure());
    QCOMPARE(ran, QStringList { u"102"_s });
    QCOMPARE(reporter.where, u"Main.SaveListviewProperlySpaced 102"_s);
    QCOMPARE(reporter.reports.size(), 1);
    QVERIFY(reporter.reports[0].startsWith(u"first\r\n"_s));
    QCOMPARE(trap.errorCount(), 2);
}

// Once the user stops a run's reports, errors of every kind are counted
// instead of shown, and the statements after them still run.
void TestErrorTrap::stoppedReportsHoldBackEveryKindOfError()
{
    FakePlatform fake;
    fake.messageBoxes->choices = { true };
    RunReports reports(fake.platform->errorReporter());
    ErrorTrap trap(reports, u"Form2"_s, u"PushButton2_Click"_s);
    for (int line = 100; line < 100 + 2 * (RunReports::PlainReports + 1); line += 2)
        trap(line, [] { throw AppError(u"bad row"_s); });
    QCOMPARE(fake.messageBoxes->shown.size(), size_t(RunReports::PlainReports + 1));
    QCOMPARE(reports.heldBack(), 0);

    bool ran = false;
    trap(200, [] { throw AppError(u"held"_s); });
    trap(202, [] { throw std::bad_alloc(); });
    trap(204, [] { throw std::runtime_error("held too"); });
    trap(206, [&] { ran = true; });
    QVERIFY(ran);
    QCOMPARE(reports.heldBack(), 3);
    QCOMPARE(fake.messageBoxes->shown.size(), size_t(RunReports::PlainReports + 1));
    QCOMPARE(trap.errorCount(), RunReports::PlainReports + 4);
}

QTEST_APPLESS_MAIN(TestErrorTrap)
#include "tst_errortrap.moc"
