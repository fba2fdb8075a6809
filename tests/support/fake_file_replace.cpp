// Replacing a file's content, as POSIX does it: the bytes go to the temporary file, which is
// synced, renamed over the file, and the folder synced, so the tests (the kill test above all)
// work on real files. On request a call reports the file in use or failing instead, and leaves
// the file alone as the Windows layer does then. The outcomes of saves are recorded.
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "desktop_access/desktop_seam.h"
#include "tests/support/fakes.h"

namespace desktop_access {
namespace {

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void syncFolderOf(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

FileReplaceResult failed() {
    return {FileReplaceResult::failed, static_cast<std::uint32_t>(errno)};
}

} // namespace

FileReplaceResult replaceFileContents(const std::filesystem::path& file,
                                      std::string_view bytes) noexcept {
    ++fake::replaceCalls;
    if (!fake::heldOpen.empty() && file == fake::heldOpen)
        return {FileReplaceResult::inUse, 32};
    if (fake::inUseReplaces != 0) {
        if (fake::inUseReplaces > 0)
            --fake::inUseReplaces;
        return {FileReplaceResult::inUse, 32};
    }
    if (fake::replaceError != 0)
        return {FileReplaceResult::failed, fake::replaceError};

    std::filesystem::path temporary = file;
    temporary += ".new";
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descriptor < 0)
        return failed();
    const bool written = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    const int writeError = errno;
    ::close(descriptor);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const FileReplaceResult result{FileReplaceResult::failed,
                                       static_cast<std::uint32_t>(written ? errno : writeError)};
        ::unlink(temporary.c_str());
        return result;
    }
    // The file has been replaced now, whatever the folder's sync says: reporting a failure here
    // would have the caller keep changes the file already holds.
    syncFolderOf(file);
    return {};
}

void noteSaveOutcome(bool saved, std::uint32_t systemError) noexcept {
    fake::saveOutcomes.push_back(saved ? 0 : systemError != 0 ? systemError : UINT32_MAX);
}

} // namespace desktop_access
