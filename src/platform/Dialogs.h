#pragma once

#include <QString>

class QWidget;

// Message box buttons and answers, as the program passes and receives them.
namespace MessageButtons {
inline constexpr int Ok = 0;
inline constexpr int YesNo = 4;
} // namespace MessageButtons

namespace MessageAnswer {
inline constexpr int Ok = 1;
inline constexpr int Yes = 5;
inline constexpr int No = 7;
} // namespace MessageAnswer

namespace MessageIcon {
inline constexpr int None = 0;
inline constexpr int Exclamation = 2;
inline constexpr int Stop = 16; // the unexpected-error box, application-modal
} // namespace MessageIcon

// The single character a file dialog returns when it is cancelled.
inline QString dialogCancelled()
{
    return QString(QChar(27));
}

// Every message box and file dialog of the program goes through this interface, so that
// tests can answer them from a script instead of waiting on a modal window.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // `details` is shown on request below the text, when there are any.
    virtual int messageBox(QWidget* owner, const QString& title, const QString& text, int buttons, int icon,
        const QString& details)
        = 0;
    virtual QString openFile(
        QWidget* owner, const QString& prompt, const QString& start, const QString& filter, int flag)
        = 0;
    // A folder chosen by the user, starting in `start`; dialogCancelled() when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& prompt, const QString& start) = 0;
};

// Turns a filter written as "(*.BMP,*.JPG);(*.*)" into a Qt name filter. Patterns match
// regardless of letter case, as file names do on the platforms the filters come from.
QString toQtNameFilter(const QString& filter);

// The real dialogs: QMessageBox and QFileDialog.
class WidgetDialogs final : public Dialogs
{
public:
    int messageBox(QWidget* owner, const QString& title, const QString& text, int buttons, int icon,
        const QString& details) override;
    QString openFile(QWidget* owner, const QString& prompt, const QString& start, const QString& filter,
        int flag) override;
    QString chooseFolder(QWidget* owner, const QString& prompt, const QString& start) override;
};
