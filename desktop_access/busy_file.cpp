#include "desktop_access/busy_file.h"

#include <algorithm>

#include "desktop_access/desktop_seam.h"
#include "desktop_access/text_lines.h"
#include "winapi/error.h"

namespace desktop_access {
namespace {

constexpr std::uint32_t firstPause = 20;
constexpr std::uint32_t longestPause = 250;

std::string withoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

FileBytes readWhenFree(const std::filesystem::path& file, std::uintmax_t maxBytes) {
    std::uint32_t waited = 0;
    for (std::uint32_t pause = firstPause;; pause = std::min(pause * 2, longestPause)) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (error)
            return {std::filesystem::exists(file, error) ? FileBytes::State::unreadable
                                                         : FileBytes::State::missing,
                    {}};
        if (size > maxBytes)
            return {FileBytes::State::read, {}};
        if (std::optional<std::string> bytes = readWholeFile(file, maxBytes))
            return {FileBytes::State::read, std::move(*bytes)};
        if (waited >= busyFileWaitMilliseconds)
            return {FileBytes::State::unreadable, {}};
        const std::uint32_t step = std::min(pause, busyFileWaitMilliseconds - waited);
        sleepMilliseconds(step);
        waited += step;
    }
}

std::optional<NotWritten> replaceWhenFree(const std::filesystem::path& file, std::string_view bytes,
                                          std::string_view what) {
    std::uint32_t waited = 0;
    for (std::uint32_t pause = firstPause;; pause = std::min(pause * 2, longestPause)) {
        const FileReplaceResult result = replaceFileContents(file, bytes);
        if (result.outcome == FileReplaceResult::done)
            return std::nullopt;
        if (result.outcome == FileReplaceResult::failed) {
            std::string reason = withoutLineEnd(winapi::errorText(result.error));
            if (reason.empty())
                reason = "Error " + std::to_string(result.error) + ".";
            return NotWritten{std::string(what) + ". " + reason, result.error};
        }
        if (waited >= busyFileWaitMilliseconds)
            return NotWritten{std::string(what) + ": the file is in use by another program.",
                              result.error};
        const std::uint32_t step = std::min(pause, busyFileWaitMilliseconds - waited);
        sleepMilliseconds(step);
        waited += step;
    }
}

} // namespace desktop_access
