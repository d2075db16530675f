#include "app/WorkflowSupport.h"
#include "core/App.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"

#include <QDir>
#include <QTest>

namespace {

// What a load of a new source leaves for the user to see and use.
QStringList sourceState(TestProgram& program)
{
    App& app = program.app();
    QStringList state { app.CurrentFilePath, QString::number(int(app.LoadMode)), app.TitleText,
        QString::number(app.SrcIndex), app.SrcList.join(QLatin1Char('|')) };
    for (const char* button : { "BUTTON2", "BUTTON9", "BUTTON11", "BUTTON12" }) {
        const QWidget* widget = program.widget(QString::fromLatin1(button));
        state << QStringLiteral("%1 %2 %3")
                     .arg(QLatin1String(button))
                     .arg(widget->isVisible())
                     .arg(widget->isEnabled());
    }
    return state;
}

} // namespace

// A file or folder dragged from a file manager onto the picture loads as the buttons would.
class TestDrop : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void dropLoadsAsTheButtonsWould_data();
    void dropLoadsAsTheButtonsWould();
    void dropOfWhatCannotBeShownKeepsTheImage_data();
    void dropOfWhatCannotBeShownKeepsTheImage();
    void dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled_data();
    void dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled();
    void dropChecksTheCategoriesAsFinishingTheRegistrationDoes_data();
    void dropChecksTheCategoriesAsFinishingTheRegistrationDoes();
};

void TestDrop::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestDrop::dropLoadsAsTheButtonsWould_data()
{
    QTest::addColumn<QString>("dropped"); // below the program's folder
    QTest::addColumn<QString>("chosen"); // the file the user chooses through the button instead
    QTest::addColumn<QString>("button"); // of the registration window
    QTest::addColumn<QString>("next"); // shown after "保存実行"
    // clang-format off
    QTest::newRow("an image file") << "one/single.BMP" << "one/single.BMP" << "BUTTON6"  << "single.BMP";
    QTest::newRow("a folder")      << "others"         << "others/A1.BMP"  << "BUTTON15" << "b2.BMP";
    // clang-format on
}

// A file dropped on the picture is shown as "直接ファイル名を指定して画像を読み込む" and
// "登録終了" show it; a folder as "全画像" with its first image chosen does: the same file,
// source mode, title, folder list and buttons, and "保存実行" goes on from there.
void TestDrop::dropLoadsAsTheButtonsWould()
{
    QFETCH(QString, dropped);
    QFETCH(QString, chosen);
    QFETCH(QString, button);
    QFETCH(QString, next);
    Registered byButton;
    writeDropSources(byButton.program);
    click(byButton.program, "BUTTON5");
    byButton.program.dialogs().answerOpenFile(byButton.program.path(chosen));
    click(byButton.program, button.toLatin1().constData());
    click(byButton.program, "BUTTON8");

    Registered byDrop;
    writeDropSources(byDrop.program);
    QVERIFY(dropOnPicture(byDrop.program, byDrop.program.path(dropped)));
    QCOMPARE(byDrop.program.dialogs().messages().size(), 0);
    const auto relative = [](TestProgram& program) {
        QStringList state = sourceState(program);
        return state.replaceInStrings(program.dir(), QStringLiteral("<dir>"));
    };
    QCOMPARE(relative(byDrop.program), relative(byButton.program));
    QCOMPARE(
        sourceImage(byDrop.app()), QImage(byDrop.program.path(chosen)).convertToFormat(QImage::Format_RGB32));

    byDrop.place(10, 10, 40, 30);
    click(byDrop.program, "BUTTON9");
    QCOMPARE(byDrop.app().CurrentFileName, next);
    QVERIFY(QFile::exists(byDrop.program.path(QStringLiteral("CG01_001.BMP"))));
}

void TestDrop::dropOfWhatCannotBeShownKeepsTheImage_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("message"); // title|text|icon
    // clang-format off
    QTest::newRow("a file that is no image") << "one/junk.BMP" << "junk.BMP|このファイルは表示できません|0";
    QTest::newRow("a file that is gone")     << "one/gone.BMP" << "gone.BMP|このファイルは存在しません|0";
    QTest::newRow("a folder with no image")  << "empty"        << "<dir>/empty|このフォルダには読み込める画像がありません|2";
    // clang-format on
}

// What the buttons refuse, a drop refuses with the same message; the registered source stays.
void TestDrop::dropOfWhatCannotBeShownKeepsTheImage()
{
    QFETCH(QString, dropped);
    QFETCH(QString, message);
    Registered scene;
    writeDropSources(scene.program);
    const QStringList before = sourceState(scene.program);
    scene.program.dialogs().answerMessage();
    QVERIFY(dropOnPicture(scene.program, scene.program.path(dropped)));
    QCOMPARE(
        messageLines(scene.program.dialogs()).replaceInStrings(scene.program.dir(), QStringLiteral("<dir>")),
        QStringList { message });
    QCOMPARE(sourceState(scene.program), before);
    click(scene.program, "BUTTON9");
    QCOMPARE(scene.app().CurrentFileName, QStringLiteral("IMG002.BMP"));
}

void TestDrop::dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("dragTaken"); // the pointer shows that a drop is possible
    // clang-format off
    QTest::newRow("a frame placed")             << "frame"        << true;
    QTest::newRow("a frame being placed")       << "placing"      << true;
    QTest::newRow("registration window open")   << "registration" << false;
    // clang-format on
}

// Loading would forget the frames, so with frames placed or being placed a drop only gets a
// note; behind the registration window the main window takes no drag at all.
void TestDrop::dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled()
{
    QFETCH(QString, situation);
    QFETCH(bool, dragTaken);
    Registered scene;
    App& app = scene.app();
    writeDropSources(scene.program);
    if (situation == QLatin1String("frame")) scene.place(20, 20, 120, 90);
    if (situation == QLatin1String("placing")) scene.clickAt(20, 20);
    if (situation == QLatin1String("registration")) click(scene.program, "BUTTON5");
    const TrimState trimState = app.TrimState;
    const QImage viewBefore = view(app);
    QCOMPARE(dropOnPicture(scene.program, scene.program.path(QStringLiteral("one/single.BMP"))), dragTaken);
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG001.BMP"));
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.TrimState, trimState);
    QCOMPARE(view(app), viewBefore);
    QCOMPARE(app.rt.ShownNote().isEmpty(), !dragTaken);
    if (situation == QLatin1String("frame")) QCOMPARE(app.CatFrameCount[1], 1);
}

void TestDrop::dropChecksTheCategoriesAsFinishingTheRegistrationDoes_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("message"); // title|text|icon; none: the drop is loaded
    // clang-format off
    QTest::newRow("first run, no valid category") << "first run"
        << "分類設定エラー|全ての分類の設定が有効ではありません|2";
    QTest::newRow("save folder gone")             << "folder gone"
        << "保存先エラー　[<dir>/out/]|分類 1には保存フォルダーがありません|2";
    QTest::newRow("valid category and folder")    << "registered" << "";
    // clang-format on
}

// A drop loads only where "登録終了" would: with a valid category whose save folder is there.
// Otherwise it says what "登録終了" says and loads nothing, and the registration window stays
// closed. What a drop loads is saved into the category's folder.
void TestDrop::dropChecksTheCategoriesAsFinishingTheRegistrationDoes()
{
    QFETCH(QString, situation);
    QFETCH(QString, message);
    TestProgram program;
    writeDropSources(program);
    patternImage(160, 120, 1).save(program.path(QStringLiteral("IMG001.BMP")), "BMP");
    program.start();
    const QString out = makeFolder(program, QStringLiteral("out"));
    if (situation != QLatin1String("first run")) {
        click(program, "BUTTON5");
        clickValidBox(program);
        program.dialogs().answerFolder(out);
        click(program, "BUTTON10");
        program.dialogs().answerOpenFile(program.path(QStringLiteral("IMG001.BMP")));
        click(program, "BUTTON7");
        click(program, "BUTTON8");
        program.dialogs().clearCalls();
    }
    if (situation == QLatin1String("folder gone")) QVERIFY(QDir(out).removeRecursively());
    const QStringList before = sourceState(program);
    if (!message.isEmpty()) program.dialogs().answerMessage();

    QVERIFY(dropOnPicture(program, program.path(QStringLiteral("one/single.BMP"))));
    QCOMPARE(messageLines(program.dialogs()).replaceInStrings(program.dir(), QStringLiteral("<dir>")),
        message.isEmpty() ? QStringList() : QStringList { message });
    QVERIFY(!shown(program, "FORM2"));
    QVERIFY(enabled(program, "BUTTON5"));
    if (!message.isEmpty()) {
        QCOMPARE(sourceState(program), before);
        return;
    }
    QCOMPARE(program.app().CurrentFileName, QStringLiteral("single.BMP"));
    QVERIFY(shown(program, "BUTTON9") && enabled(program, "BUTTON9"));
    placeFrame(program, QPoint(15, 15), QPoint(40, 30));
    click(program, "BUTTON9");
    QCOMPARE(filesIn(out), QStringList { QStringLiteral("CG01_001.BMP") });
}

QTEST_MAIN(TestDrop)
#include "tst_drop.moc"
