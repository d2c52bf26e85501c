// Every seed of the fuzzing corpus through the engine and the arithmetic, so
// that inputs once found harmful stay harmless in every ordinary (and
// sanitizer) test run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/split_input.h"
#include "template/arithmetic.h"
#include "template/template.h"

namespace ferro {
namespace {

std::vector<std::string> ReadCorpus(const char* folder) {
    std::vector<std::string> inputs;
    const std::filesystem::path dir = std::filesystem::path(FERRO_FUZZ_CORPUS_DIR) / folder;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        inputs.push_back(s.str());
    }
    return inputs;
}

TEST(FuzzCorpus, TemplateSeedsEvaluate) {
    const auto inputs = ReadCorpus("template");
    ASSERT_GE(inputs.size(), 10u);
    for (const std::string& input : inputs) {
        const auto c = fuzz::SplitTemplateInput(input);
        const std::string r = EvaluateTemplate(c.subject, c.expression);
        // Text without a call is the result itself.
        if (c.expression.find("${") == std::string_view::npos &&
            c.expression.find('\\') == std::string_view::npos) {
            EXPECT_EQ(r, c.expression);
        }
        EvaluateArithmetic(input);
    }
}

TEST(FuzzCorpus, ArithmeticSeedsEvaluate) {
    const auto inputs = ReadCorpus("arithmetic");
    ASSERT_GE(inputs.size(), 10u);
    for (const std::string& input : inputs) {
        EvaluateArithmetic(input);
        EvaluateTemplate("report_2012", "${getleft(" + input + ")}");
    }
}

}  // namespace
}  // namespace ferro
