#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/ResourceCaps.h"
#include "fixture/UserActions.h"
#include "platform/FileSystem.h"
#include "settings/Cp932.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

Q_DECLARE_METATYPE(SettingsDamage)

namespace {

// How a test file is damaged: cut after some lines, one line replaced, or cut inside a line.
enum Damage { Cut, Replace, CutInside };

} // namespace

// The settings file as a whole: read and written back, missing, short, damaged, not a file, or not
// writable.
class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void pathsInTheRootFolderHaveOneSeparator();
    void exampleFileIsReadAndWrittenBackUnchanged();
    void fileWithLineFeedsOnlyIsRead();
    void shortFileKeepsDefaults_data();
    void shortFileKeepsDefaults();
    void missingFileIsFirstRun();
    void damagedFile_data();
    void damagedFile();
    void failedWriteKeepsTheEarlierFile();
    void folderInPlaceOfTheFileIsReported();
    void fifoInPlaceOfTheFileIsReported();
};

void TestSettingsFile::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestSettingsFile::exampleFileIsReadAndWrittenBackUnchanged()
{
    TestProgram program;
    const QString folder = program.dir() + kSeparator;
    QStringList lines = exampleLines(program.dir());
    const QByteArray original = cp932Bytes(lines);
    // The example block of category 3, byte for byte.
    QVERIFY(original.contains("------------------------, 0\r\n\x95\xAA\x97\xDE 3,\x95\xAA\x97\xDE 3\r\n"));
    writeBytes(settingsFile(program), original);
    program.start();
    App& app = program.app();
    QCOMPARE(program.dialogs().calls().size(), 0);

    QCOMPARE(app.JpegWorkDrive, folder);
    QCOMPARE(app.JpegTempFile, folder + QStringLiteral("DAMMY.BMP"));
    QCOMPARE(app.MagnificationIndex, int16_t(3));
    QCOMPARE(app.rt.GetCurSel(app.COMBO5), 3);
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.LoadPath, folder + QStringLiteral("画像/"));
    QCOMPARE(app.SeqFixed, QStringLiteral("IMG"));
    QCOMPARE(app.SeqNumber, 25.0);
    QCOMPARE(app.SeqDigits, int16_t(4));
    QCOMPARE(app.rt.GetCurSel(app.COMBO3), 0);
    QCOMPARE(app.SeqExt, QStringLiteral(".BMP"));

    QCOMPARE(app.CatValid[2], int16_t(1));
    QCOMPARE(app.CatValid[9], int16_t(-1));
    QCOMPARE(app.CatValid[3], int16_t(0));
    QCOMPARE(app.CatName[3], QStringLiteral("分類 3"));
    QCOMPARE(app.CatFolder[3], folder);
    QCOMPARE(app.CatFixed[3], QStringLiteral("CG03_"));
    QCOMPARE(app.CatStartText[3], QStringLiteral("1"));
    QCOMPARE(app.CatNextNo[3], int16_t(1));
    QCOMPARE(app.CatDigits[3], int16_t(3));
    QCOMPARE(app.CatFill[3], QStringLiteral("0"));
    QCOMPARE(app.CatName[5], QStringLiteral("人物・顔"));
    QCOMPARE(app.CatStartText[5], QStringLiteral("12"));
    QCOMPARE(app.CatNextNo[5], int16_t(12));
    QCOMPARE(app.CatDigits[5], int16_t(5));
    QCOMPARE(app.CatFill[5], QStringLiteral("1"));
    QCOMPARE(app.CatNextNo[2], int16_t(7));
    QCOMPARE(app.CatName[20], QStringLiteral("最後"));

    // Only categories whose flag is exactly 1 are offered, in ascending number.
    QCOMPARE(comboItems(app, app.COMBO2), QStringList({ "風景", "人物・顔", "ｶﾀｶﾅ" }));
    QCOMPARE(app.ValidCatCount, 3);
    QCOMPARE(app.ValidCatMap[0], int16_t(2));
    QCOMPARE(app.ValidCatMap[1], int16_t(5));
    QCOMPARE(app.ValidCatMap[2], int16_t(17));
    QCOMPARE(app.ValidCatMap[3], int16_t(0));
    QCOMPARE(app.CurCat, int16_t(2));

    closeMainWindow(program);
    lines[0] = QStringLiteral("Copyright,") + app.BannerText;
    QCOMPARE(readBytes(settingsFile(program)), cp932Bytes(lines));
    // The temporary file has been renamed away, and nothing was backed up.
    QCOMPARE(filesIn(program.dir()), QStringList({ "KANKYO.TXT" }));
}

void TestSettingsFile::fileWithLineFeedsOnlyIsRead()
{
    TestProgram program;
    QStringList lines = exampleLines(program.dir());
    writeBytes(settingsFile(program), cp932Bytes(lines, "\n"));
    program.start();
    App& app = program.app();
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(app.LoadPath, program.dir() + QStringLiteral("/画像/"));
    QCOMPARE(app.CatName[20], QStringLiteral("最後"));
    QCOMPARE(app.CatFill[20], QStringLiteral("1"));

    closeMainWindow(program);
    lines[0] = QStringLiteral("Copyright,") + app.BannerText;
    QCOMPARE(readBytes(settingsFile(program)), cp932Bytes(lines));
}

void TestSettingsFile::shortFileKeepsDefaults_data()
{
    QTest::addColumn<bool>("withFile");
    // clang-format off
    QTest::newRow("file of three records") << true;
    QTest::newRow("no file") << false;
    // clang-format on
}

void TestSettingsFile::shortFileKeepsDefaults()
{
    QFETCH(bool, withFile);
    TestProgram program;
    // A current directory whose name holds a comma: the default load path is never cut.
    QVERIFY(QDir(program.dir()).mkdir(QStringLiteral("scan,2024")));
    const QString cwd = program.path(QStringLiteral("scan,2024"));
    QVERIFY(QDir::setCurrent(cwd));
    if (withFile)
        writeBytes(cwd + QStringLiteral("/KANKYO.TXT"),
            cp932Bytes({ QStringLiteral("Copyright,x"), QStringLiteral("ＪＰＥＧ用作業ドライブ,/w/"),
                QStringLiteral("倍率リスト, 2") }));
    program.start();
    App& app = program.app();
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(app.JpegWorkDrive, withFile ? QStringLiteral("/w/") : QString());
    QCOMPARE(app.JpegTempFile, withFile ? QStringLiteral("/w/DAMMY.BMP") : QStringLiteral("DAMMY.BMP"));
    QCOMPARE(app.rt.GetCurSel(app.COMBO5), withFile ? 2 : 0);
    QCOMPARE(app.LoadPath, cwd);
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.SeqFixed, QStringLiteral("CG"));
    QCOMPARE(app.SeqNumber, 1.0);
    QCOMPARE(app.SeqDigits, int16_t(3));
    QCOMPARE(app.rt.GetCurSel(app.COMBO3), 1);
    QCOMPARE(app.SeqExt, QString());
    QCOMPARE(app.CatName[20], QStringLiteral("分類 20"));
    QCOMPARE(app.CatFolder[20], cwd + kSeparator);
    QCOMPARE(app.CatFixed[9], QStringLiteral("CG09_"));
    QCOMPARE(app.rt.GetCount(app.COMBO2), 0);
    QCOMPARE(app.ValidCatCount, 0);

    closeMainWindow(program);
    const QStringList lines = settingsLines(cwd);
    QCOMPARE(lines.size(), 150);
    QCOMPARE(lines[4], QStringLiteral("ロードパス,") + cwd);
}

void TestSettingsFile::missingFileIsFirstRun()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    QCOMPARE(program.dialogs().calls().size(), 0);
    closeMainWindow(program);

    const QByteArray bytes = readBytes(settingsFile(program));
    QVERIFY(!bytes.startsWith(kUtf8Bom));
    QCOMPARE(bytes.count("\r\n"), 150);
    QCOMPARE(bytes.count('\n'), 150);
    QVERIFY(bytes.endsWith("\r\n"));
    const QString cwd = currentDirectory();
    const QStringList lines = settingsLines(program.dir());
    const QStringList header = {
        QStringLiteral("Copyright,") + app.BannerText,
        QStringLiteral("ＪＰＥＧ用作業ドライブ,"),
        QStringLiteral("倍率リスト, 0"),
        QStringLiteral("ＬＯＡＤモード, 1"),
        QStringLiteral("ロードパス,") + cwd,
        QStringLiteral("固定部分,CG"),
        QStringLiteral("連番開始番号, 1"),
        QStringLiteral("連番桁数, 3"),
        QStringLiteral("埋め文字,0"),
        QStringLiteral("拡張子,JPG"),
    };
    QCOMPARE(lines.mid(0, 10), header);
    const QStringList category12 = {
        QStringLiteral("------------------------, 0"),
        QStringLiteral("分類 12,分類 12"),
        QStringLiteral("セーブパス,") + cwd + kSeparator,
        QStringLiteral("固定部分,CG12_"),
        QStringLiteral("連番開始番号,1"),
        QStringLiteral("連番桁数, 3"),
        QStringLiteral("埋め文字,0"),
    };
    QCOMPARE(lines.mid(categoryLine(12, 0), 7), category12);
    QCOMPARE(lines[149], QStringLiteral("埋め文字,0"));
    QVERIFY(!QFile::exists(settingsFile(program) + QStringLiteral(".bak")));
}

void TestSettingsFile::damagedFile_data()
{
    QTest::addColumn<int>("damage");
    QTest::addColumn<int>("at"); // 0-based line of the damage, or the number of lines kept
    QTest::addColumn<QByteArray>("with"); // the bytes of the damaged line
    QTest::addColumn<SettingsDamage>("found");
    QTest::addColumn<int>("line"); // 1-based, as the message names it
    const auto cp = [](const char* text) { return toCp932(QString::fromUtf8(text)).value(); };
    const QByteArray none;
    const SettingsDamage early = SettingsDamage::EndsEarly, unreadable = SettingsDamage::Unreadable;
    const SettingsDamage inside = SettingsDamage::EndsInside;
    // clang-format off
    QTest::newRow("empty file")                      << int(Cut)       << 0                    << none                                            << early      << 1;
    QTest::newRow("banner only")                     << int(Cut)       << 1                    << none                                            << early      << 2;
    QTest::newRow("ends after record 4")             << int(Cut)       << 4                    << none                                            << early      << 5;
    QTest::newRow("ends after the header")           << int(Cut)       << 10                   << none                                            << early      << 11;
    QTest::newRow("ends inside a category")          << int(Cut)       << categoryLine(3, 3)   << none                                            << early      << categoryLine(3, 3) + 1;
    QTest::newRow("ends before the last record")     << int(Cut)       << 149                  << none                                            << early      << 150;
    QTest::newRow("cut inside a folder line")        << int(CutInside) << categoryLine(8, 2)   << cp("セーブパス,/t")                              << inside     << categoryLine(8, 2) + 1;
    QTest::newRow("cut inside a character")          << int(CutInside) << categoryLine(2, 1)   << cp("分類 2,") + "\x95"                          << inside     << categoryLine(2, 1) + 1;
    QTest::newRow("cut inside the last value")       << int(CutInside) << 149                  << cp("埋め文字,")                                  << inside     << 150;
    QTest::newRow("cut after the last value")        << int(CutInside) << 149                  << cp("埋め文字,1")                                 << inside     << 150;
    QTest::newRow("cut between CR and LF")           << int(CutInside) << 149                  << cp("埋め文字,1") + "\r"                         << inside     << 150;
    QTest::newRow("three records, cut in the third") << int(CutInside) << 2                    << cp("倍率リスト, 3")                              << inside     << 3;
    QTest::newRow("garbage in digits")               << int(Replace)   << 7                    << cp("連番桁数,abc")                               << unreadable << 8;
    QTest::newRow("garbage in a valid flag")         << int(Replace)   << categoryLine(4, 0)   << cp("------------------------,yes")              << unreadable << categoryLine(4, 0) + 1;
    QTest::newRow("empty number")                    << int(Replace)   << 2                    << cp("x,")                                        << unreadable << 3;
    QTest::newRow("no number before the next comma") << int(Replace)   << 2                    << cp("倍率リスト,,3")                              << unreadable << 3;
    QTest::newRow("invalid code page 932 bytes")     << int(Replace)   << categoryLine(2, 1)   << cp("分類 2,") + "\x80\xA0\xFD"                 << unreadable << categoryLine(2, 1) + 1;
    QTest::newRow("line without a comma")            << int(Replace)   << categoryLine(2, 2)   << cp("セーブパス")                                 << unreadable << categoryLine(2, 2) + 1;
    // clang-format on
}

void TestSettingsFile::damagedFile()
{
    QFETCH(int, damage);
    QFETCH(int, at);
    QFETCH(QByteArray, with);
    QFETCH(SettingsDamage, found);
    QFETCH(int, line);
    TestProgram program;
    const QStringList lines = exampleLines(program.dir());
    QByteArray bytes;
    switch (damage) {
    case Cut: bytes = cp932Bytes(lines.mid(0, at)); break;
    case Replace: bytes = cp932Bytes(lines.mid(0, at)) + with + "\r\n" + cp932Bytes(lines.mid(at + 1)); break;
    default: bytes = cp932Bytes(lines.mid(0, at)) + with; break;
    }
    writeBytes(settingsFile(program), bytes);

    program.dialogs().answerMessage();
    program.start();
    App& app = program.app();
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].owner, QString());
    QCOMPARE(messages[0].title, QStringLiteral("設定ファイルエラー"));
    QCOMPARE(messages[0].text, settingsDamageText(found, line, true));
    QVERIFY(messages[0].text.contains(settingsFile(program)));
    QVERIFY(messages[0].text.contains(QStringLiteral("%1行目").arg(line)));

    // What stands before the damage is taken; everything from it on keeps its default.
    QCOMPARE(app.MagnificationIndex, int16_t(line > 3 ? 3 : 0));
    QCOMPARE(app.SeqFixed, line > 6 ? QStringLiteral("IMG") : QStringLiteral("CG"));
    QCOMPARE(
        app.CatName[2], line > categoryLine(2, 1) + 1 ? QStringLiteral("風景") : QStringLiteral("分類 2"));
    QCOMPARE(
        app.CatName[20], line > categoryLine(20, 1) + 1 ? QStringLiteral("最後") : QStringLiteral("分類 20"));
    QCOMPARE(app.CatFill[20], QStringLiteral("0"));
    QCOMPARE(readBytes(settingsFile(program) + QStringLiteral(".bak")), bytes);

    closeMainWindow(program);
    QCOMPARE(settingsLines(program.dir()).size(), 150);
    QCOMPARE(settingsLines(program.dir())[0], QStringLiteral("Copyright,") + app.BannerText);
    QCOMPARE(readBytes(settingsFile(program) + QStringLiteral(".bak")), bytes);
}

void TestSettingsFile::failedWriteKeepsTheEarlierFile()
{
    TestProgram program;
    const QByteArray original = cp932Bytes(exampleLines(program.dir()));
    writeBytes(settingsFile(program), original);
    program.start();
    program.app().CatName[1] = QStringLiteral("changed");

    {
        // A file-size limit makes every write beyond 100 bytes fail, as a full disk would.
        const FileSizeCap cap(100);
        QVERIFY(cap.active());
        program.dialogs().answerMessage();
        closeMainWindow(program);
    }

    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("設定ファイルエラー"));
    QVERIFY(messages[0].text.startsWith(
        QStringLiteral("設定ファイル「%1」を保存できませんでした。").arg(settingsFile(program))));
    QCOMPARE(readBytes(settingsFile(program)), original);
    QCOMPARE(filesIn(program.dir()), QStringList({ "KANKYO.TXT" }));
}

void TestSettingsFile::folderInPlaceOfTheFileIsReported()
{
    TestProgram program;
    QVERIFY(QDir(program.dir()).mkdir(QStringLiteral("KANKYO.TXT")));
    program.dialogs().answerMessage();
    program.start();
    QCOMPARE(program.dialogs().messages().size(), 1);
    QCOMPARE(program.dialogs().messages()[0].text, settingsDamageText(SettingsDamage::Unreadable, 1, false));
    QCOMPARE(program.app().CatName[1], QStringLiteral("分類 1"));
    program.dialogs().answerMessage();
    closeMainWindow(program);
    QCOMPARE(program.dialogs().messages().size(), 2);
    QVERIFY(QFileInfo(settingsFile(program)).isDir());
    QCOMPARE(filesIn(program.dir()), QStringList());
}

// A FIFO would hold the start-up until some writer came; it is reported like a damaged file,
// without being read, and the settings written at the end take its place.
void TestSettingsFile::fifoInPlaceOfTheFileIsReported()
{
    TestProgram program;
    FifoTrap trap(settingsFile(program), cp932Bytes(exampleLines(program.dir())));
    QVERIFY(trap.created());
    program.dialogs().answerMessage();
    program.start();
    QVERIFY(!trap.wasRead());
    QCOMPARE(program.dialogs().messages().size(), 1);
    QCOMPARE(program.dialogs().messages()[0].text, settingsDamageText(SettingsDamage::Unreadable, 1, false));
    QCOMPARE(program.app().CatName[2], QStringLiteral("分類 2"));
    QVERIFY(!QFile::exists(settingsFile(program) + QStringLiteral(".bak")));
    closeMainWindow(program);
    QVERIFY(QFileInfo(settingsFile(program)).isFile());
    QCOMPARE(settingsLines(program.dir()).size(), 150);
}

// Started in the root folder, the settings file and the default save folder are named with one
// separator, in the messages too.
void TestSettingsFile::pathsInTheRootFolderHaveOneSeparator()
{
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QStringLiteral("/")));
    const QString folder = currentFolder();
    const QString file = settingsFilePath();
    const QString failed = settingsWriteFailedText(QStringLiteral("reason"));
    const QString unwritable = settingsFolderUnwritableText(QStringLiteral("reason"));
    QDir::setCurrent(previous);
    QCOMPARE(folder, QStringLiteral("/"));
    QCOMPARE(file, QStringLiteral("/KANKYO.TXT"));
    QVERIFY(failed.contains(QStringLiteral("「/KANKYO.TXT」")));
    QVERIFY(unwritable.contains(QStringLiteral("「/KANKYO.TXT」")));
}

QTEST_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
