#include "fixture/Files.h"
#include "fixture/TestProgram.h"
#include "platform/FileSystem.h"
#include "source/PathSplit.h"
#include "source/SequenceNaming.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

namespace {

const QString kNotComposed = QStringLiteral("ロードするファイル名の構成に誤りがあります");

} // namespace

// The names of the sequence and of the pieces composed from their parts, the summary of the
// categories that shows them, and a path split into its parts.
class TestSequenceNames : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void composition_data();
    void composition();
    void missingSourceIsReported_data();
    void missingSourceIsReported();
    void summaryOfTheDefaults();
    void summaryRewritesEveryStartText();
    void summaryScrollsToTheSelectedCategory();
    void pathSplit_data();
    void pathSplit();
};

void TestSequenceNames::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// --- composition -------------------------------------------------------------------------

// Both compositions share the number text and the zero fill. A row composes a name, then a
// second number with the digit count as the first composition left it.
void TestSequenceNames::composition_data()
{
    QTest::addColumn<bool>("category"); // false: the source name of CHK_LOAD, true: MIX_NAME
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("fill"); // source: the selection of COMBO3; category: CatFill
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("digitsAfter");
    QTest::addColumn<double>("nextNumber");
    QTest::addColumn<QString>("nextName");

    // clang-format off
    QTest::newRow("source, no fill") << false << "CG" << 5.0 << 3 << "0" << "CG5.BMP" << 3 << 12.0 << "CG12.BMP";
    QTest::newRow("source, zero fill") << false << "CG" << 5.0 << 3 << "1" << "CG005.BMP" << 3 << 12.0 << "CG012.BMP";
    QTest::newRow("source, number 0") << false << "CG" << 0.0 << 3 << "1" << "CG000.BMP" << 3 << 999.0 << "CG999.BMP";
    QTest::newRow("source, wider than the count") << false << "CG" << 12345.0 << 3 << "1" << "CG12345.BMP" << 5 << 5.0 << "CG00005.BMP";
    QTest::newRow("source, wider without fill") << false << "CG" << 12345.0 << 3 << "0" << "CG12345.BMP" << 3 << 5.0 << "CG5.BMP";
    QTest::newRow("source, empty fixed part") << false << "" << 7.0 << 3 << "1" << "007.BMP" << 3 << 8.0 << "008.BMP";
    QTest::newRow("source, nothing selected") << false << "CG" << 5.0 << 3 << "-1" << "CG5.BMP" << 3 << 6.0 << "CG6.BMP";
    QTest::newRow("source, more than seven digits") << false << "S" << 123456789012.0 << 3 << "1" << "S123456789012.BMP" << 12 << 1.0 << "S000000000001.BMP";
    QTest::newRow("category, zero fill") << true << "IMG" << 7.0 << 4 << "0" << "IMG0007.BMP" << 4 << 8.0 << "IMG0008.BMP";
    QTest::newRow("category, no fill") << true << "IMG" << 7.0 << 4 << "1" << "IMG7.BMP" << 4 << 8.0 << "IMG8.BMP";
    QTest::newRow("category, other fill text") << true << "IMG" << 7.0 << 4 << "無" << "IMG7.BMP" << 4 << 8.0 << "IMG8.BMP";
    QTest::newRow("category, number 0") << true << "CG01_" << 0.0 << 3 << "0" << "CG01_000.BMP" << 3 << 1.0 << "CG01_001.BMP";
    QTest::newRow("category, wider than the count") << true << "CG" << 12345.0 << 3 << "0" << "CG12345.BMP" << 5 << 5.0 << "CG00005.BMP";
    QTest::newRow("category, 16-bit maximum") << true << "CG" << 32767.0 << 3 << "0" << "CG32767.BMP" << 5 << 1.0 << "CG00001.BMP";
    QTest::newRow("category, empty fixed part") << true << "" << 7.0 << 3 << "0" << "007.BMP" << 3 << 7.0 << "007.BMP";
    QTest::newRow("category, negative number") << true << "N" << -3.0 << 3 << "0" << "N003.BMP" << 3 << 4.0 << "N004.BMP";
    QTest::newRow("category, digit count 0") << true << "N" << 7.0 << 0 << "0" << "N7.BMP" << 1 << 8.0 << "N8.BMP";
    // clang-format on
}

void TestSequenceNames::composition()
{
    QFETCH(bool, category);
    QFETCH(QString, fixed);
    QFETCH(double, number);
    QFETCH(int, digits);
    QFETCH(QString, fill);
    QFETCH(QString, name);
    QFETCH(int, digitsAfter);
    QFETCH(double, nextNumber);
    QFETCH(QString, nextName);
    TestProgram program;
    program.start();
    App& app = program.app();

    if (category) {
        constexpr int16_t c = 7;
        app.CatFixed[c] = fixed;
        app.CatDigits[c] = int16_t(digits);
        app.CatFill[c] = fill;
        app.CatNextNo[c] = int16_t(number);
        MIX_NAME(app, c);
        QCOMPARE(app.SaveName, name);
        QCOMPARE(app.CatStartText[c], name.mid(fixed.size()).chopped(4));
        QCOMPARE(app.CatDigits[c], digitsAfter);
        app.CatNextNo[c] = int16_t(nextNumber);
        MIX_NAME(app, c);
        QCOMPARE(app.SaveName, nextName);
        return;
    }

    // Every composed file exists, so no message is expected.
    for (const QString& file : { name, nextName })
        writeBytes(program.path(file), "x");
    app.LoadPath = program.dir() + QDir::separator();
    app.SeqFixed = fixed;
    app.SeqExt = QStringLiteral(".BMP");
    app.SeqDigits = int16_t(digits);
    app.SeqNumber = number;
    app.rt.SetCurSel(app.COMBO3, fill.toInt());
    CHK_LOAD(app);
    QCOMPARE(app.LoadFilePath, program.path(name));
    QCOMPARE(app.SeqNumberText, name.mid(fixed.size()).chopped(4));
    QCOMPARE(app.SeqDigits, digitsAfter);
    QCOMPARE(app.LoadFailed, 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kTrue);
    app.SeqNumber = nextNumber;
    CHK_LOAD(app);
    QCOMPARE(app.LoadFilePath, program.path(nextName));
    QVERIFY(program.dialogs().messages().isEmpty());
}

void TestSequenceNames::missingSourceIsReported_data()
{
    QTest::addColumn<QString>("present"); // what lies in the folder
    QTest::addColumn<bool>("folder"); // it is a folder, not a file
    // clang-format off
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("a folder of that name") << "CG005.JPG" << true;
    QTest::newRow("a name differing in case") << "cg005.jpg" << false;
    QTest::newRow("the number without fill") << "CG5.JPG" << false;
    // clang-format on
}

void TestSequenceNames::missingSourceIsReported()
{
    QFETCH(QString, present);
    QFETCH(bool, folder);
    TestProgram program;
    if (folder)
        QVERIFY(QDir(program.dir()).mkdir(present));
    else if (!present.isEmpty())
        writeBytes(program.path(present), "x");
    program.start();
    App& app = program.app();
    app.LoadPath = program.dir() + QDir::separator();
    app.SeqNumber = 5;
    app.SeqExt = QStringLiteral(".JPG");
    app.rt.EnableWindow(app.BUTTON2, kTrue);
    app.EventOwner = app.FORM2;

    program.dialogs().answerMessage();
    CHK_LOAD(app);
    QCOMPARE(app.LoadFailed, 1);
    QCOMPARE(app.LoadFilePath, program.path(QStringLiteral("CG005.JPG")));
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kFalse);
    QCOMPARE(app.SeqNumber, 5.0);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].owner, QStringLiteral("FORM2"));
    QCOMPARE(messages[0].title, QStringLiteral("CG005.JPG"));
    QCOMPARE(messages[0].text, kNotComposed);
    QCOMPARE(messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(messages[0].icon, MessageIcon::None);
}

// --- category summary --------------------------------------------------------------------

void TestSequenceNames::summaryOfTheDefaults()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    const QString folder = currentDirectory() + pathSeparator();

    HYOJI_SUB(app);
    const QString text = app.rt.GetWindowText(app.EDIT10);
    const QString firstBlocks = QStringLiteral("分類 1　無効\r\n"
                                               "分類名：分類 1\r\n"
                                               "保存先：%1\r\n"
                                               "保存名：CG01_001.BMP\r\n"
                                               "\r\n"
                                               "分類 2　無効\r\n"
                                               "分類名：分類 2\r\n"
                                               "保存先：%1\r\n"
                                               "保存名：CG02_001.BMP\r\n"
                                               "\r\n")
                                    .arg(folder);
    QVERIFY2(text.startsWith(firstBlocks), qPrintable(text.left(200)));
    const QString lastBlock = QStringLiteral("\r\n\r\n分類 20　無効\r\n"
                                             "分類名：分類 20\r\n"
                                             "保存先：%1\r\n"
                                             "保存名：CG20_001.BMP\r\n")
                                  .arg(folder);
    QVERIFY2(text.endsWith(lastBlock), qPrintable(text.right(200)));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 20 * 5 - 1);
    QCOMPARE(text.count(QStringLiteral("　無効\r\n")), 20);
    for (int c = 1; c <= kCategoryCount; ++c)
        QVERIFY(text.contains(QStringLiteral("保存名：CG%1_001.BMP\r\n").arg(c, 2, 10, QLatin1Char('0'))));

    app.CatValid[3] = 1;
    app.CatName[3] = QStringLiteral("領収書");
    HYOJI_SUB(app);
    QVERIFY(app.rt.GetWindowText(app.EDIT10)
                .contains(QStringLiteral("\r\n\r\n分類 3　有効\r\n分類名：領収書\r\n")));
}

void TestSequenceNames::summaryRewritesEveryStartText()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (int16_t c = 1; c <= kCategoryCount; ++c) {
        app.CatStartText[c] = QStringLiteral("typed %1").arg(c);
        app.CatNextNo[c] = int16_t(c * c * 40); // 40 to 16000
        app.CatDigits[c] = 3;
        app.CatFill[c] = c % 2 ? QStringLiteral("0") : QStringLiteral("1");
    }
    HYOJI_SUB(app);
    const QString text = app.rt.GetWindowText(app.EDIT10);
    for (int16_t c = 1; c <= kCategoryCount; ++c) {
        const QString digits = QString::number(c * c * 40);
        const bool filled = c % 2;
        const QString expected
            = filled && digits.size() < 3 ? digits.rightJustified(3, QLatin1Char('0')) : digits;
        QCOMPARE(app.CatStartText[c], expected);
        // Only a zero-filled number widens the count.
        QCOMPARE(app.CatDigits[c], filled ? std::max<int16_t>(3, int16_t(digits.size())) : 3);
        QVERIFY(text.contains(QStringLiteral("保存名：%1%2.BMP\r\n").arg(app.CatFixed[c], expected)));
    }
}

void TestSequenceNames::summaryScrollsToTheSelectedCategory()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.rt.ShowWindow(app.FORM2, kTrue);
    auto* edit = program.widget<QPlainTextEdit>(QStringLiteral("EDIT10"));
    QVERIFY(edit);
    for (int selected : { 3, 1, 0, 6 }) {
        app.rt.SetCurSel(app.LIST1, selected);
        HYOJI_SUB(app);
        QCOMPARE(edit->verticalScrollBar()->value(), selected * 5);
        QVERIFY(edit->toPlainText().split(QLatin1Char('\n'))[selected * 5].startsWith(
            QStringLiteral("分類 %1").arg(selected + 1)));
    }
}

// --- path split --------------------------------------------------------------------------

void TestSequenceNames::pathSplit_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("parts"); // drive, directory, name, extension
    // clang-format off
    QTest::newRow("posix full path") << false << "/home/scan/CG001.BMP" << QStringList { "", "/home/scan/", "CG001", ".BMP" };
    QTest::newRow("posix bare name") << false << "photo.jpg" << QStringList { "", "", "photo", ".jpg" };
    QTest::newRow("posix no extension") << false << "/scan/photo" << QStringList { "", "/scan/", "photo", "" };
    QTest::newRow("posix dot in a folder") << false << "/scan.d/photo" << QStringList { "", "/scan.d/", "photo", "" };
    QTest::newRow("posix last dot") << false << "/a/b.tar.gz" << QStringList { "", "/a/", "b.tar", ".gz" };
    QTest::newRow("posix dot file") << false << "/a/.hidden" << QStringList { "", "/a/", "", ".hidden" };
    QTest::newRow("posix backslash is a character") << false << "/a/x\\y.bmp" << QStringList { "", "/a/", "x\\y", ".bmp" };
    QTest::newRow("posix Japanese name") << false << "/画像/表示.BMP" << QStringList { "", "/画像/", "表示", ".BMP" };
    QTest::newRow("windows drive") << true << "C:\\scan\\CG001.BMP" << QStringList { "C:", "\\scan\\", "CG001", ".BMP" };
    QTest::newRow("windows drive root") << true << "D:\\x.JPG" << QStringList { "D:", "\\", "x", ".JPG" };
    QTest::newRow("windows forward slashes") << true << "C:/a/b.bmp" << QStringList { "C:", "/a/", "b", ".bmp" };
    QTest::newRow("windows network path") << true << "\\\\server\\share\\dir\\f.bmp" << QStringList { "\\\\server\\share", "\\dir\\", "f", ".bmp" };
    QTest::newRow("windows name with 表") << true << "C:\\表\\ソ.bmp" << QStringList { "C:", "\\表\\", "ソ", ".bmp" };
    // clang-format on
}

void TestSequenceNames::pathSplit()
{
    QFETCH(bool, windows);
    QFETCH(QString, path);
    QFETCH(QStringList, parts);
    const PathParts split = splitPath(path, windows ? PathStyle::Windows : PathStyle::Posix);
    QCOMPARE((QStringList { split.drive, split.directory, split.name, split.extension }), parts);
    QCOMPARE(split.drive + split.directory + split.name + split.extension, path);
}

QTEST_MAIN(TestSequenceNames)
#include "tst_sequence_names.moc"
