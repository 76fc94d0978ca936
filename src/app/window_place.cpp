#include "app/window_place.h"

#include <algorithm>
#include <limits>

namespace app {

namespace {

long long overlap(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

// Squared distance from a point to the nearest point of the rectangle.
long long distanceSquared(const QPoint& p, const QRect& r)
{
    const long long dx = p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
    const long long dy = p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
    return dx * dx + dy * dy;
}

}  // namespace

QRect fitIntoAreas(const QRect& frame, const QList<QRect>& areas)
{
    if (areas.isEmpty() || !frame.isValid())
        return frame;
    const QRect* best = nullptr;
    long long bestOverlap = 0;
    for (const QRect& area : areas)
        if (const long long o = overlap(frame, area); o > bestOverlap) {
            best = &area;
            bestOverlap = o;
        }
    if (!best) {
        long long nearest = std::numeric_limits<long long>::max();
        for (const QRect& area : areas)
            if (const long long d = distanceSquared(frame.center(), area); d < nearest) {
                best = &area;
                nearest = d;
            }
    }
    const QRect& area = *best;
    const QSize size = frame.size().boundedTo(area.size());
    // Moved by as little as puts it inside: left and top edges win.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - size.height()));
    return {QPoint(x, y), size};
}

}  // namespace app
