#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Finds every separate piece of content (a photo, a print, a card) lying on the background of a
// scan in Format_RGB32, and returns the upright box of each, in image coordinates, sorted by top
// then left. `within` limits the search to a part of the image (a rough frame to tighten: the
// content inside it with its background margins trimmed); empty means the whole image.
//
// The background is learned from the whole image, also when a part is searched: its most common
// colour, followed over the image as a smooth (quadratic) surface, so light or dark paper or glass
// and uneven light all serve. A pixel is content where it differs from that surface by more than
// a print's soft shadow does. A piece is at least `kMinPieceSide` pixels in each direction and
// three reduced pixels thick (a line, 1 pixel or a few wide, is none), and a band along a
// border of the image that is thin and long (a scanner lid's edge) is none either. Two pieces that
// touch are two where paper shows between them over about one and a half pixels of the reduced
// copy the search runs on (the image reduced to a longer side of about 800: a gap of 3 pixels on
// a page of 1600, about 12 on one of 6000) and their boxes do not overlap; otherwise they are one,
// also when a straight edge between two abutting prints is visible.
QList<QRect> findContent(const QImage& image, const QRect& within = {});

// Pieces narrower or lower than this, in image pixels, are not pieces.
constexpr int kMinPieceSide = 24;
