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
    QWidget* owner, const QString& title, const QString& text, int buttons, int icon, const QString& details)
{
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    if (!details.isEmpty()) box.setDetailedText(details);
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

namespace {

// File dialogs open large enough to show long Japanese names and the date column whole.
constexpr QSize kComfortableSize(900, 560);

QString answerOf(QFileDialog& dialog)
{
    dialog.resize(dialog.size().expandedTo(kComfortableSize));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return dialogCancelled();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

QString WidgetDialogs::openFile(
    QWidget* owner, const QString& prompt, const QString& start, const QString& filter, int /*flag*/)
{
    QFileDialog dialog(owner, prompt, start, toQtNameFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    return answerOf(dialog);
}

QString WidgetDialogs::chooseFolder(QWidget* owner, const QString& prompt, const QString& start)
{
    QFileDialog dialog(owner, prompt, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return answerOf(dialog);
}
