// The regular-expression engine as the line operations will use it, on a
// large text file (GBK, and the same text in UTF-8):
//
//   engines FILE   in this process, the ways the engine could be used and
//                  the engine it could have been: the scan of 1 MB pieces
//                  (GBK through a UTF-8 copy, UTF-8 as it is) against RE2
//                  and PCRE2 (JIT) called per line; the replacement
//                  ([0-9]+)-([0-9]+) -> \2-\1 per line with both engines;
//                  the pathological (a+)+$ on 10 000 a's and on a 10 MB line.
//   run FILE [N]   whole processes, each on a fresh copy of the file, ours
//                  and the tool alternating, N times each:
//                    delete lines matching ERR(OR|_[0-9]+)
//                        vs  grep -a -v -E ... FILE > tmp && mv tmp FILE
//                    replace ([0-9]+)-([0-9]+) by \2-\1 in every line
//                        vs  sed -E -i 's/([0-9]+)-([0-9]+)/\2-\1/g' FILE
//                  on the GBK file and on its UTF-8 twin. Ours is the text
//                  pass of the line operations (RewriteTextFiles: read in
//                  pieces, write flushed to disk before it replaces the old
//                  file) with the rule a regex option gives; both sides
//                  must write the very same bytes.
//                  With PROGRAM (ferrovan-batch), also the program itself:
//                    run delete-lines --keywords ERR(OR|_[0-9]+) --regex
//                        vs  grep -a -v -E ... FILE > tmp && mv tmp FILE
//                    run insert --format ${RegRep(([0-9]+)-([0-9]+),\2-\1)}
//                        vs  sed -E -i 's/([0-9]+)-([0-9]+)/\2-\1/g' FILE
//   gen FILE MB    writes the GBK file and FILE.utf8
#include <sys/resource.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "regex/regex.h"
#include "textops/text_batch.h"

#ifdef FERRO_BENCH_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kFilter = "ERR(OR|_[0-9]+)";
constexpr const char* kSwap = "([0-9]+)-([0-9]+)";
constexpr const char* kSwapBy = "\\2-\\1";
constexpr const char* kPathological = "(a+)+$";

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spill(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An office log: a number, Chinese and Latin words, an error mark in one
// line of ten (and a near miss, "ERR" alone or "ERRAND", in one of
// twenty), ranges such as 12-345 in one of three.
void Generate(const std::string& path, long megabytes) {
    const std::vector<std::u16string> words = {u"订单", u"客户",   u"张三",   u"李四", u"北京",
                                               u"上海", u"金额",   u"数量",   u"已付款", u"待发货",
                                               u"备注", u"合同",   u"发票",   u"仓库", u"ok",
                                               u"id",   u"ref",    u"note"};
    std::vector<std::string> gbk;
    for (const auto& w : words) gbk.push_back(ferro::Utf16ToGbk(w));
    std::mt19937 rng(33);
    std::string out;
    const std::size_t target = static_cast<std::size_t>(megabytes) << 20;
    out.reserve(target + 256);
    for (long n = 0; out.size() < target; ++n) {
        std::string line = std::to_string(100000 + n % 900000);
        line += ' ';
        for (int i = 3 + static_cast<int>(rng() % 4); i > 0; --i) {
            line += gbk[rng() % gbk.size()];
            if (rng() % 3 == 0) line += ' ';
        }
        const unsigned r = rng() % 20;
        if (r == 0) line += " ERROR";
        if (r == 1) line += " ERR_" + std::to_string(rng() % 1000);
        if (r == 2) line += rng() % 2 ? " ERRAND" : " ERR";  // near misses
        if (rng() % 3 == 0) line += " " + std::to_string(rng() % 100) + "-" + std::to_string(rng() % 1000);
        line += ' ';
        while (line.size() < 40 + rng() % 8) line += static_cast<char>('a' + rng() % 26);
        out += line;
        out += "\r\n";
    }
    Spill(path, out);
    std::string utf8;
    ferro::Gb18030ToUtf8(out, utf8);
    Spill(path + ".utf8", utf8);
    std::printf("wrote %s: %.1f MB; %s.utf8: %.1f MB\n", path.c_str(), out.size() / 1048576.0,
                path.c_str(), utf8.size() / 1048576.0);
}

// Pieces of about 1 MB of whole lines, as the text pass hands them out.
std::vector<std::string_view> Pieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        std::size_t end = std::min(text.size(), std::size_t{1} << 20);
        const std::size_t lf = text.find('\n', end == text.size() ? end - 1 : end);
        end = lf == std::string_view::npos ? text.size() : lf + 1;
        pieces.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return pieces;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t e = text.find('\n', start);
        if (e == std::string_view::npos) e = text.size();
        lines.push_back(text.substr(start, e - start - (e > start && text[e - 1] == '\r')));
        start = e + 1;
    }
    return lines;
}

struct Timing {
    double seconds;
    std::size_t result;
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Best of three, in CPU time: the machine is shared, and the least
// disturbed run tells.
Timing Best(const std::function<std::size_t()>& f) {
    Timing best{1e9, 0};
    for (int i = 0; i < 3; ++i) {
        const double t0 = CpuSeconds();
        const std::size_t r = f();
        best.seconds = std::min(best.seconds, CpuSeconds() - t0);
        best.result = r;
    }
    return best;
}

void Row(const char* what, const Timing& t, double mb) {
    std::printf("  %-44s %8.1f ms %7.0f MB/s  (%zu)\n", what, t.seconds * 1000, mb / t.seconds, t.result);
}

#ifdef FERRO_BENCH_PCRE2
struct Pcre {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    explicit Pcre(const char* pattern, uint32_t options = 0) {
        int error;
        PCRE2_SIZE at;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                             PCRE2_UTF | PCRE2_UCP | options, &error, &at, nullptr);
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
        data = pcre2_match_data_create_from_pattern(code, nullptr);
    }
    ~Pcre() {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
    int Match(std::string_view s, std::size_t from = 0) const {
        return pcre2_jit_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), from,
                               PCRE2_NO_UTF_CHECK, data, nullptr);
    }
};
#endif

int Engines(const std::string& path) {
    const std::string gbk = Slurp(path), utf8 = Slurp(path + ".utf8");
    const double mb = utf8.size() / 1048576.0, gbkMb = gbk.size() / 1048576.0;
    const std::vector<std::string_view> gbkPieces = Pieces(gbk), utf8Pieces = Pieces(utf8);
    const std::vector<std::string_view> gbkLines = Lines(gbk), utf8Lines = Lines(utf8);
    std::printf("%s: %.1f MB GBK, %.1f MB UTF-8, %zu lines; best of 3 in this process, CPU time\n",
                path.c_str(), gbkMb, mb, utf8Lines.size());

    const ferro::Regex filter(kFilter);
    std::printf("lines matching %s (MB/s of the file in its encoding):\n", kFilter);
    auto scan = [&](const ferro::Regex& re, const std::vector<std::string_view>& pieces,
                    ferro::SubjectBytes bytes) {
        std::vector<std::size_t> hits;
        std::size_t n = 0;
        for (std::string_view p : pieces) {
            hits.clear();
            re.MatchingLines(p, bytes, hits);
            n += hits.size();
        }
        return n;
    };
    Row("ours, pieces of 1 MB, GBK", Best([&] { return scan(filter, gbkPieces, ferro::SubjectBytes::Gbk); }), gbkMb);
    Row("ours, pieces of 1 MB, UTF-8", Best([&] { return scan(filter, utf8Pieces, ferro::SubjectBytes::Utf8); }), mb);
    // The same pattern with its literal out of sight: the whole piece is
    // searched, a GBK one through its UTF-8 copy.
    const ferro::Regex hidden("(?:ERR)(OR|_[0-9]+)");
    Row("ours, no literal search, GBK (UTF-8 copy)", Best([&] { return scan(hidden, gbkPieces, ferro::SubjectBytes::Gbk); }), gbkMb);
    Row("ours, no literal search, UTF-8", Best([&] { return scan(hidden, utf8Pieces, ferro::SubjectBytes::Utf8); }), mb);
    Row("GBK to UTF-8 alone, pieces of 1 MB", Best([&] {
            std::string out(3 * (std::size_t{1} << 20) + 4096, '\0');
            std::size_t n = 0;
            for (std::string_view p : gbkPieces) n += ferro::Gb18030PieceToUtf8(p, out.data());
            return n;
        }), gbkMb);
    Row("RE2, a call per line, UTF-8", Best([&] {
            std::size_t n = 0;
            for (std::string_view l : utf8Lines) n += filter.Matches(l, ferro::SubjectBytes::Utf8);
            return n;
        }), mb);
#ifdef FERRO_BENCH_PCRE2
    const Pcre pcreFilter(kFilter);
    Row("PCRE2 JIT, a call per line, UTF-8", Best([&] {
            std::size_t n = 0;
            for (std::string_view l : utf8Lines) n += pcreFilter.Match(l) > 0;
            return n;
        }), mb);
    const Pcre pcreLines(kFilter, PCRE2_MULTILINE | PCRE2_NEWLINE_ANYCRLF);
    Row("PCRE2 JIT, pieces of 1 MB, UTF-8 (unchecked)", Best([&] {
            std::size_t n = 0;
            for (std::string_view p : utf8Pieces) {
                std::size_t from = 0;
                while (from < p.size() && pcreLines.Match(p, from) > 0) {
                    ++n;
                    const std::size_t end = pcre2_get_ovector_pointer(pcreLines.data)[1];
                    const std::size_t lf = p.find('\n', end);
                    if (lf == std::string_view::npos) break;
                    from = lf + 1;
                }
            }
            return n;
        }), mb);
#endif

    const ferro::Regex swap(kSwap);
    const ferro::RegexReplacement by(kSwapBy);
    std::printf("every line, %s -> %s:\n", kSwap, kSwapBy);
    auto replace = [&](const std::vector<std::string_view>& lines, ferro::SubjectBytes bytes) {
        std::string out;
        std::size_t n = 0;
        for (std::string_view l : lines) {
            out.clear();
            swap.ReplaceAll(l, bytes, by, out);
            n += out.size();
        }
        return n;
    };
    Row("ours, GBK", Best([&] { return replace(gbkLines, ferro::SubjectBytes::Gbk); }), gbkMb);
    Row("ours, UTF-8", Best([&] { return replace(utf8Lines, ferro::SubjectBytes::Utf8); }), mb);
#ifdef FERRO_BENCH_PCRE2
    const Pcre pcreSwap(kSwap);
    Row("PCRE2 JIT pcre2_substitute, UTF-8", Best([&] {
            std::vector<PCRE2_UCHAR> out(1 << 16);
            std::size_t n = 0;
            for (std::string_view l : utf8Lines) {
                PCRE2_SIZE size = out.size();
                pcre2_substitute(pcreSwap.code, reinterpret_cast<PCRE2_SPTR>(l.data()), l.size(), 0,
                                 PCRE2_SUBSTITUTE_GLOBAL | PCRE2_NO_UTF_CHECK, pcreSwap.data,
                                 nullptr, reinterpret_cast<PCRE2_SPTR>("$2-$1"), 5, out.data(), &size);
                n += size;
            }
            return n;
        }), mb);
#endif

    std::printf("%s (result: 1 match, 0 none, below 0 PCRE2's error):\n", kPathological);
    const ferro::Regex bad(kPathological);
    const std::string as = std::string(10000, 'a') + "!", line = std::string(10 << 20, 'a') + "!\r\n";
    Row("ours, 10 000 a's and !", Best([&] { return std::size_t(bad.Matches(as)); }), as.size() / 1048576.0);
    Row("ours, a 10 MB line (scan)", Best([&] {
            std::vector<std::size_t> hits;
            bad.MatchingLines(line, ferro::SubjectBytes::Gbk, hits);
            return hits.size();
        }), line.size() / 1048576.0);
#ifdef FERRO_BENCH_PCRE2
    const Pcre pcreBad(kPathological);
    for (const std::string* s : {&as, &line}) {
        const auto t0 = Clock::now();
        const int rc = pcreBad.Match(*s);
        std::printf("  PCRE2 JIT, %-34s %8.1f ms  (%d%s)\n", s == &as ? "10 000 a's and !" : "a 10 MB line",
                    Since(t0) * 1000, rc, rc == PCRE2_ERROR_MATCHLIMIT ? ": match limit" : "");
    }
#endif
    return 0;
}

// --- Whole processes -------------------------------------------------------

struct Measure {
    double seconds = 0;
    double cpu = 0;  // user + system: less disturbed by a busy machine
    long maxrssKb = 0;
    bool ok = false;
};

Measure InChild(const std::function<int()>& body) {
    std::fflush(stdout);
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return {Since(t0), cpu, ru.ru_maxrss, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

Measure Tool(const std::string& command) {
    return InChild([&] {
        setenv("LC_ALL", "C", 1);  // bytes, as the program sees them
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

// What the line-delete page's regex option does with a piece of lines: one
// scan, then the lines that do not match.
void KeepUnmatched(const ferro::Regex& re, const ferro::LineList& in, ferro::LineBytes bytes,
                   ferro::LineSink& out) {
    const auto subject = bytes == ferro::LineBytes::Utf8 ? ferro::SubjectBytes::Utf8 : ferro::SubjectBytes::Gbk;
    std::vector<std::size_t> hits;
    const std::string_view text = in.UnbrokenText();
    if (!text.empty()) {
        re.MatchingLines(text, subject, hits);
    } else {
        std::size_t i = 0;
        for (std::string_view line : in) {
            if (re.Matches(line, subject)) hits.push_back(i);
            ++i;
        }
    }
    std::size_t i = 0, k = 0;
    for (std::string_view line : in) {
        if (k < hits.size() && hits[k] == i)
            ++k;
        else
            out.PushUnbroken(line);
        ++i;
    }
}

void ReplaceEach(const ferro::Regex& re, const ferro::RegexReplacement& by, const ferro::LineList& in,
                 ferro::LineBytes bytes, ferro::LineSink& out) {
    const auto subject = bytes == ferro::LineBytes::Utf8 ? ferro::SubjectBytes::Utf8 : ferro::SubjectBytes::Gbk;
    std::string line;
    for (std::string_view l : in) {
        line.clear();
        re.ReplaceAll(l, subject, by, line);
        out.PushUnbroken(line);
    }
}

// A linewise operation of a rule, with its UTF-8 form.
ferro::LineOperation Linewise(
    const std::function<void(const ferro::LineList&, ferro::LineBytes, ferro::LineSink&)>& rule) {
    auto whole = [rule](ferro::LineBytes b) {
        return [rule, b](const ferro::LineList& in, ferro::LineSink& out) { rule(in, b, out); };
    };
    ferro::LineOperation op(whole(ferro::LineBytes::Gbk), whole(ferro::LineBytes::Utf8));
    op.linewise = [rule]() -> ferro::LinePieceRule { return rule; };
    return op;
}

Measure Ours(const std::string& path, const ferro::LineOperation& op) {
    return InChild([&] {
        const ferro::RunSummary r = ferro::RewriteTextFiles({{1, path}}, ferro::TextBatchOptions(), op, nullptr);
        if (r.done != 1) std::fprintf(stderr, "%s\n", r.error.c_str());
        return r.done == 1 ? 0 : 1;
    });
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int Run(const std::string& source, int repeats, const std::string& program) {
    const ferro::Regex filter(kFilter), swap(kSwap);
    const ferro::RegexReplacement by(kSwapBy);
    const ferro::LineOperation del = Linewise([&](const ferro::LineList& in, ferro::LineBytes b, ferro::LineSink& out) {
        KeepUnmatched(filter, in, b, out);
    });
    const ferro::LineOperation rep = Linewise([&](const ferro::LineList& in, ferro::LineBytes b, ferro::LineSink& out) {
        ReplaceEach(swap, by, in, b, out);
    });
    struct Case {
        const char* name;
        const ferro::LineOperation* op;  // null: ours is the program's command line
        std::string tool;  // %F: the file
        bool utf8;
    };
    const std::string grep = std::string("grep -a -v -E '") + kFilter + "' %F > %F.tmp && mv %F.tmp %F";
    const std::string sed = std::string("sed -E -i 's/") + kSwap + "/\\2-\\1/g' %F";
    const Case cases[] = {
        {"delete ERR(OR|_[0-9]+), GBK", &del, grep, false},
        {"delete ERR(OR|_[0-9]+), UTF-8", &del, grep, true},
        {"swap \\2-\\1, GBK", &rep, sed, false},
        {"swap \\2-\\1, UTF-8", &rep, sed, true},
        {"delete-lines --regex, GBK", nullptr, grep, false},
        {"delete-lines --regex, UTF-8", nullptr, grep, true},
        {"insert ${RegRep}, GBK", nullptr, sed, false},
        {"insert ${RegRep}, UTF-8", nullptr, sed, true},
    };
    // The whole program: undo on (its journal in a folder of its own), no
    // .bak copy, as grep keeps none.
    const std::string state = source + ".state";
    const std::string cli = "XDG_STATE_HOME='" + state + "' '" + program + "' run delete-lines --keywords '" +
                            kFilter + "' --regex --no-backup %F >/dev/null 2>&1";
    const std::string cliInsert = "XDG_STATE_HOME='" + state + "' '" + program +
                                  "' run insert --format '${RegRep(" + kSwap +
                                  ",\\2-\\1)}' --all-lines --no-backup %F >/dev/null 2>&1";
    std::printf("%s: medians of %d alternating runs (whole processes)\n", source.c_str(), repeats);
    std::printf("%-30s %21s | %21s | %15s\n", "", "wall s", "cpu s", "peak MB");
    std::printf("%-30s %6s %6s %7s | %6s %6s %7s | %7s %7s\n", "", "ours", "tool", "ratio", "ours",
                "tool", "ratio", "ours", "tool");
    bool allOk = true;
    for (const Case& c : cases) {
        const std::string from = c.utf8 ? source + ".utf8" : source;
        const std::string ours = source + ".ours", ref = source + ".ref";
        if (!c.op && program.empty()) continue;
        auto withFile = [](std::string command, const std::string& file) {
            for (std::size_t p; (p = command.find("%F")) != std::string::npos;) command.replace(p, 2, "'" + file + "'");
            return command;
        };
        const bool inserts = std::string_view(c.name).starts_with("insert");
        const std::string command = withFile(c.tool, ref),
                          oursCommand = withFile(inserts ? cliInsert : cli, ours);
        auto runOurs = [&] { return c.op ? Ours(ours, *c.op) : Tool(oursCommand); };
        std::vector<double> a, b, ca, cb;
        long peakA = 0, peakB = 0;
        bool same = true;
        for (int r = 0; r < repeats; ++r) {
            fs::copy_file(from, ours, fs::copy_options::overwrite_existing);
            fs::copy_file(from, ref, fs::copy_options::overwrite_existing);
            ::sync();
            Measure ma, mb;
            if (r % 2 == 0) {
                ma = runOurs();
                mb = Tool(command);
            } else {
                mb = Tool(command);
                ma = runOurs();
            }
            if (!ma.ok || !mb.ok) {
                std::printf("%s: a run failed\n", c.name);
                return 1;
            }
            a.push_back(ma.seconds);
            b.push_back(mb.seconds);
            ca.push_back(ma.cpu);
            cb.push_back(mb.cpu);
            peakA = std::max(peakA, ma.maxrssKb);
            peakB = std::max(peakB, mb.maxrssKb);
            if (r == 0) same = Slurp(ours) == Slurp(ref);
        }
        std::printf("%-30s %6.2f %6.2f %6.2fx | %6.2f %6.2f %6.2fx | %7.0f %7.0f%s\n", c.name, Median(a),
                    Median(b), Median(a) / Median(b), Median(ca), Median(cb), Median(ca) / Median(cb),
                    peakA / 1024.0, peakB / 1024.0, same ? "" : "  OUTPUT DIFFERS");
        allOk = allOk && same;
        fs::remove(ours);
        fs::remove(ref);
    }
    std::printf("targets: delete <= 1.3x grep + mv, swap <= 1.0x sed; peak memory under 64 MB.\n"
                "Our write is flushed to disk before it replaces the old file; the tools' is not.\n");
    return allOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "gen" && argc > 3) {
        Generate(argv[2], std::atol(argv[3]));
        return 0;
    }
    if (mode == "engines" && argc > 2) return Engines(argv[2]);
    if (mode == "run" && argc > 2) return Run(argv[2], argc > 3 ? std::atoi(argv[3]) : 5, argc > 4 ? argv[4] : "");
    std::fprintf(stderr, "usage: bench_regex gen FILE MB | engines FILE | run FILE [repeats [PROGRAM]]\n");
    return 2;
}
