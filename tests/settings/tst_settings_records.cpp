#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/UserActions.h"
#include "platform/FileSystem.h"
#include "settings/SettingsSupport.h"

#include <QTest>

namespace {

// A field of the state named for a data table.
QString field(App& app, const QString& name)
{
    if (name == QLatin1String("LoadPath")) return app.LoadPath;
    if (name == QLatin1String("JpegWorkDrive")) return app.JpegWorkDrive;
    if (name == QLatin1String("SeqFixed")) return app.SeqFixed;
    if (name == QLatin1String("CatName3")) return app.CatName[3];
    if (name == QLatin1String("CatFolder3")) return app.CatFolder[3];
    if (name == QLatin1String("CatFixed3")) return app.CatFixed[3];
    if (name == QLatin1String("CatStartText3")) return app.CatStartText[3];
    if (name == QLatin1String("CatNextNo3")) return QString::number(app.CatNextNo[3]);
    if (name == QLatin1String("CatDigits3")) return QString::number(app.CatDigits[3]);
    if (name == QLatin1String("CatValid3")) return QString::number(app.CatValid[3]);
    if (name == QLatin1String("CatFill3")) return app.CatFill[3];
    if (name == QLatin1String("LoadMode")) return QString::number(int(app.LoadMode));
    if (name == QLatin1String("SeqNumber")) return QString::number(app.SeqNumber, 'g', 15);
    if (name == QLatin1String("SeqDigits")) return QString::number(app.SeqDigits);
    if (name == QLatin1String("MagnificationIndex")) return QString::number(app.MagnificationIndex);
    if (name == QLatin1String("COMBO5")) return QString::number(app.rt.GetCurSel(app.COMBO5));
    if (name == QLatin1String("COMBO3")) return QString::number(app.rt.GetCurSel(app.COMBO3));
    if (name == QLatin1String("SeqExt")) return app.SeqExt;
    qFatal("unknown field %s", qPrintable(name));
}

// "<cwd>" in a table stands for the program's current directory.
QString withCurrentDirectory(QString text)
{
    return text.replace(QStringLiteral("<cwd>"), currentDirectory());
}

} // namespace

// Each record of the settings file: what a program reads from it and writes back.
class TestSettingsRecords : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void extensionRecord_data();
    void extensionRecord();
    void stringRecords_data();
    void stringRecords();
    void numberRecords_data();
    void numberRecords();
    void numbersAreWrittenWithSignPlace_data();
    void numbersAreWrittenWithSignPlace();
    void loadModeOfNoModeIsKept_data();
    void loadModeOfNoModeIsKept();
};

void TestSettingsRecords::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestSettingsRecords::extensionRecord_data()
{
    QTest::addColumn<QString>("seqExt");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("readBack");
    // clang-format off
    QTest::newRow("lower-case bmp") << ".bmp" << "BMP" << ".BMP";
    QTest::newRow("upper-case bmp") << ".BMP" << "BMP" << ".BMP";
    QTest::newRow("mixed-case bmp") << ".Bmp" << "JPG" << ".JPG";
    QTest::newRow("empty") << "" << "JPG" << ".JPG";
    QTest::newRow("jpg") << ".jpg" << "JPG" << ".JPG";
    // clang-format on
}

void TestSettingsRecords::extensionRecord()
{
    QFETCH(QString, seqExt);
    QFETCH(QString, written);
    QFETCH(QString, readBack);
    QByteArray bytes;
    {
        TestProgram program;
        program.start();
        program.app().SeqExt = seqExt;
        closeMainWindow(program);
        QCOMPARE(settingsLines(program.dir()).value(9), QStringLiteral("拡張子,") + written);
        bytes = readBytes(settingsFile(program));
    }
    TestProgram next;
    writeBytes(settingsFile(next), bytes);
    next.start();
    QCOMPARE(next.app().SeqExt, readBack);
}

void TestSettingsRecords::stringRecords_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("writtenBack");
    const int name = categoryLine(3, 1), folder = categoryLine(3, 2), fixed = categoryLine(3, 3);
    // clang-format off
    QTest::newRow("empty category folder") << folder << "セーブパス," << "CatFolder3" << "<cwd>/" << "セーブパス,<cwd>/";
    QTest::newRow("category folder with a comma") << folder << "セーブパス,/data/a,b/" << "CatFolder3" << "/data/a,b/" << "セーブパス,/data/a,b/";
    QTest::newRow("load path with a comma") << 4 << "ロードパス,/data/scan,2024/" << "LoadPath" << "/data/scan,2024/" << "ロードパス,/data/scan,2024/";
    QTest::newRow("empty load path") << 4 << "ロードパス," << "LoadPath" << "<cwd>/" << "ロードパス,<cwd>/";
    QTest::newRow("work drive with a comma") << 1 << "ＪＰＥＧ用作業ドライブ,/w,1/" << "JpegWorkDrive" << "/w,1/" << "ＪＰＥＧ用作業ドライブ,/w,1/";
    QTest::newRow("category name with a comma") << name << "分類 3,顔,正面" << "CatName3" << "顔,正面" << "分類 3,顔,正面";
    QTest::newRow("blanks of a name kept") << name << "分類 3, 顔 " << "CatName3" << " 顔 " << "分類 3, 顔 ";
    QTest::newRow("fixed part with a comma") << fixed << "固定部分,A,B_" << "CatFixed3" << "A,B_" << "固定部分,A,B_";
    QTest::newRow("keys are not compared") << 5 << "XYZ,PIC" << "SeqFixed" << "PIC" << "固定部分,PIC";
    QTest::newRow("start text 12") << categoryLine(3, 4) << "連番開始番号,12" << "CatStartText3" << "12" << "連番開始番号,12";
    QTest::newRow("start text with a comma") << categoryLine(3, 4) << "連番開始番号,12,5" << "CatStartText3" << "12,5" << "連番開始番号,12,5";
    QTest::newRow("fill with a comma") << categoryLine(3, 6) << "埋め文字,0,1" << "CatFill3" << "0,1" << "埋め文字,0,1";
    QTest::newRow("sequence fixed part with a comma") << 5 << "固定部分,IMG,2" << "SeqFixed" << "IMG,2" << "固定部分,IMG,2";
    // clang-format on
}

void TestSettingsRecords::stringRecords()
{
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(QString, fieldName);
    QFETCH(QString, value);
    QFETCH(QString, writtenBack);
    TestProgram program;
    QStringList lines = exampleLines(program.dir());
    lines[line] = text;
    writeBytes(settingsFile(program), cp932Bytes(lines));
    program.start();
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(field(program.app(), fieldName), withCurrentDirectory(value));
    closeMainWindow(program);
    QCOMPARE(settingsLines(program.dir()).value(line), withCurrentDirectory(writtenBack));
}

void TestSettingsRecords::numberRecords_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("value");
    const int start = categoryLine(3, 4), digits = categoryLine(3, 5);
    // clang-format off
    QTest::newRow("start text 12") << start << "連番開始番号,12" << "CatNextNo3" << "12";
    QTest::newRow("start text with zeros") << start << "連番開始番号,007" << "CatNextNo3" << "7";
    QTest::newRow("start text half rounds up") << start << "連番開始番号,12.5" << "CatNextNo3" << "13";
    QTest::newRow("start text above 16 bits") << start << "連番開始番号,40000" << "CatNextNo3" << "32767";
    QTest::newRow("start text below 16 bits") << start << "連番開始番号,-40000" << "CatNextNo3" << "-32768";
    QTest::newRow("start text with a tail") << start << "連番開始番号,12abc" << "CatNextNo3" << "12";
    QTest::newRow("start text no number") << start << "連番開始番号,abc" << "CatNextNo3" << "0";
    QTest::newRow("digits with blanks") << digits << "連番桁数,  4  " << "CatDigits3" << "4";
    QTest::newRow("digits above 16 bits") << digits << "連番桁数, 70000" << "CatDigits3" << "32767";
    QTest::newRow("digits negative") << digits << "連番桁数,-2" << "CatDigits3" << "-2";
    QTest::newRow("load mode 3") << 3 << "ＬＯＡＤモード, 3" << "LoadMode" << "3";
    QTest::newRow("sequence number") << 6 << "連番開始番号, 123456789" << "SeqNumber" << "123456789";
    QTest::newRow("sequence digits") << 7 << "連番桁数,2" << "SeqDigits" << "2";
    QTest::newRow("last magnification") << 2 << "倍率リスト, 11" << "COMBO5" << "11";
    QTest::newRow("magnification beyond the list") << 2 << "倍率リスト, 12" << "MagnificationIndex" << "0";
    QTest::newRow("negative magnification") << 2 << "倍率リスト,-1" << "COMBO5" << "0";
    QTest::newRow("fill 0 selects zero fill") << 8 << "埋め文字,0" << "COMBO3" << "1";
    QTest::newRow("fill other selects none") << 8 << "埋め文字,x" << "COMBO3" << "0";
    QTest::newRow("extension other than BMP") << 9 << "拡張子,bmp" << "SeqExt" << ".JPG";
    // A number ends at the next comma; what follows it is ignored.
    QTest::newRow("magnification, then a field") << 2 << "倍率リスト, 3,x" << "COMBO5" << "3";
    QTest::newRow("load mode, then a field") << 3 << "ＬＯＡＤモード, 3,1" << "LoadMode" << "3";
    QTest::newRow("sequence number, then a field") << 6 << "連番開始番号, 42,abc" << "SeqNumber" << "42";
    QTest::newRow("sequence digits, then an empty field") << 7 << "連番桁数, 5," << "SeqDigits" << "5";
    QTest::newRow("valid flag, then a field") << categoryLine(3, 0) << "------------------------, 1,0" << "CatValid3" << "1";
    QTest::newRow("category digits, then fields") << digits << "連番桁数,4 ,x,y" << "CatDigits3" << "4";
    QTest::newRow("start text with a comma") << start << "連番開始番号,12,5" << "CatNextNo3" << "12";
    // clang-format on
}

void TestSettingsRecords::numberRecords()
{
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(QString, fieldName);
    QFETCH(QString, value);
    TestProgram program;
    QStringList lines = exampleLines(program.dir());
    lines[line] = text;
    writeBytes(settingsFile(program), cp932Bytes(lines));
    program.start();
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(field(program.app(), fieldName), value);
}

void TestSettingsRecords::numbersAreWrittenWithSignPlace_data()
{
    QTest::addColumn<LoadMode>("loadMode");
    QTest::addColumn<double>("seqNumber");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QStringList>("written"); // lines 4, 7 and the digits of category 1
    // clang-format off
    QTest::newRow("single file becomes none") << LoadMode::SingleFile << 1.0 << 3 << QStringList({ "ＬＯＡＤモード, 0", "連番開始番号, 1", "連番桁数, 3" });
    QTest::newRow("none") << LoadMode::None << 0.0 << 0 << QStringList({ "ＬＯＡＤモード, 0", "連番開始番号, 0", "連番桁数, 0" });
    QTest::newRow("folder and large numbers") << LoadMode::Folder << 1234567.0 << 32767 << QStringList({ "ＬＯＡＤモード, 3", "連番開始番号, 1234567", "連番桁数, 32767" });
    QTest::newRow("negative numbers") << LoadMode::Sequence << -1.0 << -2 << QStringList({ "ＬＯＡＤモード, 1", "連番開始番号,-1", "連番桁数,-2" });
    QTest::newRow("fraction") << LoadMode::Sequence << 2.5 << 3 << QStringList({ "ＬＯＡＤモード, 1", "連番開始番号, 2.5", "連番桁数, 3" });
    // clang-format on
}

void TestSettingsRecords::numbersAreWrittenWithSignPlace()
{
    QFETCH(LoadMode, loadMode);
    QFETCH(double, seqNumber);
    QFETCH(int, digits);
    QFETCH(QStringList, written);
    TestProgram program;
    program.start();
    App& app = program.app();
    app.LoadMode = loadMode;
    app.SeqNumber = seqNumber;
    app.CatDigits[1] = int16_t(digits);
    closeMainWindow(program);
    const QStringList lines = settingsLines(program.dir());
    QCOMPARE(lines.size(), 150);
    QCOMPARE(QStringList({ lines[3], lines[6], lines[categoryLine(1, 5)] }), written);
}

void TestSettingsRecords::loadModeOfNoModeIsKept_data()
{
    QTest::addColumn<QString>("handWritten"); // the load mode record as a user wrote it
    QTest::addColumn<int>("loadMode"); // what the program holds
    QTest::addColumn<QString>("written"); // the record the program writes at its end
    // clang-format off
    QTest::newRow("beyond the modes") << "ＬＯＡＤモード, 7" << 7 << "ＬＯＡＤモード, 7";
    QTest::newRow("negative") << "ＬＯＡＤモード,-4" << -4 << "ＬＯＡＤモード,-4";
    QTest::newRow("beyond 16 bits") << "ＬＯＡＤモード, 40000" << 32767 << "ＬＯＡＤモード, 32767";
    // clang-format on
}

// A load mode written by hand that names no mode is held as its number and written back as it.
void TestSettingsRecords::loadModeOfNoModeIsKept()
{
    QFETCH(QString, handWritten);
    QFETCH(int, loadMode);
    QFETCH(QString, written);
    TestProgram program;
    QStringList lines = exampleLines(program.dir());
    lines[3] = handWritten;
    writeBytes(settingsFile(program), cp932Bytes(lines));
    program.start();
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(int(program.app().LoadMode), loadMode);
    closeMainWindow(program);
    QCOMPARE(settingsLines(program.dir()).value(3), written);
}

QTEST_MAIN(TestSettingsRecords)
#include "tst_settings_records.moc"
