#include "platform/TableWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 16;
constexpr int kColumnGap = 24;
constexpr int kRowGap = 4;

QLabel* cell(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace

TableWindow::TableWindow()
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    // The window takes the size of its contents and keeps it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Escape closes it as its close box does; it belongs to this window alone, so the main
    // window keeps its own Escape.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void TableWindow::setTable(const QString& heading, const QList<QPair<QString, QString>>& rows)
{
    delete m_table;
    m_table = new QWidget(this);
    auto* grid = new QGridLayout(m_table);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(kColumnGap);
    grid->setVerticalSpacing(kRowGap);
    grid->addWidget(cell(heading, m_table), 0, 0, 1, 2);
    const int gap = fontMetrics().height();
    grid->setRowMinimumHeight(1, gap);
    int row = 2;
    for (const QPair<QString, QString>& pair : rows) {
        if (pair.first.isEmpty() && pair.second.isEmpty()) {
            grid->setRowMinimumHeight(row++, gap);
            continue;
        }
        grid->addWidget(cell(pair.first, m_table), row, 0);
        grid->addWidget(cell(pair.second, m_table), row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    layout()->addWidget(m_table);
}

QGridLayout* TableWindow::grid() const
{
    return m_table ? qobject_cast<QGridLayout*>(m_table->layout()) : nullptr;
}
