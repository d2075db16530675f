#include "app/Handlers.h"
#include "app/Program.h"
#include "app/UnexpectedError.h"
#include "fixture/Files.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"

#include <QTest>
#include <QTimer>

// The request loop carries out a request once; the program ends by its close box, or with one box
// for an error that nothing handled.
class TestRequestLoop : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void requestIsCarriedOutOnce();
    void closingTheMainWindowEndsTheProgram();
    void unexpectedErrorEndsTheProgramWithOneBox();
    void escapingExceptionBecomesUnexpectedError();
    void errorOutsideHandlersEndsTheProgramWithOneBox_data();
    void errorOutsideHandlersEndsTheProgramWithOneBox();
};

void TestRequestLoop::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestRequestLoop::requestIsCarriedOutOnce()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    int carriedOut = 0;
    PendingAction pendingDuringAction = PendingAction::None;
    app.RequestActions[PendingAction::SaveThenNext] = [&](App& a) {
        ++carriedOut;
        pendingDuringAction = a.PendingAction;
    };
    app.rt.SetHandler(QStringLiteral("BUTTON9_ON"),
        [&](const ControlEvent&) { app.PendingAction = PendingAction::SaveThenNext; });
    app.rt.ShowWindow(app.BUTTON9, kTrue); // as a registration shows it
    QTest::mouseClick(program.widget(QStringLiteral("BUTTON9")), Qt::LeftButton);
    program.runEvents();
    QCOMPARE(carriedOut, 1);
    QCOMPARE(pendingDuringAction, PendingAction::SaveThenNext);
    QCOMPARE(app.PendingAction, PendingAction::None);
    program.runEvents();
    QCOMPARE(carriedOut, 1);
}

void TestRequestLoop::closingTheMainWindowEndsTheProgram()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.LoadMode = LoadMode::SingleFile;
    closeMainWindow(program);
    QVERIFY(app.rt.Ended());
    QCOMPARE(app.LoadMode, LoadMode::None);
    QCOMPARE(app.bitmaps.CheckObject(app.ViewBitmap), 0);
}

void TestRequestLoop::unexpectedErrorEndsTheProgramWithOneBox()
{
    TestProgram program;
    App& app = program.app();
    QTimer::singleShot(0, [&] {
        app.rt.SetHandler(QStringLiteral("BUTTON5_ON"), [](const ControlEvent&) {
            throw UnexpectedError { QStringLiteral("BUTTON5_ON"), 3 };
        });
        QTest::mouseClick(program.widget(QStringLiteral("BUTTON5")), Qt::LeftButton);
    });
    program.dialogs().answerMessage();
    QCOMPARE(runProgram(app), 1);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(messages[0].text, QStringLiteral("続行不可能なエラーが発生しました BUTTON5_ON [3行]"));
    QCOMPARE(messages[0].icon, MessageIcon::Stop);
}

void TestRequestLoop::escapingExceptionBecomesUnexpectedError()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    registerHandler(app, "BUTTON5_ON", [](App&, const ControlEvent&) { throw std::bad_alloc(); });
    QTest::mouseClick(program.widget(QStringLiteral("BUTTON5")), Qt::LeftButton);
    try {
        program.runEvents();
        QFAIL("the error did not reach the program");
    } catch (const UnexpectedError& error) {
        QCOMPARE(
            unexpectedErrorText(error), QStringLiteral("続行不可能なエラーが発生しました BUTTON5_ON [0行]"));
    }
}

void TestRequestLoop::errorOutsideHandlersEndsTheProgramWithOneBox_data()
{
    QTest::addColumn<bool>("duringStartUp"); // otherwise request 2 fails
    QTest::addColumn<QByteArray>("settings"); // keys are not read; only the values count
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("request") << false << QByteArray("Copyright,x\r\nwork,\r\nzoom,0\r\n") << "続行不可能なエラーが発生しました RequestLoop [2行]";
    QTest::newRow("start-up") << true << QByteArray("Copyright,x\r\nwork,\r\nzoom,big\r\n") << "続行不可能なエラーが発生しました startUp [0行]";
    // clang-format on
}

// An error that escapes a request of the loop, or the start-up, ends the program like one that
// escapes a handler: one box, the error exit code, and KANKYO.TXT left as it was.
void TestRequestLoop::errorOutsideHandlersEndsTheProgramWithOneBox()
{
    QFETCH(bool, duringStartUp);
    QFETCH(QByteArray, settings);
    QFETCH(QString, text);
    TestProgram program;
    App& app = program.app();
    const QString settingsFile = program.path(QStringLiteral("KANKYO.TXT"));
    writeBytes(settingsFile, settings);
    if (duringStartUp) {
        // The settings file is damaged, and the message that says so cannot be shown.
        program.dialogs().failMessage();
    } else {
        QTimer::singleShot(0, [&] {
            app.RequestActions[PendingAction::SaveThenNext] = [](App&) { throw std::bad_alloc(); };
            app.rt.ShowWindow(app.BUTTON9, kTrue); // as a registration leaves it
            app.rt.EnableWindow(app.BUTTON9, kTrue);
            QTest::mouseClick(program.widget(QStringLiteral("BUTTON9")), Qt::LeftButton);
        });
    }
    program.dialogs().answerMessage();
    QCOMPARE(runProgram(app), 1);
    QCOMPARE(program.dialogs().unanswered(), 0);
    QList<ScriptedDialogs::Call> boxes;
    for (const ScriptedDialogs::Call& message : program.dialogs().messages())
        if (message.icon == MessageIcon::Stop) boxes << message;
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(boxes[0].text, text);
    QCOMPARE(program.dialogs().messages().last().icon, MessageIcon::Stop);
    QCOMPARE(readBytes(settingsFile), settings);
}

QTEST_MAIN(TestRequestLoop)
#include "tst_request_loop.moc"
