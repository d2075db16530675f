#include "app/Handlers.h"

#include "app/App.h"
#include "app/StartUp.h"
#include "app/UnexpectedError.h"
#include "categories/RegistrationWindow.h"
#include "source/FolderListing.h"
#include "source/LoadSetup.h"
#include "trimming/MouseHandling.h"
#include "trimming/TrimmingMode.h"
#include "view/Layout.h"
#include "view/Scrolling.h"

#include <exception>

void registerHandler(App& app, const char* eventName, Handler handler)
{
    app.rt.SetHandler(QString::fromLatin1(eventName), [&app, eventName, handler](const ControlEvent& event) {
        app.EventOwner = event.owner;
        try {
            handler(app, event);
        } catch (const UnexpectedError&) {
            throw;
        } catch (const std::exception&) {
            throw UnexpectedError { QString::fromLatin1(eventName), 0 };
        }
    });
}

void registerHandlers(App& app)
{
    app.RequestActions[1] = listSourceFolder;
    registerHandler(app, "MAINFORM_END", [](App& a, const ControlEvent&) { MAINFORM_END(a); });
    registerHandler(app, "MAINFORM_RESIZE", [](App& a, const ControlEvent&) { MAINFORM_RESIZE(a); });
    registerHandler(app, "HSCROLL1_CHANGE", [](App& a, const ControlEvent&) { HSCROLL1_CHANGE(a); });
    registerHandler(app, "VSCROLL1_CHANGE", [](App& a, const ControlEvent&) { VSCROLL1_CHANGE(a); });
    registerHandler(app, "BUTTON1_ON", [](App& a, const ControlEvent&) { BUTTON1_ON(a); });
    registerHandler(app, "COMBO5_CHANGE", [](App& a, const ControlEvent&) { COMBO5_CHANGE(a); });
    registerHandler(app, "BUTTON5_ON", [](App& a, const ControlEvent&) { BUTTON5_ON(a); });
    registerHandler(app, "LIST1_CLICK", [](App& a, const ControlEvent&) { LIST1_CLICK(a); });
    registerHandler(app, "CHECK1_ON", [](App& a, const ControlEvent&) { CHECK1_ON(a); });
    registerHandler(app, "BUTTON10_ON", [](App& a, const ControlEvent&) { BUTTON10_ON(a); });
    registerHandler(app, "BUTTON8_ON", [](App& a, const ControlEvent&) { BUTTON8_ON(a); });
    registerHandler(app, "BUTTON6_ON", [](App& a, const ControlEvent&) { BUTTON6_ON(a); });
    registerHandler(app, "BUTTON7_ON", [](App& a, const ControlEvent&) { BUTTON7_ON(a); });
    registerHandler(app, "PICTURE1_MOUSEDOWN",
        [](App& a, const ControlEvent& e) { PICTURE1_MOUSEDOWN(a, e.button, e.shift, e.x, e.y); });
    registerHandler(app, "PICTURE1_MOUSEUP",
        [](App& a, const ControlEvent& e) { PICTURE1_MOUSEUP(a, e.button, e.shift, e.x, e.y); });
    registerHandler(app, "PICTURE1_MOUSEMOVE",
        [](App& a, const ControlEvent& e) { PICTURE1_MOUSEMOVE(a, e.button, e.shift, e.x, e.y); });
    registerHandler(app, "BUTTON2_ON", [](App& a, const ControlEvent&) { BUTTON2_ON(a); });
    registerHandler(app, "BUTTON3_ON", [](App& a, const ControlEvent&) { BUTTON3_ON(a); });
    registerHandler(app, "BUTTON4_ON", [](App& a, const ControlEvent&) { BUTTON4_ON(a); });
    registerHandler(app, "COMBO1_CLICK", [](App& a, const ControlEvent&) { COMBO1_CLICK(a); });
    registerHandler(app, "COMBO1_CHANGE", [](App& a, const ControlEvent&) { COMBO1_CHANGE(a); });
    registerHandler(app, "COMBO2_CHANGE", [](App& a, const ControlEvent&) { COMBO2_CHANGE(a); });
}
