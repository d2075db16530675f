#include "app/StartUp.h"

#include "app/Keyboard.h"
#include "categories/SaveTargetCheck.h"
#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/DurableFiles.h"
#include "platform/FileSystem.h"
#include "settings/Settings.h"
#include "trimming/TrimmingStates.h"
#include "view/Layout.h"
#include "view/Magnification.h"

namespace {

const QString kTitleText = QStringLiteral("Velmora Ver1.4");
const QString kBannerText = QStringLiteral("Velmora Ver1.4 Copyright (C) the Velmora developers");

#define BIND(control, size)                                                                                  \
    ControlBinding                                                                                           \
    {                                                                                                        \
        &Controls::control, #control, size                                                                   \
    }

const ControlBinding kMainFormControls[] = {
    BIND(HSCROLL1, 0),
    BIND(VSCROLL1, 0),
    BIND(BUTTON1, 10),
    BIND(BUTTON2, 14),
    BIND(BUTTON3, 14),
    BIND(BUTTON4, 10),
    BIND(BUTTON5, 14),
    BIND(BUTTON9, 14),
    BIND(BUTTON11, 10),
    BIND(BUTTON12, 10),
    BIND(COMBO1, 14),
    BIND(COMBO2, 14),
    BIND(COMBO5, 14),
};

const ControlBinding kForm2Controls[] = {
    BIND(BUTTON6, 14),
    BIND(BUTTON7, 14),
    BIND(BUTTON8, 14),
    BIND(BUTTON10, 14),
    BIND(BUTTON13, 14),
    BIND(BUTTON14, 10),
    BIND(BUTTON15, 14),
    BIND(EDIT1, 14),
    BIND(EDIT2, 14),
    BIND(EDIT3, 14),
    BIND(EDIT4, 14),
    BIND(EDIT5, 14),
    BIND(EDIT6, 14),
    BIND(EDIT7, 14),
    BIND(EDIT8, 14),
    BIND(EDIT9, 14),
    BIND(EDIT10, 12),
    BIND(TEXT1, 14),
    BIND(TEXT2, 14),
    BIND(TEXT3, 14),
    BIND(TEXT4, 14),
    BIND(TEXT5, 14),
    BIND(TEXT6, 14),
    BIND(TEXT7, 14),
    BIND(TEXT8, 14),
    BIND(TEXT9, 14),
    BIND(COMBO3, 14),
    BIND(COMBO4, 14),
    BIND(LIST1, 14),
    BIND(CHECK1, 14),
};

#undef BIND

const QStringList kMagnifications = {
    QStringLiteral("等倍"),
    QStringLiteral("縦合わせ"),
    QStringLiteral("横合わせ"),
    QStringLiteral("×０.９"),
    QStringLiteral("×０.８"),
    QStringLiteral("×０.７"),
    QStringLiteral("×０.６"),
    QStringLiteral("×０.５"),
    QStringLiteral("×０.４"),
    QStringLiteral("×０.３"),
    QStringLiteral("×０.２"),
    QStringLiteral("×０.１"),
};

template <size_t N> void bindControls(App& app, Control form, const ControlBinding (&bindings)[N])
{
    for (const ControlBinding& binding : bindings) {
        Control& handle = app.*binding.handle;
        handle = app.rt.GetDlgItem(form, QString::fromLatin1(binding.name));
        if (binding.fontSize) app.rt.SetFontSize(handle, binding.fontSize);
    }
}

void readScreenMetrics(App& app)
{
    app.CaptionHeight = int16_t(app.rt.GetSystemMetrics(FormRuntime::SM_CYSIZE)
        + app.rt.GetSystemMetrics(FormRuntime::SM_CYFRAME)
        + app.rt.GetSystemMetrics(FormRuntime::SM_CYBORDER));
    app.FrameHeight = int16_t(app.rt.GetSystemMetrics(FormRuntime::SM_CYFRAME));
}

void createWorkingBitmaps(App& app, int width, int height)
{
    // Loaded images get room for the view's margin, so the view at actual size shares them.
    app.bitmaps.SetLoadMargin(kViewMargin);
    app.bitmaps.DeleteObject(app.ViewBitmap);
    app.bitmaps.DeleteObject(app.SourceBitmap);
    app.bitmaps.CreateBitmap(app.ViewBitmap, width, height);
    app.bitmaps.CreateBitmap(app.SourceBitmap, width, height);
    app.bitmaps.SetMapMode(app.ViewBitmap, 1);
    app.bitmaps.SetMapMode(app.SourceBitmap, 1);
}

void setCategoryDefaults(App& app, int category)
{
    app.CatName[category] = categoryLabel(category);
    app.CatFolder[category] = currentFolder();
    app.CatFixed[category] = QStringLiteral("CG%1_").arg(category, 2, 10, QLatin1Char('0'));
    app.CatStartText[category] = QStringLiteral("1");
    app.CatNextNo[category] = 1;
    app.CatDigits[category] = 3;
    app.CatFill[category] = QStringLiteral("0");
}

// The first valid category becomes current and is selected in both lists. Without a valid
// category, category 1 is current and neither list shows a selection.
void selectFirstValidCategory(App& app)
{
    if (app.ValidCatMap[0] >= 1) {
        app.rt.SetCurSel(app.COMBO2, 0);
        app.CurCat = app.ValidCatMap[0];
        app.rt.SetCurSel(app.LIST1, app.CurCat - 1);
    } else {
        app.CurCat = 1;
    }
}

// The main window, maximised, with the metrics its frame gives, then the registration window.
void createWindows(App& app)
{
    FormRuntime& rt = app.rt;
    app.MAINFORM = rt.CreateWindow(QStringLiteral("MAINFORM"), false);
    bindControls(app, app.MAINFORM, kMainFormControls);
    rt.SetMapMode(app.MAINFORM, 1);
    app.ScrollBarSize = 16;

    app.bitmaps.CreateBitmap(app.ViewBitmap, 10, 10);
    app.bitmaps.CreateBitmap(app.SourceBitmap, 10, 10);
    app.PICTURE1 = rt.GetDlgItem(app.MAINFORM, QStringLiteral("PICTURE1"));
    rt.SetMapMode(app.PICTURE1, 1);

    rt.MoveWindow(app.MAINFORM, 0, 0);
    rt.MaximizeWindow(app.MAINFORM);
    // The window system draws the caption and frame only once the window is shown.
    readScreenMetrics(app);
    app.FormWidth = int16_t(rt.GetWidth(app.MAINFORM));
    app.FormHeight = int16_t(rt.GetHeight(app.MAINFORM));

    app.FORM2 = rt.CreateWindow(QStringLiteral("FORM2"), false);
    rt.SetWindowSize(app.FORM2, 578, 466);
    bindControls(app, app.FORM2, kForm2Controls);
    installKeys(app);
    rt.AcceptDrops(app.MAINFORM);
    app.bitmaps.SetBackgroundDecodeNotice(rt.EventPoster(app.MAINFORM, QStringLiteral("DECODED")));
    // A handler registered under a name no control raises would never run.
    if (const QStringList unknown = rt.UnknownEvents(); !unknown.isEmpty())
        qFatal("Handlers for events no control raises: %s", qPrintable(unknown.join(QLatin1String(", "))));
}

// The lists, the category table and the image source as they are before any settings.
void fillDefaults(App& app)
{
    FormRuntime& rt = app.rt;
    for (const QString& entry : kMagnifications)
        rt.AddString(app.COMBO5, entry);
    app.BandLeft = kNoBand;
    for (Control fill : { app.COMBO3, app.COMBO4 }) {
        rt.AddString(fill, QStringLiteral("無"));
        rt.AddString(fill, QStringLiteral("0"));
    }
    for (int category = 1; category <= kCategoryCount; ++category) {
        rt.AddString(app.LIST1, categoryLabel(category));
        setCategoryDefaults(app, category);
    }

    app.LoadPath = currentDirectory();
    rt.SetWindowText(app.EDIT1, app.LoadPath);
    app.SeqFixed = QStringLiteral("CG");
    app.SeqNumber = 1;
    app.SeqDigits = 3;
    rt.SetCurSel(app.COMBO3, 1);
    app.LoadMode = LoadMode::Sequence;
    app.Magnification = 1.0f;
    rt.SetCurSel(app.COMBO5, 0);
    rt.ShowWindow(app.BUTTON1, kFalse);
}

// What a process killed while writing left in the folders the settings name: a settings file or
// pieces that never got their name.
void removeAbandonedFiles(const App& app)
{
    QStringList folders { currentFolder() };
    for (int category = 1; category <= kCategoryCount; ++category)
        folders << app.CatFolder[category];
    folders.removeDuplicates();
    for (const QString& folder : folders)
        if (isExistingFolder(folder)) removeAbandonedTemporaries(folder);
}

// What the settings file says, and what follows from it.
void applySettings(App& app)
{
    readSettings(app);
    removeAbandonedFiles(app);
    reportUnwritableSettingsFolder(app);
    FILECHK_SUB(app);
    // The reader has already dropped the keys of the load path and work drive records, so a
    // default load path, which was never read from the file, keeps any comma of its folder.
    if (app.LoadPath.isEmpty()) app.LoadPath = currentFolder();
    app.JpegTempFile = app.JpegWorkDrive + QStringLiteral("DAMMY.BMP");
    app.MaxFramesPerCat = kMaxFrames;
    selectFirstValidCategory(app);
}

} // namespace

std::span<const ControlBinding> controlBindings(const QString& formName)
{
    if (formName == QLatin1String("MAINFORM")) return kMainFormControls;
    if (formName == QLatin1String("FORM2")) return kForm2Controls;
    return {};
}

void startUp(App& app)
{
    FormRuntime& rt = app.rt;
    app.TitleText = kTitleText;
    app.BannerText = kBannerText;
    createWindows(app);
    rt.SetWindowText(app.MAINFORM, app.TitleText);

    app.ViewWidth = app.ImageWidth = kBlankImageWidth;
    app.ViewHeight = app.ImageHeight = kBlankImageHeight;
    createWorkingBitmaps(app, kBlankImageWidth, kBlankImageHeight);
    WIN_SAIZU_SUB(app);
    rt.EnableWindow(app.BUTTON3, kFalse);
    rt.EnableWindow(app.BUTTON4, kFalse);

    fillDefaults(app);
    applySettings(app);

    rt.EnableWindow(app.COMBO1, kFalse);
    rt.ResetContent(app.COMBO1);
    rt.EnableWindow(app.BUTTON2, kFalse);
    app.SrcList = QStringList(1);
}
