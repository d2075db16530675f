#include "platform/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

QString toQtNameFilter(const QString& filter)
{
    QStringList groups;
    static const QRegularExpression group(QStringLiteral("\\(([^)]*)\\)"));
    for (auto it = group.globalMatch(filter); it.hasNext();) {
        const QString inner = it.next().captured(1);
        QStringList patterns;
        for (QString pattern : inner.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
            if (!patterns.contains(pattern)) patterns << pattern;
            if (pattern != pattern.toLower() && !patterns.contains(pattern.toLower()))
                patterns << pattern.toLower();
        }
        groups << QStringLiteral("%1 (%2)").arg(inner, patterns.join(QLatin1Char(' ')));
    }
    return groups.join(QStringLiteral(";;"));
}

int WidgetDialogs::messageBox(
    QWidget* owner, const QString& title, const QString& text, int buttons, int icon)
{
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        box.setWindowModality(Qt::ApplicationModal);
        break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (buttons != MessageButtons::YesNo) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

QString WidgetDialogs::openFile(
    QWidget* owner, const QString& prompt, const QString& start, const QString& filter, int /*flag*/)
{
    const QString path = QFileDialog::getOpenFileName(owner, prompt, start, toQtNameFilter(filter));
    return path.isEmpty() ? dialogCancelled() : QDir::toNativeSeparators(path);
}

QString WidgetDialogs::saveFile(
    QWidget* owner, const QString& prompt, const QString& start, const QString& filter, int /*flag*/)
{
    // Only a folder is chosen through this dialog; the name is never written, so the
    // dialog must not ask whether to replace an existing file.
    const QString path = QFileDialog::getSaveFileName(
        owner, prompt, start, toQtNameFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite);
    return path.isEmpty() ? dialogCancelled() : QDir::toNativeSeparators(path);
}
