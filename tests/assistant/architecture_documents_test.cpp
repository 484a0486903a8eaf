// The assistant's two documents point into each other by section number; a
// wrong number sends the assistant to the wrong rules.
#include "core/utf8_path.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::filesystem::path documents = WRENFOLD_ARCHITECTURE_DIR;

// The heading of section `number` (一, 二, ...) of a document, "" when it has
// none. The regular expressions work on bytes: a numeral is three of them.
std::string heading_of(const std::string& document, const std::string& number)
{
    std::smatch found;
    std::regex heading("\n## " + number + "、([^\n]*)");
    return std::regex_search(document, found, heading) ? found[1].str() : "";
}

}  // namespace

TEST(ArchitectureDocuments, SectionReferencesLeadToTheSectionsTheyName)
{
    std::string rules = wrenfold::testing::read_text(documents / wrenfold::utf8_path("claude規範提示詞.md"));
    std::string index = wrenfold::testing::read_text(documents / wrenfold::utf8_path("架構說明目錄.md"));
    ASSERT_FALSE(rules.empty());
    ASSERT_FALSE(index.empty());

    // Every reference from the rules into the index names a section it has.
    std::regex reference("`架構說明目錄\\.md` 第(...)節");
    int references = 0;
    for (std::sregex_iterator it(rules.begin(), rules.end(), reference), end; it != end; ++it, ++references)
        EXPECT_FALSE(heading_of(index, (*it)[1].str()).empty()) << (*it)[0].str();
    EXPECT_GT(references, 0);

    // The result fields of the actions are where the rules send the assistant.
    std::smatch result_fields;
    ASSERT_TRUE(
        std::regex_search(rules, result_fields, std::regex("各動作成功時的欄位見 `架構說明目錄\\.md` 第(...)節")));
    EXPECT_NE(heading_of(index, result_fields[1].str()).find("結果"), std::string::npos)
        << "section " << result_fields[1].str() << " is " << heading_of(index, result_fields[1].str());
}
