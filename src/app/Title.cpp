#include "app/App.h"
#include "app/StartUp.h"

void TITLE_SET(App& app)
{
    QString title = app.TitleText;
    if (!app.CurrentFileName.isEmpty())
        title += QStringLiteral(" 　　トリミング画像「") + app.CurrentFileName + QStringLiteral("」");
    app.rt.SetWindowText(app.MAINFORM, title);
}
