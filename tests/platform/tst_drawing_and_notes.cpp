#include "fixture/Images.h"
#include "fixture/ScriptedDialogs.h"
#include "platform/Drawing.h"
#include "platform/NoteOverlay.h"
#include "platform/StripText.h"

#include <QApplication>
#include <QTest>

// The figures and blocks drawn on an image, and where a note sits and what it shows of its text.
class TestDrawingAndNotes : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void xorFigureDrawnTwiceLeavesNoTrace_data();
    void xorFigureDrawnTwiceLeavesNoTrace();
    void boxOutlineTouchesEachPixelOnce_data();
    void boxOutlineTouchesEachPixelOnce();
    void copyBlockClipsBothSides_data();
    void copyBlockClipsBothSides();
    void noteRoomLiesRightOfTheControl_data();
    void noteRoomLiesRightOfTheControl();
    void stripTextSitsAtTheRowsEnd_data();
    void stripTextSitsAtTheRowsEnd();
    void noteFitsItsRoom_data();
    void noteFitsItsRoom();
};

void TestDrawingAndNotes::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestDrawingAndNotes::xorFigureDrawnTwiceLeavesNoTrace_data()
{
    QTest::addColumn<QRect>("corners"); // (x1, y1) and (x2, y2) as left/top and width/height fields
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("box");
    // clang-format off
    QTest::newRow("horizontal line") << QRect(3, 7, 40, 0) << 1 << false;
    QTest::newRow("vertical line") << QRect(9, 2, 0, 30) << 1 << false;
    QTest::newRow("slanted line") << QRect(1, 1, 45, 28) << 1 << false;
    QTest::newRow("line past the edge") << QRect(-10, 5, 100, 0) << 1 << false;
    QTest::newRow("box") << QRect(5, 5, 30, 20) << 1 << true;
    QTest::newRow("box of one pixel") << QRect(8, 8, 0, 0) << 1 << true;
    QTest::newRow("box one pixel high") << QRect(4, 8, 20, 0) << 1 << true;
    QTest::newRow("wide box") << QRect(0, 0, 49, 39) << 5 << true;
    QTest::newRow("wide box thinner than its pen") << QRect(10, 10, 3, 2) << 5 << true;
    QTest::newRow("box partly outside") << QRect(-5, 20, 80, 40) << 1 << true;
    // clang-format on
}

void TestDrawingAndNotes::xorFigureDrawnTwiceLeavesNoTrace()
{
    QFETCH(QRect, corners);
    QFETCH(int, width);
    QFETCH(bool, box);
    const QImage original = noiseImage(50, 40);
    QImage image = original;
    const int x2 = corners.x() + corners.width(), y2 = corners.y() + corners.height();
    const Figure figure = box ? Figure::Box : Figure::Line;
    drawFigure(image, corners.x(), corners.y(), x2, y2, DrawMode::Xor, width, figure, 0xFFFFFF);
    QVERIFY(image != original);
    drawFigure(image, corners.x(), corners.y(), x2, y2, DrawMode::Xor, width, figure, 0xFFFFFF);
    QCOMPARE(differences(image, original).size(), 0);
}

void TestDrawingAndNotes::boxOutlineTouchesEachPixelOnce_data()
{
    QTest::addColumn<QRect>("box");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pixels");
    // clang-format off
    QTest::newRow("10 x 6 outline") << QRect(QPoint(2, 3), QPoint(11, 8)) << 1 << 2 * 10 + 2 * 6 - 4;
    QTest::newRow("single pixel") << QRect(QPoint(5, 5), QPoint(5, 5)) << 1 << 1;
    QTest::newRow("one row") << QRect(QPoint(5, 5), QPoint(14, 5)) << 1 << 10;
    // Pen 5 is centred on the outline; inside a 30 x 20 image only 3 pixels of each side show.
    QTest::newRow("width 5 at the image border") << QRect(QPoint(0, 0), QPoint(29, 19)) << 5 << 30 * 20 - 24 * 14;
    // clang-format on
}

void TestDrawingAndNotes::boxOutlineTouchesEachPixelOnce()
{
    QFETCH(QRect, box);
    QFETCH(int, width);
    QFETCH(int, pixels);
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(0xFF000000u);
    drawFigure(
        image, box.left(), box.top(), box.right(), box.bottom(), DrawMode::Xor, width, Figure::Box, 0xFFFFFF);
    int white = 0, other = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y) & 0xFFFFFFu;
            white += pixel == 0xFFFFFFu;
            other += pixel != 0xFFFFFFu && pixel != 0;
        }
    QCOMPARE(white, pixels);
    QCOMPARE(other, 0);
}

void TestDrawingAndNotes::copyBlockClipsBothSides_data()
{
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("from");
    QTest::addColumn<QRect>("written"); // the part of the 20 x 20 target that changes
    // clang-format off
    QTest::newRow("inside") << QPoint(2, 3) << QRect(0, 0, 5, 4) << QRect(2, 3, 5, 4);
    QTest::newRow("past target right and bottom") << QPoint(17, 18) << QRect(0, 0, 10, 10) << QRect(17, 18, 3, 2);
    QTest::newRow("negative target") << QPoint(-3, -2) << QRect(0, 0, 10, 10) << QRect(0, 0, 7, 8);
    QTest::newRow("past source") << QPoint(0, 0) << QRect(25, 26, 10, 10) << QRect(0, 0, 5, 4);
    QTest::newRow("negative source") << QPoint(5, 5) << QRect(-2, -1, 4, 4) << QRect(7, 6, 2, 3);
    // clang-format on
}

void TestDrawingAndNotes::copyBlockClipsBothSides()
{
    QFETCH(QPoint, to);
    QFETCH(QRect, from);
    QFETCH(QRect, written);
    const QImage source = noiseImage(30, 30);
    QImage target(20, 20, QImage::Format_RGB32);
    target.fill(0xFF000000u);
    copyBlock(target, to.x(), to.y(), from.width(), from.height(), source, from.x(), from.y());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const QRgb expected = written.contains(x, y)
                ? source.pixel(x - to.x() + from.x(), y - to.y() + from.y())
                : 0xFF000000u;
            QCOMPARE(target.pixel(x, y), expected);
        }
}

void TestDrawingAndNotes::noteRoomLiesRightOfTheControl_data()
{
    QTest::addColumn<QRect>("after");
    QTest::addColumn<int>("rightEdge"); // the window's width, or where a text further right begins
    QTest::addColumn<QRect>("room"); // null: none
    // clang-format off
    QTest::newRow("wide window")              << QRect(648, 0, 64, 24) << 1280 << QRect(720, 0, 556, 24);
    QTest::newRow("short of a text at 1100")  << QRect(648, 0, 64, 24) << 1100 << QRect(720, 0, 376, 24);
    QTest::newRow("narrowest room")           << QRect(648, 0, 64, 24) << 756  << QRect(720, 0, 32, 24);
    QTest::newRow("too narrow to show")       << QRect(648, 0, 64, 24) << 755  << QRect();
    QTest::newRow("control past the edge")    << QRect(648, 0, 64, 24) << 640  << QRect();
    QTest::newRow("on the control's row")     << QRect(10, 30, 50, 20) << 200  << QRect(68, 30, 128, 20);
    // clang-format on
}

// A note takes the rest of its control's row, a gap away from the control and an inset away
// from the window's edge or a lasting text there, and nothing where too little is left to read.
void TestDrawingAndNotes::noteRoomLiesRightOfTheControl()
{
    QFETCH(QRect, after);
    QFETCH(int, rightEdge);
    QFETCH(QRect, room);
    QCOMPARE(noteRoom(after, rightEdge), room);
}

void TestDrawingAndNotes::stripTextSitsAtTheRowsEnd_data()
{
    QTest::addColumn<QRect>("after");
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<QRect>("place"); // null: not shown
    // clang-format off
    QTest::newRow("wide window")           << QRect(648, 0, 64, 24) << 1280 << 60 << QRect(1214, 0, 60, 24);
    QTest::newRow("just fits")             << QRect(648, 0, 64, 24) << 786  << 60 << QRect(720, 0, 60, 24);
    QTest::newRow("one pixel short")       << QRect(648, 0, 64, 24) << 785  << 60 << QRect();
    QTest::newRow("designed width 730")    << QRect(648, 0, 64, 24) << 730  << 60 << QRect();
    QTest::newRow("on the control's row")  << QRect(10, 30, 50, 20) << 200  << 40 << QRect(154, 30, 40, 20);
    // clang-format on
}

// The image's position sits flush right on the row of the save buttons, clear of them; where the
// window leaves no room it is not shown, rather than cut or laid over a control.
void TestDrawingAndNotes::stripTextSitsAtTheRowsEnd()
{
    QFETCH(QRect, after);
    QFETCH(int, windowWidth);
    QFETCH(int, textWidth);
    QFETCH(QRect, place);
    QCOMPARE(stripTextPlace(after, windowWidth, textWidth), place);
}

void TestDrawingAndNotes::noteFitsItsRoom_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters"); // the room's width, in widths of "x"
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lines"); // what the rows hold before any is cut short
    QTest::addColumn<bool>("cut");
    // clang-format off
    QTest::newRow("one line fits")              << "abc"              << 40 << 1 << "abc"                    << false;
    QTest::newRow("all lines fit")              << "abc\ndef"         << 40 << 3 << "abc\ndef"               << false;
    QTest::newRow("one row: all on one line")   << "abc\ndef\nghi"    << 40 << 1 << "abc　def　ghi"           << false;
    QTest::newRow("two rows: summary, rest")    << "abc\ndef\nghi"    << 40 << 2 << "abc\ndef　ghi"           << false;
    QTest::newRow("no row still shows one")     << "abc\ndef"         << 40 << 0 << "abc　def"                << false;
    QTest::newRow("too narrow: summary leads")  << "2 枚を保存しました\nCG01_001.BMP（/tmp/）" << 12 << 1 << "2 枚を保存しました　CG01_001.BMP（/tmp/）" << true;
    // clang-format on
}

// What a note shows in its room: whole lines while they fit, the rest on its last row, and a
// line too wide for the room cut short with an ellipsis.
void TestDrawingAndNotes::noteFitsItsRoom()
{
    QFETCH(QString, text);
    QFETCH(int, characters);
    QFETCH(int, rows);
    QFETCH(QString, lines);
    QFETCH(bool, cut);
    const QFontMetrics metrics(QApplication::font());
    const int width = metrics.horizontalAdvance(QString(characters, QLatin1Char('x')));
    const QString fitted = fittedNote(text, metrics, width, rows);
    if (!cut) {
        QCOMPARE(fitted, lines);
        return;
    }
    QVERIFY2(fitted.endsWith(QChar(0x2026)), qPrintable(fitted));
    QVERIFY2(fitted.size() > 1 && lines.startsWith(fitted.chopped(1)), qPrintable(fitted));
    QVERIFY(metrics.horizontalAdvance(fitted) <= width);
}

QTEST_MAIN(TestDrawingAndNotes)
#include "tst_drawing_and_notes.moc"
