#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>

// TrimState: where placing or modifying a frame stands.
namespace TrimState {
inline constexpr int16_t Idle = 0;
inline constexpr int16_t Armed = 1; // trimming started, the first corner not yet set
inline constexpr int16_t Placing = 2; // the first corner set, the band follows the pointer
inline constexpr int16_t Modifying = 3; // a registered frame is the band; the pointer shows what it is on
inline constexpr int16_t Dragging = 4; // an edge or corner is picked up and follows the pointer
} // namespace TrimState

// FrameListMode: how the frames of the current category are drawn in the view bitmap.
namespace FrameListMode {
inline constexpr int16_t NotDrawn = 0;
inline constexpr int16_t Drawn = 1;
// Every frame, the selected one too, is drawn with the list pen, so the next erase takes all of
// them away with it.
inline constexpr int16_t AllInListPen = 2;
} // namespace FrameListMode

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
