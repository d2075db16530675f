#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "platform/DurableFiles.h"
#include "settings/SettingsFormat.h"
#include "source/LoadMode.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// How the desktop session tells a program that it ends.
enum class SessionEndBy { Terminate, HangUp, Interrupt, SessionManagerQuit };

void endSession(SessionEndBy by)
{
    switch (by) {
    case SessionEndBy::Terminate: ::kill(::getpid(), SIGTERM); break;
    case SessionEndBy::HangUp: ::kill(::getpid(), SIGHUP); break;
    case SessionEndBy::Interrupt: ::kill(::getpid(), SIGINT); break;
    case SessionEndBy::SessionManagerQuit: {
        // What Qt's session management sends the application when the session manager says die.
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
        break;
    }
    }
}

// A program showing the first image of a sequence at ×０.５, with a frame placed and not saved.
void startWithAnUnsavedFrame(TestProgram& program)
{
    for (int n = 1; n <= 2; ++n)
        writeImage(program.path(QStringLiteral("IMG00%1.BMP").arg(n)), n, 120, 90);
    program.start();
    registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    chooseEntry(program, "COMBO5", 7);
    placeFrame(program, QPoint(20, 20), QPoint(50, 40));
}

// The settings file with the program's folder written as <dir>, to compare two programs' files.
QStringList settingsOf(TestProgram& program)
{
    return settingsLines(program.dir()).replaceInStrings(QDir::toNativeSeparators(program.dir()), QStringLiteral("<dir>"));
}

// A process that has ended, for temporaries that it left.
pid_t endedProcess()
{
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

} // namespace

// A program's life beyond one session: started again on the files the one before left.
class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void registrationAfterARestartInEachLoadMode_data();
    void registrationAfterARestartInEachLoadMode();
    void sessionEndClosesWithoutAQuestion_data();
    void sessionEndClosesWithoutAQuestion();
    void startRemovesWhatKilledProcessesLeft();
    void unwritableSettingsFolderIsReportedAtStart();
};

void TestSession::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestSession::registrationAfterARestartInEachLoadMode_data()
{
    QTest::addColumn<QString>("button"); // the source button of the first session
    QTest::addColumn<QString>("chosen"); // the file chosen with it
    QTest::addColumn<int>("storedMode"); // the load mode the first session's close wrote
    QTest::addColumn<int>("handWrittenMode"); // the mode a user then wrote into the file; -1: none
    QTest::addColumn<bool>("closes"); // "登録終了" closes the registration window
    QTest::addColumn<QString>("message"); // what it reports, "title|text|icon"
    QTest::addColumn<QString>("showing"); // the image on show afterwards
    // clang-format off
    QTest::newRow("sequence")       << "BUTTON7"  << "IMG001.BMP" << 1 << -1 << true  << ""                       << "IMG001.BMP";
    QTest::newRow("single file")    << "BUTTON6"  << "IMG002.BMP" << 0 << -1 << false << ""                       << "";
    QTest::newRow("folder")         << "BUTTON15" << "IMG002.BMP" << 3 << -1 << true  << "|このファイルは存在しません|0" << "";
    QTest::newRow("single, by hand") << "BUTTON6" << "IMG002.BMP" << 0 << 2  << true  << "|このファイルは存在しません|0" << "";
    // clang-format on
}

// The second session starts with no file chosen: in sequence mode "登録終了" composes the first
// name from the settings and shows it; in folder and single-file mode it loads the path chosen
// in this session, which is none, and says so; with no mode the window waits for a source. In
// each the program goes on taking input, and closing it writes its settings again.
void TestSession::registrationAfterARestartInEachLoadMode()
{
    QFETCH(QString, button);
    QFETCH(QString, chosen);
    QFETCH(int, storedMode);
    QFETCH(int, handWrittenMode);
    QFETCH(bool, closes);
    QFETCH(QString, message);
    QFETCH(QString, showing);
    TestProgram program;
    writeImage(program.path(QStringLiteral("IMG001.BMP")), 1, 40, 30);
    writeImage(program.path(QStringLiteral("IMG002.BMP")), 2, 50, 30);
    program.start();
    click(program, "BUTTON5");
    clickValidBox(program);
    program.dialogs().answerOpenFile(program.path(chosen));
    click(program, button.toLatin1().constData());
    click(program, "BUTTON8");
    closeMainWindow(program);
    QVERIFY(program.app().rt.Ended());
    QCOMPARE(settingsLines(program.dir()).value(3), QStringLiteral("ＬＯＡＤモード, %1").arg(storedMode));
    if (handWrittenMode >= 0) {
        QStringList lines = settingsLines(program.dir());
        lines[3] = QStringLiteral("ＬＯＡＤモード, %1").arg(handWrittenMode);
        const QString file = lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
        writeBytes(program.path(QStringLiteral("KANKYO.TXT")), "\xEF\xBB\xBF" + file.toUtf8());
    }

    program.startAgain();
    App& app = program.app();
    click(program, "BUTTON5");
    if (!message.isEmpty()) program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(messageLines(program.dialogs()), message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(!shown(program, "FORM2"), closes);
    QCOMPARE(enabled(program, "BUTTON5"), closes);
    QCOMPARE(app.CurrentFileName, showing);
    if (!showing.isEmpty()) QVERIFY(enabled(program, "BUTTON9"));
    if (!closes) {
        // The source is chosen now, and the window closes on it.
        program.dialogs().answerOpenFile(program.path(QStringLiteral("IMG002.BMP")));
        click(program, "BUTTON6");
        click(program, "BUTTON8");
        QVERIFY(!shown(program, "FORM2"));
        QCOMPARE(app.CurrentFileName, QStringLiteral("IMG002.BMP"));
    }
    closeMainWindow(program);
    QVERIFY(app.rt.Ended());
}

void TestSession::sessionEndClosesWithoutAQuestion_data()
{
    QTest::addColumn<SessionEndBy>("by");
    QTest::newRow("SIGTERM") << SessionEndBy::Terminate;
    QTest::newRow("SIGHUP") << SessionEndBy::HangUp;
    QTest::newRow("SIGINT") << SessionEndBy::Interrupt;
    QTest::newRow("session manager's quit") << SessionEndBy::SessionManagerQuit;
}

// A logout or shutdown ends the program as its close box does, frames or not, but asks nothing:
// the settings file is the one a close writes, and the program ends.
void TestSession::sessionEndClosesWithoutAQuestion()
{
    QFETCH(SessionEndBy, by);
    TestProgram closed;
    startWithAnUnsavedFrame(closed);
    closed.dialogs().answerMessage(MessageAnswer::Yes);
    closeMainWindow(closed);
    QVERIFY(closed.app().rt.Ended());

    TestProgram ended;
    startWithAnUnsavedFrame(ended);
    ended.dialogs().clearCalls();
    endSession(by);
    QTRY_VERIFY((ended.runEvents(), ended.app().rt.Ended()));
    QCOMPARE(ended.dialogs().calls().size(), 0);
    QCOMPARE(settingsOf(ended), settingsOf(closed));
    QCOMPARE(settingsOf(ended).value(2), QStringLiteral("倍率リスト, 7"));
}

// Temporaries that a killed save or settings write left are removed when the program starts, in
// its own folder and in every folder the settings name; those of a process still running stay.
void TestSession::startRemovesWhatKilledProcessesLeft()
{
    TestProgram program;
    const QString scans = makeFolder(program, QStringLiteral("scans"));
    writeImage(program.path(QStringLiteral("IMG001.BMP")), 1, 40, 30);
    program.start();
    App& first = program.app();
    click(program, "BUTTON5");
    selectRow(program, 6); // category 7, not valid: its folder is named all the same
    first.rt.SetWindowText(first.EDIT6, scans);
    selectRow(program, 0);
    clickValidBox(program);
    program.dialogs().answerOpenFile(program.path(QStringLiteral("IMG001.BMP")));
    click(program, "BUTTON7");
    click(program, "BUTTON8");
    closeMainWindow(program);
    QVERIFY(settingsLines(program.dir()).contains(QStringLiteral("セーブパス,") + scans));

    const pid_t ended = endedProcess();
    const QStringList abandoned = {
        program.path(temporaryPrefix(TemporaryKind::Settings, ended) + QStringLiteral("Ab12Cd.tmp")),
        program.path(temporaryPrefix(TemporaryKind::Piece, ended) + QStringLiteral("Ef34Gh.tmp")),
        scans + temporaryPrefix(TemporaryKind::Piece, ended) + QStringLiteral("Ij56Kl.tmp"),
    };
    const QStringList running = {
        program.path(temporaryPrefix(TemporaryKind::Settings, getpid()) + QStringLiteral("Mn78Op.tmp")),
        scans + temporaryPrefix(TemporaryKind::Piece, getpid()) + QStringLiteral("Qr90St.tmp"),
    };
    for (const QString& path : abandoned + running)
        touch(path);
    program.startAgain();
    for (const QString& path : abandoned)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    for (const QString& path : running)
        QVERIFY2(QFile::exists(path), qPrintable(path));
    QCOMPARE(filesIn(program.dir()).filter(QStringLiteral(".velmora-")).size(), 1);
}

// A folder where the settings file cannot be written is reported once, when the program starts,
// naming the file with single separators; the close reports the failed write as before.
void TestSession::unwritableSettingsFolderIsReportedAtStart()
{
    TestProgram program;
    QTemporaryDir scratch;
    // Permissions do not stop the superuser; a folder of a file system that holds no files does.
    QString folder = QStringLiteral("/sys");
    if (geteuid() != 0) {
        folder = scratch.path();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    QVERIFY(QDir::setCurrent(folder));
    program.dialogs().answerMessage();
    program.start();
    const QList<ScriptedDialogs::Call> messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.front().title, settingsMessageTitle());
    QVERIFY2(messages.front().text.startsWith(QStringLiteral("設定ファイル「%1/KANKYO.TXT」を保存できません").arg(folder)),
        qPrintable(messages.front().text));
    program.dialogs().answerMessage();
    closeMainWindow(program);
    QCOMPARE(program.dialogs().messages().size(), 2);
    QVERIFY(program.dialogs().messages().back().text.contains(QStringLiteral("「%1/KANKYO.TXT」").arg(folder)));
    QVERIFY(QFile::setPermissions(scratch.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
