// Conversions that never report garbage as done, never cut rows off, and
// never wait for ever on LibreOffice: the source checks, the row limits, the
// time limits, stop requests, the kill at exit and the clean-up of stale
// LibreOffice folders. LibreOffice itself is replaced by scripts here.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "common/temp_folder.h"
#include "convert/child_process.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "convert/source_check.h"
#include "workbook_files.h"

using ferro::CheckSpreadsheetSource;
using ferro::ConvertContext;
using ferro::ConvertFile;
using ferro::Undone;
using ferro::testing::Gbk;
using ferro::testing::TempFolder;
using Clock = std::chrono::steady_clock;

namespace {

std::string Script(const TempFolder& dir, const char* name, const std::string& body) {
    const std::string path = dir.Write(name, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::string GoodXlsx() {
    return ferro::testing::Xlsx({{"S", "visible", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}});
}

}  // namespace

TEST(SourceCheck, OnlyWhatTheExtensionClaims) {
    const std::string xlsx = GoodXlsx();
    const std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    struct Case {
        const char* what;
        std::string bytes;
        const char* extension;
        bool commaText;
        bool expected;
    } cases[] = {
        {"random bytes as xls", RandomBytes(4096, 1), ".xls", false, false},
        {"an OLE header, then garbage", ole + RandomBytes(4000, 2), ".xls", false, false},
        {"an empty xls", "", ".xls", false, false},
        {"a GBK CSV named xls", Gbk("姓名,电话\r\n张三,1\r\n"), ".XLS", false, false},
        {"a web page named xls", "<html><table><tr><td>1</td></tr></table></html>", ".xls",
         false, true},
        {"a workbook package", xlsx, ".xlsx", false, true},
        {"a workbook package cut short", xlsx.substr(0, xlsx.size() / 2), ".xlsx", false, false},
        {"a ZIP without a workbook",
         ferro::testing::StoredZip({{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "x"}}),
         ".xlsx", false, false},
        {"random bytes as xlsx", "PK\x03\x04" + RandomBytes(3000, 3), ".xlsx", false, false},
        {"an OpenDocument spreadsheet",
         ferro::testing::StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                    {"content.xml", "<x/>"}}),
         ".ods", false, true},
        {"an OpenDocument text as ods",
         ferro::testing::StoredZip(
             {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<x/>"}}),
         ".ods", false, false},
        {"GBK comma text", Gbk("姓名,电话\r\n张三,1\r\n"), ".csv", false, true},
        {"UTF-8 comma text", "姓名,电话\n", ".csv", false, true},
        {"an empty comma text", "", ".csv", false, true},
        {"random bytes as csv", RandomBytes(2048, 4), ".csv", false, false},
        {"a workbook read as comma text", xlsx, ".dat", true, false},
        {"text with NUL bytes as txt", std::string("a\tb\0c\n", 6), ".txt", false, false},
        {"a web page", "\xEF\xBB\xBF <!DOCTYPE html><HTML><body><TABLE>", ".htm", false, true},
        {"plain text as htm", "hello", ".html", false, false},
        {"an XML spreadsheet", "<?xml version=\"1.0\"?><Workbook/>", ".xml", false, true},
        {"text as xml", "hello", ".xml", false, false},
        {"random bytes, other extension", RandomBytes(2048, 5), ".bin", false, false},
        {"a workbook package, other extension", xlsx, ".bin", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CheckSpreadsheetSource(c.bytes, c.extension, c.commaText).spreadsheet,
                  c.expected);
    }
}

TEST(SourceCheck, GarbageIsNotConvertedNorCounted) {
    TempFolder dir;
    // LibreOffice is not even asked: a session that cannot start says so
    // only for files that pass the check.
    ferro::OfficeSession none(ferro::OfficeOptions{"/nonexistent/soffice"});
    ConvertContext ctx;
    ctx.office = &none;
    const struct {
        const char* name;
        std::string bytes;
        const char* item;
    } cases[] = {
        {"r1.xls", RandomBytes(5000, 7), "${XlsTo(csv)}"},
        {"z.xls", "", "${XlsTo(txt)}"},
        {"g.xls", Gbk("姓名,电话\r\n张三,1\r\n"), "${XlsTo(xml)}"},
        {"r.xlsx", "PK\x03\x04" + RandomBytes(900, 8), "${XlsTo(htm)}"},
        {"r.csv", RandomBytes(3000, 9), "${CsvTo(xls)}"},
        {"b.csv", RandomBytes(3000, 10), "${CsvTo(txt)}"},
        {"b.txt", RandomBytes(3000, 11), "${XlsTo(csv)}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto out = ConvertFile(dir.Write(c.name, c.bytes), c.item, ctx);
        EXPECT_TRUE(out.newPath.empty());
        EXPECT_FALSE(out.cannotStart);
        EXPECT_EQ(out.why, Undone::NotSpreadsheet);
    }
    const auto missing = ConvertFile(dir / "gone.xls", "${XlsTo(csv)}", ctx);
    EXPECT_EQ(missing.why, Undone::Missing);
    EXPECT_EQ(dir.Read("b.txt"), RandomBytes(3000, 11));
    // Nothing was written beside the sources.
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, std::size(cases));
}

TEST(RowLimits, TablesTooLargeForTheTargetAreRefusedTextIsConvertedWhole) {
    TempFolder dir;
    std::string csv;
    for (int r = 0; r < 70000; ++r) csv += std::to_string(r) + ",\"a\nb\"\r\n";
    const std::string src = dir.Write("big.csv", csv);
    ferro::OfficeSession none(ferro::OfficeOptions{"/nonexistent/soffice"});
    ConvertContext ctx;
    ctx.office = &none;
    auto out = ConvertFile(src, "${CsvTo(xls)}", ctx);
    EXPECT_TRUE(out.newPath.empty());
    EXPECT_EQ(out.why, Undone::ConversionFailed);
    EXPECT_NE(out.detail.find("70000"), std::string::npos);
    EXPECT_NE(out.detail.find("65536"), std::string::npos);
    EXPECT_FALSE(dir.Exists("big.xls"));
    // 300 columns do not fit an xls sheet either.
    std::string wide(299, ',');
    out = ConvertFile(dir.Write("wide.csv", wide + "\n"), "${CsvTo(xls)}", ctx);
    EXPECT_EQ(out.why, Undone::ConversionFailed);
    EXPECT_NE(out.detail.find("300"), std::string::npos);
    // To tab text: plain text work, every row kept.
    out = ConvertFile(src, "${CsvTo(txt)}", ctx);
    EXPECT_EQ(out.why, Undone::None);
    EXPECT_EQ(out.newPath, dir / "big.txt");
    const ferro::TextTableSize size = ferro::CountTextTable(dir.Read("big.txt"), '\t');
    EXPECT_EQ(size.rows, 70000u);
    EXPECT_EQ(size.columns, 2u);
}

TEST(RowLimits, RowsAndColumnsAreCountedAsASpreadsheetReadsThem) {
    struct Case {
        const char* text;
        std::size_t rows, columns;
    } cases[] = {
        {"", 0, 0},
        {"a", 1, 1},
        {"a,b\r\nc\n", 2, 2},
        {"\"x\ny\",1\n\n3", 3, 2},
        {"\"a,b,c\"\r", 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto size = ferro::CountTextTable(c.text);
        EXPECT_EQ(size.rows, c.rows);
        EXPECT_EQ(size.columns, c.columns);
    }
}

TEST(OfficeLimits, AnApplicationThatPrintsForEverIsStoppedByItsTimeLimitAndByAStop) {
    TempFolder dir;
    const std::string src = dir.Write("a.csv", "1,2\n");
    const std::string chatty = Script(dir, "soffice-chatty", "while :; do echo working; done");
    ferro::OfficeOptions options{chatty, 300000, 25};
    options.totalBaseMs = 1500;
    options.totalPerMbMs = 0;
    {
        // Its output keeps growing, so only the total limit ends it.
        ferro::OfficeSession office(options);
        ConvertContext ctx;
        ctx.office = &office;
        const auto start = Clock::now();
        const auto out = ConvertFile(src, "${CsvTo(xls)}", ctx);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(out.why, Undone::ConversionFailed);
        EXPECT_EQ(out.detail, Gbk("LibreOffice 超过时间限制，已被终止"));
        EXPECT_FALSE(out.cannotStart);
        EXPECT_FALSE(dir.Exists("a.xls"));
    }
    {
        options.totalBaseMs = 600000;
        ferro::OfficeSession office(options);
        ConvertContext ctx;
        ctx.office = &office;
        const auto start = Clock::now();
        ctx.stopRequested = [&] { return Clock::now() - start > std::chrono::milliseconds(300); };
        const auto out = ConvertFile(src, "${CsvTo(xls)}", ctx);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(out.why, Undone::Stopped);
        EXPECT_FALSE(dir.Exists("a.xls"));
    }
}

TEST(OfficeLimits, TheTotalLimitGrowsWithTheSourcesSize) {
    TempFolder dir;
    // Sleeps 2 s while printing: within 1 s + 2 s per megabyte for a 1 MB
    // source, past it for a small one.
    const std::string slow = Script(dir, "soffice-slow", "for i in 1 2 3 4 5 6 7 8 9 10; do echo $i; sleep 0.2; done");
    ferro::OfficeOptions options{slow, 300000, 25};
    options.totalBaseMs = 1000;
    options.totalPerMbMs = 2000;
    ConvertContext ctx;
    ferro::OfficeSession small(options);
    ctx.office = &small;
    EXPECT_EQ(ConvertFile(dir.Write("s.csv", "1\n"), "${CsvTo(xls)}", ctx).why,
              Undone::ConversionFailed);
    // The fake writes nothing, so a run that ends by itself fails too: what
    // tells them apart is how long it was let run.
    ferro::OfficeSession big(options);
    ctx.office = &big;
    const auto start = Clock::now();
    ConvertFile(dir.Write("b.csv", std::string(1 << 20, '1') + "\n"), "${CsvTo(xls)}", ctx);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
}

TEST(ChildProcess, ChildrenAreKilledWhenTheProgramExits) {
    TempFolder dir;
    ferro::ChildOptions o;
    o.outputFile = dir / "out.txt";
    int group = 0;
    o.started = [&](int g) { group = g; };
    ferro::ChildResult result;
    std::thread waiter([&] { result = ferro::RunChild(Script(dir, "hang.sh", "sleep 60"), o); });
    while (group == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto start = Clock::now();
    ferro::KillChildProcesses();
    waiter.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(result.status, ferro::ChildResult::Stopped);
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(group)));
    // Later runs are not affected.
    EXPECT_EQ(ferro::RunChild(Script(dir, "ok.sh", "exit 0"), o).status,
              ferro::ChildResult::Exited);
}

TEST(OfficeSession, StaleFoldersOfEarlierRunsAreRemovedAtStart) {
    TempFolder tmp;
    const char* old = std::getenv("TMPDIR");
    const std::string oldTmp = old ? old : "";
    setenv("TMPDIR", tmp.path().c_str(), 1);

    // Ours, alive: kept. A dead owner: removed, with the LibreOffice it left
    // running. No owner yet, just made: kept; no owner, old: removed.
    tmp.Write("ferro-office-dead/owner", "999999999 12345\n");
    const std::string hung = Script(tmp, "ferro-office-dead/soffice", "sleep 60");
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        execl(hung.c_str(), hung.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(child, child);
    tmp.Write("ferro-office-dead/group", std::to_string(child) + "\n");
    tmp.Write("ferro-office-new/profile/x", "");
    tmp.Write("ferro-office-old/profile/x", "");
    tmp.SetModified("ferro-office-old", 1000000000);
    tmp.Write("ferro-office-mine/owner", [] {
        std::string s;
        std::FILE* f = std::fopen("/proc/self/stat", "r");
        char buf[1024] = {};
        std::fgets(buf, sizeof buf, f);
        std::fclose(f);
        s = buf;
        std::string rest = s.substr(s.rfind(')') + 2);
        for (int field = 3; field < 22; ++field) rest = rest.substr(rest.find(' ') + 1);
        return std::to_string(getpid()) + " " + rest.substr(0, rest.find(' ')) + "\n";
    }());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    ferro::RemoveStaleOfficeFolders();
    EXPECT_TRUE(tmp.Exists("ferro-office-mine/owner"));
    EXPECT_TRUE(tmp.Exists("ferro-office-new/profile/x"));
    EXPECT_FALSE(tmp.Exists("ferro-office-dead"));
    EXPECT_FALSE(tmp.Exists("ferro-office-old"));
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    if (old)
        setenv("TMPDIR", oldTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
}
