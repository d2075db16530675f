#include "core/Title.h"
#include "core/App.h"

void TITLE_SET(App& app)
{
    QString title = app.TitleText;
    if (!app.CurrentFileName.isEmpty())
        title += QStringLiteral(" 　　トリミング画像「") + app.CurrentFileName + QStringLiteral("」");
    app.rt.SetWindowText(app.MAINFORM, title);
}
