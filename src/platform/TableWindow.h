#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class QGridLayout;

// A window that lists pairs of texts (a key and what it does, say) in two columns under a heading line,
// read-only and just as large as its contents. Each column is a column of a grid, so the texts of a column
// all start at the same x, whatever the font. A row of two empty texts leaves a gap. Escape and the close box
// close it, and closing it deletes it.
class TableWindow final : public QWidget
{
public:
    TableWindow();
    // Replaces what the window lists.
    void setTable(const QString& heading, const QList<QPair<QString, QString>>& rows);
    // The grid of the heading (row 0, both columns) and the rows below it, for tests.
    QGridLayout* grid() const;

private:
    QWidget* m_table = nullptr;
};
