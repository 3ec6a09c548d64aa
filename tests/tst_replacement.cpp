// How quadrix-batch replaces its output file in every format: links written
// through, read-only files, names near the length limit, syncs that fail,
// signals in the middle of a workbook, file systems that fill up and system
// calls that fail under strace. Each case runs the real program as a child
// process on real files.

#include "FilePrivileges.h"
#include "WorkbookReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString BatchPath = QStringLiteral(QUADRIX_BATCH_PATH);
const QByteArray OldBytes = "the old file\n";

struct Run
{
    int exitCode = -1;
    QString errors;
};

Run runBatch(const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(BatchPath, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return { -1, u"<did not end normally>"_s };
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardError()) };
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A list of `rows` distinct addresses; CR LF ends each line, so no empty
// row follows the last.
bool writeList(const QString& path, qsizetype rows)
{
    QByteArray bytes;
    bytes.reserve(rows * 16);
    for (qsizetype i = 0; i < rows; ++i)
        bytes += QByteArray::number(10 + i / 65536 % 200) + '.' + QByteArray::number(i / 256 % 256) + '.'
            + QByteArray::number(i % 256) + ".1\r\n";
    return writeFile(path, bytes);
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// What a format's output starts with when it is the program's and complete
// enough to tell.
bool looksWritten(const QByteArray& bytes, const QString& format)
{
    if (format == u"xlsx")
        return bytes.startsWith("PK\x03\x04");
    return bytes.contains("10.0.0.1");
}

void addFormats()
{
    QTest::addColumn<QString>("format");
    for (const char* format : { "text", "clipboard", "tsv", "xlsx" })
        QTest::newRow(format) << QString::fromLatin1(format);
}

// The environment that preloads the failure library, with `switches` set.
QProcessEnvironment failing(const QStringList& switches)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LD_PRELOAD"_s, QStringLiteral(QUADRIX_FAILSYNC_PATH));
    for (const QString& name : switches)
        environment.insert(name, u"1"_s);
    // A sanitized build wants its runtime first; the preloaded library only
    // stands in front of a few calls.
    const QString sanitizer = environment.value(u"ASAN_OPTIONS"_s);
    environment.insert(u"ASAN_OPTIONS"_s,
                       (sanitizer.isEmpty() ? QString() : sanitizer + u':') + u"verify_asan_link_order=0"_s);
    return environment;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestReplacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linkIsWrittenThrough_data() { addFormats(); }
    void linkIsWrittenThrough();
    void readOnlyFileIsRefusedOrKeepsItsMode_data() { addFormats(); }
    void readOnlyFileIsRefusedOrKeepsItsMode();
    void namesNearTheLengthLimit_data() { addFormats(); }
    void namesNearTheLengthLimit();
    void failedSyncIsAFailedSave_data() { addFormats(); }
    void failedSyncIsAFailedSave();
    void namedWorkingFileWhereNoUnnamedOne_data() { addFormats(); }
    void namedWorkingFileWhereNoUnnamedOne();
    void folderFailureBeforeOrAfterTheRename_data();
    void folderFailureBeforeOrAfterTheRename();
    void messagesNameWhatFailed_data();
    void messagesNameWhatFailed();
    void signalWhileTheWorkbookIsWritten_data();
    void signalWhileTheWorkbookIsWritten();
    void smallFileSystems_data();
    void smallFileSystems();
    void refusedCellsAreNamedAndTheRestWritten();
    void workbookToADeviceIsWrittenInPlace();
    void failingCallWhileTheWorkbookIsWritten_data();
    void failingCallWhileTheWorkbookIsWritten();

private:
    QTemporaryDir m_dir;
    QString m_list;
};

void TestReplacement::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_list = m_dir.filePath(u"list.txt"_s);
    QVERIFY(writeList(m_list, 3));
}

void TestReplacement::linkIsWrittenThrough()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString target = dir.filePath(u"target.out"_s);
    const QString link = dir.filePath(u"link.out"_s);
    QVERIFY(writeFile(target, OldBytes));
    QVERIFY(QFile::link(u"target.out"_s, link));

    const Run run = runBatch({ u"-f"_s, format, u"-o"_s, link, m_list });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(QFileInfo(link).isSymLink(), "the link was replaced by a file");
    QVERIFY(looksWritten(contentsOf(target), format));
    QCOMPARE(entriesOf(dir.path()), QStringList({ u"link.out"_s, u"target.out"_s }));

    // A link to a file yet to be made makes that file.
    const QString dangling = dir.filePath(u"dangling.out"_s);
    QVERIFY(QFile::link(u"new.out"_s, dangling));
    QCOMPARE(runBatch({ u"-f"_s, format, u"-o"_s, dangling, m_list }).exitCode, 0);
    QVERIFY(QFileInfo(dangling).isSymLink());
    QVERIFY(looksWritten(contentsOf(dir.filePath(u"new.out"_s)), format));
}

void TestReplacement::readOnlyFileIsRefusedOrKeepsItsMode()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString out = dir.filePath(u"out.file"_s);
    QVERIFY(writeFile(out, OldBytes));
    QVERIFY(::chmod(QFile::encodeName(out).constData(), 0444) == 0);
    if (isRoot())
        QVERIFY(::chown(QFile::encodeName(out).constData(), 65534, 65534) == 0);

    const Run run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list });
    struct stat status
    {
    };
    QVERIFY(::stat(QFile::encodeName(out).constData(), &status) == 0);
    QCOMPARE(status.st_mode & 07777, 0444u);
    if (isRoot()) {
        // Root may replace it, and gives the new file the old one's owner.
        QCOMPARE(run.exitCode, 0);
        QVERIFY(looksWritten(contentsOf(out), format));
        QCOMPARE(status.st_uid, 65534u);
        QCOMPARE(status.st_gid, 65534u);
        // An owner or a group of its own is each enough to be kept.
        for (const auto& [owner, group] : { std::pair(65534u, 0u), std::pair(0u, 65534u) }) {
            QVERIFY(::chown(QFile::encodeName(out).constData(), owner, group) == 0);
            QCOMPARE(runBatch({ u"-f"_s, format, u"-o"_s, out, m_list }).exitCode, 0);
            QVERIFY(::stat(QFile::encodeName(out).constData(), &status) == 0);
            QCOMPARE(status.st_uid, owner);
            QCOMPARE(status.st_gid, group);
        }
    } else {
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errors.contains(out + u": it is not writable"_s), qPrintable(run.errors));
        QCOMPARE(contentsOf(out), OldBytes);
    }
    QCOMPARE(entriesOf(dir.path()), QStringList { u"out.file"_s });
}

void TestReplacement::namesNearTheLengthLimit()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString name = QString(246, u'n') + u".out"_s;
    QCOMPARE(QFile::encodeName(name).size(), 250);
    const QString out = dir.filePath(name);

    Run run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list });
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY(looksWritten(contentsOf(out), format));
    QVERIFY(writeFile(out, OldBytes));
    run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list });
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY(looksWritten(contentsOf(out), format));
    QCOMPARE(entriesOf(dir.path()), QStringList { name });
}

void TestReplacement::failedSyncIsAFailedSave()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString out = dir.filePath(u"out.file"_s);
    QVERIFY(writeFile(out, OldBytes));
    QProcessEnvironment environment = failing({ u"QUADRIX_FAIL_SYNC"_s });

    const Run run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list }, environment);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains(u"Cannot save "_s + out + u": Input/output error"_s),
             qPrintable(run.errors));
    QCOMPARE(contentsOf(out), OldBytes);
    QCOMPARE(entriesOf(dir.path()), QStringList { u"out.file"_s });

    // The same run without the failure saves: the library itself is harmless.
    environment.remove(u"QUADRIX_FAIL_SYNC"_s);
    QCOMPARE(runBatch({ u"-f"_s, format, u"-o"_s, out, m_list }, environment).exitCode, 0);
    QVERIFY(looksWritten(contentsOf(out), format));
}

void TestReplacement::namedWorkingFileWhereNoUnnamedOne()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString name = QString(246, u'n') + u".out"_s;
    const QString out = dir.filePath(name);
    QVERIFY(writeFile(out, OldBytes));

    // The hidden working file is removed when the sync fails...
    Run run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list },
                       failing({ u"QUADRIX_NO_TMPFILE"_s, u"QUADRIX_FAIL_SYNC"_s }));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains(u"Cannot save "_s + out + u": Input/output error"_s),
             qPrintable(run.errors));
    QCOMPARE(contentsOf(out), OldBytes);
    QCOMPARE(entriesOf(dir.path()), QStringList { name });

    // ...and becomes the file when it succeeds, however long the name.
    run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list }, failing({ u"QUADRIX_NO_TMPFILE"_s }));
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY(looksWritten(contentsOf(out), format));
    QCOMPARE(entriesOf(dir.path()), QStringList { name });
}

void TestReplacement::folderFailureBeforeOrAfterTheRename_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("renamed");
    for (const char* format : { "text", "clipboard", "tsv", "xlsx" }) {
        QTest::addRow("%s, folder cannot be opened", format)
            << QString::fromLatin1(format) << QStringList { u"QUADRIX_FAIL_FOLDER_OPEN"_s } << false;
        QTest::addRow("%s, folder sync fails", format)
            << QString::fromLatin1(format) << QStringList { u"QUADRIX_FAIL_FOLDER_SYNC"_s } << true;
    }
    // The hidden working file takes the other way into place.
    QTest::newRow("named working file, folder cannot be opened")
        << u"text"_s << QStringList { u"QUADRIX_NO_TMPFILE"_s, u"QUADRIX_FAIL_FOLDER_OPEN"_s } << false;
    QTest::newRow("named working file, folder sync fails")
        << u"text"_s << QStringList { u"QUADRIX_NO_TMPFILE"_s, u"QUADRIX_FAIL_FOLDER_SYNC"_s } << true;
}

// The folder is opened before the rename and synced after it: a failure to
// open it keeps the old file; a failed sync finds the new file in place and
// says so, as a failure all the same.
void TestReplacement::folderFailureBeforeOrAfterTheRename()
{
    QFETCH(QString, format);
    QFETCH(QStringList, faults);
    QFETCH(bool, renamed);
    QTemporaryDir dir;
    const QString out = dir.filePath(u"out.file"_s);
    QVERIFY(writeFile(out, OldBytes));

    const Run run = runBatch({ u"-f"_s, format, u"-o"_s, out, m_list }, failing(faults));
    QCOMPARE(run.exitCode, 2);
    if (renamed) {
        QCOMPARE(run.errors,
                 u"quadrix-batch: "_s + out
                     + u": the new file is in place, but its folder could not be synced "
                       u"(Input/output error), so it may not survive a crash\n"_s);
        QVERIFY(looksWritten(contentsOf(out), format));
    } else {
        QCOMPARE(run.errors, u"quadrix-batch: Cannot save "_s + out + u": Input/output error\n"_s);
        QCOMPARE(contentsOf(out), OldBytes);
    }
    QCOMPARE(entriesOf(dir.path()), QStringList { u"out.file"_s });
}

void TestReplacement::messagesNameWhatFailed_data()
{
    // Each script runs with the folder as $1, the tool as $2 and a list as
    // $3; %1 in the message stands for the folder.
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("mounts");
    QTest::addColumn<QString>("message");
    const QString readOnly = u"mount -t tmpfs tmpfs \"$1\" && printf 'the old file\\n' > \"$1/out.file\""
                             u" && mount -o remount,ro \"$1\" && "_s;
    QTest::newRow("read-only file system, a 0644 file")
        << readOnly + u"\"$2\" -f tsv -o \"$1/out.file\" \"$3\""_s << true
        << u"Cannot create %1/out.file: it is on a read-only file system"_s;
    QTest::newRow("read-only file system, a new workbook")
        << readOnly + u"\"$2\" -f xlsx -o \"$1/new.xlsx\" \"$3\""_s << true
        << u"Cannot create %1/new.xlsx: it is on a read-only file system"_s;
    QTest::newRow("a writable file in a folder without write permission")
        << u"printf 'the old file\\n' > \"$1/out.file\" && chmod 0555 \"$1\""
           u" && \"$2\" -f text -o \"$1/out.file\" \"$3\""_s
        << false << u"Cannot create %1/out.file: the folder %1 is not writable"_s;
    QTest::newRow("standard output closed")
        << u"\"$2\" -f text \"$3\" >&-"_s << false << u"Cannot write standard output: it is closed"_s;
}

void TestReplacement::messagesNameWhatFailed()
{
    QFETCH(QString, script);
    QFETCH(bool, mounts);
    QFETCH(QString, message);
    if (mounts && !isRoot())
        QSKIP("mounting a file system in a private namespace needs root");
    if (mounts && QProcess::execute(u"unshare"_s, { u"-m"_s, u"true"_s }) != 0)
        QSKIP("this system does not allow a private mount namespace (unshare -m)");
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"folder"_s);
    QVERIFY(QDir().mkdir(folder));

    QProcess process;
    // Root is held to the permission bits like any user.
    process.setChildProcessModifier([] {
        if (!dropFileAccessOverrideAcrossExec())
            ::_exit(125);
    });
    const QStringList shell { u"-c"_s, script, u"sh"_s, folder, BatchPath, m_list };
    if (mounts)
        process.start(u"unshare"_s, QStringList { u"-m"_s, u"sh"_s } + shell);
    else
        process.start(u"sh"_s, shell);
    QVERIFY(process.waitForFinished(60000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(errors, u"quadrix-batch: "_s + message.replace(u"%1"_s, folder) + u'\n');
    QCOMPARE(process.exitCode(), 2);
    // Nothing but the old file, unchanged, is left in the folder.
    const QStringList left = entriesOf(folder);
    QVERIFY2(left.isEmpty() || left == QStringList { u"out.file"_s }, qPrintable(left.join(u' ')));
    if (!left.isEmpty())
        QCOMPARE(contentsOf(folder + u"/out.file"_s), OldBytes);
}

void TestReplacement::signalWhileTheWorkbookIsWritten_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGKILL") << SIGKILL;
}

void TestReplacement::signalWhileTheWorkbookIsWritten()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString list = dir.filePath(u"big.txt"_s);
    QVERIFY(writeList(list, 400000));
    const QString out = dir.filePath(u"out.xlsx"_s);
    QVERIFY(writeFile(out, OldBytes));

    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(BatchPath, { u"-f"_s, u"xlsx"_s, u"-o"_s, out, list });
    QVERIFY(process.waitForStarted());
    // The workbook is being written once the program holds a file of that
    // folder other than the list (a working file, named or not).
    const QString fds = u"/proc/%1/fd"_s.arg(process.processId());
    const auto writing = [&] {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
            const QString target = fd.symLinkTarget();
            if (target.startsWith(dir.path()) && target != list)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(writing() || process.state() == QProcess::NotRunning, 60000);
    QVERIFY2(process.state() == QProcess::Running, "the run ended before it could be interrupted");
    QTest::qWait(200);
    QVERIFY(::kill(pid_t(process.processId()), signal) == 0);
    QVERIFY(process.waitForFinished(60000));

    QCOMPARE(contentsOf(out), OldBytes);
    QCOMPARE(entriesOf(dir.path()), QStringList({ u"big.txt"_s, u"out.xlsx"_s }));
}

void TestReplacement::smallFileSystems_data()
{
    QTest::addColumn<QString>("mounts");
    QTest::addColumn<bool>("fits");
    // The system's temporary folder is no place for the workbook's data.
    QTest::newRow("8 MB /tmp, a roomy target folder") << u"mount -t tmpfs -o size=8m tmpfs /tmp"_s << true;
    // A target folder too small for the workbook's data.
    QTest::newRow("2 MB target folder") << u"mount -t tmpfs -o size=2m tmpfs \"$1\""_s << false;
}

void TestReplacement::smallFileSystems()
{
    QFETCH(QString, mounts);
    QFETCH(bool, fits);
    if (!isRoot())
        QSKIP("mounting a small file system in a private namespace needs root");
    if (QProcess::execute(u"unshare"_s, { u"-m"_s, u"true"_s }) != 0)
        QSKIP("this system does not allow a private mount namespace (unshare -m)");

    // Outside /tmp, which one case hides behind a small file system; the
    // build folder itself may lie in /tmp.
    QTemporaryDir dir(u"/var/tmp/quadrix-replacement-XXXXXX"_s);
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(u"out"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString list = dir.filePath(u"list.txt"_s);
    QVERIFY(writeList(list, 100000));
    // A copy of the tool, which may itself lie in /tmp.
    const QString tool = dir.filePath(u"quadrix-batch"_s);
    QVERIFY(QFile::copy(BatchPath, tool));

    // The mounts vanish with the namespace, so the results are read in it.
    const QString script = mounts
        + u" && printf 'the old file\\n' > \"$1/out.xlsx\""
          u" && \"$2\" -f xlsx -o \"$1/out.xlsx\" \"$3\"; echo \"exit $?\""
          u" && ls -A \"$1\" && cmp -s \"$1/out.xlsx\" - <<EOF && echo kept\nthe old file\nEOF\n"_s;
    QProcess process;
    process.start(u"unshare"_s, { u"-m"_s, u"sh"_s, u"-c"_s, script, u"sh"_s, folder, tool, list });
    QVERIFY(process.waitForFinished(120000));
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty(), qPrintable(errors));

    if (fits) {
        QVERIFY2(lines == QStringList({ u"exit 0"_s, u"out.xlsx"_s }), qPrintable(output + errors));
        // The workbook outlives the namespace: every row must be in it.
        const ReadWorkbook workbook = readWorkbook(folder + u"/out.xlsx"_s);
        QVERIFY2(workbook.problem.isEmpty(), qPrintable(workbook.problem));
        QCOMPARE(workbook.rows.size(), 100001);
    } else {
        QVERIFY2(lines == QStringList({ u"exit 2"_s, u"out.xlsx"_s, u"kept"_s }),
                 qPrintable(output + errors));
        QVERIFY2(errors.contains(u"Cannot save "_s + folder + u"/out.xlsx: "_s), qPrintable(errors));
        QVERIFY2(errors.contains(u"No space left on device"_s), qPrintable(errors));
        QVERIFY2(!errors.contains(u".quadrix-"_s) && !errors.contains(u"/proc/"_s), qPrintable(errors));
        qInfo("%s", qPrintable(errors));
    }
}

void TestReplacement::refusedCellsAreNamedAndTheRestWritten()
{
    QTemporaryDir dir;
    const QString list = dir.filePath(u"odd.txt"_s);
    QVERIFY(
        writeFile(list, "10.0.0.1\n" + QByteArray(40007, 'x') + "\nA" + QByteArray(1, '\0') + "B.1.1.1\n"));
    const QString out = dir.filePath(u"out.xlsx"_s);

    const Run run = runBatch({ u"-f"_s, u"xlsx"_s, u"-o"_s, out, list });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(
        run.errors.contains(
            u"quadrix-batch: cell not written, row 2, column 1: 40007 characters, more than the 32767 a cell holds\n"_s),
        qPrintable(run.errors));
    QVERIFY2(
        run.errors.contains(u"quadrix-batch: cell not written, row 3, column 1: it holds a NUL character"_s),
        qPrintable(run.errors));
    // The forms with the row's text in them are refused alike.
    QVERIFY(run.errors.contains(u"cell not written, row 3, column 4: it holds a NUL character"_s));
    QVERIFY(looksWritten(contentsOf(out), u"xlsx"_s));
}

void TestReplacement::workbookToADeviceIsWrittenInPlace()
{
    // /dev/stdout on a pipe: the workbook goes down the pipe whole.
    QProcess process;
    process.start(BatchPath, { u"-f"_s, u"xlsx"_s, u"-o"_s, u"/dev/stdout"_s, m_list });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray workbook = process.readAllStandardOutput();
    QVERIFY(workbook.startsWith("PK\x03\x04"));
    QVERIFY(workbook.contains(QByteArrayView("PK\x05\x06", 4)));
    QVERIFY(QFileInfo(u"/dev/stdout"_s).isSymLink());

    const Run full = runBatch({ u"-f"_s, u"xlsx"_s, u"-o"_s, u"/dev/full"_s, m_list });
    QCOMPARE(full.exitCode, 2);
    QCOMPARE(full.errors, u"quadrix-batch: Cannot write /dev/full: No space left on device\n"_s);
}

void TestReplacement::failingCallWhileTheWorkbookIsWritten_data()
{
    // Each fault is strace's, "%1" standing for each of the first twelve
    // calls in turn.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    // The zip goes out through positioned writes: the first ones of the
    // small parts, a block of the sheet, the directory at the end.
    QTest::newRow("write of the first part") << u"pwrite64:error=EIO:when=1"_s << u"Input/output error"_s;
    QTest::newRow("write of the sheet") << u"pwrite64:error=ENOSPC:when=40"_s << u"No space left on device"_s;
    QTest::newRow("write of the directory") << u"pwrite64:error=EIO:when=100+"_s << u"Input/output error"_s;
    // Calls that nothing of the workbook needs: whatever fails, the run
    // either saves a whole workbook or fails and keeps the old file.
    QTest::newRow("one seek") << u"lseek:error=EIO:when=%1"_s << QString();
    QTest::newRow("every seek") << u"lseek:error=EIO"_s << QString();
    QTest::newRow("one unlink") << u"unlink:error=EIO:when=%1"_s << QString();
}

// strace makes one system call fail as a failing disk would. A save is
// either whole, with every row, or failed with the old file kept; either way
// nothing else is left in the folder.
void TestReplacement::failingCallWhileTheWorkbookIsWritten()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    const QString strace = QStandardPaths::findExecutable(u"strace"_s);
    if (strace.isEmpty())
        QSKIP("strace is not on the search path");
    QTemporaryDir dir;
    const QString list = dir.filePath(u"list.txt"_s);
    QVERIFY(writeList(list, 5000));
    const QByteArray lastLine = contentsOf(list).trimmed().split('\n').last().trimmed();
    const QString out = dir.filePath(u"out.xlsx"_s);
    // LeakSanitizer cannot work under ptrace; the other cases look for leaks.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString sanitizer = environment.value(u"ASAN_OPTIONS"_s);
    environment.insert(u"ASAN_OPTIONS"_s,
                       (sanitizer.isEmpty() ? QString() : sanitizer + u':') + u"detect_leaks=0"_s);

    const int calls = fault.contains(u"%1"_s) ? 12 : 1;
    for (int call = 1; call <= calls; ++call) {
        const QString injected = calls > 1 ? fault.arg(call) : fault;
        QVERIFY(writeFile(out, OldBytes));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(strace,
                      { u"-f"_s, u"-o"_s, u"/dev/null"_s, u"-e"_s, u"trace="_s + injected.section(u':', 0, 0),
                        u"-e"_s, u"inject="_s + injected, BatchPath, u"-f"_s, u"xlsx"_s, u"-o"_s, out,
                        list });
        QVERIFY(process.waitForFinished(120000));
        const QString errors = injected + u": "_s + QString::fromUtf8(process.readAllStandardError());

        if (process.exitCode() == 0) {
            QVERIFY2(message.isEmpty(), qPrintable(injected + u": the failed write went unnoticed"_s));
            const ReadWorkbook workbook = readWorkbook(out);
            QVERIFY2(workbook.problem.isEmpty(), qPrintable(injected + u": "_s + workbook.problem));
            QCOMPARE(workbook.rows.size(), 5001);
            QCOMPARE(workbook.rows.back().first(), QString::fromLatin1(lastLine));
        } else {
            QVERIFY2(process.exitCode() == 2, qPrintable(errors));
            QVERIFY2(errors.contains(u"Cannot save "_s + out + u": "_s + message), qPrintable(errors));
            QCOMPARE(contentsOf(out), OldBytes);
        }
        QCOMPARE(entriesOf(dir.path()), QStringList({ u"list.txt"_s, u"out.xlsx"_s }));
    }
}

QTEST_GUILESS_MAIN(TestReplacement)
#include "tst_replacement.moc"
