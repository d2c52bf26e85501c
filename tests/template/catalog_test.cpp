#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
#include "template/catalog.h"
#include "template/gbk.h"
#include "template/template.h"

namespace ferro {
namespace {

std::string NameOf(std::string_view templateText) {
    // "${Name(...)}..." or "${Name}..."
    const std::size_t end = templateText.find_first_of("(}");
    return AnsiLower(templateText.substr(2, end - 2));
}

TEST(Catalog, FortyEntriesInListOrder) {
    const auto catalog = TemplateCatalog();
    ASSERT_EQ(catalog.size(), 40u);
    EXPECT_STREQ(catalog[0].caption, "${Ext}: 原扩展名");
    EXPECT_STREQ(catalog[3].written, "${Date(yyyy-mmm-dd)}");
    EXPECT_STREQ(catalog[5].written, "${Sn(开始序号,长度)}");
    EXPECT_STREQ(catalog[7].written, "${DelStr(要删除的字符)}");
    EXPECT_STREQ(catalog[33].written, "${XlsTo(新的扩展名)}");
    EXPECT_STREQ(catalog[39].caption, "${Chs2Num(s)}: 中文数字转阿拉伯数字");
}

TEST(Catalog, EntriesAgreeWithThemselves) {
    std::set<std::string> names;
    for (const CatalogEntry& e : TemplateCatalog()) {
        const std::string caption = e.caption;
        SCOPED_TRACE(caption);
        ASSERT_EQ(caption.rfind("${", 0), 0u);
        EXPECT_EQ(NameOf(caption), e.name);
        EXPECT_EQ(NameOf(e.written), e.name);
        EXPECT_TRUE(names.insert(e.name).second) << "duplicate name";
        EXPECT_NE(caption.find("}: "), std::string::npos);
        EXPECT_GT(std::string(e.help).size(), 0u);
        // The variables without arguments write their caption up to "}".
        if (std::string_view(e.written).find('(') == std::string_view::npos) {
            EXPECT_EQ(caption.substr(0, caption.find('}') + 1), e.written);
        }
    }
}

TEST(Catalog, FunctionEntriesAreExactlyTheEngineFunctions) {
    for (const CatalogEntry& e : TemplateCatalog()) {
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(IsTemplateFunction(e.name), e.kind == CatalogKind::kFunction);
    }
    // Engine functions the picker does not list.
    EXPECT_TRUE(IsTemplateFunction("gb2big"));
    EXPECT_TRUE(IsTemplateFunction("BIG2GB"));
    EXPECT_FALSE(IsTemplateFunction(" len"));
}

// Help examples of the form "例：对 <subject> 使用 <template> 得到 <result>"
// must be what the engine gives.
TEST(Catalog, HelpExamplesOfFunctionsAreTrue) {
    const std::string use = " 使用 ", gives = " 得到 ", of = "例：对 ";
    int checked = 0;
    std::vector<CatalogEntry> entries(TemplateCatalog().begin(), TemplateCatalog().end());
    entries.insert(entries.end(), NameItemCatalog().begin(), NameItemCatalog().end());
    for (const CatalogEntry& e : entries) {
        if (e.kind != CatalogKind::kFunction) continue;
        const std::string help = e.help;
        SCOPED_TRACE(help);
        const std::size_t a = help.find(of), b = help.find(use), c = help.find(gives);
        if (a == std::string::npos || b == std::string::npos || c == std::string::npos) continue;
        const std::string subject = help.substr(a + of.size(), b - a - of.size());
        const std::string expression = help.substr(b + use.size(), c - b - use.size());
        const std::string result = help.substr(c + gives.size());
        EXPECT_EQ(
            EvaluateTemplate(CatalogTextGbk(subject.c_str()), CatalogTextGbk(expression.c_str())),
            CatalogTextGbk(result.c_str()));
        ++checked;
    }
    EXPECT_GE(checked, 22);
}

TEST(Catalog, TextsConvertToGbk) {
    EXPECT_EQ(CatalogTextGbk(TemplateCatalog()[1].caption),
              "${Filename}: " + test::Gbk(u"原文件名"));
    EXPECT_EQ(CatalogTextGbk(""), "");
}

}  // namespace
}  // namespace ferro
