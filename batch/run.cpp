#include "batch/run.h"

#include "platform/codec.h"

namespace ferro {

std::string UndoneText(Undone why) {
    const char16_t* text = u"";
    switch (why) {
        case Undone::None: text = u"已处理"; break;
        case Undone::NameExists: text = u"目标名称已存在"; break;
        case Undone::DuplicateName: text = u"与其他文件的新名称相同"; break;
        case Undone::NameNotAllowed: text = u"新名称不允许"; break;
        case Undone::Unchanged: text = u"未改变"; break;
        case Undone::ReadOnly: text = u"只读文件"; break;
        case Undone::Missing: text = u"文件不存在"; break;
        case Undone::CannotRead: text = u"无法读取"; break;
        case Undone::CannotWrite: text = u"无法写入"; break;
        case Undone::NotSpreadsheet: text = u"不是有效的表格文件"; break;
        case Undone::ConversionFailed: text = u"转换失败"; break;
        case Undone::Stopped: text = u"已停止"; break;
        case Undone::BackupFailed: text = u"备份失败"; break;
        case Undone::NotText: text = u"含有空字节，不是文本文件"; break;
        case Undone::TooLong: text = u"结果超出长度限制"; break;
        case Undone::NoListLine: text = u"名称列表中没有对应的行"; break;
        case Undone::NotReached: text = u"因前面的错误而未处理"; break;
        case Undone::NoTrash: text = u"所在磁盘没有回收站，未删除"; break;
        case Undone::NotRecorded: text = u"无法写入撤销记录"; break;
        case Undone::ChangedSince: text = u"运行后已被修改"; break;
        case Undone::BackupNameTooLong: text = u"备份文件名过长"; break;
        case Undone::BackupKept: text = u"已保留备份"; break;
        case Undone::RecordDamaged: text = u"撤销记录已损坏"; break;
        case Undone::NoValue: text = u"缺少名称所需的信息"; break;
        case Undone::BadPattern: text = u"正则表达式不正确"; break;
    }
    return Utf16ToGbk(text);
}

std::string UndoneText(Undone why, std::string_view detail) {
    std::string text = UndoneText(why);
    if (!detail.empty()) text += Utf16ToGbk(u"：") + std::string(detail);
    return text;
}

std::string RunReportText(const RunSummary& summary, std::string_view closing) {
    std::string text;
    if (!summary.error.empty())
        text = summary.error;
    else if (summary.stopped)
        text = Utf16ToGbk(u"已停止：已处理 ") + std::to_string(summary.done) + Utf16ToGbk(u" 个文件");
    else
        text = closing;
    if (!summary.undone.empty())
        text += "\n" + Utf16ToGbk(u"另有 ") + std::to_string(summary.undone.size()) +
                Utf16ToGbk(u" 个文件未处理");
    return text;
}

std::string UndoneListText(const RunSummary& summary) {
    std::string list;
    for (const FileResult& r : summary.undone) {
        list += r.path;
        list += '\t';
        list += UndoneText(r.why, r.detail);
        list += '\n';
    }
    return list;
}

Undone UndoneFromFs(FsProblem problem, Undone otherwise) {
    switch (problem) {
        case FsProblem::Missing: return Undone::Missing;
        case FsProblem::Exists: return Undone::NameExists;
        case FsProblem::ReadOnly: return Undone::ReadOnly;
        case FsProblem::NameRefused: return Undone::NameNotAllowed;
        default: return otherwise;
    }
}

RunTracker::RunTracker(RunHost* host, int total) : host_(host) {
    summary_.total = total;
    if (host_) host_->Started(total);
}

bool RunTracker::Next(int row, std::string_view path) {
    if (!summary_.stopped && host_ && host_->StopRequested()) summary_.stopped = true;
    if (summary_.stopped) return false;
    if (host_) host_->FileStarted(index_, path);
    ++index_;
    return true;
}

void RunTracker::Done(int row, std::string_view path) {
    ++summary_.done;
    if (host_) host_->FileFinished(FileResult{row, std::string(path), Undone::None, {}});
}

void RunTracker::Skip(int row, std::string_view path, Undone why, std::string_view detail) {
    FileResult r{row, std::string(path), why, std::string(detail)};
    if (host_) host_->FileFinished(r);
    summary_.undone.push_back(std::move(r));
}

void RunTracker::StopRemaining(int row, std::string_view path) {
    summary_.stopped = true;
    summary_.undone.push_back(FileResult{row, std::string(path), Undone::Stopped, {}});
}

void RunTracker::Abort(int row, std::string_view path, Undone why, std::string_view message) {
    Skip(row, path, why);
    summary_.error.assign(message);
}

void RunTracker::NotReached(int row, std::string_view path) {
    summary_.undone.push_back(FileResult{row, std::string(path), Undone::NotReached, {}});
}

}  // namespace ferro
