#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/ResourceCaps.h"
#include "fixture/UserActions.h"
#include "platform/FileSystem.h"
#include "settings/Cp932.h"
#include "settings/SettingsFormat.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QWidget>

Q_DECLARE_METATYPE(SettingsDamage)

namespace {

const QString kSeparator = QStringLiteral("/");
const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The lines of a whole settings file in CP932: the example layout of each
// category block, some categories valid with Japanese names, folders under `dir`.
QStringList exampleLines(const QString& dir)
{
    const QString folder = QDir::toNativeSeparators(dir) + kSeparator;
    QStringList lines = {
        QStringLiteral("Copyright,TRIM Ver1.4 Copyright (C) 1999"),
        QStringLiteral("ＪＰＥＧ用作業ドライブ,") + folder,
        QStringLiteral("倍率リスト, 3"),
        QStringLiteral("ＬＯＡＤモード, 1"),
        QStringLiteral("ロードパス,") + folder + QStringLiteral("画像/"),
        QStringLiteral("固定部分,IMG"),
        QStringLiteral("連番開始番号, 25"),
        QStringLiteral("連番桁数, 4"),
        QStringLiteral("埋め文字,1"),
        QStringLiteral("拡張子,BMP"),
    };
    for (int n = 1; n <= 20; ++n) {
        QString valid = QStringLiteral(" 0"), name = QStringLiteral("分類 %1").arg(n);
        QString start = QStringLiteral("1"), digits = QStringLiteral(" 3"), fill = QStringLiteral("0");
        if (n == 2) valid = QStringLiteral(" 1"), name = QStringLiteral("風景"), start = QStringLiteral("7");
        if (n == 5)
            valid = QStringLiteral(" 1"), name = QStringLiteral("人物・顔"), start = QStringLiteral("12"),
            digits = QStringLiteral(" 5"), fill = QStringLiteral("1");
        if (n == 9) valid = QStringLiteral("-1"), name = QStringLiteral("予備");
        if (n == 17) valid = QStringLiteral(" 1"), name = QStringLiteral("ｶﾀｶﾅ");
        if (n == 20) name = QStringLiteral("最後"), fill = QStringLiteral("1");
        lines << QStringLiteral("------------------------,") + valid
              << QStringLiteral("分類 %1,").arg(n) + name << QStringLiteral("セーブパス,") + folder
              << QStringLiteral("固定部分,CG%1_").arg(n, 2, 10, QLatin1Char('0'))
              << QStringLiteral("連番開始番号,") + start << QStringLiteral("連番桁数,") + digits
              << QStringLiteral("埋め文字,") + fill;
    }
    return lines;
}

QByteArray cp932Bytes(const QStringList& lines, const char* lineEnd = "\r\n")
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += toCp932(line).value() + lineEnd;
    return bytes;
}

QString settingsFile(TestProgram& program)
{
    return program.path(QStringLiteral("KANKYO.TXT"));
}

// How a test file is damaged: cut after some lines, one line replaced, or cut inside a line.
enum Damage { Cut, Replace, CutInside };

// Line numbers (0-based) of the records of category n.
int categoryLine(int category, int record)
{
    return 10 + (category - 1) * 7 + record;
}

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

// The settings file a program writes after category 4 has been made valid with `name` and `folder`.
QByteArray fileWithCategory4(const QString& name, const QString& folder)
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.CatValid[4] = 1;
    app.CatName[4] = name;
    app.CatFolder[4] = folder;
    closeMainWindow(program);
    return readBytes(settingsFile(program));
}

// A program started on `bytes` has category 4 exactly as written, with nothing to report, and
// writes the same bytes again when it closes.
void readBackCategory4(const QByteArray& bytes, const QString& name, const QString& folder)
{
    TestProgram program;
    writeBytes(settingsFile(program), bytes);
    program.start();
    App& app = program.app();
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(app.CatName[4], name);
    QCOMPARE(app.CatFolder[4], folder);
    QCOMPARE(comboItems(app, app.COMBO2), QStringList({ name }));
    QCOMPARE(app.CatName[5], QStringLiteral("分類 5"));
    closeMainWindow(program);
    QCOMPARE(readBytes(settingsFile(program)), bytes);
}

// "<cwd>" in a table stands for the program's current directory.
QString withCurrentDirectory(QString text)
{
    return text.replace(QStringLiteral("<cwd>"), currentDirectory());
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void pathsInTheRootFolderHaveOneSeparator();
    void codePage932Codec();
    void codePage932LosslessEncoding_data();
    void codePage932LosslessEncoding();
    void codePage932ConverterServesManyTexts();
    void exampleFileIsReadAndWrittenBackUnchanged();
    void fileWithLineFeedsOnlyIsRead();
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
    void shortFileKeepsDefaults_data();
    void shortFileKeepsDefaults();
    void missingFileIsFirstRun();
    void damagedFile_data();
    void damagedFile();
    void valueOutsideCodePageRoundTripsAsUtf8_data();
    void valueOutsideCodePageRoundTripsAsUtf8();
    void lookAlikeTargetsStayInCodePage932_data();
    void lookAlikeTargetsStayInCodePage932();
    void failedWriteKeepsTheEarlierFile();
    void folderInPlaceOfTheFileIsReported();
    void fifoInPlaceOfTheFileIsReported();
};

void TestSettings::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestSettings::codePage932Codec()
{
    // Fixed points of code page 932: two-byte kanji, one-byte katakana, full-width letters, and
    // the backslash and tilde staying ASCII.
    QCOMPARE(toCp932(QStringLiteral("分類 3,")).value(), QByteArray("\x95\xAA\x97\xDE 3,"));
    QCOMPARE(toCp932(QStringLiteral("ｶﾀｶﾅＪ")).value(), QByteArray("\xB6\xC0\xB6\xC5\x82\x69"));
    QCOMPARE(toCp932(QStringLiteral("C:\\a~")).value(), QByteArray("C:\\a~"));
    QCOMPARE(fromCp932(QByteArray("\x95\xAA\x97\xDE\xB6")).value(), QStringLiteral("分類ｶ"));
    QVERIFY(!toCp932(QStringLiteral("Müller")));
    // iconv would write "〜" as the code of "～": no code of its own is no code.
    QVERIFY(!toCp932(QStringLiteral("a〜")));
    // Characters with two codes (NEC-selected and IBM extensions) decode to themselves.
    QCOMPARE(toCp932(QStringLiteral("ⅰ￢")).value(), QByteArray("\xFA\x40\x81\xCA"));
    QVERIFY(!fromCp932(QByteArray("a\x80"))); // not a code of the page
    QVERIFY(!fromCp932(QByteArray("\x95"))); // a lead byte without its second byte
    QVERIFY(!fromCp932(QByteArray("\x81\x20"))); // a lead byte with an invalid second byte
}

// Lossless means that decoding the bytes gives the text back; iconv writes some characters as
// the code of a look-alike.
void TestSettings::codePage932LosslessEncoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("lossless");
    QTest::addColumn<QByteArray>("bytes");
    // clang-format off
    QTest::newRow("kanji and ASCII") << "分類 3" << true << QByteArray("\x95\xAA\x97\xDE 3");
    QTest::newRow("full-width tilde") << "～" << true << QByteArray("\x81\x60");
    QTest::newRow("wave dash as the full-width tilde") << "〜" << false << QByteArray();
    QTest::newRow("yen sign as the backslash") << "¥100" << false << QByteArray();
    QTest::newRow("no code at all") << "Müller" << false << QByteArray();
    QTest::newRow("empty") << "" << true << QByteArray("");
    // clang-format on
}

void TestSettings::codePage932LosslessEncoding()
{
    QFETCH(QString, text);
    QFETCH(bool, lossless);
    QFETCH(QByteArray, bytes);
    Cp932Converter cp932;
    const std::optional<QByteArray> encoded = cp932.encodeLossless(text);
    QCOMPARE(encoded.has_value(), lossless);
    if (lossless) QCOMPARE(*encoded, bytes);
}

// One converter goes on converting correctly after texts it refused, in both directions.
void TestSettings::codePage932ConverterServesManyTexts()
{
    Cp932Converter cp932;
    QVERIFY(!cp932.encodeLossless(QStringLiteral("Müller")));
    QCOMPARE(cp932.encodeLossless(QStringLiteral("分類")).value(), QByteArray("\x95\xAA\x97\xDE"));
    QVERIFY(!cp932.decode(QByteArray("\x95")));
    QCOMPARE(cp932.decode(QByteArray("\xAA\x97\xDE")).value(), QStringLiteral("ｪ類"));
    QVERIFY(!cp932.encodeLossless(QStringLiteral("〜")));
    QCOMPARE(cp932.encodeLossless(QStringLiteral("ｶ")).value(), QByteArray("\xB6"));
}

void TestSettings::exampleFileIsReadAndWrittenBackUnchanged()
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

void TestSettings::fileWithLineFeedsOnlyIsRead()
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

void TestSettings::extensionRecord_data()
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

void TestSettings::extensionRecord()
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

void TestSettings::stringRecords_data()
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

void TestSettings::stringRecords()
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

void TestSettings::numberRecords_data()
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

void TestSettings::numberRecords()
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

void TestSettings::numbersAreWrittenWithSignPlace_data()
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

void TestSettings::numbersAreWrittenWithSignPlace()
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

void TestSettings::loadModeOfNoModeIsKept_data()
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
void TestSettings::loadModeOfNoModeIsKept()
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

void TestSettings::shortFileKeepsDefaults_data()
{
    QTest::addColumn<bool>("withFile");
    // clang-format off
    QTest::newRow("file of three records") << true;
    QTest::newRow("no file") << false;
    // clang-format on
}

void TestSettings::shortFileKeepsDefaults()
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

void TestSettings::missingFileIsFirstRun()
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

void TestSettings::damagedFile_data()
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

void TestSettings::damagedFile()
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

void TestSettings::valueOutsideCodePageRoundTripsAsUtf8_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folderName");
    const auto lookAlike = [](const char* tag, const QString& character) {
        QTest::newRow(tag) << QStringLiteral("分類") + character << QStringLiteral("scan") + character;
    };
    // clang-format off
    QTest::newRow("no code at all") << "Über 分類" << "Müller";
    // iconv writes these as the code of a look-alike, which would come back as another character.
    lookAlike("yen sign", QStringLiteral("¥"));
    lookAlike("wave dash", QStringLiteral("〜"));
    lookAlike("minus sign", QStringLiteral("−"));
    lookAlike("double vertical line", QStringLiteral("‖"));
    lookAlike("em dash", QStringLiteral("—"));
    // clang-format on
}

void TestSettings::valueOutsideCodePageRoundTripsAsUtf8()
{
    QFETCH(QString, name);
    QFETCH(QString, folderName);
    // The folder exists, so the save-target check at start-up has nothing to report.
    QTemporaryDir folders;
    QVERIFY(QDir(folders.path()).mkdir(folderName));
    const QString folder = folders.filePath(folderName) + QLatin1Char('/');
    const QByteArray bytes = fileWithCategory4(name, folder);
    QVERIFY(bytes.startsWith(kUtf8Bom));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 151); // the last line end leaves an empty piece
    QCOMPARE(lines[categoryLine(4, 1)], QStringLiteral("分類 4,") + name);
    QCOMPARE(lines[categoryLine(4, 2)], QStringLiteral("セーブパス,") + folder);
    readBackCategory4(bytes, name, folder);
}

void TestSettings::lookAlikeTargetsStayInCodePage932_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QByteArray>("code");
    // clang-format off
    QTest::newRow("full-width tilde") << "～" << QByteArray("\x81\x60");
    QTest::newRow("full-width reverse solidus") << "＼" << QByteArray("\x81\x5F");
    QTest::newRow("full-width hyphen-minus") << "－" << QByteArray("\x81\x7C");
    QTest::newRow("parallel to") << "∥" << QByteArray("\x81\x61");
    QTest::newRow("horizontal bar") << "―" << QByteArray("\x81\x5C");
    // Characters with a second code among the extensions; either code decodes to them.
    QTest::newRow("small roman numeral one") << "ⅰ" << QByteArray("\xFA\x40");
    QTest::newRow("full-width not sign") << "￢" << QByteArray("\x81\xCA");
    // clang-format on
}

// The characters that iconv substitutes for look-alikes have codes of their own, so a file that
// holds them is still written in code page 932, byte for byte.
void TestSettings::lookAlikeTargetsStayInCodePage932()
{
    QFETCH(QString, character);
    QFETCH(QByteArray, code);
    QTemporaryDir folders;
    QVERIFY(QDir(folders.path()).mkdir(QStringLiteral("scan") + character));
    const QString folder = folders.filePath(QStringLiteral("scan") + character) + QLatin1Char('/');
    const QString name = QStringLiteral("分類") + character;
    const QByteArray bytes = fileWithCategory4(name, folder);
    QVERIFY(!bytes.startsWith(kUtf8Bom));
    const QByteArray nameLine = "\x95\xAA\x97\xDE 4,\x95\xAA\x97\xDE" + code;
    const QByteArray folderLine
        = "\x83\x5A\x81\x5B\x83\x75\x83\x70\x83\x58," + folders.path().toUtf8() + "/scan" + code + "/";
    QVERIFY(bytes.contains("\r\n" + nameLine + "\r\n" + folderLine + "\r\n"));
    readBackCategory4(bytes, name, folder);
}

void TestSettings::failedWriteKeepsTheEarlierFile()
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

void TestSettings::folderInPlaceOfTheFileIsReported()
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
void TestSettings::fifoInPlaceOfTheFileIsReported()
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
void TestSettings::pathsInTheRootFolderHaveOneSeparator()
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

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
