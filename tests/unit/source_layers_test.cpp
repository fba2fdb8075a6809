// The shape of the sources: every folder of the product declares the namespace named after it,
// no include runs from a lower layer up (the platform layer, then desktop access, the
// organizers, the component, then the programs), no program reaches into another program's
// folder, and no headers include each other in a loop.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct Folder {
    const char* name;
    int layer;
    std::vector<std::string> namespaces; // each declared namespace starts with one of these
};

// The programs (Kelvara.exe, KelvaraCmd.exe, Orvinta.exe, vantle.dll) share the top layer and may
// each use the component's interface; the launcher links the hook library and uses its
// installer.
const std::vector<Folder> folders = {
    {"winapi", 0, {"winapi"}},         {"desktop_access", 1, {"desktop_access"}},
    {"organizers", 2, {"organizers"}}, {"component", 3, {"component"}},
    {"launcher", 4, {"launcher"}},     {"cmdline", 4, {"cmdline"}},
    {"welcome", 4, {"welcome"}},       {"vantle", 4, {"desktop_hook"}},
};
const std::set<std::pair<std::string, std::string>> linkedLibraries = {
    {"launcher", "vantle/hook_installer_win32.h"}};

const Folder* folderOf(const std::string& path) {
    const std::string first = path.substr(0, path.find('/'));
    for (const Folder& folder : folders)
        if (first == folder.name)
            return &folder;
    return nullptr;
}

struct Source {
    std::string path; // relative to the source folder
    std::vector<std::string> includes;
    std::vector<std::string> namespaces;
};

std::vector<Source> readSources() {
    const fs::path root = KELVARA_SOURCE_DIR;
    const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    const std::regex name(R"(^\s*namespace\s+([A-Za-z_][A-Za-z0-9_:]*)\s*\{)");
    std::vector<Source> sources;
    for (const Folder& folder : folders) {
        if (!fs::exists(root / folder.name))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder.name)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".h" && extension != ".cpp")
                continue;
            Source source{fs::relative(entry.path(), root).generic_string(), {}, {}};
            std::ifstream in(entry.path());
            std::smatch match;
            for (std::string line; std::getline(in, line);) {
                if (std::regex_search(line, match, include))
                    source.includes.push_back(match[1]);
                else if (std::regex_search(line, match, name))
                    source.namespaces.push_back(match[1]);
            }
            sources.push_back(std::move(source));
        }
    }
    return sources;
}

const std::vector<Source>& productSources() {
    static const std::vector<Source> sources = readSources();
    return sources;
}

TEST(SourceLayersTest, EachFolderDeclaresItsOwnNamespace) {
    const std::vector<Source>& sources = productSources();
    ASSERT_GT(sources.size(), 50u) << "the sources were found";
    for (const Source& source : sources) {
        const Folder* folder = folderOf(source.path);
        for (const std::string& declared : source.namespaces) {
            const bool own = std::any_of(
                folder->namespaces.begin(), folder->namespaces.end(), [&](const std::string& n) {
                    return declared == n || declared.rfind(n + "::", 0) == 0;
                });
            EXPECT_TRUE(own) << source.path << " declares namespace " << declared;
        }
    }
}

TEST(SourceLayersTest, IncludesRunDownTheLayersAndNeverIntoAnotherProgram) {
    for (const Source& source : productSources()) {
        const Folder* from = folderOf(source.path);
        for (const std::string& included : source.includes) {
            const Folder* to = folderOf(included);
            if (to == nullptr || to == from) // generated headers (tessora.h), the same folder
                continue;
            const bool down = to->layer < from->layer;
            const bool linked = linkedLibraries.contains({from->name, included});
            EXPECT_TRUE(down || linked) << source.path << " includes " << included;
        }
    }
}

TEST(SourceLayersTest, NoHeadersIncludeEachOtherInALoop) {
    std::map<std::string, std::vector<std::string>> edges;
    for (const Source& source : productSources())
        edges[source.path] = source.includes;
    enum class Mark { none, open, done };
    std::map<std::string, Mark> marks;
    std::vector<std::string> path;
    const std::function<void(const std::string&)> visit = [&](const std::string& file) {
        Mark& mark = marks[file];
        if (mark == Mark::done)
            return;
        if (mark == Mark::open) {
            const auto start = std::find(path.begin(), path.end(), file);
            std::string loop;
            for (auto at = start; at != path.end(); ++at)
                loop += *at + " -> ";
            ADD_FAILURE() << "include loop: " << loop << file;
            return;
        }
        mark = Mark::open;
        path.push_back(file);
        if (const auto found = edges.find(file); found != edges.end())
            for (const std::string& included : found->second)
                visit(included);
        path.pop_back();
        marks[file] = Mark::done;
    };
    for (const auto& [file, includes] : edges)
        visit(file);
}

} // namespace
