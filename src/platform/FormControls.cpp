#include "platform/FormRuntime.h"

#include "platform/Drawing.h"
#include "platform/SurfaceWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>

// What the controls hold: the entries of lists, the state of check boxes and scroll bars, the
// lines of multi-line edits, and the pixels of surfaces.

// --- lists -------------------------------------------------------------------------------

void FormRuntime::AddString(Control list, const QString& text)
{
    if (auto* combo = as<QComboBox>(list)) {
        const QSignalBlocker blocker(combo);
        const bool wasEmpty = combo->count() == 0;
        combo->addItem(text);
        // Adding an entry never selects it; only SetCurSel does.
        if (wasEmpty) combo->setCurrentIndex(-1);
    } else if (auto* box = as<QListWidget>(list)) {
        const QSignalBlocker blocker(box);
        box->addItem(text);
    }
}

void FormRuntime::ResetContent(Control list)
{
    if (auto* combo = as<QComboBox>(list)) {
        const QSignalBlocker blocker(combo);
        combo->clear();
    } else if (auto* box = as<QListWidget>(list)) {
        const QSignalBlocker blocker(box);
        box->clear();
    }
}

void FormRuntime::SetCurSel(Control list, int index)
{
    if (auto* combo = as<QComboBox>(list)) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    } else if (auto* box = as<QListWidget>(list)) {
        const QSignalBlocker blocker(box);
        box->setCurrentRow(index >= 0 && index < box->count() ? index : -1);
    }
}

int FormRuntime::GetCurSel(Control list) const
{
    if (auto* combo = as<QComboBox>(list)) return combo->currentIndex();
    if (auto* box = as<QListWidget>(list)) return box->currentRow();
    return -1;
}

int FormRuntime::GetCount(Control list) const
{
    if (auto* combo = as<QComboBox>(list)) return combo->count();
    if (auto* box = as<QListWidget>(list)) return box->count();
    return 0;
}

QString FormRuntime::GetItemText(Control list, int index) const
{
    if (auto* combo = as<QComboBox>(list)) return combo->itemText(index);
    if (auto* box = as<QListWidget>(list)) return box->item(index) ? box->item(index)->text() : QString();
    return {};
}

// --- check boxes, scroll bars, edits -----------------------------------------------------

void FormRuntime::SetCheck(Control box, int checked)
{
    if (auto* check = as<QCheckBox>(box)) {
        const QSignalBlocker blocker(check);
        check->setChecked(checked == 1);
    }
}

int FormRuntime::GetCheck(Control box) const
{
    auto* check = as<QCheckBox>(box);
    return check && check->isChecked() ? 1 : 0;
}

void FormRuntime::SetScrollRange(Control bar, int minimum, int maximum)
{
    if (auto* scroll = as<QScrollBar>(bar)) {
        const QSignalBlocker blocker(scroll);
        scroll->setRange(minimum, maximum);
    }
}

void FormRuntime::SetScrollStep(Control bar, int line, int page)
{
    if (auto* scroll = as<QScrollBar>(bar)) {
        const QSignalBlocker blocker(scroll);
        scroll->setSingleStep(line);
        scroll->setPageStep(page);
    }
}

void FormRuntime::SetScrollPos(Control bar, int position)
{
    if (auto* scroll = as<QScrollBar>(bar)) {
        const QSignalBlocker blocker(scroll);
        scroll->setValue(position);
    }
}

int FormRuntime::GetScrollPos(Control bar) const
{
    auto* scroll = as<QScrollBar>(bar);
    return scroll ? scroll->value() : 0;
}

void FormRuntime::LineScroll(Control edit, int /*columns*/, int lines)
{
    if (auto* text = as<QPlainTextEdit>(edit)) {
        QScrollBar* bar = text->verticalScrollBar();
        bar->setValue(bar->value() + lines);
    }
}

// --- drawing -----------------------------------------------------------------------------

const QImage* FormRuntime::Surface(Control control) const
{
    auto* surface = as<SurfaceWidget>(control);
    return surface ? &surface->surface() : nullptr;
}

double FormRuntime::SurfaceScale(Control control) const
{
    auto* surface = as<SurfaceWidget>(control);
    return surface ? surface->surfaceScale() : 1.0;
}

void FormRuntime::BitBlt(
    Control target, int x, int y, int width, int height, const QImage& source, int sx, int sy)
{
    auto* surface = as<SurfaceWidget>(target);
    if (!surface) return;
    copyBlock(surface->surface(), x, y, width, height, source, sx, sy);
    surface->surfaceChanged(QRect(x, y, width, height));
}

void FormRuntime::DrawLine(
    Control target, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure, int pen)
{
    auto* surface = as<SurfaceWidget>(target);
    if (!surface) return;
    drawFigure(surface->surface(), x1, y1, x2, y2, mode, width, figure, penColour(pen, mode));
    const int reach = std::max(width, 1);
    surface->surfaceChanged(
        QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)))
            .adjusted(-reach, -reach, reach, reach));
}
