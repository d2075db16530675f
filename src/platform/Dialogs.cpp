#include "platform/Dialogs.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

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

// Keeps the columns of a file dialog's detail view as wide as what they show, so that no size,
// type or date is cut short, and gives the name column the rest of the width. Qt gives them
// fixed widths of its own, too narrow for Japanese dates and types. A folder's entries and
// their details come in from a worker thread in batches, after the view is shown, so the
// columns are fitted again whenever the listing changes (coalesced into one pass), and when the
// view is shown (from the list mode) or resized.
class DetailColumnsFit final : public QObject
{
public:
    explicit DetailColumnsFit(QFileDialog& dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    QTreeView* m_view = nullptr;
    // Kept apart: while the dialog is destroyed the viewport still sends events, when the view
    // can no longer be asked for it.
    QObject* m_viewport = nullptr;
    QTimer m_refit;
};

DetailColumnsFit::DetailColumnsFit(QFileDialog& dialog)
    : QObject(&dialog)
{
    // A native dialog of the desktop has no view of Qt's to fit.
    m_view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!m_view || !m_view->model()) return;
    m_refit.setSingleShot(true);
    m_refit.setInterval(0);
    connect(&m_refit, &QTimer::timeout, this, &DetailColumnsFit::fit);
    const auto refit = [this] { m_refit.start(); };
    QAbstractItemModel* model = m_view->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, refit);
    connect(model, &QAbstractItemModel::rowsRemoved, this, refit);
    connect(model, &QAbstractItemModel::dataChanged, this, refit);
    connect(model, &QAbstractItemModel::layoutChanged, this, refit);
    connect(model, &QAbstractItemModel::modelReset, this, refit);
    if (auto* files = qobject_cast<QFileSystemModel*>(model))
        connect(files, &QFileSystemModel::directoryLoaded, this, refit);
    connect(&dialog, &QFileDialog::directoryEntered, this, refit);
    m_viewport = m_view->viewport();
    m_view->installEventFilter(this);
    m_viewport->installEventFilter(this);
}

bool DetailColumnsFit::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_view && event->type() == QEvent::Show)
        || (watched == m_viewport && event->type() == QEvent::Resize))
        m_refit.start();
    return false;
}

void DetailColumnsFit::fit()
{
    QHeaderView* header = m_view->header();
    // QTreeView declares its size hint of a column protected; the item view's is public.
    const QAbstractItemView* view = m_view;
    int taken = 0;
    for (int column = 1; column < header->count(); ++column) {
        if (header->isSectionHidden(column)) continue;
        const int needed = std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
        header->resizeSection(column, needed);
        taken += needed;
    }
    header->resizeSection(0, std::max(m_view->viewport()->width() - taken, header->sectionSizeHint(0)));
}

QString answerOf(QFileDialog& dialog)
{
    dialog.resize(dialog.size().expandedTo(kComfortableSize));
    new DetailColumnsFit(dialog);
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
