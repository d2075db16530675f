#pragma once

#include <QString>

struct App;

// An error that no routine handles: it ends the program after one message box that names the
// failing program unit and a location in it.
struct UnexpectedError
{
    QString unit;
    unsigned line = 0;
};

// Runs one unit of the program. Any error that escapes it becomes an UnexpectedError naming
// the unit and the location, unless it already is one, so that every error no routine handles
// reaches the one box at the top of the program.
template <typename Work> void runAsUnit(const QString& unit, unsigned location, Work&& work)
{
    try {
        work();
    } catch (const UnexpectedError&) {
        throw;
    } catch (...) {
        throw UnexpectedError { unit, location };
    }
}

// "続行不可能なエラーが発生しました <unit> [<line>行]"
QString unexpectedErrorText(const UnexpectedError& error);

// Shows the error box, titled with the main window's caption.
void showUnexpectedError(App& app, const UnexpectedError& error);
