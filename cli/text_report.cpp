#include "cli/text_report.h"

#include "cli/text.h"

namespace ferro::cli {

void PrintRunReport(Console& console, const RunSummary& summary, const std::string& closing) {
    PrintErr(console, RunReportText(summary, closing) + "\n" + UndoneListText(summary));
}

void StatisticsTable::Add(const std::string& path, const FileStatistics& s) {
    if (!header_) {
        PrintOut(console_, FromUtf8("文件\t文件大小\t总行数\t空行数\t数据行数\t行最大字符数\t"
                                    "行最小字符数\t行平均字符数\n"));
        header_ = true;
    }
    std::string line = path;
    for (int64_t v : {s.size, s.allLines, s.emptyLines, s.dataLines, s.longest, s.shortest, s.average})
        line += "\t" + std::to_string(v);
    PrintOut(console_, line + "\n");
}

}  // namespace ferro::cli
