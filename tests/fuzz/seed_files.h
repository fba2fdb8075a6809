// Writing a fuzz target's seed corpus: the inputs, made by the product's own writers, one file
// each in a folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fuzz {

// FOLDER/seed-0.EXTENSION, seed-1.EXTENSION...; false when one could not be written.
inline bool writeSeeds(const std::filesystem::path& folder, const std::vector<std::string>& seeds,
                       const std::string& extension) {
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(folder / ("seed-" + std::to_string(i) + extension), std::ios::binary);
        out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
        if (!out)
            return false;
    }
    return true;
}

} // namespace fuzz
