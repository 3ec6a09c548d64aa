#include "batch_window/Form2.h"
#include "export/ListModel.h"
#include "single_window/Form1.h"

#include "FakePlatform.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What a screen reader finds in a window: every control it reaches, by role
// and name, walked through the accessibility tree as an assistive tool walks it.
struct Reached
{
    QAccessible::Role role;
    QString name;
    QString objectName;
};

// The roles of things a user reads or works: containers and panes are not.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::EditableText:
    case QAccessible::StaticText:
    case QAccessible::Grouping:
    case QAccessible::Table:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::ProgressBar:
    case QAccessible::CheckBox:
    case QAccessible::ColumnHeader:
    case QAccessible::ScrollBar:
    case QAccessible::Client:
        return true;
    default:
        return false;
    }
}

void walk(QAccessibleInterface* node, std::vector<Reached>& reached)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || child->state().invisible)
            continue;
        const QObject* object = child->object();
        reached.push_back(
            { child->role(), child->text(QAccessible::Name), object ? object->objectName() : QString() });
        // The rows of a list are its data, named by their own texts.
        if (child->role() != QAccessible::Table && child->role() != QAccessible::List)
            walk(child, reached);
    }
}

std::vector<Reached> walkWindow(QWidget* window)
{
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
    if (!root)
        return {};
    std::vector<Reached> reached { { root->role(), root->text(QAccessible::Name), window->objectName() } };
    walk(root, reached);
    return reached;
}

QStringList unnamedControls(const std::vector<Reached>& reached)
{
    QStringList unnamed;
    for (const Reached& item : reached) {
        if (isControl(item.role) && item.name.trimmed().isEmpty())
            unnamed.append(u"%1 (role %2)"_s.arg(item.objectName).arg(int(item.role)));
    }
    return unnamed;
}

QString nameOf(const std::vector<Reached>& reached, const QString& objectName)
{
    for (const Reached& item : reached) {
        if (item.objectName == objectName)
            return item.name;
    }
    return u"(not reached)"_s;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QAccessible::setActive(true); }
    void everyControlOfBothWindowsIsNamed();
};

void TestAccessibility::everyControlOfBothWindowsIsNamed()
{
    FakePlatform fake;
    Form1 single(*fake.platform);
    single.show();
    QVERIFY(QTest::qWaitForWindowExposed(&single));

    const std::vector<Reached> first = walkWindow(&single);
    QVERIFY(first.size() > 20);
    QCOMPARE(unnamedControls(first), QStringList());
    QCOMPARE(nameOf(first, u"Text1_1"_s), u"First octet"_s);
    QCOMPARE(nameOf(first, u"Text1_4"_s), u"Fourth octet"_s);
    QCOMPARE(nameOf(first, u"Text4"_s), u"IPv6 & Dot Notation Full Address"_s);
    QCOMPARE(nameOf(first, u"PushButton2"_s), u"Start Converting"_s);

    // The batch window after a run, so that its results table holds rows.
    QTest::mouseClick(single.findChild<QPushButton*>(u"PushButton1"_s), Qt::LeftButton);
    Form2* batch = single.batchWindow();
    QVERIFY(batch);
    QTest::mouseClick(batch->findChild<QPushButton*>(u"PushButton11"_s), Qt::LeftButton);
    QTest::mouseClick(batch->findChild<QPushButton*>(u"PushButton2"_s), Qt::LeftButton);
    QCOMPARE(batch->ListView2()->rows(), 3);
    QVERIFY(QTest::qWaitForWindowExposed(batch));

    const std::vector<Reached> second = walkWindow(batch);
    QVERIFY(second.size() > 15);
    QCOMPARE(unnamedControls(second), QStringList());
    QCOMPARE(nameOf(second, u"ListView1"_s), u"IPv4(s)"_s);
    QCOMPARE(nameOf(second, u"ListView2"_s), u"Results"_s);
    QCOMPARE(nameOf(second, u"ProgressBar1"_s), u"Progress Bar"_s);
    QCOMPARE(nameOf(second, u"PushButton5"_s), u"< Back"_s);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
