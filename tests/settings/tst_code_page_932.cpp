#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"
#include "settings/Cp932.h"
#include "settings/SettingsSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

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

} // namespace

// Code page 932, and the values of a settings file that it cannot hold or that iconv would write as
// a look-alike.
class TestCodePage932 : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void codePage932Codec();
    void codePage932LosslessEncoding_data();
    void codePage932LosslessEncoding();
    void codePage932ConverterServesManyTexts();
    void valueOutsideCodePageRoundTripsAsUtf8_data();
    void valueOutsideCodePageRoundTripsAsUtf8();
    void lookAlikeTargetsStayInCodePage932_data();
    void lookAlikeTargetsStayInCodePage932();
};

void TestCodePage932::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestCodePage932::codePage932Codec()
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
void TestCodePage932::codePage932LosslessEncoding_data()
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

void TestCodePage932::codePage932LosslessEncoding()
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
void TestCodePage932::codePage932ConverterServesManyTexts()
{
    Cp932Converter cp932;
    QVERIFY(!cp932.encodeLossless(QStringLiteral("Müller")));
    QCOMPARE(cp932.encodeLossless(QStringLiteral("分類")).value(), QByteArray("\x95\xAA\x97\xDE"));
    QVERIFY(!cp932.decode(QByteArray("\x95")));
    QCOMPARE(cp932.decode(QByteArray("\xAA\x97\xDE")).value(), QStringLiteral("ｪ類"));
    QVERIFY(!cp932.encodeLossless(QStringLiteral("〜")));
    QCOMPARE(cp932.encodeLossless(QStringLiteral("ｶ")).value(), QByteArray("\xB6"));
}

void TestCodePage932::valueOutsideCodePageRoundTripsAsUtf8_data()
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

void TestCodePage932::valueOutsideCodePageRoundTripsAsUtf8()
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

void TestCodePage932::lookAlikeTargetsStayInCodePage932_data()
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
void TestCodePage932::lookAlikeTargetsStayInCodePage932()
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

QTEST_MAIN(TestCodePage932)
#include "tst_code_page_932.moc"
