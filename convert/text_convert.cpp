#include "convert/text_convert.h"

#include "convert/convert_item.h"
#include "convert/sheet_text.h"
#include "convert/source_text.h"
#include "convert/vcard.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

std::string ReadSource(std::string_view path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) ThrowCannotOpen(path);
    std::string gbk = SourceTextToGbk(std::move(bytes));
    if (gbk.find('\0') != std::string::npos)
        throw Error(Utf16ToGbk(u"文件中含有空字节(NUL)，不是文本文件，未作任何修改：") +
                    std::string(path));
    return gbk;
}

void WriteCreated(std::string_view path, const LineList& lines, TextMode mode,
                  ChangeRecorder* recorder, bool commaTable = false) {
    RecordedWrite recorded(recorder, path);
    if (recorded.refused())
        throw TextFileError(UndoneText(Undone::NotRecorded), Undone::NotRecorded);
    if (!WriteFileSafely(path, CreatedText(lines, mode, commaTable), recorded.keeper())) ThrowCannotCreate(path);
    recorded.Made();
}

}  // namespace

LineList LoadSourceLines(std::string_view path) {
    return LineList::FromText(ReadSource(path));
}

std::string TxtTo(std::string_view source, std::string_view argument, TextMode mode,
                  ChangeRecorder* recorder) {
    const std::string target = NewFilePath(source, argument);
    if (target.empty()) return {};
    const bool toCsv = NormalizeExtension(argument) == "csv";
    if (!toCsv && mode == TextMode::Auto && target == source) {
        // The lines copied onto themselves: the file stays as it is.
        ReadSource(source);
        return target;
    }
    const LineList in = LoadSourceLines(source);
    if (!toCsv) {
        WriteCreated(target, in, mode, recorder);
        return target;
    }
    LineList out;
    out.reserve(in.size(), in.byteSize() + in.byteSize() / 8);
    std::string line;
    for (std::size_t i = 0; i < in.size(); ++i) {
        ProcessPendingMessages();
        line.clear();
        const std::string_view text = in[i];
        std::size_t start = 0;
        while (true) {
            const std::size_t tab = text.find('\t', start);
            AppendQuotedField(line, text.substr(start, tab - start), ",\"");
            if (tab == std::string_view::npos) break;
            line.push_back(',');
            start = tab + 1;
        }
        out.push_back(line);
    }
    WriteCreated(target, out, mode, recorder, true);
    return target;
}

std::string CommaTextToTabText(std::string_view source, std::string_view target,
                               TextMode mode, ChangeRecorder* recorder) {
    const std::vector<SheetRow> rows = ParseSheetCsv(ReadSource(source));
    LineList out;
    std::string line;
    for (const SheetRow& row : rows) {
        ProcessPendingMessages();
        line.clear();
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c) line.push_back('\t');
            // Breaks inside a field in one form; the writer gives them the
            // mode's.
            std::string field;
            const std::string& t = row[c].text;
            for (std::size_t k = 0; k < t.size(); ++k) {
                if (t[k] == '\r' && k + 1 < t.size() && t[k + 1] == '\n') continue;
                field.push_back(t[k] == '\r' ? '\n' : t[k]);
            }
            AppendQuotedField(line, field, "\t\"\n");
        }
        out.push_back(line);
    }
    WriteCreated(target, out, mode, recorder);
    return std::string(target);
}

std::string VcfTo(std::string_view source, std::string_view argument, TextMode mode,
                  ChangeRecorder* recorder) {
    const std::string ext = NormalizeExtension(argument);
    char separator;
    if (ext == "csv")
        separator = ',';
    else if (ext == "txt")
        separator = '\t';
    else
        return {};
    const std::string target = NewFilePath(source, argument);
    std::string bytes;
    if (!ReadFileBytes(source, bytes)) ThrowCannotOpen(source);
    if (SourceTextToGbk(bytes).find('\0') != std::string::npos)
        throw Error(Utf16ToGbk(u"文件中含有空字节(NUL)，不是文本文件，未作任何修改：") +
                    std::string(source));
    WriteCreated(target, VcardTable(ReadVcards(std::move(bytes)), separator), mode, recorder,
                 separator == ',');
    return target;
}

}  // namespace ferro
