#include "desktop_access/icon_moving.h"

#include <cmath>

namespace desktop_access {
namespace {

bool hasArrived(const IconMove& move) {
    const double dx = double(move.targetX) - move.currentX;
    const double dy = double(move.targetY) - move.currentY;
    return std::sqrt(dx * dx + dy * dy) < 1.5;
}

std::int32_t step(std::int32_t current, std::int32_t target, double divisor) {
    return truncToInt32(std::floor((double(target) - current) / divisor + 0.5));
}

} // namespace

void runAnimation(std::vector<IconMove> moves) {
    while (!moves.empty()) {
        std::erase_if(moves, [](const IconMove& move) {
            if (!hasArrived(move))
                return false;
            setIconPosition(move.icon, move.targetX, move.targetY);
            return true;
        });
        if (moves.empty())
            break;
        const double divisor = moves.size() > 5 ? 1.0 : 2.0;
        for (IconMove& move : moves) {
            move.currentX = add32(move.currentX, step(move.currentX, move.targetX, divisor));
            move.currentY = add32(move.currentY, step(move.currentY, move.targetY, divisor));
            setIconPosition(move.icon, move.currentX, move.currentY);
        }
        sleepMilliseconds(animationPauseMs);
    }
}

void startAnimation(std::vector<IconMove> moves) {
    startDetachedThread([moves = std::move(moves)]() mutable {
        try {
            runAnimation(std::move(moves));
        } catch (...) {
            // A refused position ends this animation; the next Refresh places the icons again.
        }
    });
}

} // namespace desktop_access
