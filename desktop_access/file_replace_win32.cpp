// Replacing a file's content on Windows: a temporary file beside it, flushed to the disk, then
// renamed over the file.
//
// The rename is MoveFileExW with MOVEFILE_REPLACE_EXISTING on one volume: a single rename of the
// file system that binds the name to the new file (NTFS journals it, so after a crash the name
// holds the old file or the new one), and with MOVEFILE_WRITE_THROUGH it returns only once the
// move is on the disk. ReplaceFileW is not used: it takes several steps (it also carries the
// old file's attributes over), its documented failures include one that leaves the old file
// deleted and the new one under its temporary name, and it does not support writing through.
#include "desktop_access/desktop_seam.h"

#include <algorithm>

#include <windows.h>

#include "winapi/handle_win32.h"

namespace desktop_access {
namespace {

bool heldByAnother(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

FileReplaceResult failure(DWORD error, bool inUse) {
    return {inUse ? FileReplaceResult::inUse : FileReplaceResult::failed,
            static_cast<std::uint32_t>(error)};
}

// Writes and flushes the temporary file; the system's error code, or 0.
DWORD writeFlushed(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), piece, &written, nullptr))
            return GetLastError();
        bytes.remove_prefix(written);
    }
    return FlushFileBuffers(file) ? 0 : GetLastError();
}

} // namespace

FileReplaceResult replaceFileContents(const std::filesystem::path& file,
                                      std::string_view bytes) noexcept {
    std::wstring temporary;
    try {
        temporary = file.wstring() + L".new";
    } catch (...) {
        return failure(ERROR_NOT_ENOUGH_MEMORY, false);
    }
    DWORD error = 0;
    {
        const winapi::SharedHandle written =
            winapi::ownHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!written) {
            // Another program may hold a temporary file left behind: it is not ours to remove.
            error = GetLastError();
            return failure(error, heldByAnother(error));
        }
        error = writeFlushed(winapi::raw(written), bytes);
    }
    if (error != 0) {
        DeleteFileW(temporary.c_str());
        return failure(error, heldByAnother(error));
    }
    if (!MoveFileExW(temporary.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(temporary.c_str());
        // A file open in another program cannot be replaced, whatever sharing it allows: the
        // rename is refused as a sharing violation or as access denied.
        return failure(error, heldByAnother(error) || error == ERROR_ACCESS_DENIED);
    }
    return {};
}

} // namespace desktop_access
