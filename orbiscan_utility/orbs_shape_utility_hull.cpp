// The convex hull of a point list (a Graham scan) and its comparators.
#include <cmath>
#include <cstdlib>

#include "orbs_shape_utility.h"

namespace {

// The pivot of the hull being computed and the collinear comparisons met
// while sorting: the comparators have no other way to reach them.
CHullPoint gPivot;
int gDropCount = 0;

constexpr double kSmallestNormalFloat = 1.1754943508222875e-38;

// Positive when p, a, b turn counter-clockwise.
double turn(const CHullPoint& p, const CHullPoint& a, const CHullPoint& b) {
    return (a.x - p.x) * (b.y - p.y) - (b.x - p.x) * (a.y - p.y);
}

}  // namespace

namespace NORBS_SHAPE_UTILITY {

int compare_angle(const void* first, const void* second) {
    auto* a = static_cast<CHullPoint*>(const_cast<void*>(first));
    auto* b = static_cast<CHullPoint*>(const_cast<void*>(second));
    const double t = turn(gPivot, *a, *b);
    if (t > kSmallestNormalFloat) return -1;
    if (t < 0.0) return 1;
    ++gDropCount;
    const long dx = std::lround(std::fabs(a->x - gPivot.x) - std::fabs(b->x - gPivot.x));
    const long dy = std::lround(std::fabs(a->y - gPivot.y) - std::fabs(b->y - gPivot.y));
    if (dx < 0 || dy < 0) {
        a->dropped = 1;
        return -1;
    }
    if (dx == 0 && dy == 0) {
        (a->id > b->id ? b : a)->dropped = 1;
        return 0;
    }
    b->dropped = 1;
    return 1;
}

int compare_ID(const void* first, const void* second) {
    const int32_t a = static_cast<const CHullPoint*>(first)->id;
    const int32_t b = static_cast<const CHullPoint*>(second)->id;
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace NORBS_SHAPE_UTILITY

std::vector<CHullPoint> CShapeSet::convexHull(std::vector<CHullPoint> points) {
    if (points.size() < 3) return points;
    auto sortById = [](std::vector<CHullPoint>& list) {
        std::qsort(list.data(), list.size(), sizeof(CHullPoint), NORBS_SHAPE_UTILITY::compare_ID);
        return list;
    };
    // The pivot: the lowest point, the one with the greatest x among equals.
    std::size_t lowest = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const CHullPoint& p = points[i];
        if (p.y < points[lowest].y || (p.y == points[lowest].y && p.x > points[lowest].x)) lowest = i;
    }
    std::swap(points[0], points[lowest]);
    for (CHullPoint& p : points) p.dropped = 0;
    gPivot = points[0];
    gDropCount = 0;
    std::qsort(points.data() + 1, points.size() - 1, sizeof(CHullPoint), NORBS_SHAPE_UTILITY::compare_angle);
    if (gDropCount > 0) {
        std::vector<CHullPoint> kept;
        for (const CHullPoint& p : points) {
            if (!p.dropped) kept.push_back(p);
        }
        if (kept.size() < 3) return sortById(points);
        points = std::move(kept);
    }
    // Graham scan: a point stays while the turn through it is positive.
    std::vector<CHullPoint> hull = {points[0], points[1]};
    for (std::size_t i = 2; i < points.size(); ++i) {
        while (hull.size() >= 2 && turn(hull[hull.size() - 2], hull.back(), points[i]) <= 0.0) hull.pop_back();
        hull.push_back(points[i]);
    }
    return sortById(hull);
}
