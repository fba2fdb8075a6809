// The Group Policy template in the package: every policy writes a REG_DWORD that the component
// reads as a setting, every value a setting knows can be chosen, and every text and presentation
// the template names is in its English resources.
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string sourceFile(const std::string& path) {
    std::ifstream in(std::string(KELVARA_SOURCE_DIR) + "/" + path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> matches(const std::string& text, const std::string& pattern) {
    std::set<std::string> found;
    const std::regex expression(pattern);
    for (auto at = std::sregex_iterator(text.begin(), text.end(), expression);
         at != std::sregex_iterator(); ++at)
        found.insert((*at)[1]);
    return found;
}

TEST(PolicyTemplateTest, EveryPolicyIsASettingWithItsValuesAndEveryTextIsThere) {
    const std::string admx = sourceFile("packaging/policies/Kelvara.admx");
    const std::string adml = sourceFile("packaging/policies/en-US/Kelvara.adml");
    ASSERT_FALSE(admx.empty() || adml.empty());
    EXPECT_EQ(matches(admx, R"x(valueName="(\w+)")x"),
              (std::set<std::string>{"Arrange", "Locked", "Monitors", "Sort"}));
    EXPECT_EQ(matches(admx, R"x(key="([^"]+)")x"),
              std::set<std::string>{"Software\\Policies\\Kelvara"});
    // The enumerations' values, per policy: 0..2 for the sort and the monitors, 0..4 to arrange.
    const std::map<std::string, int> counts = {{"Sort", 3}, {"Arrange", 5}, {"Monitors", 3}};
    for (const auto& [name, count] : counts) {
        const std::size_t start = admx.find("<enum id=\"" + name + "\"");
        ASSERT_NE(start, std::string::npos) << name;
        const std::string block = admx.substr(start, admx.find("</enum>", start) - start);
        std::set<std::string> values;
        for (int value = 0; value < count; ++value)
            values.insert(std::to_string(value));
        EXPECT_EQ(matches(block, R"x(decimal value="(\d+)")x"), values) << name;
    }
    const std::set<std::string> strings = matches(adml, R"x(<string id="(\w+)">)x");
    for (const std::string& used : matches(admx, R"x(\$\(string\.(\w+)\))x"))
        EXPECT_TRUE(strings.contains(used)) << used;
    const std::set<std::string> presentations = matches(adml, R"x(<presentation id="(\w+)">)x");
    for (const std::string& used : matches(admx, R"x(\$\(presentation\.(\w+)\))x"))
        EXPECT_TRUE(presentations.contains(used)) << used;
}

} // namespace
