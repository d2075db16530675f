#include "app/UnexpectedError.h"

#include "core/App.h"

QString unexpectedErrorText(const UnexpectedError& error)
{
    return QStringLiteral("続行不可能なエラーが発生しました %1 [%2行]").arg(error.unit).arg(error.line);
}

void showUnexpectedError(App& app, const UnexpectedError& error)
{
    app.rt.MessageBox(Control {}, app.rt.GetWindowText(app.MAINFORM), unexpectedErrorText(error),
        MessageButtons::Ok, MessageIcon::Stop);
}
