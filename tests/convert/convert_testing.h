// What several conversion tests share: paths on disk, quoted-printable
// text for vCards, the sheet list of a workbook, and LibreOffice run
// directly (not through the code under test) to make and read workbooks.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/temp_folder.h"
#include "convert/child_process.h"
#include "convert/source_check.h"
#include "platform/codec.h"

namespace ferro::testing {

inline std::string Disk(const std::string& gbk) {
    std::string disk;
    EXPECT_TRUE(GbkToDisk(gbk, disk));
    return disk;
}

// Every byte as "=XX".
inline std::string Qp(std::string_view bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back('=');
        out.push_back(hex[c >> 4]);
        out.push_back(hex[c & 15]);
    }
    return out;
}

// A sheet of a workbook's list, comparable.
struct NamedSheet {
    std::string name;  // UTF-8
    bool hidden;
    bool operator==(const NamedSheet&) const = default;
};

// The sheet list the preview reads; one sheet "(none)" when there is none.
inline std::vector<NamedSheet> SheetsOf(const std::string& bytes, const char* extension) {
    std::vector<SheetEntry> sheets;
    if (!ReadSheetList(bytes, extension, sheets)) return {{"(none)", false}};
    std::vector<NamedSheet> out;
    for (const SheetEntry& s : sheets) out.push_back({s.name, s.hidden});
    return out;
}

// LibreOffice with a profile of its own for the whole test program. Names
// are GBK.
class Office {
public:
    // Converts a file in dir to the given "ext:filter:options" into dir.
    static void Convert(const TempFolder& dir, const std::string& name,
                        const std::string& convertTo, const std::string& infilter = {}) {
        static TempFolder profile;
        ChildOptions o;
        o.arguments = {"-env:UserInstallation=file://" + profile.path(), "--headless"};
        if (!infilter.empty()) o.arguments.push_back("--infilter=" + infilter);
        o.arguments.insert(o.arguments.end(), {"--convert-to", convertTo, "--outdir",
                                               Disk(dir.path()), Disk(dir / name)});
        o.outputFile = profile / "log.txt";
        ASSERT_EQ(RunChild("soffice", o).status, ChildResult::Exited);
    }
    // A spreadsheet (its first sheet) read back as UTF-8 comma text (LF row
    // ends).
    static std::string Read(const TempFolder& dir, const std::string& name) {
        TempFolder back;
        back.Write(name, dir.Read(name));
        Convert(back, name, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true");
        const std::string stem = name.substr(0, name.rfind('.'));
        return back.Exists(stem + ".csv") ? back.Read(stem + ".csv") : std::string("(none)");
    }
};

}  // namespace ferro::testing
