#include "app/Handlers.h"

#include "app/App.h"
#include "app/StartUp.h"
#include "app/UnexpectedError.h"

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
    registerHandler(app, "MAINFORM_END", [](App& a, const ControlEvent&) { MAINFORM_END(a); });
}
