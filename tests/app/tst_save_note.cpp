#include "app/WorkflowSupport.h"
#include "core/App.h"
#include "fixture/Images.h"

#include <QDebug>
#include <QLabel>
#include <QTest>

// The note after a save: what it says, where it sits, and what ends it.
class TestSaveNote : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void noteAfterASaveNamesThePiecesAndLeavesThePicture();
    void noteSitsInTheStripBesideTheSaveButtons_data();
    void noteSitsInTheStripBesideTheSaveButtons();
    void noteEndsAtAnswerToADialogOrAClickOnIt_data();
    void noteEndsAtAnswerToADialogOrAClickOnIt();
};

void TestSaveNote::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// After a save a note beside the save buttons says what was written where; it covers no pixel of the
// picture and goes at the next action.
void TestSaveNote::noteAfterASaveNamesThePiecesAndLeavesThePicture()
{
    Registered scene(400, 300);
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    chooseEntry(scene.program, "COMBO2", 1);
    scene.place(50, 60, 150, 160);
    click(scene.program, "BUTTON9");
    const QString note = app.rt.ShownNote();
    QVERIFY2(note.startsWith(QStringLiteral("2 枚を保存しました")), qPrintable(note));
    QVERIFY(note.contains(QStringLiteral("CG01_001.BMP（") + scene.program.dir() + QLatin1Char('/')));
    QVERIFY(note.contains(QStringLiteral("CG02_001.BMP（")));
    QCOMPARE(picture(app).copy(0, 0, app.VisibleWidth, app.VisibleHeight), blockAtOrigin(app));
    // The pointer passing over leaves it; the next click ends it.
    moveOnPicture(scene.program, QPoint(60, 60));
    QCOMPARE(app.rt.ShownNote(), note);
    scene.clickAt(60, 60);
    QCOMPARE(app.rt.ShownNote(), QString());
}

void TestSaveNote::noteSitsInTheStripBesideTheSaveButtons_data()
{
    QTest::addColumn<QString>("action"); // a button clicked, "PageDown" or "drop"
    QTest::addColumn<QString>("summary"); // the note's first line
    QTest::addColumn<int>("windowWidth"); // 0: as the window opens, too narrow for the position
    const QString saved = QStringLiteral("2 枚を保存しました");
    // clang-format off
    QTest::newRow("保存実行")                   << "BUTTON9"  << saved << 1100;
    QTest::newRow("保存実行, narrow window")    << "BUTTON9"  << saved << 0;
    QTest::newRow("PageDown")                   << "PageDown" << saved << 1100;
    QTest::newRow("保存後再読込")               << "BUTTON11" << saved << 1100;
    QTest::newRow("a drop while frames are placed") << "drop" << "枠を置いている間は、ドロップした画像を読み込みません" << 1100;
    // clang-format on
}

// The user frames the next image at once, so the note after a save leaves the whole picture in
// sight: it sits in the strip, right of the save buttons, covering no control and not the
// image's position at the strip's right end, and shows its summary as far as the room takes, the
// whole text in its tooltip.
void TestSaveNote::noteSitsInTheStripBesideTheSaveButtons()
{
    QFETCH(QString, action);
    QFETCH(QString, summary);
    QFETCH(int, windowWidth);
    Registered scene; // the image fills the picture area: no pixel below the strip is free
    App& app = scene.app();
    QWidget* window = scene.program.widget(QStringLiteral("MAINFORM"));
    if (windowWidth > 0) {
        window->resize(windowWidth, window->height());
        scene.program.runEvents();
    }
    scene.place(20, 20, 120, 90);
    chooseEntry(scene.program, "COMBO2", 1);
    scene.place(50, 60, 150, 160);
    if (action == QLatin1String("drop"))
        QVERIFY(dropOnPicture(scene.program, scene.program.path(QStringLiteral("IMG003.BMP"))));
    else if (action == QLatin1String("PageDown"))
        scene.key(QKeyCombination(Qt::Key_PageDown));
    else
        click(scene.program, action.toLatin1().constData());
    const QString note = app.rt.ShownNote();
    QVERIFY2(note.startsWith(summary), qPrintable(note));

    auto* label = scene.program.widget<QLabel>(QStringLiteral("qt_note"));
    QVERIFY(label && label->isVisible());
    const QRect noteRect(label->mapTo(window, QPoint(0, 0)), label->size());
    QVERIFY2(
        noteRect.bottom() < 24 && noteRect.right() < window->width(), qPrintable(QDebug::toString(noteRect)));
    auto* position = scene.program.widget<QLabel>(QStringLiteral("qt_strip_text"));
    QVERIFY(position);
    QCOMPARE(position->isVisible(), windowWidth > 0);
    QCOMPARE(position->text(), app.rt.StripTextShown());
    if (position->isVisible())
        QVERIFY2(position->geometry().left() > noteRect.right()
                && position->geometry().right() < window->width() && position->geometry().bottom() < 24,
            qPrintable(QDebug::toString(position->geometry())));
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (control != label && control->isVisible()) {
            QVERIFY2(!noteRect.intersects(control->geometry()), qPrintable(control->objectName()));
            if (control != position && position->isVisible())
                QVERIFY2(!position->geometry().intersects(control->geometry()), qPrintable(control->objectName()));
        }
    // On screen the picture shows its surface pixel for pixel.
    QWidget* shown = scene.picture();
    QCOMPARE(window->grab(shown->geometry()).toImage().convertToFormat(QImage::Format_RGB32),
        picture(app).copy(shown->rect()));

    // One line: the summary leads, the rest follows as far as it fits.
    QString text = label->text();
    if (text.endsWith(QChar(0x2026))) text.chop(1);
    QVERIFY2(!text.isEmpty(), qPrintable(label->text()));
    QVERIFY2(QString(note).replace(QLatin1Char('\n'), QStringLiteral("　")).startsWith(text),
        qPrintable(label->text()));
    QCOMPARE(label->toolTip(), note);
}

void TestSaveNote::noteEndsAtAnswerToADialogOrAClickOnIt_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("message box answered") << "message";
    QTest::newRow("file chosen") << "file";
    QTest::newRow("folder chosen") << "folder";
    QTest::newRow("click on the note") << "click";
}

// Any action of the user ends the note after a save, also one the program's own events do not
// see: an answer to a dialog, a click on the note itself.
void TestSaveNote::noteEndsAtAnswerToADialogOrAClickOnIt()
{
    QFETCH(QString, action);
    Registered scene(400, 300);
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    click(scene.program, "BUTTON9");
    QVERIFY(!app.rt.ShownNote().isEmpty());
    const QString folder = scene.program.dir() + QLatin1Char('/');
    ScriptedDialogs& dialogs = scene.program.dialogs();
    if (action == QLatin1String("message")) {
        dialogs.answerMessage();
        app.rt.MessageBox(
            app.MAINFORM, QString(), QStringLiteral("?"), MessageButtons::Ok, MessageIcon::None);
    } else if (action == QLatin1String("file")) {
        dialogs.answerOpenFile(folder + QStringLiteral("IMG001.BMP"));
        app.rt.WinOpenDlg(app.MAINFORM, QStringLiteral("?"), folder, QStringLiteral("(*.BMP)"), 0);
    } else if (action == QLatin1String("folder")) {
        dialogs.answerFolder(folder);
        app.rt.WinSaveDlg(app.MAINFORM, QStringLiteral("?"), folder + QStringLiteral("DUMMY"), QString(), 0);
    } else {
        QTest::mouseClick(scene.program.widget(QStringLiteral("qt_note")), Qt::LeftButton);
        scene.program.runEvents();
    }
    QCOMPARE(app.rt.ShownNote(), QString());
    QVERIFY(!scene.program.widget(QStringLiteral("qt_note"))->isVisible());
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG002.BMP"));
}

QTEST_MAIN(TestSaveNote)
#include "tst_save_note.moc"
