#include "categories/Cropping.h"

#include <QRectF>
#include <QTest>

class TestCropping : public QObject
{
    Q_OBJECT
private slots:
    void frameToImageBlock_data();
    void frameToImageBlock();
};

void TestCropping::frameToImageBlock_data()
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

void TestCropping::frameToImageBlock()
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

QTEST_APPLESS_MAIN(TestCropping)
#include "tst_cropping.moc"
