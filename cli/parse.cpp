// Reading `run OPERATION [options] [FILES...]`: the options are looked up
// in the operation's field table and the common options, their values set
// the fields, and the operation checks them as its page does.
#include <map>

#include "cli/help.h"
#include "cli/options.h"
#include "cli/request.h"
#include "cli/text.h"
#include "ops/registry.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/times.h"

namespace ferro::cli {

namespace {

// A refusal: the message, GBK.
struct Refusal {
    std::string text;
};

void Refuse(const std::string& gbk) { throw Refusal{gbk}; }

// The options given, by name; a later value of an option replaces an
// earlier one, except for --search and --mask, whose values add up.
class Options {
public:
    bool Has(std::string_view name) const { return values_.count(std::string(name)) > 0; }
    std::string Value(std::string_view name) const {
        const auto it = values_.find(std::string(name));
        return it == values_.end() ? std::string() : it->second;
    }
    void Set(const std::string& name, std::string value) {
        auto [it, added] = values_.emplace(name, value);
        if (added) return;
        if (name == "--search" || name == "--mask") it->second += ";" + value;
        else it->second = std::move(value);
    }

private:
    std::map<std::string, std::string> values_;
};

// Lines of a multi-line field are joined by CR LF, as the window's memos
// join them.
std::string MemoText(std::string_view typed) {
    std::string out;
    out.reserve(typed.size());
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '\n' && (i == 0 || typed[i - 1] != '\r')) out += '\r';
        out += typed[i];
    }
    return out;
}

// Whether an option sets a field, itself or as the choice it makes.
bool Sets(const ops::Field& owner, const ops::Option& o, const ops::Field& field) {
    return &owner == &field || (o.alsoField && field.name == std::string_view(o.alsoField)) ||
           (o.restField && field.name == std::string_view(o.restField));
}

// The options given that set the field, in the table's order.
std::vector<const char*> GivenFor(const ops::FieldTable& table, const ops::Field& field,
                                  const Options& given, bool all = false) {
    std::vector<const char*> names;
    for (const ops::Field& f : table)
        for (const ops::Option& o : f.options)
            if (Sets(f, o, field) && (all || given.Has(o.name))) names.push_back(o.name);
    return names;
}

// The fields from the options: two options that set one field cannot be
// given together, a choice the command line must make must be made, and
// every option given sets its field (a memo's lines joined by CR LF; "N:M"
// split in two), and the choice it makes.
void SetFields(const ops::Operation& op, const Options& given, ops::FieldValues& values) {
    const ops::FieldTable& table = op.fields();
    for (const ops::Field& field : table) {
        const std::vector<const char*> names = GivenFor(table, field, given);
        if (names.size() > 1)
            Refuse(FromUtf8(std::string(names[0]) + " 与 " + names[1] + " 不能同时使用"));
    }
    for (const ops::Field& field : table) {
        if (!field.mustChoose || !GivenFor(table, field, given).empty()) continue;
        const std::vector<const char*> all = GivenFor(table, field, given, true);
        std::string text = std::string(field.mustChoose) + "：";
        for (std::size_t i = 0; i < all.size(); ++i)
            text += std::string(i == 0 ? "" : i + 1 == all.size() ? " 或 " : "、") + all[i];
        Refuse(FromUtf8(text));
    }
    for (const ops::Field& f : table) {
        for (const ops::Option& o : f.options) {
            if (!given.Has(o.name)) continue;
            if (o.sets) {
                values.Set(f.name, o.sets);
            } else if (o.restField) {
                const std::string v = given.Value(o.name);
                const std::size_t colon = v.find(':');
                values.Set(f.name, v.substr(0, colon));
                values.Set(o.restField, colon == std::string::npos ? "1" : v.substr(colon + 1));
            } else {
                const std::string v = given.Value(o.name);
                if (f.kind == ops::FieldKind::Choice && !ops::Fits(f, v))
                    Refuse(FromUtf8(std::string("选项 ") + o.name + " 的值不正确：") + v +
                           FromUtf8(std::string("（可用 ") + o.value + "）"));
                values.Set(f.name, f.kind == ops::FieldKind::Memo ? MemoText(v) : v);
            }
            if (o.alsoField) values.Set(o.alsoField, o.alsoValue);
        }
    }
}

void ReadSource(const Options& o, FileSource& source) {
    if (!o.Has("--search")) {
        for (const char* name : {"--mask", "--no-sub", "--size", "--date"})
            if (o.Has(name)) Refuse(FromUtf8(std::string(name) + " 需要与 --search 一起使用"));
        return;
    }
    source.folders = o.Value("--search");
    source.masks = Trim(o.Value("--mask"));
    if (source.masks.empty()) Refuse(FromUtf8("文件类型为空,请设置好后再试！"));
    source.subfolders = !o.Has("--no-sub");
    if (o.Has("--size")) {
        const std::string v = o.Value("--size");
        const std::size_t colon = v.find(':');
        if (colon == std::string::npos)
            Refuse(FromUtf8("文件大小不正确：") + v + FromUtf8("（格式为 最小:最大，如 0:50000）"));
        source.sizeFilter = true;
        source.minSize = SizeBoundValue(v.substr(0, colon));
        source.maxSize = SizeBoundValue(v.substr(colon + 1));
    }
    if (o.Has("--date")) {
        const std::string v = o.Value("--date");
        const std::size_t a = v.find(':'), b = a == std::string::npos ? a : v.find(':', a + 1);
        CalendarDate from, to;
        if (b == std::string::npos || !ops::ReadDate(v.substr(a + 1, b - a - 1), from) ||
            !ops::ReadDate(v.substr(b + 1), to))
            Refuse(FromUtf8("文件日期不正确：") + v +
                   FromUtf8("（格式为 类型:开始:结束，如 modified:2024-05-01:2024-05-31）"));
        const std::string type = v.substr(0, a);
        if (type == "modified") source.dateType = SearchDate::LastWrite;
        else if (type == "created") source.dateType = SearchDate::Creation;
        else if (type == "accessed") source.dateType = SearchDate::LastAccess;
        else
            Refuse(FromUtf8("日期类型不正确：") + type +
                   FromUtf8("（可以是 modified、created 或 accessed）"));
        source.dateFilter = true;
        source.minDay = DaysFromCivil(from.year, from.month, from.day);
        source.maxDay = DaysFromCivil(to.year, to.month, to.day);
    }
}

}  // namespace

ParseResult ParseArgs(const std::vector<std::string>& args) {
    ParseResult result;
    if (args.empty()) {
        result.text = FromUtf8("请指定处理方式（ferrovan-batch run --help 列出所有处理方式）");
        return result;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        result.status = ParseResult::Help;
        result.text = RunHelp();
        return result;
    }
    const ops::Operation* op = ops::FindOperation(args[0]);
    if (!op) {
        result.text = FromUtf8("未知的处理方式：") + args[0] +
                      FromUtf8("（ferrovan-batch run --help 列出所有处理方式）");
        return result;
    }
    CliRequest& r = result.request;
    r.operation = op;
    r.values = op->Defaults();
    try {
        Options options;
        bool filesOnly = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (filesOnly || a.size() < 2 || a[0] != '-') {
                r.source.files.push_back(a);
                continue;
            }
            if (a == "--") {
                filesOnly = true;
                continue;
            }
            if (a == "-h" || a == "--help") {
                result.status = ParseResult::Help;
                result.text = OperationHelp(*op);
                return result;
            }
            const std::size_t eq = a.find('=');
            const std::string name = a.substr(0, eq);
            const ops::Option* known = FindOption(*op, name);
            if (!known)
                Refuse(FromUtf8("未知的选项：") + name + FromUtf8("（ferrovan-batch run ") +
                       op->info().name + FromUtf8(" --help 列出可用的选项）"));
            if (!known->value) {
                if (eq != std::string::npos) Refuse(FromUtf8("选项 " + name + " 不带值"));
                options.Set(name, std::string());
            } else if (eq != std::string::npos) {
                options.Set(name, a.substr(eq + 1));
            } else if (i + 1 < args.size()) {
                options.Set(name, args[++i]);
            } else {
                Refuse(FromUtf8("选项 " + name + " 需要一个值"));
            }
        }
        r.dryRun = options.Has("--dry-run");
        r.json = options.Has("--json");
        r.undo = !options.Has("--no-undo");
        if (options.Has("--encoding")) {
            const std::string e = AnsiLower(Trim(options.Value("--encoding")));
            if (e == "gbk") r.textMode = TextMode::ClassicGbk;
            else if (e != "auto")
                Refuse(FromUtf8("文本编码不正确：") + options.Value("--encoding") +
                       FromUtf8("（可以是 auto 或 gbk）"));
        }
        ReadSource(options, r.source);
        if (r.source.files.empty() && r.source.folders.empty())
            Refuse(FromUtf8("没有指定文件：请在命令行列出文件，或用 --search 和 --mask 搜索"));
        SetFields(*op, options, r.values);
        if (const std::optional<ops::Refusal> refused = op->Check(r.values)) Refuse(refused->text);
        r.job = op->Prepare(r.values);
    } catch (const Refusal& refusal) {
        result.text = refusal.text;
        return result;
    } catch (const Error& e) {
        // A number that is not a number: the conversion error, as the
        // window shows it.
        result.text = e.what();
        return result;
    }
    result.status = ParseResult::Run;
    return result;
}

}  // namespace ferro::cli
