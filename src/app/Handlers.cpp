#include "app/Handlers.h"

#include "app/Keyboard.h"
#include "app/Shutdown.h"
#include "app/UnexpectedError.h"
#include "categories/AfterSave.h"
#include "categories/RegistrationWindow.h"
#include "core/App.h"
#include "source/FolderListing.h"
#include "source/ImageLoading.h"
#include "source/LoadSetup.h"
#include "trimming/AutoFrames.h"
#include "trimming/MouseHandling.h"
#include "trimming/TrimmingMode.h"
#include "view/Layout.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"

#include <functional>

namespace {

void install(App& app, const char* eventName, std::function<void(const ControlEvent&)> run)
{
    const QString unit = QString::fromLatin1(eventName);
    app.rt.SetHandler(unit, [&app, unit, run](const ControlEvent& event) {
        app.EventOwner = event.owner;
        runAsUnit(unit, 0, [&] { run(event); });
    });
}

} // namespace

void registerHandler(App& app, const char* eventName, Handler handler)
{
    install(app, eventName, [&app, handler](const ControlEvent& event) { handler(app, event); });
}

void registerHandler(App& app, const char* eventName, void (*handler)(App&))
{
    install(app, eventName, [&app, handler](const ControlEvent&) { handler(app); });
}

void registerHandlers(App& app)
{
    app.RequestActions[PendingAction::ListFolder] = listSourceFolder;
    app.RequestActions[PendingAction::SaveThenNext] = saveThenNext;
    app.RequestActions[PendingAction::SaveThenPrevious] = saveThenPrevious;
    registerHandler(app, "MAINFORM_END", MAINFORM_END);
    registerHandler(app, "MAINFORM_RESIZE", MAINFORM_RESIZE);
    registerHandler(app, "HSCROLL1_CHANGE", HSCROLL1_CHANGE);
    registerHandler(app, "VSCROLL1_CHANGE", VSCROLL1_CHANGE);
    registerHandler(app, "BUTTON1_ON", BUTTON1_ON);
    registerHandler(app, "COMBO5_CHANGE", COMBO5_CHANGE);
    registerHandler(app, "BUTTON5_ON", BUTTON5_ON);
    registerHandler(app, "LIST1_CLICK", LIST1_CLICK);
    registerHandler(app, "CHECK1_ON", CHECK1_ON);
    registerHandler(app, "BUTTON10_ON", BUTTON10_ON);
    registerHandler(app, "BUTTON8_ON", BUTTON8_ON);
    registerHandler(app, "BUTTON6_ON", BUTTON6_ON);
    registerHandler(app, "BUTTON7_ON", BUTTON7_ON);
    registerHandler(app, "BUTTON9_ON", BUTTON9_ON);
    registerHandler(app, "BUTTON11_ON", BUTTON11_ON);
    registerHandler(app, "BUTTON12_ON", BUTTON12_ON);
    registerHandler(app, "BUTTON13_ON", BUTTON13_ON);
    registerHandler(app, "BUTTON14_ON", BUTTON14_ON);
    registerHandler(app, "BUTTON15_ON", BUTTON15_ON);
    registerHandler(app, "PICTURE1_MOUSEDOWN",
        [](App& a, const ControlEvent& e) { PICTURE1_MOUSEDOWN(a, e.button, e.shift, e.x, e.y); });
    registerHandler(app, "PICTURE1_MOUSEUP",
        [](App& a, const ControlEvent& e) { PICTURE1_MOUSEUP(a, e.button, e.shift, e.x, e.y); });
    registerHandler(app, "PICTURE1_MOUSEMOVE",
        [](App& a, const ControlEvent& e) { PICTURE1_MOUSEMOVE(a, e.button, e.shift, e.x, e.y); });
    registerHandler(app, "BUTTON2_ON", BUTTON2_ON);
    registerHandler(app, "BUTTON3_ON", BUTTON3_ON);
    registerHandler(app, "BUTTON4_ON", BUTTON4_ON);
    registerHandler(app, "COMBO1_CLICK", COMBO1_CLICK);
    registerHandler(app, "COMBO1_CHANGE", COMBO1_CHANGE);
    registerHandler(app, "COMBO2_CHANGE", COMBO2_CHANGE);

    // Keys and the wheel.
    registerHandler(app, "MAINFORM_ESCAPE", MAINFORM_ESCAPE);
    registerHandler(app, "COMBO2_KEY", [](App& a, const ControlEvent& e) { COMBO2_KEY(a, e.button); });
    registerHandler(app, "COMBO5_KEY", [](App& a, const ControlEvent& e) { COMBO5_KEY(a, e.button); });
    registerHandler(app, "PICTURE1_WHEEL", [](App& a, const ControlEvent& e) {
        PICTURE1_WHEEL(a, e.shift, float(e.wheelSteps.x()), float(e.wheelSteps.y()), e.x, e.y);
    });
    registerHandler(app, "MAINFORM_HELP", MAINFORM_HELP);
    registerHandler(app, "MAINFORM_AUTOFRAMES", MAINFORM_AUTOFRAMES);
    registerHandler(app, "MAINFORM_LASTFRAMES", MAINFORM_LASTFRAMES);
    registerHandler(app, "BUTTON3_TIGHTEN", BUTTON3_TIGHTEN);
    registerHandler(app, "MAINFORM_DROP", [](App& a, const ControlEvent& e) { MAINFORM_DROP(a, e.path); });
    registerHandler(app, "MAINFORM_DECODED", MAINFORM_DECODED);
}
