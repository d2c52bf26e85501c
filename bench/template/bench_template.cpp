// Evaluations per second of the template engine over the lines of a file,
// the work an awk script does on the same lines.
//   bench_template gen FILE LINES           writes LINES 40-byte subjects
//   bench_template run FILE EXPRESSION OUT  evaluates EXPRESSION on every
//                                           line, writes the values to OUT
// "run" prints, for the compiled form and for the reference evaluator:
//   <form> <evaluations/s by CPU time> <evaluations/s by wall time>
// timing the evaluations over the lines in memory, each value appended to
// the output with a line feed; reading the file and writing OUT are left
// out (an awk run includes them, so the comparison favours awk).
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/common/bench_texts.h"
#include "template/template.h"

namespace {

int Generate(const char* path, long long lines) {
    std::ofstream out(path, std::ios::binary);
    out << bench::TemplateSubjects(lines);
    return out ? 0 : 1;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string_view> SplitLines(std::string_view data) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string_view::npos) end = data.size();
        lines.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

template <typename Evaluate>
void Measure(const char* form, const std::vector<std::string_view>& lines, std::string& out,
             Evaluate evaluate) {
    out.clear();
    const double cpu = CpuSeconds(), wall = WallSeconds();
    for (std::string_view line : lines) {
        out.append(evaluate(line));
        out.push_back('\n');
    }
    const double cpuTime = CpuSeconds() - cpu, wallTime = WallSeconds() - wall;
    const auto n = static_cast<double>(lines.size());
    std::printf("%s %.0f %.0f\n", form, n / cpuTime, n / wallTime);
}

int Run(const char* path, const std::string& expression, const char* outPath) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string data = buffer.str();
    const std::vector<std::string_view> lines = SplitLines(data);

    // The output buffer is touched once before, so that no timing pays for
    // first use of its pages.
    std::string out(data.size() * 2, '\0');
    ferro::CompiledTemplate compiled(expression);
    Measure("compiled", lines, out, [&](std::string_view s) { return compiled.Evaluate(s); });
    const std::string compiledOut = out;
    Measure("plain", lines, out,
            [&](std::string_view s) { return ferro::EvaluateTemplate(s, expression); });
    if (out != compiledOut) {
        std::fprintf(stderr, "the compiled form and the reference disagree\n");
        return 1;
    }
    std::ofstream o(outPath, std::ios::binary);
    o << compiledOut;
    return o ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "gen" && argc == 4) return Generate(argv[2], std::atoll(argv[3]));
    if (mode == "run" && argc == 5) return Run(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: bench_template gen FILE LINES | run FILE EXPRESSION OUT\n");
    return 2;
}
