// The registry of operations, walked as the front ends walk it: every
// operation has its names and captions, every field a caption, every option
// help and fields it really sets; a table that lacks one fails here before
// a page or the help shows the gap.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ops/registry.h"

namespace ferro::ops {
namespace {

TEST(Registry, ListsTheFifteenInTheSelectorsOrder) {
    const char* const selector[] = {
        "更改文件扩展名", "更改文件名称",   "更改文件或目录日期", "更改文件或目录属性",
        "文件信息统计",   "合并关键字内容", "行内容截取字符",     "行内容插入字符",
        "行模式替换字符", "内容按行删除",   "内容按行提取",       "按关键字同步行",
        "内容插入新行",   "文件内容合并",   "文件格式转换"};
    const auto ops = Operations();
    ASSERT_EQ(ops.size(), std::size(selector));
    for (std::size_t i = 0; i < ops.size(); ++i) {
        SCOPED_TRACE(selector[i]);
        EXPECT_STREQ(ops[i]->info().caption, selector[i]);
        EXPECT_EQ(FindOperation(ops[i]->info().name), ops[i]);
    }
    EXPECT_EQ(FindOperation("frob"), nullptr);
}

TEST(Registry, EveryOperationHasItsNamesAndEveryFieldItsTexts) {
    // The options every operation shares; none of its own may take them.
    const std::set<std::string> common = {"--search", "--mask",   "--no-sub", "--size",
                                          "--date",   "--encoding", "--no-undo", "--dry-run",
                                          "--json",   "--help"};
    std::set<std::string> names, pages;
    for (const Operation* op : Operations()) {
        const OperationInfo& info = op->info();
        SCOPED_TRACE(info.caption);
        for (const char* text : {info.name, info.caption, info.page, info.pageCaption, info.summary}) {
            ASSERT_NE(text, nullptr);
            EXPECT_STRNE(text, "");
        }
        EXPECT_TRUE(names.insert(info.name).second) << "two operations named " << info.name;
        EXPECT_TRUE(pages.insert(info.page).second) << "two operations on page " << info.page;
        EXPECT_EQ(info.preview == PreviewKind::Names, info.previewColumn != nullptr);

        std::set<std::string> options, fields;
        for (const Field& f : op->fields()) EXPECT_TRUE(fields.insert(f.name).second) << f.name;
        const FieldValues defaults = op->Defaults();
        for (const Field& f : op->fields()) {
            SCOPED_TRACE(f.name);
            ASSERT_NE(f.caption, nullptr);
            EXPECT_STRNE(f.caption, "");
            EXPECT_TRUE(Fits(f, f.fallback) || f.kind == FieldKind::Date || f.kind == FieldKind::Time)
                << "default " << f.fallback;
            EXPECT_EQ(f.kind == FieldKind::Choice, !f.choices.empty());
            if (f.mustChoose) {
                EXPECT_EQ(f.kind, FieldKind::Choice);
            }
            for (const Choice& c : f.choices) EXPECT_STRNE(c.caption, "");
            for (const Option& o : f.options) {
                SCOPED_TRACE(o.name);
                ASSERT_NE(o.name, nullptr);
                EXPECT_EQ(std::string(o.name).rfind("--", 0), 0u);
                ASSERT_NE(o.help, nullptr);
                EXPECT_STRNE(o.help, "");
                EXPECT_TRUE(options.insert(o.name).second) << "given twice";
                EXPECT_EQ(common.count(o.name), 0u);
                // A switch sets a value its field takes; a value option does not.
                EXPECT_EQ(o.value == nullptr, o.sets != nullptr);
                if (o.sets) {
                    EXPECT_TRUE(Fits(f, o.sets));
                }
                if (o.alsoField) {
                    const Field* also = FindField(op->fields(), o.alsoField);
                    ASSERT_NE(also, nullptr);
                    EXPECT_TRUE(Fits(*also, o.alsoValue));
                }
                if (o.restField) {
                    EXPECT_NE(FindField(op->fields(), o.restField), nullptr);
                }
            }
        }
        // The text operations back up what they rewrite, on request.
        const bool rewritesText = info.textFiles && info.changesFiles && info.preview != PreviewKind::Outputs;
        EXPECT_EQ(FindField(op->fields(), "backup") != nullptr, rewritesText);
        EXPECT_EQ(defaults.table().size(), op->fields().size());
    }
}

TEST(Registry, EachOperationRefusesItsEmptyPageAsThePageDoes) {
    // The defaults of a fresh page, checked: the operations that need
    // something typed say what.
    const struct {
        const char* name;
        const char* refusal;  // UTF-8; null: the defaults pass
    } cases[] = {
        {"extension", "请输入新扩展名格式！"},
        {"rename", "请输入新文件名格式！"},
        {"dates", "请选择新的日期或时间！"},
        {"attributes", nullptr},
        {"statistics", nullptr},
        {"key-merge", nullptr},
        {"cut", "请输入内容截取格式！"},
        {"insert", "请输入内容插入格式！"},
        {"pattern", "模式格式为空,请输入后再试!"},
        {"delete-lines", nullptr},
        {"extract-lines", nullptr},
        {"line-sync", "关键字为空,请输入后再试!"},
        {"new-lines", "要插入的文字内容不能为空,请输入后再试!"},
        {"combine", nullptr},
        {"convert", "新文件格式为空,请输入后再试!"},
    };
    ASSERT_EQ(std::size(cases), Operations().size());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Operation* op = FindOperation(c.name);
        ASSERT_NE(op, nullptr);
        const std::optional<Refusal> refusal = op->Check(op->Defaults());
        if (!c.refusal) {
            EXPECT_FALSE(refusal.has_value()) << refusal->text;
            EXPECT_NE(op->Prepare(op->Defaults()), nullptr);
        } else {
            ASSERT_TRUE(refusal.has_value());
            EXPECT_EQ(refusal->text, FromUtf8(c.refusal));
            if (!refusal->field.empty()) {
                EXPECT_NE(FindField(op->fields(), refusal->field), nullptr);
            }
        }
    }
}

}  // namespace
}  // namespace ferro::ops
