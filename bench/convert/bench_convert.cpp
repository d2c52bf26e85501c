// Seconds per file of the spreadsheet conversions, against the plain way
// of doing them: one "soffice --convert-to" per file in a fresh profile.
// Comma text to workbook (--convert-to in the session), and workbook to
// comma text (the UNO script: the sheet that was showing, no
// recalculation), and a workbook's sheets each to a file of its own.
// Usage: bench_convert [files]
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
#include "convert/text_convert.h"
#include "tests/convert/workbook_files.h"

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

    // A file for each sheet: workbooks of four sheets (one hidden), against
    // soffice writing every sheet of a file ("-1" as the sheet to export).
    std::error_code ec;
    std::vector<std::string> sheetBooks;
    fs::create_directories(base + "/sheets");
    for (int i = 0; i < files; ++i) {
        std::vector<ferro::testing::XlsxSheet> sheets;
        for (int k = 0; k < 4; ++k) {
            std::string rows, name = "S";
            for (int r = 1; r <= 200; ++r) {
                const std::string n = std::to_string(r);
                rows.append("<row r=\"").append(n).append("\"><c r=\"A").append(n).append("\"><v>");
                rows.append(std::to_string(r * (k + 1))).append("</v></c></row>");
            }
            name += std::to_string(k + 1);
            sheets.push_back({name, k == 2 ? "hidden" : "visible", rows});
        }
        sheetBooks.push_back(base + "/sheets/w" + std::to_string(i) + ".xlsx");
        std::ofstream(sheetBooks.back(), std::ios::binary) << ferro::testing::Xlsx(sheets);
    }
    t = Clock::now();
    for (std::size_t i = 0; i < sheetBooks.size(); ++i) {
        ferro::ChildOptions o;
        o.arguments = {"-env:UserInstallation=file://" + base + "/profile" + std::to_string(i),
                       "--headless", "--convert-to",
                       "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1",
                       "--outdir", base + "/refsheets", sheetBooks[i]};
        ferro::RunChild("soffice", o);
    }
    const double refSheets = Seconds(t);
    int refSheetFiles = 0;
    for (auto it = fs::directory_iterator(base + "/refsheets", ec); !ec && it != fs::directory_iterator(); ++it)
        ++refSheetFiles;
    std::vector<ferro::BatchFile> rows;
    for (std::size_t i = 0; i < sheetBooks.size(); ++i)
        rows.push_back({static_cast<int>(i + 1), sheetBooks[i]});
    t = Clock::now();
    int sheetRuns = 0;
    ferro::RunSummary summary;
    {
        ferro::OfficeSession office;
        ferro::ConvertContext ctx;
        ctx.office = &office;
        ctx.allSheets = true;
        summary = ferro::ConvertFiles(rows, "${XlsTo(csv)}", ctx, nullptr);
        sheetRuns = office.runs();
    }
    const double sessionSheets = Seconds(t);
    int sheetFiles = 0;
    for (auto it = fs::directory_iterator(base + "/sheets", ec); !ec && it != fs::directory_iterator(); ++it)
        sheetFiles += it->path().extension() == ".csv" ? 1 : 0;
    std::printf("each sheet, reference, soffice per file:     %.2f s/file (%d sheets written, hidden too)\n",
                refSheets / files, refSheetFiles);
    std::printf("each sheet, session script (%d starts):       %.2f s/file (%d sheets written, %d done)\n",
                sheetRuns, sessionSheets / files, sheetFiles, summary.done);
    std::printf("speed-up over the reference: %.1fx\n", refSheets / sessionSheets);

    // Contacts: 20 000 cards of a phone's 2.1 export (quoted-printable UTF-8,
    // several numbers) and the same in GBK without a CHARSET.
    for (const bool gbk : {false, true}) {
        const std::string path = base + (gbk ? "/gbk.vcf" : "/utf8.vcf");
        {
            std::ofstream out(path, std::ios::binary);
            for (int i = 0; i < 20000; ++i) {
                out << "BEGIN:VCARD\r\nVERSION:2.1\r\n";
                if (gbk)
                    out << "N:\xCD\xF5;\xB7\xBC" << i << ";;;\r\nADR;HOME:;;\xBD\xA8\xB9\xFA\xC2\xB7" << i
                        << "\xBA\xC5;\xB1\xB1\xBE\xA9;;100080;\r\n";
                else
                    out << "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E7=8E=8B;=E8=8A=B3" << i
                        << ";;;\r\n";
                out << "TEL;CELL:1380000" << 1000 + i % 9000 << "\r\nTEL:139" << 10000000 + i
                    << "\r\nTEL;HOME:010-" << 1000000 + i << "\r\nEMAIL:u" << i
                    << "@example.com\r\nEND:VCARD\r\n";
            }
        }
        t = Clock::now();
        const std::string table = ferro::VcfTo(path, "csv");
        std::printf("vCard, 20 000 cards (%s) to csv:         %.2f s (%s)\n", gbk ? "GBK  " : "UTF-8",
                    Seconds(t), table.empty() ? "failed" : "written");
    }
    fs::remove_all(base, ec);
    return 0;
}
