#include "fixture/Files.h"
#include "fixture/TestProgram.h"
#include "source/FolderListing.h"

#include <QDir>
#include <QFile>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

// The folder list of "全画像": which files it holds, in the order of their names.
class TestFolderListing : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void folderListIsSortedByName_data();
    void folderListIsSortedByName();
    void sortStartsFromTheListingOrder_data();
    void sortStartsFromTheListingOrder();
    void listingRequestFindsTheShownFile();
};

void TestFolderListing::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestFolderListing::folderListIsSortedByName_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");
    // clang-format off
    QTest::newRow("mixed case and kinds") << QStringList { "b.BMP", "A.jpg", "c.bmp" } << QStringList { "A.jpg", "b.BMP", "c.bmp" };
    QTest::newRow("two files") << QStringList { "x.BMP", "a.JPG" } << QStringList { "a.JPG", "x.BMP" };
    QTest::newRow("one file") << QStringList { "only.JpG" } << QStringList { "only.JpG" };
    QTest::newRow("other kinds and folders left out") << QStringList { "a.jpeg", "b.png", "c.BMP", "d.BMP/", "e.txt" } << QStringList { "c.BMP" };
    QTest::newRow("empty folder") << QStringList {} << QStringList {};
    // "|" marks a FIFO, "@" a link to a device: neither holds an image, and a FIFO would hang.
    QTest::newRow("only regular files") << QStringList { "a.BMP|", "b.BMP", "c.JPG@", "d.jpg|" } << QStringList { "b.BMP" };
    QTest::newRow("underscore before letters") << QStringList { "ab.BMP", "a_.BMP", "AA.BMP" } << QStringList { "a_.BMP", "AA.BMP", "ab.BMP" };
    QTest::newRow("numbers as text") << QStringList { "img10.JPG", "img9.JPG", "img1.BMP" } << QStringList { "img1.BMP", "img10.JPG", "img9.JPG" };
    // Japanese names step in code page 932 order, which is not the order of their Unicode text.
    QTest::newRow("kanji by their codes") << QStringList { "写真.BMP", "画像.BMP" } << QStringList { "画像.BMP", "写真.BMP" };
    QTest::newRow("kanji by reading") << QStringList { "一.JPG", "愛.BMP" } << QStringList { "愛.BMP", "一.JPG" };
    QTest::newRow("full-width letters before kana") << QStringList { "あ.BMP", "Ａ.BMP" } << QStringList { "Ａ.BMP", "あ.BMP" };
    QTest::newRow("full-width letters, case kept") << QStringList { "ａ.BMP", "b.jpg", "Ｚ.BMP", "A.bmp" } << QStringList { "A.bmp", "b.jpg", "Ｚ.BMP", "ａ.BMP" };
    QTest::newRow("marks, kana, kanji, half-width kana, second-level kanji") << QStringList { "漾.BMP", "ｱ.BMP", "亜.BMP", "ア.BMP", "あ.BMP", "ー.BMP" } << QStringList { "ー.BMP", "あ.BMP", "ア.BMP", "亜.BMP", "ｱ.BMP", "漾.BMP" };
    QTest::newRow("ASCII before Japanese") << QStringList { "あ.BMP", "z.BMP" } << QStringList { "z.BMP", "あ.BMP" };
    // "ア" is 0x83 0x41 and "ヂ" 0x83 0x61: folding the second byte would make them equal.
    QTest::newRow("second bytes are not letters") << QStringList { "ヂ.BMP", "チ.BMP", "ア.BMP" } << QStringList { "ア.BMP", "チ.BMP", "ヂ.BMP" };
    QTest::newRow("names without a lossless code last, in folded UTF-8 order") << QStringList { "〜.BMP", "Zü.BMP", "¥.BMP", "漾.BMP", "aü.jpg", "～.jpg", "ｱ.jpg" } << QStringList { "～.jpg", "ｱ.jpg", "漾.BMP", "aü.jpg", "Zü.BMP", "¥.BMP", "〜.BMP" };
    // clang-format on
}

void TestFolderListing::folderListIsSortedByName()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    TestProgram program;
    program.start();
    App& app = program.app();
    for (const QString& name : files) {
        if (name.endsWith(QLatin1Char('/'))) {
            QDir(program.dir()).mkdir(name.chopped(1));
            continue;
        }
        if (name.endsWith(QLatin1Char('|'))) {
            QCOMPARE(::mkfifo(QFile::encodeName(program.path(name.chopped(1))).constData(), 0600), 0);
            continue;
        }
        if (name.endsWith(QLatin1Char('@'))) {
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), program.path(name.chopped(1))));
            continue;
        }
        touch(program.path(name));
    }
    app.ListFolder = program.dir() + QLatin1Char('/');
    QStringList names;
    ファイル名取得_SUB2(app, names);
    QCOMPARE(names, listed);
}

// The sort alone, from a given listing order: names whose keys are equal keep that order.
void TestFolderListing::sortStartsFromTheListingOrder_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("sorted");
    // clang-format off
    QTest::newRow("ASCII case only, lower first") << QStringList { "写真a.BMP", "X.bmp", "写真A.BMP" } << QStringList { "X.bmp", "写真a.BMP", "写真A.BMP" };
    QTest::newRow("ASCII case only, upper first") << QStringList { "写真A.BMP", "X.bmp", "写真a.BMP" } << QStringList { "X.bmp", "写真A.BMP", "写真a.BMP" };
    QTest::newRow("full-width case is not folded") << QStringList { "ａ.BMP", "Ａ.BMP" } << QStringList { "Ａ.BMP", "ａ.BMP" };
    QTest::newRow("second byte in the letter range") << QStringList { "ヂ.BMP", "ア.BMP" } << QStringList { "ア.BMP", "ヂ.BMP" };
    QTest::newRow("ASCII case only, without a lossless code") << QStringList { "Zü.BMP", "〜.BMP", "zü.bmp" } << QStringList { "Zü.BMP", "zü.bmp", "〜.BMP" };
    // clang-format on
}

void TestFolderListing::sortStartsFromTheListingOrder()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, sorted);
    float last = float(listed.size() - 1);
    ソート_SUB(last, listed);
    QCOMPARE(listed, sorted);
}

// Names equal but for letter case keep their order; the shown file is found in the list.
void TestFolderListing::listingRequestFindsTheShownFile()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (const char* name : { "c.BMP", "a.JPG", "b.bmp", "B.jpg" })
        touch(program.path(QString::fromLatin1(name)));
    for (const QStringList& sameName :
        { QStringList { "b.BMP", "z.BMP", "B.bmp" }, QStringList { "B.bmp", "b.BMP" } }) {
        QStringList sorted = sameName;
        float last = float(sorted.size() - 1);
        ソート_SUB(last, sorted);
        sorted.removeAll(QStringLiteral("z.BMP"));
        QCOMPARE(sorted, QStringList(sameName).filter(QStringLiteral("b."), Qt::CaseInsensitive));
    }

    app.ListFolder = program.dir() + QLatin1Char('/');
    app.CurrentFileName = QStringLiteral("b.bmp");
    app.RequestActions[PendingAction::ListFolder](app);
    QCOMPARE(app.SrcCount, 4);
    QCOMPARE(app.SrcList.size(), 4);
    QCOMPARE(app.SrcList[0], QStringLiteral("a.JPG"));
    QCOMPARE(app.SrcIndex, 1);
    app.CurrentFileName = QStringLiteral("gone.BMP");
    app.RequestActions[PendingAction::ListFolder](app);
    QCOMPARE(app.SrcIndex, -1);
}

QTEST_MAIN(TestFolderListing)
#include "tst_folder_listing.moc"
