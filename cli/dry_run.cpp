#include "cli/dry_run.h"

#include <memory>
#include <optional>

#include "cli/json_report.h"
#include "cli/run.h"
#include "cli/text.h"
#include "fileops/preview.h"
#include "fileops/ticked_rows.h"
#include "textops/text_preview.h"

namespace ferro::cli {

int DryRun(const CliRequest& r, const FileList& list, Console& console) {
    const std::vector<BatchFile> ticked = TickedFiles(list);
    const ops::PreviewKind kind = r.operation->info().preview;
    const std::unique_ptr<ChangePreview> preview =
        kind == ops::PreviewKind::Names ? r.job->PreviewNames(list) : nullptr;
    if (preview) preview->Advance(0);
    // The line operations: each file read and run through the rule in memory
    // (a piece at a time where the run reads it so: only the counts are kept).
    const std::optional<LineOperation> rule =
        kind == ops::PreviewKind::Lines ? r.job->PreviewRule() : std::nullopt;
    // The conversions: the files each source writes, and the sources left
    // undone because an earlier one writes their output.
    const std::vector<PlannedOutput> outputs =
        kind == ops::PreviewKind::Outputs ? r.job->Outputs(ticked) : std::vector<PlannedOutput>();
    int refused = 0;
    std::string text, json;
    for (const BatchFile& f : ticked) {
        json += json.empty() ? "{" : ",{";
        json += JsonPathMember("path", f.path);
        text += f.path;
        if (kind == ops::PreviewKind::Outputs) {
            std::string sameAs, list;
            for (const PlannedOutput& p : outputs) {
                if (p.row != f.row || p.source != f.path) continue;
                sameAs = p.sameAs;
                list += (list.empty() ? "" : ",") + JsonString(p.output);
                if (sameAs.empty()) text += " -> " + p.output;
            }
            if (!sameAs.empty()) {
                ++refused;
                json += ",\"result\":\"" + std::string(ResultCode(Undone::DuplicateName)) +
                        "\",\"reason\":" + JsonString(UndoneText(Undone::DuplicateName)) +
                        ",\"detail\":" + JsonString(SameOutputText(sameAs));
                text += "  " + FromUtf8("不处理：") + SameOutputText(sameAs);
            } else {
                json += ",\"outputs\":[" + list + "]";
            }
        } else if (rule) {
            TextPreview p = PreviewTextFile(f.path, r.textMode, *rule);
            if (!p.ok()) {
                ++refused;
                json += ",\"result\":\"" + std::string(ResultCode(p.why)) +
                        "\",\"reason\":" + JsonString(UndoneText(p.why));
                text += "  " + FromUtf8("不处理：") + UndoneText(p.why);
            } else {
                LineDiff::Options counting;
                counting.maxShown = 0;
                std::unique_ptr<LineDiff> diff =
                    p.diff ? std::move(p.diff) : std::make_unique<LineDiff>(p.before, p.after, counting);
                while (!diff->Advance(std::size_t(1) << 20)) {
                }
                const bool same = diff->removed() == 0 && diff->added() == 0;
                json += ",\"result\":\"" + std::string(same ? "unchanged" : "change") +
                        "\",\"removed\":" + std::to_string(diff->removed()) +
                        ",\"added\":" + std::to_string(diff->added());
                text += same ? "  " + FromUtf8("没有变化")
                             : "  " + FromUtf8("删除 ") + std::to_string(diff->removed()) +
                                   FromUtf8(" 行，新增 ") + std::to_string(diff->added()) +
                                   FromUtf8(" 行");
            }
        } else if (preview) {
            const PlannedChange c = *preview->Row(f.row);
            json += ",\"result\":\"";
            json += c.why == Undone::None ? "change" : ResultCode(c.why);
            json += "\"";
            if (c.why == Undone::None) {
                json += "," + JsonPathMember("after", c.after);
                text += " -> " + c.after;
            } else {
                json += ",\"reason\":" + JsonString(UndoneText(c.why));
                if (!c.detail.empty()) json += ",\"detail\":" + JsonString(c.detail);
                text += "  " + FromUtf8("不处理：") + UndoneText(c.why, c.detail);
            }
        }
        json += "}";
        text += "\n";
    }
    if (r.json) {
        std::string j = "{\"operation\":\"";
        j += r.operation->info().name;
        j += "\",\"dryRun\":true,\"total\":" + std::to_string(ticked.size());
        if (preview)
            j += ",\"changing\":" + std::to_string(preview->changing()) +
                 ",\"skipping\":" + std::to_string(preview->skipping());
        console.Out(j + ",\"files\":[" + json + "]}\n");
    } else {
        PrintOut(console, text);
    }
    std::string summary =
        preview ? FromUtf8("将更改 ") + std::to_string(preview->changing()) +
                      FromUtf8(" 个文件，跳过 ") + std::to_string(preview->skipping()) + FromUtf8(" 个")
                : FromUtf8("将处理 ") + std::to_string(ticked.size() - refused) + FromUtf8(" 个文件") +
                      (refused ? FromUtf8("，跳过 ") + std::to_string(refused) + FromUtf8(" 个") : "");
    PrintErr(console, summary + FromUtf8("（试运行，没有修改任何文件）\n"));
    // The code the run would give: a file it would leave undone makes it 1.
    const bool allDone = refused == 0 && (!preview || preview->skipping() == 0);
    return allDone ? kExitDone : kExitUndone;
}

}  // namespace ferro::cli
