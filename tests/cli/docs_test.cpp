// The shell completions and the manual page the build writes from the
// option tables: both shells parse them, they name every operation and each
// one's options, bash completes options, their values and the presets there
// are at completion time, and man renders the page without a warning.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/options.h"
#include "common/temp_folder.h"
#include "ops/registry.h"
#include "presets/preset.h"
#include "program.h"

namespace ferro::cli {
namespace {

const std::string kDocs = FERRO_DOCS_DIR;

struct Shell {
    int status = -1;
    std::string out;
};

// A command of sh, its standard output kept.
Shell Sh(const std::string& command) {
    Shell s;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return s;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) s.out.append(buf, n);
    const int status = pclose(p);
    s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return s;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What bash completes for the words, the last one being completed, with
// the built program first on PATH and the children's presets.
std::string BashCompletes(const std::string& words) {
    const std::string program = FERRO_PROGRAM;
    testing::TempFolder t;
    const std::string script = t.Write(
        "complete.sh", "source " + kDocs + "/ferrovan-batch\nCOMP_WORDS=(" + words +
                           ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_ferrovan_batch\n"
                           "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    return Sh("PATH=" + program.substr(0, program.rfind('/')) + ":$PATH XDG_CONFIG_HOME=" +
              testing::ChildConfigHome() + " ASAN_OPTIONS=detect_leaks=0 bash " + script)
        .out;
}

TEST(Completion, BothShellsParseItAndItNamesEveryOperationAndOption) {
    const std::string bash = testing::ReadWhole(kDocs + "/ferrovan-batch");
    const std::string zsh = testing::ReadWhole(kDocs + "/_ferrovan-batch");
    ASSERT_FALSE(bash.empty());
    ASSERT_FALSE(zsh.empty());
    EXPECT_EQ(Sh("bash -n " + kDocs + "/ferrovan-batch 2>&1").status, 0);
    if (Sh("command -v zsh >/dev/null").status == 0) {
        const Shell z = Sh("zsh -n " + kDocs + "/_ferrovan-batch 2>&1");
        EXPECT_EQ(z.status, 0) << z.out;
    } else {
        std::printf("zsh is not installed: its completion was not parsed\n");
    }
    for (const ops::Operation* op : ops::Operations()) {
        SCOPED_TRACE(op->info().name);
        EXPECT_TRUE(Has(bash, std::string(" ") + op->info().name + ") opts=\""));
        EXPECT_TRUE(Has(zsh, std::string("'") + op->info().name + ":" + op->info().caption + "'"));
        for (const ops::Field& f : op->fields())
            for (const ops::Option& o : f.options) {
                EXPECT_TRUE(Has(bash, o.name)) << o.name;
                EXPECT_TRUE(Has(zsh, std::string("'") + o.name + "[")) << o.name;
            }
    }
    for (const char* verb : {"run", "presets", "history", "undo"}) {
        EXPECT_TRUE(Has(bash, verb));
        EXPECT_TRUE(Has(zsh, std::string("'") + verb + ":"));
    }
}

TEST(Completion, BashCompletesOptionsValuesAndPresetNames) {
    const ops::Operation& rename = *ops::FindOperation("rename");
    presets::Preset p{&rename, rename.Defaults()};
    p.values.Set("pattern", "x_${Sn(1,1)}");
    presets::PresetStore(testing::ChildConfigHome() + "/ferrovan-batch/presets").Save("holiday", p);

    EXPECT_TRUE(Has(BashCompletes("ferrovan-batch ''"), "history\n"));
    EXPECT_TRUE(Has(BashCompletes("ferrovan-batch run ''"), "delete-lines\n"));
    EXPECT_EQ(BashCompletes("ferrovan-batch run rename --pat"), "--pattern\n");
    EXPECT_EQ(BashCompletes("ferrovan-batch run delete-lines --encoding ''"), "auto\ngbk\n");
    EXPECT_EQ(BashCompletes("ferrovan-batch undo --d"), "--dry-run\n");
    EXPECT_TRUE(Has(BashCompletes("ferrovan-batch run --preset ''"), "holiday\n"));
    // The options of the preset's operation.
    EXPECT_EQ(BashCompletes("ferrovan-batch run --preset holiday --pat"), "--pattern\n");
}

TEST(ManualPage, RendersWithoutWarningsAndTellsEveryOperation) {
    const std::string page = kDocs + "/ferrovan-batch.1";
    const Shell warnings = Sh("LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l " + page + " 2>&1 >/dev/null");
    EXPECT_EQ(warnings.status, 0);
    EXPECT_EQ(warnings.out, "");
    const Shell shown = Sh("LC_ALL=C.UTF-8 MANWIDTH=100 man -E UTF-8 -l " + page + " 2>/dev/null | col -b");
    ASSERT_EQ(shown.status, 0);
    for (const char* part : {"名称", "ferrovan-batch - 文件批处理", "run --preset", "history", "undo", "退出状态"})
        EXPECT_TRUE(Has(shown.out, part)) << part << "\n" << shown.out.substr(0, 2000);
    for (const ops::Operation* op : ops::Operations()) {
        SCOPED_TRACE(op->info().name);
        EXPECT_TRUE(Has(shown.out, std::string(op->info().name) + " — " + op->info().caption));
        for (const ops::Field& f : op->fields())
            for (const ops::Option& o : f.options) EXPECT_TRUE(Has(shown.out, o.name)) << o.name;
    }
    EXPECT_TRUE(Has(shown.out, EncodingOption().name));
}

}  // namespace
}  // namespace ferro::cli
