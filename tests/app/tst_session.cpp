#include "app/CommandLine.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "platform/DurableFiles.h"
#include "settings/SettingsFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
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
    return settingsLines(program.dir())
        .replaceInStrings(QDir::toNativeSeparators(program.dir()), QStringLiteral("<dir>"));
}

// A process that has ended, for temporaries that it left.
pid_t endedProcess()
{
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// HOME and XDG_CONFIG_HOME pointed at a scratch folder while it lives, so that the user's pictures
// folder is <scratch>/Pictures.
class ScratchHome
{
public:
    ScratchHome()
        : m_home(qgetenv("HOME"))
        , m_config(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    }
    ~ScratchHome()
    {
        qputenv("HOME", m_home);
        if (m_config.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_config);
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_home;
    QByteArray m_config;
};

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
    void commandLineIsRead_data();
    void commandLineIsRead();
    void ownFolderHoldsSettingsAndSaveFolders_data();
    void ownFolderHoldsSettingsAndSaveFolders();
    void fileOrFolderOnTheCommandLineIsOpened_data();
    void fileOrFolderOnTheCommandLineIsOpened();
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
    QTest::addColumn<QString>("position"); // what the strip says of it, once an image is on show
    // clang-format off
    QTest::newRow("sequence")       << "BUTTON7"  << "IMG001.BMP" << 1 << -1 << true  << ""                       << "IMG001.BMP"
        << "1 番（次の空き番号 3）";
    QTest::newRow("single file")    << "BUTTON6"  << "IMG002.BMP" << 0 << -1 << false << ""                       << ""
        << "1 / 1";
    QTest::newRow("folder")         << "BUTTON15" << "IMG002.BMP" << 3 << -1 << true  << "|このファイルは存在しません|0" << ""
        << "";
    QTest::newRow("single, by hand") << "BUTTON6" << "IMG002.BMP" << 0 << 2  << true  << "|このファイルは存在しません|0" << ""
        << "";
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
    QFETCH(QString, position);
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
    QCOMPARE(app.rt.StripTextShown(), position);
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
    QVERIFY2(messages.front().text.startsWith(
                 QStringLiteral("設定ファイル「%1/KANKYO.TXT」を保存できません").arg(folder)),
        qPrintable(messages.front().text));
    program.dialogs().answerMessage();
    closeMainWindow(program);
    QCOMPARE(program.dialogs().messages().size(), 2);
    QVERIFY(
        program.dialogs().messages().back().text.contains(QStringLiteral("「%1/KANKYO.TXT」").arg(folder)));
    QVERIFY(QFile::setPermissions(scratch.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestSession::commandLineIsRead_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode"); // -1: the program starts
    QTest::addColumn<bool>("ownFolder");
    QTest::addColumn<QString>("path"); // <cwd> stands for the current directory
    // clang-format off
    QTest::newRow("nothing")         << QStringList {}                                  << -1 << false << "";
    QTest::newRow("own folder")      << QStringList { "--own-folder" }                  << -1 << true  << "";
    QTest::newRow("relative file")   << QStringList { "--own-folder", "scans/a b.BMP" } << -1 << true  << "<cwd>/scans/a b.BMP";
    QTest::newRow("absolute folder") << QStringList { "/tmp/scans/" }                   << -1 << false << "/tmp/scans/";
    QTest::newRow("two paths")       << QStringList { "a.BMP", "b.BMP" }                << 2  << false << "";
    QTest::newRow("unknown option")  << QStringList { "--own" }                         << 2  << false << "";
    QTest::newRow("help")            << QStringList { "--help" }                        << 0  << false << "";
    QTest::newRow("help, all")       << QStringList { "--help-all" }                    << 0  << false << "";
    QTest::newRow("version")         << QStringList { "-v" }                            << 0  << false << "";
    // clang-format on
}

// The path to open is taken relative to the folder the program is started in, before the
// program changes to its own folder.
void TestSession::commandLineIsRead()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(bool, ownFolder);
    QFETCH(QString, path);
    const std::variant<StartRequest, int> read = readCommandLine(QStringList { "velmora" } + arguments);
    if (exitCode >= 0) {
        QCOMPARE(std::get<int>(read), exitCode);
        return;
    }
    const StartRequest request = std::get<StartRequest>(read);
    QCOMPARE(request.ownFolder, ownFolder);
    QCOMPARE(request.path, QString(path).replace(QLatin1String("<cwd>"), QDir::currentPath()));
}

void TestSession::ownFolderHoldsSettingsAndSaveFolders_data()
{
    QTest::addColumn<bool>("picturesIsAFile");
    QTest::newRow("created") << false;
    QTest::newRow("cannot be created") << true;
}

// Started from the desktop menu, the program works in Velmora of the pictures folder, created
// when missing: the settings file and every default save folder are there. When the folder cannot
// be made, the user is told and the program works where it was started.
void TestSession::ownFolderHoldsSettingsAndSaveFolders()
{
    QFETCH(bool, picturesIsAFile);
    ScratchHome home;
    if (picturesIsAFile) touch(home.path(QStringLiteral("Pictures")));
    const QString own = home.path(QStringLiteral("Pictures/Velmora"));
    QCOMPARE(ownWorkFolder(), own);
    TestProgram program;
    if (picturesIsAFile) program.dialogs().answerMessage();
    program.start({ true, {} });
    App& app = program.app();
    const QString folder = picturesIsAFile ? program.dir() : own;
    QCOMPARE(QDir::currentPath(), folder);
    QCOMPARE(app.CatFolder[1], folder + QLatin1Char('/'));
    QCOMPARE(app.LoadPath, folder);
    QCOMPARE(messageLines(program.dialogs()).size(), picturesIsAFile ? 1 : 0);
    if (picturesIsAFile) {
        const ScriptedDialogs::Call message = program.dialogs().messages().front();
        QCOMPARE(message.title, QStringLiteral("作業フォルダエラー"));
        QVERIFY2(message.text.startsWith(
                     QStringLiteral("作業フォルダ「%1」を作れないため、起動したフォルダ「%2」で作業します。")
                         .arg(own, folder)),
            qPrintable(message.text));
    }
    closeMainWindow(program);
    QVERIFY(QFile::exists(folder + QStringLiteral("/KANKYO.TXT")));
    QCOMPARE(QFile::exists(program.path(QStringLiteral("KANKYO.TXT"))), picturesIsAFile);
}

void TestSession::fileOrFolderOnTheCommandLineIsOpened_data()
{
    QTest::addColumn<QString>("argument"); // relative to the program's folder
    QTest::addColumn<bool>("ownFolder");
    QTest::addColumn<bool>("registered"); // a category was made valid in an earlier session
    QTest::addColumn<QString>("shown");
    QTest::addColumn<LoadMode>("mode");
    QTest::addColumn<QString>("message"); // the text of the one message box, if any
    QTest::addColumn<QString>("position"); // what the strip says
    // clang-format off
    QTest::newRow("file")                 << "scans/b.BMP" << false << true  << "b.BMP" << LoadMode::SingleFile << ""
        << "1 / 1";
    QTest::newRow("file, own folder")     << "scans/b.BMP" << true  << true  << "b.BMP" << LoadMode::SingleFile << ""
        << "1 / 1";
    QTest::newRow("folder")               << "scans"       << false << true  << "a.BMP" << LoadMode::Folder     << ""
        << "1 / 2";
    QTest::newRow("missing file")         << "scans/c.BMP" << false << true  << ""      << LoadMode::Sequence
        << "このファイルは存在しません" << "";
    QTest::newRow("file, first run")      << "scans/b.BMP" << false << false << ""      << LoadMode::Sequence
        << "全ての分類の設定が有効ではありません" << "";
    // clang-format on
}

// "velmora FILE" and "velmora FOLDER" open it once started, as a drop on the main window does:
// only where a category is valid, so that what is placed on it can be saved.
void TestSession::fileOrFolderOnTheCommandLineIsOpened()
{
    QFETCH(QString, argument);
    QFETCH(bool, ownFolder);
    QFETCH(bool, registered);
    QFETCH(QString, shown);
    QFETCH(LoadMode, mode);
    QFETCH(QString, message);
    QFETCH(QString, position);
    ScratchHome home;
    TestProgram program;
    const QString scans = makeFolder(program, QStringLiteral("scans"));
    writeImage(scans + QStringLiteral("a.BMP"), 1, 40, 30);
    writeImage(scans + QStringLiteral("b.BMP"), 2, 50, 30);
    writeImage(program.path(QStringLiteral("IMG001.BMP")), 3, 40, 30);
    const QStringList arguments = { "velmora", argument };
    const StartRequest request = std::get<StartRequest>(
        readCommandLine(ownFolder ? QStringList { "velmora", "--own-folder", argument } : arguments));
    if (registered) {
        program.start({ request.ownFolder, {} });
        registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
        closeMainWindow(program);
        program.createAgain();
    }
    if (!message.isEmpty()) program.dialogs().answerMessage();
    program.start(request);
    App& app = program.app();
    QCOMPARE(app.CurrentFileName, shown);
    QCOMPARE(app.LoadMode, mode);
    QCOMPARE(program.dialogs().messages().size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) QCOMPARE(program.dialogs().messages().first().text, message);
    if (!shown.isEmpty()) QCOMPARE(app.CurrentFilePath, scans + shown);
    if (mode == LoadMode::Folder) QCOMPARE(app.SrcList, QStringList({ "a.BMP", "b.BMP" }));
    QCOMPARE(app.rt.StripTextShown(), position);
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
