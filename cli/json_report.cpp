#include "cli/json_report.h"

#include "cli/text.h"

namespace ferro::cli {

const char* ResultCode(Undone why) {
    switch (why) {
        case Undone::None: return "done";
        case Undone::NameExists: return "name-exists";
        case Undone::DuplicateName: return "duplicate-name";
        case Undone::NameNotAllowed: return "name-not-allowed";
        case Undone::Unchanged: return "unchanged";
        case Undone::ReadOnly: return "read-only";
        case Undone::Missing: return "missing";
        case Undone::CannotRead: return "cannot-read";
        case Undone::CannotWrite: return "cannot-write";
        case Undone::NotSpreadsheet: return "not-spreadsheet";
        case Undone::ConversionFailed: return "conversion-failed";
        case Undone::Stopped: return "stopped";
        case Undone::BackupFailed: return "backup-failed";
        case Undone::NotText: return "not-text";
        case Undone::TooLong: return "too-long";
        case Undone::NoListLine: return "no-list-line";
        case Undone::NotReached: return "not-reached";
        case Undone::NoTrash: return "no-trash";
        case Undone::NotRecorded: return "not-recorded";
        case Undone::ChangedSince: return "changed-since";
        case Undone::BackupNameTooLong: return "backup-name-too-long";
        case Undone::BackupKept: return "backup-kept";
        case Undone::RecordDamaged: return "record-damaged";
        case Undone::NoValue: return "no-value";
        case Undone::BadPattern: return "bad-pattern";
    }
    return "";
}

std::string JsonReport(const ops::Operation& op, const ops::RunOutcome& o,
                       const std::vector<FileResult>& files, const FileList& list) {
    const RunSummary& s = o.summary;
    std::string j = "{\"operation\":\"";
    j += op.info().name;
    j += "\",\"total\":" + std::to_string(s.total);
    j += ",\"done\":" + std::to_string(s.done);
    j += ",\"stopped\":";
    j += s.stopped ? "true" : "false";
    j += ",\"error\":" + (s.error.empty() ? std::string("null") : JsonString(s.error));
    if (o.records >= 0) j += ",\"records\":" + std::to_string(o.records);
    j += ",\"files\":[";
    bool first = true;
    for (const FileResult& f : files) {
        if (!first) j += ',';
        first = false;
        j += "{" + JsonPathMember("path", f.path);
        j += ",\"result\":\"";
        j += ResultCode(f.why);
        j += "\",\"reason\":" + JsonString(UndoneText(f.why));
        if (!f.detail.empty()) j += ",\"detail\":" + JsonString(f.detail);
        // A renamed file's row holds its new name.
        if (f.done() && f.row > 0 && f.row <= list.LastRow() && list.Path(f.row) != f.path)
            j += "," + JsonPathMember("newPath", list.Path(f.row));
        for (const auto& [path, st] : o.statistics) {
            if (path != f.path) continue;
            j += ",\"statistics\":{\"size\":" + std::to_string(st.size) +
                 ",\"lines\":" + std::to_string(st.allLines) +
                 ",\"emptyLines\":" + std::to_string(st.emptyLines) +
                 ",\"dataLines\":" + std::to_string(st.dataLines) +
                 ",\"longest\":" + std::to_string(st.longest) +
                 ",\"shortest\":" + std::to_string(st.shortest) +
                 ",\"average\":" + std::to_string(st.average) + "}";
            break;
        }
        j += '}';
    }
    j += "]}\n";
    return j;
}

}  // namespace ferro::cli
