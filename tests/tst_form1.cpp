#include "BuildConfig.h"
#include "conversion/Embedding.h"
#include "single_window/Form1.h"

#include "FakePlatform.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString SampleFull = u"0000:0000:0000:0000:0000:0000:AC10:FE01"_s;
const QString SampleShorthand = u"::AC10:FE01"_s;
const QString SampleDotFull = u"0000:0000:0000:0000:0000:0000:172.16.254.1"_s;
const QString SampleDotShorthand = u"::172.16.254.1"_s;

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUp();
    void homePageOnOneDrawInAHundred_data();
    void homePageOnOneDrawInAHundred();
    void failingStartUpStepIsReportedAndStartUpGoesOn();
    void sampleThenConvert();
    void initialZerosConvert();
    void validationMessages_data();
    void validationMessages();
    void leadingZeroConvertsAsItsValue();
    void negativeOctetReportsFormsOneAndTwo();
    void fractionSplitsTheAddress();
    void secondPressWhileBusyDoesNothing();
    void typingRunsThroughTheBoxes();
    void arrowKeys();
    void focusSelectsTheWholeOctet();
    void copySummaryAfterConversion();
    void copySummaryBeforeConversionAndAfterEditing();
    void copyWaitsForABusyClipboard();
    void embeddingAndStyleRewriteTheConvertedAddress();
    void embeddingChangeBeforeAnyConversionConvertsNothing();
    void refusedPrefixKeepsThePreviousChoice();
    void styleThatRefusesTheAddressEmptiesItsBoxes();
    void addressLine_data();
    void addressLine();
    void addressLineFollowsTheEmbedding();
    void helpOpensTheHelpPage();
    void closingEndsTheProgram();

private:
    QLineEdit* box(const char* name) const
    {
        return m_window->findChild<QLineEdit*>(QLatin1StringView(name));
    }
    QPushButton* button(const char* name) const
    {
        return m_window->findChild<QPushButton*>(QLatin1StringView(name));
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void setOctets(const QStringList& octets);
    QStringList results() const;
    void showActive();
    QComboBox* embeddingBox() const { return m_window->findChild<QComboBox*>(u"EmbeddingBox"_s); }
    QCheckBox* rfc5952Box() const { return m_window->findChild<QCheckBox*>(u"Rfc5952Box"_s); }
    // Picks entry `index` of the drop-down as a user does, from the keyboard.
    void chooseEmbedding(int index);
    // Chooses a typed prefix through "Other /96 prefix...".
    void chooseTypedPrefix(const QString& prefix)
    {
        m_fake->inputBoxes->answers = { prefix };
        embeddingBox()->setFocus();
        QTest::keyClick(embeddingBox(), Qt::Key_End);
    }
    QStringList octets() const
    {
        return { m_window->Text1(1)->text(), m_window->Text1(2)->text(), m_window->Text1(3)->text(),
                 m_window->Text1(4)->text() };
    }
    // Clicks the check box on its square.
    void toggleRfc5952()
    {
        QTest::mouseClick(rfc5952Box(), Qt::LeftButton, {}, QPoint(8, rfc5952Box()->height() / 2));
    }

    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<Form1> m_window;
};

void TestForm1::init()
{
    m_fake = std::make_unique<FakePlatform>();
    m_window = std::make_unique<Form1>(*m_fake->platform);
}

void TestForm1::cleanup()
{
    m_window.reset();
    m_fake.reset();
}

void TestForm1::setOctets(const QStringList& octets)
{
    for (int i = 0; i < 4; ++i)
        m_window->Text1(i + 1)->setText(octets[i]);
}

QStringList TestForm1::results() const
{
    return { box("Text2")->text(), box("Text3")->text(), box("Text4")->text(), box("Text5")->text() };
}

void TestForm1::showActive()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestForm1::startUp()
{
    QCOMPARE(m_window->windowTitle(), u"Quadrix Software"_s);
    QCOMPARE(m_fake->platform->applicationTitle(), u"Quadrix"_s);
    QVERIFY(!m_window->windowIcon().isNull());
    // The designed window, one row for the embedding and three for the address line.
    QCOMPARE(m_window->size(), QSize(536, 600));
    for (int i = 1; i <= 4; ++i) {
        QCOMPARE(m_window->Text1(i)->text(), u"0"_s);
        QCOMPARE(m_window->Text1(i)->maxLength(), 3);
        QCOMPARE(m_window->Text1(i)->toolTip(),
                 u"Enter Your Server IP Address Located at the Lower Right of Tallyclock"_s);
    }
    QCOMPARE(results(), QStringList(4, QString()));
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QCOMPARE(m_fake->random->seeds, 1);
    QVERIFY(m_fake->webBrowser->opened.empty());
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));

    // From top to bottom: Help, sample, batch, the octets, Start Converting, results.
    const QStringList order { u"PushButton4"_s, u"PushButton5"_s, u"PushButton1"_s, u"Frame1"_s,
                              u"PushButton2"_s, u"Frame2"_s,      u"EmbeddingBox"_s };
    int lastTop = -1;
    for (const QString& name : order) {
        const QWidget* widget = m_window->findChild<QWidget*>(name);
        QVERIFY2(widget && widget->y() > lastTop, qPrintable(name));
        lastTop = widget->y();
    }
    QCOMPARE(button("PushButton1")->text(), u"Convert Multiple Addresses At Once"_s);
    QCOMPARE(m_window->findChild<QLabel*>(u"Label3"_s)->text(), u"IPv6 & Dot Notation Full Address"_s);
}

void TestForm1::homePageOnOneDrawInAHundred_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<bool>("opens");
    QTest::newRow("draw 7") << 0.06 << true;
    QTest::newRow("just below draw 8") << 0.0699 << true;
    QTest::newRow("draw 8") << 0.07 << false;
    QTest::newRow("draw 6") << 0.0599 << false;
    QTest::newRow("draw 1") << 0.0 << false;
}

void TestForm1::homePageOnOneDrawInAHundred()
{
    QFETCH(double, fraction);
    QFETCH(bool, opens);
    FakePlatform fake;
    fake.random->fractions = { fraction };
    Form1 window(*fake.platform);
    QCOMPARE(fake.webBrowser->opened.size(), size_t(opens ? 1 : 0));
    if (opens) {
        QCOMPARE(fake.webBrowser->opened[0].url, QUrl(QStringLiteral(QUADRIX_HOME_ADDRESS)));
        QCOMPARE(fake.webBrowser->opened[0].mode, WebBrowser::WindowMode::MinimisedWithFocus);
    }
    QCOMPARE(window.windowTitle(), u"Quadrix Software"_s);
}

void TestForm1::failingStartUpStepIsReportedAndStartUpGoesOn()
{
    FakePlatform fake;
    fake.random->fractions = { 0.06 };
    fake.webBrowser->failWith = u"No browser"_s;
    Form1 window(*fake.platform);
    const QStringList reports = fake.messageBoxes->errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith(u"No browser\r\nin Hexmap2021/08/31.Form1.Form_Load at line 108\r\r"_s));
    QCOMPARE(window.windowTitle(), u"Quadrix Software"_s);
    QCOMPARE(fake.platform->applicationTitle(), u"Quadrix"_s);
}

void TestForm1::sampleThenConvert()
{
    showActive();
    m_window->Text1(3)->setFocus();
    button("PushButton5")->click();
    QCOMPARE(m_window->Text1(1)->text(), u"172"_s);
    QCOMPARE(m_window->Text1(2)->text(), u"16"_s);
    QCOMPARE(m_window->Text1(3)->text(), u"254"_s);
    QCOMPARE(m_window->Text1(4)->text(), u"1"_s);
    // Loading the sample converts nothing and says nothing.
    QCOMPARE(results(), QStringList(4, QString()));
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(3));

    click("PushButton2");
    QCOMPARE(results(), (QStringList { SampleFull, SampleShorthand, SampleDotFull, SampleDotShorthand }));
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm1::initialZerosConvert()
{
    click("PushButton2");
    QCOMPARE(results(),
             (QStringList { u"0000:0000:0000:0000:0000:0000:0000:0000"_s, u"::0000:0000"_s,
                            u"0000:0000:0000:0000:0000:0000:0.0.0.0"_s, u"::0.0.0.0"_s }));
}

void TestForm1::validationMessages_data()
{
    QTest::addColumn<QStringList>("octets");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty box") << QStringList { u"1"_s, QString(), u"3"_s, u"4"_s }
                               << u"Numbers must be entered."_s;
    QTest::newRow("letters") << QStringList { u"1"_s, u"2"_s, u"a"_s, u"4"_s }
                             << u"Numbers must be entered."_s;
    QTest::newRow("256") << QStringList { u"1"_s, u"2"_s, u"3"_s, u"256"_s }
                         << u"Numbers must be 255 or less."_s;
    QTest::newRow("999 first") << QStringList { u"999"_s, u"2"_s, u"3"_s, u"4"_s }
                               << u"Numbers must be 255 or less."_s;
    QTest::newRow("text wins over range")
        << QStringList { u"300"_s, u"x"_s, u"3"_s, u"4"_s } << u"Numbers must be entered."_s;
}

void TestForm1::validationMessages()
{
    QFETCH(QStringList, octets);
    QFETCH(QString, message);
    setOctets({ u"172"_s, u"16"_s, u"254"_s, u"1"_s });
    click("PushButton2");
    setOctets(octets);
    click("PushButton2");
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { message });
    QCOMPARE(m_fake->messageBoxes->shown[0].title, u"Quadrix"_s);
    QCOMPARE(m_fake->messageBoxes->shown[0].icon, MessageBoxes::Icon::None);
    // The results of the last good conversion stay.
    QCOMPARE(results(), (QStringList { SampleFull, SampleShorthand, SampleDotFull, SampleDotShorthand }));
    // The guard was released: a good address converts again.
    setOctets({ u"255"_s, u"255"_s, u"255"_s, u"255"_s });
    click("PushButton2");
    QCOMPARE(box("Text3")->text(), u"::FFFF:FFFF"_s);
}

void TestForm1::leadingZeroConvertsAsItsValue()
{
    setOctets({ u"010"_s, u"0"_s, u"0"_s, u"1"_s });
    click("PushButton2");
    QCOMPARE(results(),
             (QStringList { u"0000:0000:0000:0000:0000:0000:0A00:0001"_s, u"::0A00:0001"_s,
                            u"0000:0000:0000:0000:0000:0000:010.0.0.1"_s, u"::010.0.0.1"_s }));
}

void TestForm1::negativeOctetReportsFormsOneAndTwo()
{
    click("PushButton5");
    click("PushButton2");
    setOctets({ u"-1"_s, u"0"_s, u"0"_s, u"0"_s });
    click("PushButton2");
    const QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[0].contains(u"\r\nin Hexmap2021/08/31.Form1.PushButton2_Click at line 110\r\r"_s));
    QVERIFY(reports[1].contains(u"\r\nin Hexmap2021/08/31.Form1.PushButton2_Click at line 116\r\r"_s));
    QVERIFY(reports[0].startsWith(u"Overflow: the address part \"-1\" is outside 0 to 255"_s));
    QCOMPARE(results(),
             (QStringList { SampleFull, SampleShorthand, u"0000:0000:0000:0000:0000:0000:-1.0.0.0"_s,
                            u"::-1.0.0.0"_s }));
}

void TestForm1::fractionSplitsTheAddress()
{
    setOctets({ u"2.5"_s, u"0"_s, u"0"_s, u"0"_s });
    click("PushButton2");
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QCOMPARE(box("Text2")->text(), u"0000:0000:0000:0000:0000:0000:0205:0000"_s);
    QCOMPARE(box("Text5")->text(), u"::2.5.0.0.0"_s);
}

void TestForm1::secondPressWhileBusyDoesNothing()
{
    setOctets({ QString(), u"0"_s, u"0"_s, u"0"_s });
    int nested = 0;
    m_fake->messageBoxes->whileOpen = [&](const FakeMessageBoxes::Shown&) {
        // The user presses again while the first message is still up.
        if (nested++ == 0)
            click("PushButton2");
    };
    click("PushButton2");
    QCOMPARE(m_fake->messageBoxes->shown.size(), size_t(1));
    m_fake->messageBoxes->whileOpen = nullptr;
    click("PushButton2");
    QCOMPARE(m_fake->messageBoxes->shown.size(), size_t(2));
}

void TestForm1::typingRunsThroughTheBoxes()
{
    showActive();
    m_window->Text1(1)->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), u"192"_s);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(2));
    // The next box's text is selected, so typing replaces its "0".
    QCOMPARE(m_window->Text1(2)->selectedText(), u"0"_s);
    QTest::keyClicks(QApplication::focusWidget(), u"168"_s);
    QTest::keyClicks(QApplication::focusWidget(), u"100"_s);
    QTest::keyClicks(QApplication::focusWidget(), u"200"_s);
    QCOMPARE(QApplication::focusWidget(), button("PushButton2"));
    QCOMPARE(m_window->Text1(1)->text(), u"192"_s);
    QCOMPARE(m_window->Text1(4)->text(), u"200"_s);

    m_window->Text1(1)->setFocus();
    QTest::keyClicks(m_window->Text1(1), u"1"_s);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(1));
}

void TestForm1::arrowKeys()
{
    showActive();
    setOctets({ u"1"_s, u"123"_s, u"1"_s, u"1"_s });

    m_window->Text1(1)->setFocus();
    QTest::keyClick(m_window->Text1(1), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(1));
    QTest::keyClick(m_window->Text1(1), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(2));

    // Left in a full box 2 goes back, then the length rule sends the focus on to box 3.
    QTest::keyClick(m_window->Text1(2), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(3));
    QTest::keyClick(m_window->Text1(3), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(2));
    // Any key released in a full box passes the focus on, a Home key included.
    QTest::keyClick(m_window->Text1(2), Qt::Key_Home);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(3));

    m_window->Text1(4)->setFocus();
    QTest::keyClick(m_window->Text1(4), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(4));
    m_window->Text1(4)->setText(u"100"_s);
    QTest::keyClick(m_window->Text1(4), Qt::Key_Shift);
    QCOMPARE(QApplication::focusWidget(), button("PushButton2"));
}

void TestForm1::focusSelectsTheWholeOctet()
{
    showActive();
    setOctets({ u"12"_s, u"0"_s, u"0"_s, u"0"_s });
    m_window->Text1(2)->setFocus();
    m_window->Text1(1)->setFocus();
    QCOMPARE(m_window->Text1(1)->selectedText(), u"12"_s);
    QTest::keyClicks(m_window->Text1(1), u"9"_s);
    QCOMPARE(m_window->Text1(1)->text(), u"9"_s);

    // A click into a box selects its whole text too.
    QTest::mouseClick(m_window->Text1(3), Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE(m_window->Text1(3)->selectedText(), u"0"_s);
}

void TestForm1::copySummaryAfterConversion()
{
    click("PushButton5");
    click("PushButton2");
    click("PushButton3");
    const QString expected
        = u"IPv4 Address: 172.16.254.1\r\n"
          "IPv6 Full Address: 0000:0000:0000:0000:0000:0000:AC10:FE01\r\n"
          "IPv6 Shorthand Address: ::AC10:FE01\r\n"
          "IPv6 & Dot Notation Full Address: 0000:0000:0000:0000:0000:0000:172.16.254.1\r\n"
          "IPv6 & Dot Notation Shorthand Address: ::172.16.254.1"_s;
    QCOMPARE(m_fake->clipboard->text, expected);
    QCOMPARE(expected.count(u"\r\n"_s), 4);
    QCOMPARE(m_fake->clipboard->clearAttempts, 1);
    QCOMPARE(m_fake->messageBoxes->texts(),
             QStringList {
                 u"Results have been copied to the clipboard.\r\rClick a text area where you normally type "
                 "and press Ctrl+V to paste the clipboard."_s });
    QCOMPARE(m_fake->messageBoxes->shown[0].title, u"Quadrix"_s);
}

void TestForm1::copySummaryBeforeConversionAndAfterEditing()
{
    click("PushButton3");
    QCOMPARE(m_fake->clipboard->text,
             u"IPv4 Address: 0.0.0.0\r\nIPv6 Full Address: \r\nIPv6 Shorthand Address: \r\n"
             "IPv6 & Dot Notation Full Address: \r\n"
             "IPv6 & Dot Notation Shorthand Address: "_s);

    click("PushButton2");
    m_window->Text1(4)->setText(u"9"_s);
    click("PushButton3");
    QVERIFY(m_fake->clipboard->text.startsWith(
        u"IPv4 Address: 0.0.0.9\r\n"
        "IPv6 Full Address: 0000:0000:0000:0000:0000:0000:0000:0000\r\n"_s));
}

void TestForm1::copyWaitsForABusyClipboard()
{
    m_fake->clipboard->busyAttempts = 1500; // clear gives up, set gets through
    click("PushButton3");
    QCOMPARE(m_fake->clipboard->clearAttempts, 1000);
    QCOMPARE(m_fake->clipboard->setAttempts, 501);
    QVERIFY(m_fake->clipboard->text.startsWith(u"IPv4 Address: 0.0.0.0"_s));
    // The confirmation is shown in any case, and no error.
    QCOMPARE(m_fake->messageBoxes->shown.size(), size_t(1));
    QVERIFY(m_fake->messageBoxes->errorReports().isEmpty());
}

void TestForm1::chooseEmbedding(int index)
{
    QComboBox* combo = embeddingBox();
    QVERIFY(combo);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

// The boxes and the copied summary follow the embedding and the style at once,
// for the address converted last, even while the octets have been edited since.
void TestForm1::embeddingAndStyleRewriteTheConvertedAddress()
{
    showActive();
    click("PushButton5");
    click("PushButton2");
    QCOMPARE(embeddingBox()->currentText(), u"compatible"_s);
    QCOMPARE(embeddingBox()->accessibleName(), u"Embedding"_s);
    QCOMPARE(rfc5952Box()->accessibleName(), u"RFC 5952 text"_s);

    chooseEmbedding(1);
    QCOMPARE(embeddingBox()->currentText(), u"mapped"_s);
    QCOMPARE(results(),
             (QStringList { u"0000:0000:0000:0000:0000:FFFF:AC10:FE01"_s, u"::FFFF:AC10:FE01"_s,
                            u"0000:0000:0000:0000:0000:FFFF:172.16.254.1"_s, u"::FFFF:172.16.254.1"_s }));

    toggleRfc5952();
    QVERIFY(rfc5952Box()->isChecked());
    QCOMPARE(results(),
             (QStringList { u"0000:0000:0000:0000:0000:ffff:ac10:fe01"_s, u"::ffff:ac10:fe01"_s,
                            u"0000:0000:0000:0000:0000:ffff:172.16.254.1"_s, u"::ffff:172.16.254.1"_s }));

    chooseEmbedding(2);
    const QStringList nat64 { u"0064:ff9b:0000:0000:0000:0000:ac10:fe01"_s, u"64:ff9b::ac10:fe01"_s,
                              u"0064:ff9b:0000:0000:0000:0000:172.16.254.1"_s, u"64:ff9b::172.16.254.1"_s };
    QCOMPARE(results(), nat64);

    m_window->Text1(4)->setText(u"9"_s);
    click("PushButton3");
    QCOMPARE(m_fake->clipboard->text,
             u"IPv4 Address: 172.16.254.9\r\n"
             "IPv6 Full Address: "_s
                 + nat64[0]
                 + u"\r\n"
                   "IPv6 Shorthand Address: "_s
                 + nat64[1]
                 + u"\r\n"
                   "IPv6 & Dot Notation Full Address: "_s
                 + nat64[2]
                 + u"\r\n"
                   "IPv6 & Dot Notation Shorthand Address: "_s
                 + nat64[3]);

    // Back to the defaults gives today's forms again, and Start Converting
    // takes the octets now typed.
    toggleRfc5952();
    chooseEmbedding(0);
    QCOMPARE(results(), (QStringList { SampleFull, SampleShorthand, SampleDotFull, SampleDotShorthand }));
    click("PushButton2");
    QCOMPARE(box("Text3")->text(), u"::AC10:FE09"_s);
    // No message came up on the way: only the copy's confirmation.
    QCOMPARE(m_fake->messageBoxes->shown.size(), size_t(1));
}

void TestForm1::embeddingChangeBeforeAnyConversionConvertsNothing()
{
    showActive();
    click("PushButton5");
    chooseEmbedding(2);
    toggleRfc5952();
    QCOMPARE(results(), QStringList(4, QString()));
    QVERIFY(m_fake->messageBoxes->shown.empty());
    // The choice holds for the next conversion.
    click("PushButton2");
    QCOMPARE(box("Text3")->text(), u"64:ff9b::ac10:fe01"_s);
}

void TestForm1::refusedPrefixKeepsThePreviousChoice()
{
    showActive();
    click("PushButton5");
    click("PushButton2");
    chooseEmbedding(1);
    const QStringList mapped = results();
    QCOMPARE(mapped[1], u"::FFFF:AC10:FE01"_s);

    // A prefix with bits past the 96th is refused; the choice and the boxes stay.
    m_fake->inputBoxes->answers = { u"2001:db8::1/96"_s };
    QTest::keyClick(embeddingBox(), Qt::Key_End);
    QCOMPARE(m_fake->inputBoxes->asked.size(), size_t(1));
    QCOMPARE(m_fake->inputBoxes->asked[0].prompt, u"Enter the /96 prefix to embed IPv4 addresses in:"_s);
    QCOMPARE(m_fake->inputBoxes->asked[0].title, u"Quadrix"_s);
    QCOMPARE(m_fake->messageBoxes->texts(),
             QStringList { u"The prefix \"2001:db8::1/96\" has bits set past the 96th: its last two "
                           "groups must be zero"_s });
    QCOMPARE(embeddingBox()->currentText(), u"mapped"_s);
    QCOMPARE(results(), mapped);

    // A good prefix becomes an entry of its own and is written at once.
    m_fake->inputBoxes->answers = { u"2001:DB8:64::/96"_s };
    QTest::keyClick(embeddingBox(), Qt::Key_End);
    QCOMPARE(embeddingBox()->currentText(), u"2001:db8:64::/96"_s);
    QCOMPARE(
        results(),
        (QStringList { u"2001:0DB8:0064:0000:0000:0000:AC10:FE01"_s, u"2001:0DB8:0064::AC10:FE01"_s,
                       u"2001:0DB8:0064:0000:0000:0000:172.16.254.1"_s, u"2001:0DB8:0064::172.16.254.1"_s }));
    QCOMPARE(m_fake->messageBoxes->shown.size(), size_t(1));
}

// RFC 5952 text refuses an address that is not four octets; the boxes then
// show nothing of the previous choice and each form is reported.
void TestForm1::styleThatRefusesTheAddressEmptiesItsBoxes()
{
    showActive();
    setOctets({ u"2.5"_s, u"0"_s, u"0"_s, u"0"_s });
    click("PushButton2");
    QCOMPARE(box("Text5")->text(), u"::2.5.0.0.0"_s);

    toggleRfc5952();
    QCOMPARE(results(), QStringList(4, QString()));
    const QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 4);
    QVERIFY(reports[0].contains(u"Form1.Embedding_Change at line 110\r\r"_s));
    QVERIFY(reports[3].contains(u"Form1.Embedding_Change at line 120\r\r"_s));

    // The program's text has the forms again.
    toggleRfc5952();
    QCOMPARE(box("Text5")->text(), u"::2.5.0.0.0"_s);
    QCOMPARE(m_fake->messageBoxes->errorReports().size(), 4);
}

void TestForm1::addressLine_data()
{
    QTest::addColumn<QString>("embedding"); // a named block, a typed prefix, or empty for the default
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("pasted"); // typed key by key otherwise
    QTest::addColumn<QStringList>("octets");
    QTest::addColumn<QStringList>("forms");
    QTest::addColumn<QString>("note");

    const QStringList untouchedOctets(4, u"0"_s);
    const QStringList noForms(4, QString());
    QTest::newRow("IPv4 address fills the octets")
        << QString() << u"172.16.254.1"_s << false << QStringList { u"172"_s, u"16"_s, u"254"_s, u"1"_s }
        << QStringList { SampleFull, SampleShorthand, SampleDotFull, SampleDotShorthand } << QString();
    QTest::newRow("pasted with blanks and leading zeros")
        << QString() << u" 010.0.0.1 "_s << true << QStringList { u"10"_s, u"0"_s, u"0"_s, u"1"_s }
        << QStringList { u"0000:0000:0000:0000:0000:0000:0A00:0001"_s, u"::0A00:0001"_s,
                         u"0000:0000:0000:0000:0000:0000:10.0.0.1"_s, u"::10.0.0.1"_s }
        << QString();
    QTest::newRow("IPv4 prefix") << u"mapped"_s << u"10.0.0.0/8"_s << false
                                 << QStringList { u"10"_s, u"0"_s, u"0"_s, u"0"_s }
                                 << QStringList { u"0000:0000:0000:0000:0000:FFFF:0A00:0000/104"_s,
                                                  u"::FFFF:0A00:0000/104"_s,
                                                  u"0000:0000:0000:0000:0000:FFFF:10.0.0.0/104"_s,
                                                  u"::FFFF:10.0.0.0/104"_s }
                                 << QString();
    QTest::newRow("range of one prefix")
        << QString() << u"192.0.2.0-192.0.2.255"_s << true << QStringList { u"192"_s, u"0"_s, u"2"_s, u"0"_s }
        << QStringList { u"0000:0000:0000:0000:0000:0000:C000:0200/120"_s, u"::C000:0200/120"_s,
                         u"0000:0000:0000:0000:0000:0000:192.0.2.0/120"_s, u"::192.0.2.0/120"_s }
        << u"The range 192.0.2.0-192.0.2.255 is the prefix 192.0.2.0/24"_s;
    QTest::newRow("range of many prefixes")
        << QString() << u"0.0.0.1-255.255.255.254"_s << true << untouchedOctets << noForms
        << u"The range \"0.0.0.1-255.255.255.254\" holds 62 prefixes; the batch window lists them one by one"_s;
    QTest::newRow("host bits set") << QString() << u"10.0.0.1/8"_s << true << untouchedOctets << noForms
                                   << u"Not a network: \"10.0.0.1/8\" has bits set past its length; did you "
                                      "mean 10.0.0.0/8?"_s;
    QTest::newRow("half typed") << QString() << u"192.168."_s << false << untouchedOctets << noForms
                                << u"Not an address: \"192.168.\" is neither four numbers from 0 to 255 "
                                   "joined by \".\" (a.b.c.d, a prefix a.b.c.d/n or a range a.b.c.d-e.f.g.h) "
                                   "nor IPv6 text"_s;
    QTest::newRow("below /96 the dot forms are missing")
        << u"2001:db8:122::/48"_s << u"192.0.2.33"_s << false
        << QStringList { u"192"_s, u"0"_s, u"2"_s, u"33"_s }
        << QStringList { u"2001:0DB8:0122:C000:0002:2100:0000:0000"_s, u"2001:0DB8:0122:C000:0002:2100::"_s,
                         QString(), QString() }
        << u"Note: behind a prefix shorter than /96 the IPv4 address is spread over the groups, so there "
           "are no dot notation forms"_s;
    QTest::newRow("non-global address under nat64")
        << u"nat64"_s << u"10.1.2.3"_s << true << QStringList { u"10"_s, u"1"_s, u"2"_s, u"3"_s }
        << QStringList { u"0064:FF9B:0000:0000:0000:0000:0A01:0203"_s, u"0064:FF9B::0A01:0203"_s,
                         u"0064:FF9B:0000:0000:0000:0000:10.1.2.3"_s, u"0064:FF9B::10.1.2.3"_s }
        << u"Note: 10.1.2.3 is a private address (RFC 1918), which the NAT64 well-known prefix "
           "64:ff9b::/96 must not carry (RFC 6052 section 3.1)"_s;

    // IPv6 entries leave the octets and the forms as they are.
    QTest::newRow("Teredo") << QString() << u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s << false
                            << untouchedOctets << noForms
                            << u"IPv4 Address: 192.0.2.45\nEmbedding: teredo\n"
                               "Detail: server 65.54.227.120, port 40000"_s;
    QTest::newRow("NAT64, not global")
        << u"mapped"_s << u"64:ff9b::c0a8:101"_s << true << untouchedOctets << noForms
        << u"IPv4 Address: 192.168.1.1\nEmbedding: nat64\nNote: 192.168.1.1 is a private address "
           "(RFC 1918), which the NAT64 well-known prefix 64:ff9b::/96 must not carry (RFC 6052 section 3.1)"_s;
    QTest::newRow("IPv6 prefix") << QString() << u"::ffff:a00:0/104"_s << false << untouchedOctets << noForms
                                 << u"IPv4 Address: 10.0.0.0/8\nEmbedding: mapped"_s;
    QTest::newRow("typed prefix decodes first")
        << u"2001:db8:122::/48"_s << u"2001:db8:122:c000:2:2100::"_s << true << untouchedOctets << noForms
        << u"IPv4 Address: 192.0.2.33\nEmbedding: 2001:db8:122::/48"_s;
    QTest::newRow("zone") << QString() << u"fe80::1%eth0"_s << true << untouchedOctets << noForms
                          << u"Not an IPv6 address: \"fe80::1%eth0\" names a zone (\"%\" and what follows); "
                             "give the address without it"_s;
}

// What the address line holds shows in the window as it is typed or
// pasted; no message box comes up, whatever it holds on the way.
void TestForm1::addressLine()
{
    QFETCH(QString, embedding);
    QFETCH(QString, entry);
    QFETCH(bool, pasted);
    QFETCH(QStringList, octets);
    QFETCH(QStringList, forms);
    QFETCH(QString, note);
    showActive();
    if (embedding.contains(u'/'))
        chooseTypedPrefix(embedding);
    else if (!embedding.isEmpty())
        chooseEmbedding(
            int(std::find(MapIP::Embedding::Names.begin(), MapIP::Embedding::Names.end(), embedding)
                - MapIP::Embedding::Names.begin()));

    QLineEdit* line = m_window->Text6();
    line->setFocus();
    if (pasted) {
        QGuiApplication::clipboard()->setText(entry);
        QTest::keySequence(line, QKeySequence::Paste);
    } else {
        QTest::keyClicks(line, entry);
    }
    QCOMPARE(line->text(), entry);
    QCOMPARE(this->octets(), octets);
    QCOMPARE(results(), forms);
    QCOMPARE(m_window->Label6()->text(), note);
    QVERIFY(m_fake->messageBoxes->shown.empty());

    // Emptied, the line says nothing.
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    QCOMPARE(m_window->Label6()->text(), QString());
}

// A prefix or a range from the address line is written again in the next
// embedding, as an address from the octets is; an IPv6 entry is decoded
// again by a prefix typed since.
void TestForm1::addressLineFollowsTheEmbedding()
{
    showActive();
    QTest::keyClicks(m_window->Text6(), u"192.0.2.0-192.0.2.255"_s);
    chooseEmbedding(1);
    QCOMPARE(box("Text3")->text(), u"::FFFF:C000:0200/120"_s);
    QCOMPARE(m_window->Label6()->text(), u"The range 192.0.2.0-192.0.2.255 is the prefix 192.0.2.0/24"_s);

    m_window->Text6()->clear();
    QTest::keyClicks(m_window->Text6(), u"2001:db8:122:c000:2:2100::"_s);
    QVERIFY(m_window->Label6()->text().startsWith(u"No IPv4 address"_s));
    chooseTypedPrefix(u"2001:db8:122::/48"_s);
    QCOMPARE(m_window->Label6()->text(), u"IPv4 Address: 192.0.2.33\nEmbedding: 2001:db8:122::/48"_s);
    // The range's forms follow too: /24 behind /48 ends at bit 80, past the
    // eight bits RFC 6052 keeps zero.
    QCOMPARE(box("Text3")->text(), u"2001:0DB8:0122:C000:0002::/80"_s);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm1::helpOpensTheHelpPage()
{
    click("PushButton4");
    QCOMPARE(m_fake->webBrowser->opened.size(), size_t(1));
    QCOMPARE(m_fake->webBrowser->opened[0].url, QUrl(u"http://" QUADRIX_WEB_HOST "/hexmap/help/"_s));
    QCOMPARE(m_fake->webBrowser->opened[0].mode, WebBrowser::WindowMode::Normal);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm1::closingEndsTheProgram()
{
    showActive();
    bool quit = false;
    connect(qApp, &QCoreApplication::aboutToQuit, this, [&] { quit = true; });
    QTimer::singleShot(0, m_window.get(), &QWidget::close);
    // quit() ends this event loop, the way it ends the program's main loop.
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(quit);
    QVERIFY(!m_window->isVisible());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
