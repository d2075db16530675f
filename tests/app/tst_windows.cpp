#include "core/Title.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "platform/FileSystem.h"
#include "trimming/TrimmingStates.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWindow>

// The two windows as start-up leaves them, the registration window in front of the main window,
// and the title naming the image.
class TestWindows : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void windowsAfterStartUp();
    void listsAfterStartUp();
    void categoryDefaults_data();
    void categoryDefaults();
    void controlStatesAfterStartUp();
    void registrationWindowIgnoresEscapeAndClose();
    void registrationWindowStaysInFrontOfTheMainWindow();
    void titleNamesTheImage_data();
    void titleNamesTheImage();
};

void TestWindows::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestWindows::windowsAfterStartUp()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    QWidget* main = program.widget(QStringLiteral("MAINFORM"));
    QWidget* form2 = program.widget(QStringLiteral("FORM2"));
    QVERIFY(main->isVisible());
    QVERIFY(main->isMaximized());
    QCOMPARE(main->windowTitle(), QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(app.FormWidth, app.rt.GetWidth(app.MAINFORM));
    QCOMPARE(app.FormHeight, app.rt.GetHeight(app.MAINFORM));
    QVERIFY(!form2->isVisible());
    QVERIFY(form2->isWindow());
    QCOMPARE(form2->windowTitle(), QStringLiteral("ファイルと分類の登録"));
    QCOMPARE(app.rt.GetWidth(app.FORM2), 578);
    QCOMPARE(app.rt.GetHeight(app.FORM2), 466);
    QVERIFY(!(form2->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(form2->windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(form2->windowFlags() & Qt::WindowTitleHint);
    // The view is built from the blank image like from any image: margin included.
    QCOMPARE(app.bitmaps.GetBitmapWidth(app.ViewBitmap), 2020.0f);
    QCOMPARE(app.bitmaps.GetBitmapHeight(app.ViewBitmap), 1020.0f);
    QCOMPARE(app.bitmaps.GetBitmapWidth(app.SourceBitmap), 2000.0f);
    QCOMPARE(app.bitmaps.GetBitmapHeight(app.SourceBitmap), 1000.0f);
    QCOMPARE(app.ImageWidth, 2000.0f);
    QCOMPARE(app.ViewHeight, 1020.0f);
}

void TestWindows::listsAfterStartUp()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    const QStringList magnifications = { "等倍", "縦合わせ", "横合わせ", "×０.９", "×０.８", "×０.７",
        "×０.６", "×０.５", "×０.４", "×０.３", "×０.２", "×０.１" };
    QCOMPARE(app.rt.GetCount(app.COMBO5), 12);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(app.rt.GetItemText(app.COMBO5, i), magnifications[i]);
    QCOMPARE(app.rt.GetCurSel(app.COMBO5), 0);
    for (Control fill : { app.COMBO3, app.COMBO4 }) {
        QCOMPARE(app.rt.GetCount(fill), 2);
        QCOMPARE(app.rt.GetItemText(fill, 0), QStringLiteral("無"));
        QCOMPARE(app.rt.GetItemText(fill, 1), QStringLiteral("0"));
    }
    QCOMPARE(app.rt.GetCurSel(app.COMBO3), 1);
    QCOMPARE(app.rt.GetCount(app.LIST1), 20);
    QCOMPARE(app.rt.GetItemText(app.LIST1, 0), QStringLiteral("分類 1"));
    QCOMPARE(app.rt.GetItemText(app.LIST1, 6), QStringLiteral("分類 7"));
    QCOMPARE(app.rt.GetItemText(app.LIST1, 19), QStringLiteral("分類 20"));
    // No category is valid, so category 1 is current and neither list shows a selection.
    QCOMPARE(app.CurCat, 1);
    QCOMPARE(app.rt.GetCurSel(app.LIST1), -1);
    QCOMPARE(app.rt.GetCount(app.COMBO2), 0);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
}

void TestWindows::categoryDefaults_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fixed");
    // clang-format off
    QTest::newRow("1") << 1 << "分類 1" << "CG01_";
    QTest::newRow("9") << 9 << "分類 9" << "CG09_";
    QTest::newRow("10") << 10 << "分類 10" << "CG10_";
    QTest::newRow("20") << 20 << "分類 20" << "CG20_";
    // clang-format on
}

void TestWindows::categoryDefaults()
{
    QFETCH(int, category);
    QFETCH(QString, name);
    QFETCH(QString, fixed);
    TestProgram program;
    program.start();
    App& app = program.app();
    QCOMPARE(app.CatName[category], name);
    QCOMPARE(app.CatFolder[category], QDir::toNativeSeparators(program.dir()) + pathSeparator());
    QCOMPARE(app.CatFixed[category], fixed);
    QCOMPARE(app.CatStartText[category], QStringLiteral("1"));
    QCOMPARE(app.CatNextNo[category], int16_t(1));
    QCOMPARE(app.CatDigits[category], int16_t(3));
    QCOMPARE(app.CatFill[category], QStringLiteral("0"));
    QCOMPARE(app.CatValid[category], int16_t(0));
    QCOMPARE(app.CatFrameCount[category], 0);
}

void TestWindows::controlStatesAfterStartUp()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (Control disabled : { app.BUTTON3, app.BUTTON4, app.COMBO1 })
        QCOMPARE(app.rt.IsWindowEnabled(disabled), kFalse);
    // Start-up disables BUTTON2, but the resize of the maximised window is handled as soon as
    // the loop runs, and its rebuild of the view puts the trimming controls in their normal
    // state, where BUTTON2 is usable.
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kTrue);
    QCOMPARE(app.rt.IsWindowVisible(app.BUTTON1), kFalse);
    // Trimming and saving wait for a registered image source.
    for (Control hidden : { app.BUTTON2, app.BUTTON9, app.BUTTON11, app.BUTTON12 })
        QCOMPARE(app.rt.IsWindowVisible(hidden), kFalse);
    QCOMPARE(app.LoadPath, QDir::toNativeSeparators(program.dir()));
    QCOMPARE(app.SeqFixed, QStringLiteral("CG"));
    QCOMPARE(app.SeqNumber, 1.0);
    QCOMPARE(app.SeqDigits, int16_t(3));
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.Magnification, 1.0f);
    QCOMPARE(app.MaxFramesPerCat, int16_t(50));
    QCOMPARE(app.BandLeft, kNoBand);
    QCOMPARE(app.ScrollBarSize, int16_t(16));
    QCOMPARE(app.JpegTempFile, QStringLiteral("DAMMY.BMP"));
    QCOMPARE(app.SrcList.size(), 1);
    QCOMPARE(app.TitleText, QStringLiteral("Velmora Ver1.4"));
    QVERIFY(!app.BannerText.isEmpty());
}

void TestWindows::registrationWindowIgnoresEscapeAndClose()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.rt.ShowWindow(app.FORM2, kTrue);
    QWidget* form2 = program.widget(QStringLiteral("FORM2"));
    QTest::keyClick(form2, Qt::Key_Escape);
    form2->close();
    program.runEvents();
    QVERIFY(form2->isVisible());
    QVERIFY(!app.rt.Ended());
}

void TestWindows::registrationWindowStaysInFrontOfTheMainWindow()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    QWidget* main = program.widget(QStringLiteral("MAINFORM"));
    QWidget* form2 = program.widget(QStringLiteral("FORM2"));
    // A transient dialog-type window of the main window: window managers keep it above it.
    // It is no child of the main window, which would disable it together with the main window.
    QCOMPARE(form2->windowHandle()->transientParent(), main->windowHandle());
    QCOMPARE(form2->windowHandle()->type(), Qt::Dialog);
    QCOMPARE(form2->parentWidget(), nullptr);

    click(program, "BUTTON5");
    QVERIFY(form2->isVisible());
    QVERIFY(form2->isEnabled());
    QVERIFY(!main->isEnabled());
    QTRY_COMPARE(QApplication::activeWindow(), form2);

    // The user clicks the greyed main window: the window system activates it, and the
    // registration window comes forward again.
    main->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), form2);
    // Also when the window manager had minimised it.
    form2->showMinimized();
    main->activateWindow();
    QTRY_VERIFY(!form2->isMinimized());
    QTRY_COMPARE(QApplication::activeWindow(), form2);

    // The main window's close box does nothing while the registration window is open.
    closeMainWindow(program);
    QVERIFY(!app.rt.Ended());
    QVERIFY(main->isVisible());
}

void TestWindows::titleNamesTheImage_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    // clang-format off
    QTest::newRow("no image") << "" << "Velmora Ver1.4";
    QTest::newRow("image") << "x.BMP" << "Velmora Ver1.4 　　トリミング画像「x.BMP」";
    // clang-format on
}

void TestWindows::titleNamesTheImage()
{
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    TestProgram program;
    program.start();
    App& app = program.app();
    app.CurrentFileName = fileName;
    TITLE_SET(app);
    QCOMPARE(program.widget(QStringLiteral("MAINFORM"))->windowTitle(), title);
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
