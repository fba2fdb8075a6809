// Writes the fuzz target's seed corpus into a folder: stores made by the writer, one file each,
// from an empty one to stores with every kind of label and the extreme numbers.
//
//   store_seeds FOLDER
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/icon_store.h"
#include "tests/fuzz/seed_files.h"
#include "tests/support/grid_builder.h"

namespace {

using desktop_access::DesktopProxy;

void add(DesktopProxy& proxy, std::u16string name, std::int32_t left, std::int32_t top,
         std::uint32_t usage) {
    proxy.icons.push_back(fake::iconAt(std::move(name), left, top));
    proxy.icons.back().usage = usage;
}

std::vector<std::string> seeds() {
    std::vector<std::string> stores;
    DesktopProxy empty;
    stores.push_back(desktop_access::encodeStore(empty));

    DesktopProxy documented;
    fake::setGrid(documented, 12, 8, 154);
    add(documented, u"Recycle Bin", 4, 4, 3);
    stores.push_back(desktop_access::encodeStore(documented));

    DesktopProxy extremes;
    extremes.columns = INT32_MIN;
    extremes.rows = INT32_MAX;
    extremes.originX = -1916;
    add(extremes, u"", INT32_MIN, INT32_MAX, UINT32_MAX);
    add(extremes, u"left of the screen", -1920, -40, 0);
    stores.push_back(desktop_access::encodeStore(extremes));

    DesktopProxy labels;
    fake::setGrid(labels, 24, 13, 79);
    std::u16string everyByte;
    for (char16_t c = 1; c <= 0xFF; ++c)
        if (c != u'\n')
            everyByte.push_back(c);
    add(labels, everyByte, 4, 4, 1);
    add(labels, u"Fotos \u00e9t\u00e9", 83, 4, 2);
    add(labels, u"\u6587\u6863 \U0001F600", 162, 4, 3);
    add(labels, std::u16string(1, char16_t(0xD800)) + u"x", 241, 4, 4);
    add(labels, std::u16string(u"two\nlines\0nul", 13), 4, 83, 5);
    add(labels, std::u16string(259, u'x'), 83, 83, 6);
    add(labels, std::u16string(64, char16_t(0x0416)), 162, 83, 7);
    stores.push_back(desktop_access::encodeStore(labels));

    DesktopProxy desktop;
    fake::setGrid(desktop, 24, 13, 79, -1920, 0);
    for (std::int32_t n = 0; n < 20; ++n)
        add(desktop, u"Document " + std::u16string(1, char16_t(u'A' + n)), 4 + 79 * (n % 24),
            4 + 79 * (n / 24), static_cast<std::uint32_t>(n * 3));
    stores.push_back(desktop_access::encodeStore(desktop));
    return stores;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: store_seeds FOLDER\n");
        return 2;
    }
    return fuzz::writeSeeds(argv[1], seeds(), ".store") ? 0 : 1;
}
