#include "trimming/TrimmingStates.h"

#include <algorithm>
#include <array>

namespace {

constexpr int16_t kNothing = 0;

// The edges of each stored code, indexed by the code.
constexpr std::array<Qt::Edges, 9> kEdgesOfCode = {
    Qt::Edges(),
    Qt::Edges(Qt::TopEdge),
    Qt::Edges(Qt::LeftEdge),
    Qt::Edges(Qt::RightEdge),
    Qt::Edges(Qt::BottomEdge),
    Qt::TopEdge | Qt::LeftEdge,
    Qt::TopEdge | Qt::RightEdge,
    Qt::BottomEdge | Qt::LeftEdge,
    Qt::BottomEdge | Qt::RightEdge,
};

} // namespace

Qt::Edges grabbedEdges(int16_t grabCode)
{
    if (grabCode < 0 || size_t(grabCode) >= kEdgesOfCode.size()) return {};
    return kEdgesOfCode[size_t(grabCode)];
}

int16_t grabCode(Qt::Edges edges)
{
    // Edges that make neither an edge nor a corner (left and right together) are nothing.
    const auto found = std::find(kEdgesOfCode.begin(), kEdgesOfCode.end(), edges);
    return found == kEdgesOfCode.end() ? kNothing : int16_t(found - kEdgesOfCode.begin());
}
