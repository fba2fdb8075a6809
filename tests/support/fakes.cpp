#include "tests/support/fakes.h"

namespace fake {

std::uint64_t now = 0;
int pauses = 0;
int threadsStarted = 0;
std::unordered_map<std::uint32_t, std::string> systemMessages;
std::unordered_map<std::u16string, int> locksHeld;
bool failLocks = false;

void reset() {
    now = 0;
    pauses = 0;
    threadsStarted = 0;
    systemMessages.clear();
    locksHeld.clear();
    failLocks = false;
}

} // namespace fake
