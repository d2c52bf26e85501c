// Line delete, line insert and line extract on one large GBK file, through
// the same per-file path as the buttons (read the lines, transform, write
// safely), each timed against the command-line tool a user would otherwise
// reach for, in the same run:
//
//   delete by keyword   vs  grep -v -F keyword FILE > out && mv out FILE
//   insert ${addleft(x)} vs  sed -i 's/^/x/' FILE
//   extract every 2nd/1 vs  awk 'NR%2==1' FILE > out && mv out FILE
//
// Each side runs in a child process on a fresh copy of the file, so its
// wall time and peak memory (maxrss) are its own. The file has CR LF line
// ends, so both sides must write the very same bytes; the run checks that.
//
//   bench_textops gen FILE MB    writes the test file
//   bench_textops run FILE [N]   times each pair N times (best of N)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_insert.h"
#include "textops/textfile.h"

namespace {

constexpr const char* kKeyword = "ERROR";

void Generate(const std::string& path, long megabytes) {
    // Words of an office log or list, mixed ASCII and Chinese.
    const std::vector<std::u16string> words = {u"订单",   u"客户",   u"张三", u"李四", u"王五",
                                               u"北京",   u"上海",   u"广州", u"金额", u"数量",
                                               u"已付款", u"待发货", u"备注", u"合同", u"发票",
                                               u"仓库",   u"ok",     u"id",   u"ref",  u"note"};
    std::vector<std::string> gbk;
    for (const auto& w : words) gbk.push_back(ferro::Utf16ToGbk(w));
    std::mt19937 rng(20240501);
    std::string out;
    const std::size_t target = static_cast<std::size_t>(megabytes) << 20;
    out.reserve(target + 256);
    long n = 0;
    while (out.size() < target) {
        std::string line = std::to_string(100000 + (n++ % 900000));
        line += ' ';
        const int count = 3 + static_cast<int>(rng() % 4);
        for (int i = 0; i < count; ++i) {
            line += gbk[rng() % gbk.size()];
            line += (rng() % 3 == 0) ? " " : "";
        }
        if (rng() % 10 == 0) line += kKeyword;
        line += ':';
        while (line.size() < 36 + rng() % 8) line += static_cast<char>('a' + rng() % 26);
        out += line;
        out += "\r\n";
    }
    std::ofstream(path, std::ios::binary)
        .write(out.data(), static_cast<std::streamsize>(out.size()));
    std::printf("wrote %s: %.1f MB, %ld lines\n", path.c_str(), out.size() / 1048576.0, n);
}

struct Measure {
    double seconds = 0;
    double cpu = 0;  // user + system, less disturbed by a busy machine
    long maxrssKb = 0;
    bool ok = false;
};

// Runs body in a child process and measures it from outside.
Measure InChild(const std::function<int()>& body) {
    Measure m;
    std::fflush(stdout);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    m.maxrssKb = ru.ru_maxrss;
    m.cpu =
        ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

Measure Shell(const std::string& command) {
    return InChild([&] {
        // Bytes, as the program sees them: no multi-byte decoding, no "binary
        // file" guesses about GBK text.
        setenv("LC_ALL", "C", 1);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

double Since(std::chrono::steady_clock::time_point& t) {
    const auto now = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(now - t).count();
    t = now;
    return s;
}

// The buttons' per-file path, without the window. With BENCH_PHASES set the
// child prints how long reading, the operation and writing took.
Measure Ours(const std::string& path,
             const std::function<void(const ferro::LineList&, ferro::LineList&)>& op) {
    return InChild([&] {
        try {
            auto t = std::chrono::steady_clock::now();
            const ferro::LineList in = ferro::LoadTextLines(path);
            const double load = Since(t);
            ferro::LineList out;
            op(in, out);
            const double work = Since(t);
            ferro::SaveTextLines(path, out);
            const double save = Since(t);
            if (std::getenv("BENCH_PHASES"))
                std::fprintf(stderr, "  ours: read %.2f s, operation %.2f s, write %.2f s\n", load,
                             work, save);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    });
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

int Run(const std::string& source, int repeats) {
    namespace fs = std::filesystem;
    const double mb = static_cast<double>(fs::file_size(source)) / 1048576.0;
    const std::string ours = source + ".ours";
    const std::string ref = source + ".ref";
    Slurp(source);  // into the page cache, for both sides alike

    ferro::LineDeleteSettings del;
    del.mode = ferro::LineDeleteMode::Keywords;
    del.keywords = ferro::SplitKeywords(kKeyword);
    ferro::LineInsertSettings ins;
    ins.format = "${addleft(x)}";
    ins.choice = ferro::LineChoice::AllLines;
    ins.sequence = ferro::FindSequenceItem(ins.format);
    ferro::LineExtractSettings ext;
    ext.mode = ferro::LineExtractMode::Interval;
    ext.interval = ferro::LineInterval::Make(2, 1);

    struct Case {
        const char* name;
        std::function<void(const ferro::LineList&, ferro::LineList&)> op;
        std::string reference;  // %F is the file
    };
    const std::vector<Case> cases = {
        {"line delete by keyword", [&](auto& in, auto& out) { ferro::DeleteLines(del, in, out); },
         std::string("grep -v -F ") + kKeyword + " %F > %F.tmp && mv %F.tmp %F"},
        {"line insert ${addleft(x)}",
         [&](auto& in, auto& out) { ferro::InsertIntoLines(ins, in, out); }, "sed -i 's/^/x/' %F"},
        {"line extract every 2nd", [&](auto& in, auto& out) { ferro::ExtractLines(ext, in, out); },
         "awk 'NR%2==1' %F > %F.tmp && mv %F.tmp %F"},
    };

    std::printf("file %s: %.1f MB\n", source.c_str(), mb);
    std::printf("%-27s %7s %7s %6s | %7s %7s %6s | %7s %7s %8s\n", "", "wall s", "", "", "cpu s",
                "", "", "peak MB", "", "");
    std::printf("%-27s %7s %7s %6s | %7s %7s %6s | %7s %7s %8s\n", "operation", "ours", "tool",
                "ratio", "ours", "tool", "ratio", "ours", "tool", "ours/file");
    bool allOk = true;
    for (const Case& c : cases) {
        std::string command = c.reference;
        for (std::size_t p; (p = command.find("%F")) != std::string::npos;)
            command.replace(p, 2, Quote(ref));
        Measure best, bestRef;
        bool same = true;
        for (int r = 0; r < repeats; ++r) {
            fs::copy_file(source, ours, fs::copy_options::overwrite_existing);
            fs::copy_file(source, ref, fs::copy_options::overwrite_existing);
            const Measure a = Ours(ours, c.op);
            const Measure b = Shell(command);
            if (!a.ok || !b.ok) {
                std::printf("%s: a run failed\n", c.name);
                return 1;
            }
            const long peak = std::max(best.maxrssKb, a.maxrssKb);
            if (r == 0 || a.seconds < best.seconds) best.seconds = a.seconds;
            if (r == 0 || a.cpu < best.cpu) best.cpu = a.cpu;
            if (r == 0 || b.seconds < bestRef.seconds) bestRef.seconds = b.seconds;
            if (r == 0 || b.cpu < bestRef.cpu) bestRef.cpu = b.cpu;
            best.maxrssKb = peak;
            bestRef.maxrssKb = std::max(bestRef.maxrssKb, b.maxrssKb);
            if (r == 0) same = Slurp(ours) == Slurp(ref);
        }
        std::printf("%-27s %7.2f %7.2f %5.2fx | %7.2f %7.2f %5.2fx | %7.0f %7.0f %7.2fx%s\n",
                    c.name, best.seconds, bestRef.seconds, best.seconds / bestRef.seconds, best.cpu,
                    bestRef.cpu, best.cpu / bestRef.cpu, best.maxrssKb / 1024.0,
                    bestRef.maxrssKb / 1024.0, best.maxrssKb / 1024.0 / mb,
                    same ? "" : "  OUTPUT DIFFERS");
        allOk = allOk && same;
    }
    fs::remove(ours);
    fs::remove(ref);
    std::printf(
        "targets: time within 2x of the tool, peak memory under 3x the file size\n"
        "(best of %d; our write flushes the file to disk before it replaces the old one,\n"
        "the tools' does not)\n",
        repeats);
    return allOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "gen" && argc > 3) {
        Generate(argv[2], std::atol(argv[3]));
        return 0;
    }
    if (mode == "run" && argc > 2) return Run(argv[2], argc > 3 ? std::atoi(argv[3]) : 3);
    std::fprintf(stderr, "usage: bench_textops gen FILE MB | bench_textops run FILE [repeats]\n");
    return 2;
}
