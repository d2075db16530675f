#pragma once

#include <QImage>
#include <QRect>

// Shrinks the whole source into `area` of the target (Format_RGB32 both) so that no line of the
// source is lost: down to half the size by interpolating between the nearest source pixels,
// further by averaging the source area under each target pixel, weighted by how much of each
// source pixel it covers (a line one pixel wide still shows at a tenth of the size). The rows
// are shared out among the processor's cores. The area must be no larger than the source in
// either direction.
void shrinkInto(QImage& target, const QRect& area, const QImage& source);

// A view of the whole source shrunk to `inside`, in a white margin `margin` pixels wide; a null
// image when `inside` is empty or there is no memory for it.
QImage shrunkViewOf(const QImage& source, QSize inside, int margin);
