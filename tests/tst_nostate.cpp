// Runs both windows on the real Qt platform services (file dialogs, message
// boxes, clipboard) with the user's home and configuration folders pointed at
// an empty folder, and checks that the program leaves nothing there but the
// files the user asked for.

#include "app/QtPlatform.h"
#include "batch_window/Form2.h"
#include "export/ListModel.h"
#include "single_window/Form1.h"

#include "FakePlatform.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestNoState : public QObject
{
    Q_OBJECT

public:
    explicit TestNoState(QString home)
        : m_home(std::move(home))
    {
    }

private slots:
    void bothWindowsWriteOnlyWhatTheUserAsksFor();

private:
    // Answers the modal dialog that is up: the file dialogs with the next
    // chosen path, the message boxes with OK.
    void answerModal();
    void click(QWidget* window, const char* name)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QLatin1StringView(name)), Qt::LeftButton);
    }
    QStringList filesUnderHome() const;

    QString m_home;
    QStringList m_chosenPaths;
    QPointer<QFileDialog> m_dialog;
    QString m_answer;
    QStringList m_messages;
    int m_fileDialogs = 0;
};

void TestNoState::answerModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        // A dialog may take a turn or two to go; it keeps its answer meanwhile.
        if (dialog != m_dialog) {
            m_dialog = dialog;
            ++m_fileDialogs;
            m_answer = m_chosenPaths.isEmpty() ? QString() : m_chosenPaths.takeFirst();
        }
        if (m_answer.isEmpty()) {
            dialog->reject();
            return;
        }
        // The folder, then the name typed into the dialog's name box.
        dialog->setDirectory(QFileInfo(m_answer).absolutePath());
        auto* nameBox = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
        QVERIFY(nameBox);
        nameBox->setText(QFileInfo(m_answer).fileName());
        // Through QDialog, as the dialog's own button would.
        QMetaObject::invokeMethod(dialog, "accept");
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_messages.append(box->text());
        box->accept();
    }
}

QStringList TestNoState::filesUnderHome() const
{
    QStringList files;
    QDirIterator it(m_home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(m_home.size() + 1));
    files.sort();
    return files;
}

void TestNoState::bothWindowsWriteOnlyWhatTheUserAsksFor()
{
    QCOMPARE(qEnvironmentVariable("XDG_CONFIG_HOME"), m_home + u"/config"_s);
    const QString list = m_home + u"/list.txt"_s;
    const QString results = m_home + u"/results.txt"_s;
    {
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("204.93.240.0\r\n10.0.0.1\r\n") > 0);
    }
    const QStringList before = filesUnderHome();
    QCOMPARE(before, (QStringList { u"config"_s, u"list.txt"_s }));

    // The real services, but no home page drawn and no spreadsheet started.
    Platform::Services services = qtPlatformServices();
    auto random = std::make_unique<FakeRandom>();
    auto spreadsheet = std::make_unique<FakeSpreadsheet>();
    FakeSpreadsheet* sheets = spreadsheet.get();
    services.random = std::move(random);
    services.spreadsheet = std::move(spreadsheet);
    Platform platform(std::move(services));

    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, &TestNoState::answerModal);
    answerer.start(20);
    {
        Form1 single(platform);
        single.show();
        click(&single, "PushButton5"); // Load Sample/Example IP
        click(&single, "PushButton2"); // Start Converting
        click(&single, "PushButton3"); // Copy Results To Clipboard
        click(&single, "PushButton1"); // to the batch window
        Form2* batch = single.batchWindow();
        QVERIFY(batch);

        m_chosenPaths = { list };
        click(batch, "PushButton4"); // Load IPv4s From Text File
        QCOMPARE(batch->ListView1()->rows(), 2);
        click(batch, "PushButton2"); // Start Converting
        ListModel* table = batch->ListView2();
        table->publishRows();
        QVERIFY(table->setData(table->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        m_chosenPaths = { results };
        click(batch, "PushButton3"); // Save Results As Text File
        click(batch, "PushButton8"); // Copy Results To Clipboard
        click(batch, "PushButton13"); // Save Results As Excel File
        click(batch, "PushButton4"); // the open dialog again, cancelled
        batch->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    answerer.stop();
    QCoreApplication::processEvents();

    QCOMPARE(m_fileDialogs, 3);
    QCOMPARE(m_messages.size(), 2);
    QVERIFY(m_messages[0].startsWith(u"Results have been copied to the clipboard."_s));
    QCOMPARE(m_messages[1], u"Done."_s);
    QVERIFY(QFile(results).size() > 0);
    QVERIFY(sheets->visible);
    // Only the list the user wrote and the results the user saved; no
    // QtProject.conf or anything else under the configuration folder.
    QCOMPARE(filesUnderHome(), (QStringList { u"config"_s, u"list.txt"_s, u"results.txt"_s }));
}

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid() || !QDir(home.path()).mkdir(u"config"_s))
        qFatal("cannot make a home folder");
    // Set before Qt first asks where the user's folders are.
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + u"/config"_s).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + u"/data"_s).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + u"/cache"_s).toLocal8Bit());
    qputenv("XDG_STATE_HOME", (home.path() + u"/state"_s).toLocal8Bit());
    QApplication app(argc, argv);
    TestNoState test(home.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_nostate.moc"
