#include "desktop_access/icon_moving.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>

namespace desktop_access {
namespace {

// Process-wide: an arrangement's animation runs on a thread of its own and ends after the call
// that started it.
std::atomic<std::uint32_t> notTaken{0};

bool hasArrived(const IconMove& move) {
    const double dx = double(move.targetX) - move.currentX;
    const double dy = double(move.targetY) - move.currentY;
    return std::sqrt(dx * dx + dy * dy) < 1.5;
}

std::int32_t step(std::int32_t current, std::int32_t target, double divisor) {
    return truncToInt32(std::floor((double(target) - current) / divisor + 0.5));
}

void setArrived(std::vector<IconMove>& moves) {
    std::erase_if(moves, [](const IconMove& move) {
        if (!hasArrived(move))
            return false;
        setIconPosition(move.icon, move.targetX, move.targetY);
        return true;
    });
}

void stepOnward(std::vector<IconMove>& moves) {
    const double divisor = moves.size() > 5 ? 1.0 : 2.0;
    for (IconMove& move : moves) {
        move.currentX = add32(move.currentX, step(move.currentX, move.targetX, divisor));
        move.currentY = add32(move.currentY, step(move.currentY, move.targetY, divisor));
        setIconPosition(move.icon, move.currentX, move.currentY);
    }
}

void repaint(Desktop* desktop) {
    if (desktop != nullptr)
        repaintIcons(*desktop);
}

// Reads every icon back. One that stands where it stood before the glide did not take its
// place (the desktop refused the position, or put the icon back): it is set once more and read
// again. One that stands anywhere else was moved since by someone else, the user dragging it or
// the shell placing it, and stays where they put it. Either way it did not take its place.
std::uint32_t checkPlaces(const std::vector<IconMove>& placed, Desktop* desktop) {
    std::vector<IconMove> putBack;
    std::uint32_t elsewhere = 0;
    for (const IconMove& move : placed) {
        const Point at = iconPosition(move.icon);
        if (at.x == move.targetX && at.y == move.targetY)
            continue;
        if (at.x == move.currentX && at.y == move.currentY)
            putBack.push_back(move);
        else
            ++elsewhere;
    }
    if (putBack.empty())
        return elsewhere;
    for (const IconMove& move : putBack)
        setIconPosition(move.icon, move.targetX, move.targetY);
    repaint(desktop);
    return elsewhere + static_cast<std::uint32_t>(
                           std::count_if(putBack.begin(), putBack.end(), [](const IconMove& move) {
                               const Point at = iconPosition(move.icon);
                               return at.x != move.targetX || at.y != move.targetY;
                           }));
}

// A newer arrangement waits: every icon still on its way is set at its target at once.
void finishAtOnce(std::vector<IconMove>& moves) {
    for (const IconMove& move : moves)
        setIconPosition(move.icon, move.targetX, move.targetY);
    moves.clear();
}

} // namespace

std::uint32_t runAnimation(std::vector<IconMove> moves) {
    const std::vector<IconMove> placed = moves;
    Desktop* desktop = moves.empty() ? nullptr : moves.front().icon.desktop;
    bool hurried = false;
    while (!moves.empty()) {
        if (hurried) {
            finishAtOnce(moves);
        } else {
            setArrived(moves);
            stepOnward(moves);
        }
        repaint(desktop);
        if (moves.empty())
            break;
        hurried = glidePause(animationPauseMs);
    }
    return checkPlaces(placed, desktop);
}

void startAnimation(std::vector<IconMove> moves) {
    startGlide([moves = std::move(moves)]() mutable {
        const auto icons = static_cast<std::uint32_t>(moves.size());
        try {
            notTaken += runAnimation(std::move(moves));
        } catch (...) {
            // A refused request ends this animation, short of knowing where its icons stand;
            // the next Refresh places them again.
            notTaken += icons;
        }
    });
}

void applyPlaces(const std::vector<IconRecord>& read, const std::vector<IconRecord>& placed) {
    std::vector<IconMove> moves;
    moves.reserve(placed.size());
    for (const IconRecord& record : placed) {
        const auto index = static_cast<std::size_t>(record.icon.index);
        const IconRecord& before = index < read.size() ? read[index] : record;
        moves.push_back({record.icon, add32(before.left, before.offsetX),
                         add32(before.top, before.offsetY), add32(record.left, record.offsetX),
                         add32(record.top, record.offsetY)});
    }
    startAnimation(std::move(moves));
}

std::uint32_t iconsNotTaken() {
    return notTaken.load();
}

void resetIconsNotTaken() {
    notTaken = 0;
}

} // namespace desktop_access
