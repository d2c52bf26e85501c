#include "cli/docs.h"

#include <set>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "ops/registry.h"

namespace ferro::cli {

namespace {

// The options an operation takes, in the order of its help.
std::vector<const ops::Option*> OptionsOf(const ops::Operation& op) {
    std::vector<const ops::Option*> out;
    for (const ops::Field& f : op.fields())
        for (const ops::Option& o : f.options) out.push_back(&o);
    for (const ops::Option& o : SourceOptions()) out.push_back(&o);
    if (op.info().textFiles) out.push_back(&EncodingOption());
    if (op.info().changesFiles) out.push_back(&UndoOption());
    for (const ops::Option& o : RunOptions()) out.push_back(&o);
    return out;
}

// The field an option of the operation sets; null for the common ones.
const ops::Field* FieldOf(const ops::Operation& op, const ops::Option& option) {
    for (const ops::Field& f : op.fields())
        for (const ops::Option& o : f.options)
            if (&o == &option) return &f;
    return nullptr;
}

// The values an option takes, where they are few: a choice field's
// choices, or the alternatives its value names ("auto|gbk").
std::vector<std::string> ValuesOf(const ops::Operation& op, const ops::Option& o) {
    std::vector<std::string> values;
    if (!o.value) return values;
    const ops::Field* f = FieldOf(op, o);
    if (f && f->kind == ops::FieldKind::Choice && !o.restField && !o.alsoField) {
        for (const ops::Choice& c : f->choices) values.push_back(c.value);
        return values;
    }
    const std::string_view v = o.value;
    if (v.find('|') == std::string_view::npos) return values;
    std::size_t start = 0;
    while (start <= v.size()) {
        std::size_t bar = v.find('|', start);
        if (bar == std::string_view::npos) bar = v.size();
        values.emplace_back(v.substr(start, bar - start));
        start = bar + 1;
    }
    return values;
}

bool TakesFolder(const ops::Option& o) { return std::string_view(o.name) == "--search"; }

// The first part of a help text, for a completion's description.
std::string Short(std::string_view help) {
    std::size_t end = help.size();
    for (std::string_view stop : {"，", "；", "（", "。", "：", ",", "("}) {
        const std::size_t at = help.find(stop);
        if (at != std::string_view::npos && at > 0 && at < end) end = at;
    }
    return std::string(help.substr(0, end));
}

std::string Join(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

struct Verb {
    const char* name;
    const char* summary;
    std::vector<std::pair<const char*, const char*>> options;
};

const std::vector<Verb>& Verbs() {
    static const std::vector<Verb> verbs = {
        {"run", "不打开窗口，直接对文件进行批处理", {}},
        {"presets", "列出保存的方案", {{"--names", "只列出方案的名称"}, {"--help", "显示说明"}}},
        {"history", "列出撤销记录中的处理", {{"--help", "显示说明"}}},
        {"undo",
         "撤销最近一次处理",
         {{"--dry-run", "只列出将要恢复的更改"}, {"--json", "以 JSON 格式列出结果"}, {"--help", "显示说明"}}},
    };
    return verbs;
}

const std::vector<std::pair<const char*, const char*>>& WindowOptions() {
    static const std::vector<std::pair<const char*, const char*>> options = {
        {"--help", "显示说明"},
        {"--version", "显示版本"},
        {"--file-manager-actions", "在文件管理器中加入菜单项"},
        {"--remove-file-manager-actions", "删除文件管理器中的菜单项"},
    };
    return options;
}

// --- bash -------------------------------------------------------------------

std::string BashOperationCases() {
    std::string out;
    for (const ops::Operation* op : ops::Operations()) {
        std::vector<std::string> names;
        for (const ops::Option* o : OptionsOf(*op)) names.push_back(o->name);
        out += std::string("        ") + op->info().name + ") opts=\"" + Join(names) + "\" ;;\n";
    }
    return out;
}

// The options that take a value: those with few values offer them, a
// folder offers folders, the others nothing.
std::string BashValueCases() {
    std::set<std::string> seen;
    std::string out;
    for (const ops::Operation* op : ops::Operations()) {
        for (const ops::Option* o : OptionsOf(*op)) {
            if (!o->value) continue;
            const std::vector<std::string> values = ValuesOf(*op, *o);
            const std::string key = std::string(op->info().name) + " " + o->name;
            if (!values.empty()) {
                if (!seen.insert(key).second) continue;
                out += std::string("            ") + op->info().name + ":" + o->name +
                       ") COMPREPLY=($(compgen -W \"" + Join(values) + "\" -- \"$cur\")); return ;;\n";
            } else if (seen.insert(std::string("* ") + o->name).second) {
                out += std::string("            *:") + o->name + ") " +
                       (TakesFolder(*o) ? "COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
                                        : "return ;;\n");
            }
        }
    }
    return out;
}

// --- zsh --------------------------------------------------------------------

// A text inside a single-quoted zsh word and an _arguments description.
std::string ZshQuoted(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else if (c == '[' || c == ']' || c == ':' || c == '\\') out += std::string("\\") + c;
        else out += c;
    }
    return out;
}

std::string ZshSpecs(const ops::Operation& op) {
    std::string out;
    for (const ops::Option* o : OptionsOf(op)) {
        out += "        '" + std::string(o->name) + "[" + ZshQuoted(Short(o->help)) + "]";
        if (o->value) {
            out += ":" + ZshQuoted(o->value) + ":";
            const std::vector<std::string> values = ValuesOf(op, *o);
            if (!values.empty()) out += "(" + Join(values) + ")";
            else if (TakesFolder(*o)) out += "_files -/";
            else out += " ";
        }
        out += "' \\\n";
    }
    out += "        '*:文件:_files'";
    return out;
}

// --- roff -------------------------------------------------------------------

// Text for roff: backslashes and minus signs escaped, a line that would
// start a request guarded, and a break point after every character that is
// not ASCII, as Chinese has no spaces to break lines at.
std::string Roff(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
        lineStart = c == '\n';
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (static_cast<unsigned char>(c) >= 0x80 && (next < 0x80 || next >= 0xC0) && next != '\n' && next != 0)
            out += "\\:";
    }
    return out;
}

std::string ManOption(const ops::Option& o) {
    std::string out = ".TP\n.B " + Roff(o.name);
    if (o.value) out += " \" \" \"\\fI" + Roff(o.value) + "\\fR\"";
    out += "\n" + Roff(o.help) + "\n";
    return out;
}

}  // namespace

std::string BashCompletion() {
    std::vector<std::string> verbs, windowOptions, operations;
    for (const Verb& v : Verbs()) verbs.push_back(v.name);
    for (const auto& [name, help] : WindowOptions()) windowOptions.push_back(name);
    for (const ops::Operation* op : ops::Operations()) operations.push_back(op->info().name);
    std::string s =
        "# bash completion for ferrovan-batch, made from its option tables by the build.\n"
        "_ferrovan_batch() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local verb=${COMP_WORDS[1]} op opts IFS=$' \\t\\n'\n"
        "    COMPREPLY=()\n"
        "    if ((COMP_CWORD == 1)); then\n"
        "        COMPREPLY=($(compgen -W \"" + Join(verbs) + " " + Join(windowOptions) +
        "\" -- \"$cur\") $(compgen -f -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    case $verb in\n";
    for (const Verb& v : Verbs()) {
        if (v.options.empty()) continue;
        std::vector<std::string> names;
        for (const auto& [name, help] : v.options) names.push_back(name);
        s += std::string("        ") + v.name + ") COMPREPLY=($(compgen -W \"" + Join(names) +
             "\" -- \"$cur\")); return ;;\n";
    }
    s += "        run) ;;\n"
         "        *) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
         "    esac\n"
         "    if ((COMP_CWORD == 2)); then\n"
         "        COMPREPLY=($(compgen -W \"" + Join(operations) + " --preset --help\" -- \"$cur\"))\n"
         "        return\n"
         "    fi\n"
         "    op=${COMP_WORDS[2]}\n"
         "    if [[ $op == --preset ]]; then\n"
         "        if ((COMP_CWORD == 3)); then\n"
         "            local IFS=$'\\n'\n"
         "            COMPREPLY=($(compgen -W \"$(ferrovan-batch presets --names 2>/dev/null)\" -- \"$cur\"))\n"
         "            return\n"
         "        fi\n"
         "        op=$(ferrovan-batch presets 2>/dev/null | awk -F '\\t' -v n=\"${COMP_WORDS[3]}\" '$1 == n { print $2 }')\n"
         "    fi\n"
         "    case $op:$prev in\n" +
         BashValueCases() +
         "    esac\n"
         "    case $op in\n" +
         BashOperationCases() +
         "        *) opts=\"--help\" ;;\n"
         "    esac\n"
         "    if [[ $cur == -* ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"))\n"
         "    else\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    fi\n"
         "}\n"
         "complete -o filenames -F _ferrovan_batch ferrovan-batch\n";
    return s;
}

std::string ZshCompletion() {
    std::string s =
        "#compdef ferrovan-batch\n"
        "# zsh completion for ferrovan-batch, made from its option tables by the build.\n"
        "\n"
        "_ferrovan-batch_operation() {\n"
        "    case $1 in\n";
    for (const ops::Operation* op : ops::Operations())
        s += std::string("    ") + op->info().name + ")\n        _arguments -s \\\n" + ZshSpecs(*op) +
             " ;;\n";
    s += "    esac\n"
         "}\n"
         "\n"
         "_ferrovan-batch() {\n"
         "    local -a verbs operations names\n"
         "    local op\n"
         "    verbs=(\n";
    for (const Verb& v : Verbs()) s += std::string("        '") + v.name + ":" + ZshQuoted(v.summary) + "'\n";
    s += "    )\n"
         "    operations=(\n";
    for (const ops::Operation* op : ops::Operations())
        s += std::string("        '") + op->info().name + ":" + ZshQuoted(op->info().caption) + "'\n";
    s += "    )\n"
         "    if ((CURRENT == 2)); then\n"
         "        _describe -t commands '命令' verbs\n"
         "        compadd -- ";
    for (const auto& [name, help] : WindowOptions()) s += std::string(name) + " ";
    s += "\n"
         "        _files\n"
         "        return\n"
         "    fi\n"
         "    case $words[2] in\n";
    for (const Verb& v : Verbs()) {
        if (v.options.empty()) continue;
        s += std::string("    ") + v.name + ") _arguments";
        for (const auto& [name, help] : v.options) s += std::string(" '") + name + "[" + ZshQuoted(help) + "]'";
        s += " ;;\n";
    }
    s += "    run)\n"
         "        if ((CURRENT == 3)); then\n"
         "            _describe -t operations '处理方式' operations\n"
         "            compadd -- --preset --help\n"
         "            return\n"
         "        fi\n"
         "        op=$words[3]\n"
         "        if [[ $op == --preset ]]; then\n"
         "            if ((CURRENT == 4)); then\n"
         "                names=(${(f)\"$(ferrovan-batch presets --names 2>/dev/null)\"})\n"
         "                compadd -a names\n"
         "                return\n"
         "            fi\n"
         "            op=${${(M)${(f)\"$(ferrovan-batch presets 2>/dev/null)\"}:#${words[4]}$'\\t'*}#*$'\\t'}\n"
         "            op=${op%%$'\\t'*}\n"
         "            words=(${words[4,-1]})\n"
         "            ((CURRENT -= 3))\n"
         "        else\n"
         "            words=(${words[3,-1]})\n"
         "            ((CURRENT -= 2))\n"
         "        fi\n"
         "        _ferrovan-batch_operation $op ;;\n"
         "    *) _files ;;\n"
         "    esac\n"
         "}\n"
         "\n"
         "_ferrovan-batch \"$@\"\n";
    return s;
}

std::string ManPage() {
    std::string m =
        ".TH FERROVAN\\-BATCH 1 \"\" \"Ferrovan文件批处理 " FERRO_VERSION "\" \"用户命令\"\n"
        // Lines are not stretched to the margin: Chinese text has no
        // spaces to stretch.
        ".ad l\n"
        ".SH 名称\n"
        "ferrovan\\-batch \\- 文件批处理：批量改名，按行修改文本，转换格式\n"
        ".SH 用法\n"
        ".B ferrovan\\-batch\n[\\fI选项\\fR] [\\fI文件或目录\\fR...]\n.br\n"
        ".B ferrovan\\-batch run\n\\fI处理方式\\fR [\\fI选项\\fR] [\\fI文件\\fR...]\n.br\n"
        ".B ferrovan\\-batch run \\-\\-preset\n\\fI方案\\fR [\\fI选项\\fR] [\\fI文件\\fR...]\n.br\n"
        ".B ferrovan\\-batch presets\n.br\n"
        ".B ferrovan\\-batch history\n.br\n"
        ".B ferrovan\\-batch undo\n[\\fB\\-\\-dry\\-run\\fR] [\\fB\\-\\-json\\fR]\n"
        ".SH 说明\n" +
        Roff("Ferrovan文件批处理 对成批的文件进行同一种处理：按格式改名，改扩展名、日期或属性；"
             "按行截取、插入、替换、删除、提取文本文件的内容；合并、统计文本文件；转换表格、制表符文本和通讯录的格式。"
             "不带命令时打开窗口，命令行上的文件加入文件列表，目录填入“文件目录”。") +
        "\n.PP\n" +
        Roff("run 不打开窗口（不需要图形界面），对命令行列出的文件或 --search 搜索到的文件进行处理，"
             "检查、处理和消息与窗口中完全相同。每次处理都记入撤销记录，窗口中和命令行上的处理都可以用 "
             "undo 或窗口中的“撤销”按钮撤销。") +
        "\n.SH 命令\n";
    for (const Verb& v : Verbs()) {
        m += ".TP\n.B " + std::string(v.name) + "\n" + Roff(v.summary) + "\n";
        for (const auto& [name, help] : v.options)
            if (std::string_view(name) != "--help") m += ".br\n.B " + Roff(name) + "\n" + Roff(help) + "\n";
    }
    m += ".SH 窗口选项\n";
    for (const auto& [name, help] : WindowOptions()) m += ".TP\n.B " + Roff(name) + "\n" + Roff(help) + "\n";
    m += ".SH 处理方式\n";
    for (const ops::Operation* op : ops::Operations()) {
        const ops::OperationInfo& info = op->info();
        m += ".SS " + Roff(info.name) + " \\(em " + Roff(info.caption) + "\n" + Roff(info.summary) + "\n";
        if (info.filesNote) m += Roff(std::string("（") + info.filesNote + "）") + "\n";
        for (const ops::Field& f : op->fields())
            for (const ops::Option& o : f.options)
                if (!o.shared) m += ManOption(o);
    }
    m += ".SH 文件的来源\n" +
         Roff("在命令行列出文件，或者像窗口中的“搜索文件”一样搜索，或者两者都用（先列出搜索到的文件）：") + "\n";
    for (const ops::Option& o : SourceOptions()) m += ManOption(o);
    m += ".SH 其他选项\n";
    m += ManOption(EncodingOption());
    std::set<std::string> shared;
    for (const ops::Operation* op : ops::Operations())
        for (const ops::Field& f : op->fields())
            for (const ops::Option& o : f.options)
                if (o.shared && shared.insert(o.name).second) m += ManOption(o);
    m += ManOption(UndoOption());
    for (const ops::Option& o : RunOptions()) m += ManOption(o);
    m += ".SH 方案\n" +
         Roff("窗口中的“保存方案”把当前的处理方式、它的全部设置和文本编码保存为方案。"
              "run --preset 方案 用方案中的设置处理，其后的选项改变其中的设置。"
              "presets 列出保存的方案。") +
         "\n.SH 退出状态\n"
         ".TP\n.B 0\n" + Roff("所有文件都已处理（撤销：全部恢复）。") +
         "\n.TP\n.B 1\n" + Roff("有文件未处理，原因列在标准错误上；按 Ctrl+C 停止时也是 1。") +
         "\n.TP\n.B 2\n" + Roff("设置不正确、找不到文件、没有可撤销的操作或用法错误，没有修改任何文件。") +
         "\n.SH 文件\n"
         ".TP\n.I ~/.config/ferrovan\\-batch/ferrovan\\-batch.conf\n" +
         Roff("窗口记住的设置（$XDG_CONFIG_HOME 设置时在其中）。") +
         "\n.TP\n.I ~/.config/ferrovan\\-batch/presets/\n" +
         Roff("保存的方案，每个方案一个文本文件，可以复制到其他电脑上使用。") +
         "\n.TP\n.I ~/.local/state/ferrovan\\-batch/journal/\n" +
         Roff("撤销记录：最近十次处理，及改写前的文件内容（$XDG_STATE_HOME 设置时在其中）。") +
         "\n.TP\n.I /usr/share/ferrovan\\-batch/使用说明.txt\n" + Roff("使用说明（窗口中按 F1）。") +
         "\n.SH 例子\n"
         ".nf\n"
         "ferrovan\\-batch run rename \\-\\-pattern 'img_${Sn(1,3)}' a.jpg b.jpg\n"
         "ferrovan\\-batch run delete\\-lines \\-\\-keywords 'ERR;WARN' \\-\\-search /data \\-\\-mask '*.log'\n"
         "ferrovan\\-batch run \\-\\-preset 照片改名 \\-\\-search ~/照片 \\-\\-mask '*.jpg'\n"
         "ferrovan\\-batch undo \\-\\-dry\\-run\n"
         ".fi\n";
    return m;
}

}  // namespace ferro::cli
