#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>

// BandLeft holds this while there is no rubber band.
inline constexpr float kNoBand = -1;

// BandEdgeMask stores the band edges that are drawn as the bits of Qt::Edges.
inline int16_t bandEdgeMask(Qt::Edges edges)
{
    return int16_t(edges.toInt());
}
inline Qt::Edges bandEdges(int16_t mask)
{
    return Qt::Edges::fromInt(mask);
}

// GrabCode stores the edge or corner under the pointer as a number: 0 nothing, 1 top, 2 left,
// 3 right, 4 bottom, 5 top-left, 6 top-right, 7 bottom-left, 8 bottom-right. The program works
// with the edges, a corner being its two edges, and converts only where it reads or writes it.
Qt::Edges grabbedEdges(int16_t grabCode);
int16_t grabCode(Qt::Edges edges);
