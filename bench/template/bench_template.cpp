// Evaluations per second of two nested templates against 40-byte subjects,
// the size of a typical file name. Usage: bench_template [seconds per case]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "template/template.h"

namespace {

// 40-byte subjects with the "_" at different places, so that the results
// differ from one evaluation to the next.
std::vector<std::string> Subjects() {
    std::vector<std::string> subjects;
    for (int i = 0; i < 64; ++i) {
        std::string s(40, 'a' + i % 26);
        s[static_cast<std::size_t>(3 + i % 30)] = '_';
        s[39] = static_cast<char>('0' + i % 10);
        subjects.push_back(s);
    }
    return subjects;
}

void Measure(const char* expression, const std::vector<std::string>& subjects, double seconds) {
    using Clock = std::chrono::steady_clock;
    std::size_t bytes = 0;  // keeps the results alive for the optimiser
    long long evaluations = 0;
    const auto start = Clock::now();
    const auto until = start + std::chrono::duration<double>(seconds);
    auto now = start;
    while (now < until) {
        for (int round = 0; round < 100; ++round)
            for (const std::string& s : subjects)
                bytes += ferro::EvaluateTemplate(s, expression).size();
        evaluations += 100 * static_cast<long long>(subjects.size());
        now = Clock::now();
    }
    const double elapsed = std::chrono::duration<double>(now - start).count();
    std::printf("%-42s %12.0f evaluations/s  (%lld in %.2f s, %zu bytes)\n", expression,
                static_cast<double>(evaluations) / elapsed, evaluations, elapsed, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const auto subjects = Subjects();
    Measure("${getleft(${pos(_)}-1)}", subjects, seconds);
    Measure("${addleft(${len(${lineorg()})})}", subjects, seconds);
    return 0;
}
