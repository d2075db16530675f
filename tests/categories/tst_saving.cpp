#include "categories/Cropping.h"
#include "categories/Saving.h"
#include "fixture/TestProgram.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <QRectF>
#include <QTest>

class TestSaving : public QObject
{
    Q_OBJECT
private slots:
    void frameToImageBlock_data();
    void frameToImageBlock();
    void pieceTakesTheNextFreeName();
    void pieceNeverReplacesWhatAppearsUnderItsName();
    void emptyPieceIsSkipped();
    void failedWriteIsReportedAndConsumesNoNumber();
    void numbersStopAtTheLastOne();
};

namespace {

QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, 0xFF000000u | (random.generate() & 0xFFFFFFu));
    return image;
}

// A started program showing a 400 x 300 noise image, category 1 saving into the scratch folder.
struct SavingProgram
{
    TestProgram program;
    QImage image = noise(400, 300);

    SavingProgram()
    {
        program.start();
        App& app = program.app();
        *app.rt.Image(app.SourceBitmap) = image;
        app.ImageWidth = 400;
        app.ImageHeight = 300;
        app.CatValid[1] = 1;
        app.CatFolder[1] = program.dir() + QLatin1Char('/');
    }
    App& app() { return program.app(); }
    void touch(const QString& name)
    {
        QFile file(program.path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QStringList files() const { return QDir(program.dir()).entryList(QDir::Files | QDir::Hidden); }
};

const CropRect kBlock { 100, 50, 199, 149 };

} // namespace

void TestSaving::frameToImageBlock_data()
{
    QTest::addColumn<QRectF>("frame"); // view pixels: left, top, right, bottom as x, y, width, height
    QTest::addColumn<float>("magnification");
    QTest::addColumn<QRectF>("crop"); // image pixels, same encoding; an empty crop is (0, 0, -1, -1)
    auto row = [](const char* name, QRectF frame, float magnification, QRectF crop) {
        QTest::newRow(name) << frame << magnification << crop;
    };
    // The image is 400 x 300 in every row.
    row("actual size", { 110, 60, 209, 159 }, 1.0f, { 100, 50, 199, 149 });
    row("half size widens by one pixel", { 110, 60, 209, 159 }, 0.5f, { 199, 99, 399, 299 });
    row("into the left and top margin", { 3, 5, 50, 60 }, 1.0f, { 0, 0, 40, 50 });
    row("past the right and bottom edge", { 300, 200, 450, 420 }, 1.0f, { 290, 190, 399, 299 });
    row("scaled past every side", { 0, 0, 215, 165 }, 0.5f, { 0, 0, 399, 299 });
    row("wholly in the margin", { 1, 1, 8, 8 }, 1.0f, { 0, 0, -1, -1 });
    row("beyond the image", { 420, 320, 430, 330 }, 1.0f, { 0, 0, -1, -1 });
}

void TestSaving::frameToImageBlock()
{
    QFETCH(QRectF, frame);
    QFETCH(float, magnification);
    QFETCH(QRectF, crop);
    const CropRect got = cropOfFrame(float(frame.x()), float(frame.y()), float(frame.width()),
        float(frame.height()), magnification, 400, 300);
    if (crop.width() < 0) {
        QVERIFY(got.isEmpty());
        return;
    }
    QVERIFY(!got.isEmpty());
    QCOMPARE(QRectF(got.left, got.top, got.right, got.bottom), crop);
}

void TestSaving::pieceTakesTheNextFreeName()
{
    SavingProgram saving;
    saving.touch(QStringLiteral("CG01_001.BMP"));
    saving.touch(QStringLiteral("CG01_002.BMP"));
    QCOMPARE(savePiece(saving.app(), 1, kBlock), PieceOutcome::Saved);
    QVERIFY(saving.files().contains(QStringLiteral("CG01_003.BMP")));
    QCOMPARE(saving.app().CatNextNo[1], int16_t(4));
    QCOMPARE(saving.app().CatStartText[1], QStringLiteral("4"));
    const QImage written(saving.program.path(QStringLiteral("CG01_003.BMP")));
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32), saving.image.copy(100, 50, 100, 100));
}

void TestSaving::pieceNeverReplacesWhatAppearsUnderItsName()
{
    SavingProgram saving;
    // A folder under the name is no file for the existence test, but the write still finds the
    // name taken, as it would a file created between the test and the write.
    QVERIFY(QDir(saving.program.dir()).mkdir(QStringLiteral("CG01_001.BMP")));
    QCOMPARE(savePiece(saving.app(), 1, kBlock), PieceOutcome::Saved);
    QVERIFY(saving.files().contains(QStringLiteral("CG01_002.BMP")));
    QVERIFY(QFileInfo(saving.program.path(QStringLiteral("CG01_001.BMP"))).isDir());
    QCOMPARE(saving.app().CatNextNo[1], int16_t(3));
}

void TestSaving::emptyPieceIsSkipped()
{
    SavingProgram saving;
    QCOMPARE(savePiece(saving.app(), 1, CropRect {}), PieceOutcome::Skipped);
    QCOMPARE(saving.files(), QStringList());
    QCOMPARE(saving.app().CatNextNo[1], int16_t(1));
}

void TestSaving::failedWriteIsReportedAndConsumesNoNumber()
{
    SavingProgram saving;
    App& app = saving.app();
    app.CatFolder[1] = saving.program.path(QStringLiteral("removed/"));
    saving.program.dialogs().answerMessage();
    QCOMPARE(savePiece(app, 1, kBlock), PieceOutcome::Failed);
    const auto messages = saving.program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.contains(app.CatFolder[1] + QStringLiteral("CG01_001.BMP")));
    QCOMPARE(app.CatNextNo[1], int16_t(1));
    QCOMPARE(saving.files(), QStringList());
}

void TestSaving::numbersStopAtTheLastOne()
{
    SavingProgram saving;
    App& app = saving.app();
    app.CatNextNo[1] = 32767;
    QCOMPARE(savePiece(app, 1, kBlock), PieceOutcome::Saved);
    QVERIFY(saving.files().contains(QStringLiteral("CG01_32767.BMP")));
    QCOMPARE(app.CatNextNo[1], int16_t(32767));
    saving.program.dialogs().answerMessage();
    QCOMPARE(savePiece(app, 1, kBlock), PieceOutcome::NumbersExhausted);
    QCOMPARE(saving.program.dialogs().messages().last().text, numbersExhaustedText(1));
    QCOMPARE(saving.files(), QStringList { "CG01_32767.BMP" });
    QCOMPARE(app.CatNextNo[1], int16_t(32767));
}

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
