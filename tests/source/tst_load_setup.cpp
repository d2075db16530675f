#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"
#include "source/LoadSetup.h"

#include <QDir>
#include <QTest>

// The source buttons of the registration window: a file chosen as a sequence, a single file or a
// folder, and the sequence read from its name.
class TestLoadSetup : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void sequenceNameParts_data();
    void sequenceNameParts();
    void sequenceReference_data();
    void sequenceReference();
    void cancelledDialogsLeaveTheLoadMode();
    void directFileIsShownAtOnce();
    void allImagesCancelled();
};

void TestLoadSetup::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestLoadSetup::sequenceNameParts_data()
{
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QStringList>("parts"); // fixed part and number text; none when no number
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("zeroFilled");
    // clang-format off
    QTest::newRow("zero-filled")              << "CG001"      << QStringList { "CG", "001" }       << 1.0  << true;
    QTest::newRow("not zero-filled")          << "IMG12"      << QStringList { "IMG", "12" }       << 12.0 << false;
    QTest::newRow("only digits")              << "0"          << QStringList { "", "0" }           << 0.0  << true;
    QTest::newRow("dots before the digits")   << "a.b9"       << QStringList { "a.b", "9" }        << 9.0  << false;
    QTest::newRow("full-width digits are not digits") << "写真０１2" << QStringList { "写真０１", "2" } << 2.0  << false;
    QTest::newRow("no number")                << "photo"      << QStringList {}                    << 0.0  << false;
    QTest::newRow("empty")                    << ""           << QStringList {}                    << 0.0  << false;
    // clang-format on
}

void TestLoadSetup::sequenceNameParts()
{
    QFETCH(QString, baseName);
    QFETCH(QStringList, parts);
    QFETCH(double, number);
    QFETCH(bool, zeroFilled);
    const std::optional<SequenceName> name = parseSequenceName(baseName);
    QCOMPARE(name.has_value(), !parts.isEmpty());
    if (!name) return;
    QCOMPARE((QStringList { name->fixed, name->numberText }), parts);
    QCOMPARE(name->number, number);
    QCOMPARE(name->digits, int16_t(parts[1].size()));
    QCOMPARE(name->zeroFilled, zeroFilled);
}

// --- load setup: the source buttons of the registration window -------------------------

// Base name -> fields of the sequence. A name of no characters (".BMP") holds no number and is
// loaded directly, like "cover"; so is a name that ends in full-width digits.
void TestLoadSetup::sequenceReference_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("fill"); // COMBO3: 0 "無", 1 "0"
    QTest::addColumn<LoadMode>("loadMode");
    // clang-format off
    QTest::newRow("IMG0012") << "IMG0012.BMP" << false << "IMG" << "12" << "4" << 1 << LoadMode::Sequence;
    QTest::newRow("IMG12") << "IMG12.BMP" << false << "IMG" << "12" << "2" << 0 << LoadMode::Sequence;
    QTest::newRow("scan_2020_001") << "scan_2020_001.jpg" << false << "scan_2020_" << "1" << "3" << 1 << LoadMode::Sequence;
    QTest::newRow("写真007") << "写真007.BMP" << false << "写真" << "7" << "3" << 1 << LoadMode::Sequence;
    QTest::newRow("0042") << "0042.BMP" << false << "" << "42" << "4" << 1 << LoadMode::Sequence;
    QTest::newRow("cover") << "cover.BMP" << true << "" << "" << "" << 0 << LoadMode::SingleFile;
    QTest::newRow("full-width digits") << "写真０１２.BMP" << true << "" << "" << "" << 0 << LoadMode::SingleFile;
    QTest::newRow("empty base name") << ".BMP" << true << "" << "" << "" << 0 << LoadMode::SingleFile;
    // clang-format on
}

void TestLoadSetup::sequenceReference()
{
    QFETCH(QString, fileName);
    QFETCH(bool, direct);
    QFETCH(QString, fixed);
    QFETCH(QString, number);
    QFETCH(QString, digits);
    QFETCH(int, fill);
    QFETCH(LoadMode, loadMode);

    TestProgram program;
    program.start();
    App& app = program.app();
    const QString path = program.path(fileName);
    writeImage(path, 3, 24, 16);
    click(program, "BUTTON5");
    const QString before = text(program, app.EDIT2);

    program.dialogs().clearCalls();
    program.dialogs().answerOpenFile(path);
    if (direct) program.dialogs().answerMessage();
    click(program, "BUTTON7");

    const ScriptedDialogs::Call& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.title, QStringLiteral("トリミングを開始する画像ファイルは？"));
    QCOMPARE(dialog.filter, QStringLiteral("(*.BMP,*.JPG);(*.*)"));
    QCOMPARE(dialog.flag, 0);
    QCOMPARE(dialog.owner, QStringLiteral("FORM2"));
    QCOMPARE(text(program, app.EDIT1), path);
    QCOMPARE(app.LoadMode, loadMode);
    QCOMPARE(app.LoadPath, program.dir() + QDir::separator());
    if (direct) {
        QCOMPARE(messageLines(program.dialogs()),
            QStringList { QStringLiteral("|連番部分がありませんので、直接ロードします|2") });
        QCOMPARE(app.CurrentFilePath, path);
        QCOMPARE(app.ImageWidth, 24.0f);
        QVERIFY(text(program, app.MAINFORM).contains(fileName));
        QCOMPARE(text(program, app.EDIT2), before); // the sequence fields are left alone
        return;
    }
    QCOMPARE(program.dialogs().messages().size(), 0);
    QCOMPARE(text(program, app.EDIT2), fixed);
    QCOMPARE(text(program, app.EDIT3), number);
    QCOMPARE(text(program, app.EDIT4), digits);
    QCOMPARE(app.rt.GetCurSel(app.COMBO3), fill);
    QVERIFY(app.CurrentFilePath.isEmpty()); // nothing is loaded before "登録終了"
}

void TestLoadSetup::cancelledDialogsLeaveTheLoadMode()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");

    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON6");
    QCOMPARE(app.LoadMode, LoadMode::None);
    QCOMPARE(app.LoadFilePath, dialogCancelled());

    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON7");
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(text(program, app.EDIT2), QStringLiteral("CG"));
    QCOMPARE(program.dialogs().messages().size(), 0);
    QVERIFY(app.CurrentFilePath.isEmpty());
}

void TestLoadSetup::directFileIsShownAtOnce()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    const QString path = makeFolder(program, QStringLiteral("scans")) + QStringLiteral("page7.BMP");
    writeImage(path, 5, 30, 20);
    click(program, "BUTTON5");
    program.dialogs().answerOpenFile(path);
    click(program, "BUTTON6");

    const ScriptedDialogs::Call& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.title, QStringLiteral("トリミングする画像ファイルは？"));
    QCOMPARE(dialog.filter, QStringLiteral("(*.BMP,*.JPG);(*.*)"));
    QCOMPARE(app.LoadMode, LoadMode::SingleFile);
    QCOMPARE(app.LoadPath, program.dir() + QStringLiteral("/scans/"));
    QCOMPARE(app.CurrentFileName, QStringLiteral("page7.BMP"));
    QCOMPARE(app.ImageWidth, 30.0f);

    // A file that cannot be read leaves no source chosen; the image on show stays.
    const QString broken = program.path(QStringLiteral("broken.BMP"));
    writeBytes(broken, "not an image");
    program.dialogs().answerOpenFile(broken);
    program.dialogs().answerMessage();
    click(program, "BUTTON6");
    QCOMPARE(app.LoadMode, LoadMode::None);
    QCOMPARE(app.CurrentFilePath, path);
}

// "全画像" cancelled: folder-list mode and the cancel mark stay, nothing is listed.
void TestLoadSetup::allImagesCancelled()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON15");
    QCOMPARE(app.LoadMode, LoadMode::Folder);
    QCOMPARE(app.LoadFilePath, dialogCancelled());
    QCOMPARE(app.SrcCount, 0);
    QCOMPARE(app.PendingAction, PendingAction::None);
    QCOMPARE(program.dialogs().calls().size(), 1);
    const auto& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.title, QStringLiteral("トリミングする画像ファイルは？"));
    QCOMPARE(dialog.filter, QStringLiteral("(*.BMP,*.JPG);(*.*)"));
    QVERIFY(shown(program, "FORM2"));
}

QTEST_MAIN(TestLoadSetup)
#include "tst_load_setup.moc"
