#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "source/LoadMode.h"

#include <QTest>

// A program's life beyond one session: started again on the files the one before left.
class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void registrationAfterARestartInEachLoadMode_data();
    void registrationAfterARestartInEachLoadMode();
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

QTEST_MAIN(TestSession)
#include "tst_session.moc"
