#include "forms/Forms.h"

#include "platform/SurfaceWidget.h"
#include "ui_FORM2.h"
#include "ui_MAINFORM.h"

#include <QFont>

namespace {

// The designed Japanese font names stand for the installed fonts closest to them: IPA P Gothic
// has the metrics of the proportional Gothic the forms were designed for, so captions fit their
// controls; Noto Sans CJK stands in where it is missing.
void registerFontFallbacks()
{
    static const bool registered = [] {
        const QStringList fallbacks { QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
            QStringLiteral("VL Gothic"), QStringLiteral("Sans Serif") };
        QFont::insertSubstitutions(
            QStringLiteral("ＭＳ Ｐゴシック"), QStringList { QStringLiteral("IPAPGothic") } + fallbacks);
        QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
            QStringList { QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP") } + fallbacks);
        QFont::insertSubstitutions(QStringLiteral("FixedSys"),
            QStringList { QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                QStringLiteral("Monospace") });
        return true;
    }();
    (void)registered;
}

// Captions fill their buttons edge to edge, as the forms were designed.
const QString kTightButtons = QStringLiteral("QPushButton { padding: 0px; }");

QWidget* createMainForm()
{
    auto* window = new SurfaceWidget;
    window->setStyleSheet(kTightButtons);
    window->setBlankColour(window->palette().color(QPalette::Window).rgb());
    Ui::MAINFORM ui;
    ui.setupUi(window);
    ui.PICTURE1->setBlankColour(0xFFFFFF);
    // Trimming and saving appear only once an image source has been registered.
    for (QWidget* button : { ui.BUTTON2, ui.BUTTON9, ui.BUTTON11, ui.BUTTON12 })
        button->hide();
    ui.BUTTON9->setEnabled(false);
    return window;
}

// The registration window has a caption but no close box and no sizing border. Its window type
// is a dialog, so that the window manager keeps it in front of the main window; being no
// QDialog, Escape does not close it.
QWidget* createForm2()
{
    auto* window = new SurfaceWidget;
    window->setStyleSheet(kTightButtons);
    window->setBlankColour(window->palette().color(QPalette::Window).rgb());
    Ui::FORM2 ui;
    ui.setupUi(window);
    window->setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    window->move(108, 227); // the designed place; a top-level window's position is not set up by the form
    return window;
}

} // namespace

QWidget* createForm(const QString& formName)
{
    registerFontFallbacks();
    if (formName == QLatin1String("MAINFORM")) return createMainForm();
    if (formName == QLatin1String("FORM2")) return createForm2();
    return nullptr;
}
