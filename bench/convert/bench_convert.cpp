// Seconds per file of the spreadsheet conversions, against the plain way
// of doing them: one "soffice --convert-to" per file in a fresh profile.
// Comma text to workbook (--convert-to in the session), and workbook to
// comma text (the UNO script: the sheet that was showing, no
// recalculation). Usage: bench_convert [files]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/child_process.h"
#include "convert/convert.h"
#include "convert/office.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::vector<std::string> MakeSources(const std::string& dir, int files) {
    fs::create_directories(dir);
    std::vector<std::string> paths;
    for (int i = 0; i < files; ++i) {
        const std::string p = dir + "/t" + std::to_string(i) + ".csv";
        std::ofstream out(p, std::ios::binary);
        for (int r = 0; r < 200; ++r) out << "\xD5\xC5\xC8\xFD," << r << "," << r * 0.5 << "\r\n";
        paths.push_back(p);
    }
    return paths;
}

int Count(const std::vector<std::string>& sources, const char* ext) {
    int n = 0;
    for (const std::string& s : sources) n += fs::exists(s.substr(0, s.rfind('.')) + ext) ? 1 : 0;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 12;
    char tmpl[] = "/tmp/bench-convert-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string base = tmpl;

    // Reference: LibreOffice started for every file, as a script would.
    std::vector<std::string> ref = MakeSources(base + "/ref", files);
    Clock::time_point t = Clock::now();
    for (std::size_t i = 0; i < ref.size(); ++i) {
        ferro::ChildOptions o;
        o.arguments = {"-env:UserInstallation=file://" + base + "/profile" + std::to_string(i),
                       "--headless",
                       "--infilter=Text - txt - csv (StarCalc):44,34,67,1",
                       "--convert-to",
                       "xls:MS Excel 97",
                       "--outdir",
                       base + "/ref",
                       ref[i]};
        ferro::RunChild("soffice", o);
    }
    const double refTime = Seconds(t);

    // The conversion, one file at a time in one session (no look-ahead).
    std::vector<std::string> single = MakeSources(base + "/single", files);
    t = Clock::now();
    {
        ferro::OfficeSession office;
        ferro::ConvertContext ctx;
        ctx.office = &office;
        for (const std::string& s : single) ferro::ConvertFile(s, "${CsvTo(xls)}", ctx);
    }
    const double singleTime = Seconds(t);

    // As the page runs it: the rows ahead converted in the same start.
    std::vector<std::string> batch = MakeSources(base + "/batch", files);
    int runs = 0;
    t = Clock::now();
    {
        ferro::OfficeSession office;
        std::size_t next = 0;
        ferro::ConvertContext ctx;
        ctx.office = &office;
        ctx.upcoming = [&](std::size_t max) {
            std::vector<std::string> v;
            for (std::size_t i = next; i < batch.size() && v.size() < max; ++i)
                v.push_back(batch[i]);
            return v;
        };
        for (std::size_t i = 0; i < batch.size(); ++i) {
            next = i + 1;
            ferro::ConvertFile(batch[i], "${CsvTo(xls)}", ctx);
        }
        runs = office.runs();
    }
    const double batchTime = Seconds(t);

    std::printf("files: %d (200 rows each), csv -> xls\n", files);
    std::printf("reference, soffice per file, fresh profile: %.2f s/file (%d written)\n",
                refTime / files, Count(ref, ".xls"));
    std::printf("session, one file per start:               %.2f s/file (%d written)\n",
                singleTime / files, Count(single, ".xls"));
    std::printf("session with the rows ahead (%d starts):    %.2f s/file (%d written)\n", runs,
                batchTime / files, Count(batch, ".xls"));
    std::printf("speed-up over the reference: %.1fx\n", refTime / batchTime);

    // Workbook to comma text: the workbooks the reference wrote.
    std::vector<std::string> books;
    fs::create_directories(base + "/books");
    for (std::size_t i = 0; i < ref.size(); ++i) {
        books.push_back(base + "/books/b" + std::to_string(i) + ".xls");
        std::error_code ec;
        fs::copy_file(ref[i].substr(0, ref[i].rfind('.')) + ".xls", books.back(), ec);
    }
    t = Clock::now();
    for (std::size_t i = 0; i < books.size(); ++i) {
        ferro::ChildOptions o;
        o.arguments = {"-env:UserInstallation=file://" + base + "/profile" + std::to_string(i),
                       "--headless", "--convert-to", "csv", "--outdir", base + "/refcsv",
                       books[i]};
        ferro::RunChild("soffice", o);
    }
    const double refCsv = Seconds(t);
    t = Clock::now();
    int csvRuns = 0;
    {
        ferro::OfficeSession office;
        std::size_t next = 0;
        ferro::ConvertContext ctx;
        ctx.office = &office;
        ctx.upcoming = [&](std::size_t max) {
            std::vector<std::string> v;
            for (std::size_t i = next; i < books.size() && v.size() < max; ++i) v.push_back(books[i]);
            return v;
        };
        for (std::size_t i = 0; i < books.size(); ++i) {
            next = i + 1;
            ferro::ConvertFile(books[i], "${XlsTo(csv)}", ctx);
        }
        csvRuns = office.runs();
    }
    const double sessionCsv = Seconds(t);
    std::printf("xls -> csv, reference, soffice per file:    %.2f s/file\n", refCsv / files);
    std::printf("xls -> csv, session script (%d starts):      %.2f s/file (%d written)\n", csvRuns,
                sessionCsv / files, Count(books, ".csv"));
    std::printf("speed-up over the reference: %.1fx\n", refCsv / sessionCsv);
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
