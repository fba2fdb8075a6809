#include "tests/support/fakes.h"

namespace fake {

std::uint64_t now = 0;
int pauses = 0;
std::uint64_t pausedMilliseconds = 0;
int glidesStarted = 0;
int glideWaits = 0;
int hurryAtPause = 0;
std::unordered_map<std::uint32_t, std::string> systemMessages;
std::unordered_map<std::u16string, int> locksHeld;
bool failLocks = false;
int inUseReplaces = 0;
std::filesystem::path heldOpen;
std::uint32_t replaceError = 0;
int replaceCalls = 0;
std::vector<std::uint32_t> saveOutcomes;

void reset() {
    now = 0;
    pauses = 0;
    pausedMilliseconds = 0;
    glidesStarted = 0;
    glideWaits = 0;
    hurryAtPause = 0;
    systemMessages.clear();
    locksHeld.clear();
    failLocks = false;
    inUseReplaces = 0;
    heldOpen.clear();
    replaceError = 0;
    replaceCalls = 0;
    saveOutcomes.clear();
}

} // namespace fake
