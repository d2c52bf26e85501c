#include "presets/preset.h"

#include <algorithm>
#include <cstdlib>

#include "ops/registry.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/user_dirs.h"

namespace ferro::presets {

namespace {

const char* const kExtension = ".txt";
const char* const kFieldsSection = "[fields]";
// Bytes of a name (GBK), so that the file name stays well inside the 255
// bytes a file system allows in UTF-8.
constexpr std::size_t kLongestName = 120;

std::string ModeText(TextMode mode) { return mode == TextMode::ClassicGbk ? "gbk" : "auto"; }

std::string Quoted(std::string_view name) { return ops::FromUtf8("“") + std::string(name) + ops::FromUtf8("”"); }

// The file's bytes as text: UTF-8 as written here; a file saved as GBK by
// hand (a Windows editor) is taken as it is.
std::string FromFileBytes(const std::string& bytes) {
    std::string text;
    if (Utf8ToGb18030(bytes, text)) return text;
    return bytes;
}

// The field lines of a text, each checked alone: a line whose field is
// known and whose value fits is written back by ToText exactly as it stands.
void ReadFields(const ops::FieldTable& table, const std::vector<std::string>& lines,
                ops::FieldValues& values, std::vector<std::string>& problems) {
    std::string accepted;
    for (const std::string& line : lines) {
        const std::size_t eq = line.find('=');
        const std::string name = line.substr(0, eq);
        const ops::Field* field = eq == std::string::npos ? nullptr : ops::FindField(table, name);
        if (!field) {
            problems.push_back(ops::FromUtf8("不认识的设置项 ") + Quoted(name) + ops::FromUtf8("，已忽略"));
            continue;
        }
        const ops::FieldValues one = ops::FromText(table, line);
        const std::string back = ops::ToText(one);
        const std::string key = "\n" + name + "=";
        const std::size_t at = ("\n" + back).find(key);
        const std::size_t end = back.find('\n', at);
        if (back.substr(at, end - at) != line) {
            problems.push_back(ops::FromUtf8("设置项 ") + Quoted(name) +
                               ops::FromUtf8(" 的值不正确，已用默认值"));
            continue;
        }
        accepted += line + "\n";
    }
    const ops::FieldValues read = ops::FromText(table, accepted);
    for (const ops::Field& f : table) values.Set(f.name, read.Text(f.name));
}

// The file of a preset's name in a folder (GBK path).
std::string FileOf(const std::string& folder, std::string_view name) {
    return folder + "/" + std::string(name) + kExtension;
}

}  // namespace

std::string PresetText(const Preset& p) {
    std::string text = ops::FromUtf8("# Ferrovan文件批处理 方案（") +
                       ops::FromUtf8(p.operation->info().caption) + ops::FromUtf8("）\n");
    text += "operation=" + std::string(p.operation->info().name) + "\n";
    text += "encoding=" + ModeText(p.mode) + "\n";
    text += "\n";
    text += kFieldsSection;
    text += "\n";
    text += ops::ToText(p.values);
    return text;
}

LoadedPreset ParsePreset(std::string_view text) {
    LoadedPreset loaded;
    std::vector<std::string> fieldLines;
    std::string operation, encoding;
    bool inFields = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Trim(line).empty() || line[0] == '#' || line[0] == ';') continue;
        if (Trim(line) == kFieldsSection) {
            inFields = true;
            continue;
        }
        if (inFields) {
            fieldLines.push_back(line);
            continue;
        }
        const std::size_t eq = line.find('=');
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
        if (key == "operation") operation = value;
        else if (key == "encoding") encoding = value;
        else
            loaded.problems.push_back(ops::FromUtf8("不认识的设置项 ") + Quoted(key) +
                                      ops::FromUtf8("，已忽略"));
    }
    if (operation.empty()) throw Error(ops::FromUtf8("方案中没有写明处理方式（operation=…）"));
    const ops::Operation* op = ops::FindOperation(operation);
    if (!op)
        throw Error(ops::FromUtf8("方案的处理方式 ") + Quoted(operation) +
                    ops::FromUtf8(" 是本程序没有的（可能来自其他版本的程序）"));
    Preset& p = loaded.preset;
    p.operation = op;
    p.values = op->Defaults();
    if (encoding == "gbk") p.mode = TextMode::ClassicGbk;
    else if (!encoding.empty() && encoding != "auto")
        loaded.problems.push_back(ops::FromUtf8("文本编码 ") + Quoted(encoding) +
                                  ops::FromUtf8(" 不正确，已用自动 (UTF-8 / GBK)"));
    ReadFields(op->fields(), fieldLines, p.values, loaded.problems);
    return loaded;
}

std::optional<std::string> NameProblem(std::string_view name) {
    const std::string why = [&]() -> std::string {
        if (Trim(name).empty()) return "方案名称不能为空";
        if (name.size() > kLongestName) return "方案名称太长";
        if (name.front() == '.') return "方案名称不能以 . 开头";
        if (name.front() == ' ' || name.back() == ' ' || name.back() == '.')
            return "方案名称不能以空格开头，也不能以空格或 . 结尾";
        for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            if (c < 0x20 || c == 0x7f || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) !=
                                             std::string_view::npos)
                return "方案名称不能含有 \\ / : * ? \" < > | 和控制字符";
        }
        std::string disk;
        if (!GbkToDisk(name, disk)) return "方案名称含有不能用于文件名的字符";
        return {};
    }();
    if (why.empty()) return std::nullopt;
    return ops::FromUtf8(why + "：") + Quoted(name);
}

std::string PresetFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home && home[0] == '/' ? home : "") + "/.config";
    }
    return DiskToGbk(folder) + "/ferrovan-batch/presets";
}

PresetStore::PresetStore(std::string folder) : folder_(std::move(folder)) {}

std::string PresetStore::PathOf(std::string_view name) const { return FileOf(folder_, name); }

std::vector<std::string> PresetStore::Names() const {
    std::vector<std::string> names;
    FolderReader reader;
    if (!reader.Open(folder_)) return names;
    const std::string_view ext = kExtension;
    DirItem item;
    while (reader.Next(item)) {
        if (item.kind == DirItem::Folder || item.name.size() <= ext.size() ||
            item.name.compare(item.name.size() - ext.size(), ext.size(), ext) != 0)
            continue;
        std::string name = item.name.substr(0, item.name.size() - ext.size());
        if (!NameProblem(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool PresetStore::Exists(std::string_view name) const {
    return !NameProblem(name) && FileExists(PathOf(name));
}

LoadedPreset PresetStore::Load(std::string_view name) const {
    if (const auto problem = NameProblem(name)) throw Error(*problem);
    if (!FileExists(PathOf(name)))
        throw Error(ops::FromUtf8("没有名为 ") + Quoted(name) + ops::FromUtf8(" 的方案"));
    std::string bytes;
    if (!ReadFileBytes(PathOf(name), bytes)) ThrowCannotOpen(PathOf(name));
    try {
        return ParsePreset(FromFileBytes(bytes));
    } catch (const Error& e) {
        throw Error(ops::FromUtf8("方案 ") + Quoted(name) + ops::FromUtf8(" 无法使用：") + e.what());
    }
}

void PresetStore::Save(std::string_view name, const Preset& preset) const {
    if (const auto problem = NameProblem(name)) throw Error(*problem);
    if (!MakeFolderPath(folder_, 0700)) ThrowCannotCreate(folder_);
    std::string bytes;
    Gb18030ToUtf8(PresetText(preset), bytes);
    if (!WriteFileSafely(PathOf(name), bytes)) ThrowCannotCreate(PathOf(name));
}

void PresetStore::Remove(std::string_view name) const {
    if (!Exists(name)) throw Error(ops::FromUtf8("没有名为 ") + Quoted(name) + ops::FromUtf8(" 的方案"));
    if (!DeleteFile(PathOf(name)))
        throw Error(ops::FromUtf8("无法删除方案 ") + Quoted(name) + ops::FromUtf8(" 的文件：") + PathOf(name));
}

}  // namespace ferro::presets
