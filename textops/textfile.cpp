#include "textops/textfile.h"

#include <algorithm>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"

namespace ferro {

LineList LoadTextLines(std::string_view path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        throw TextFileError("Cannot open file " + std::string(path),
                            UndoneFromFs(LastFsProblem(), Undone::CannotRead));
    if (bytes.find('\0') != std::string::npos)
        // Messages are GBK like every text inside the program.
        throw TextFileError(Utf16ToGbk(u"文件中含有空字节(NUL)，不是文本文件，未作任何修改：") +
                                std::string(path),
                            Undone::NotText);
    return LineList::FromText(std::move(bytes));
}

void SaveTextLines(std::string_view path, const LineList& lines) {
    const bool ok = WriteFileSafely(path, [&](const ChunkWriter& write) {
        // Pieces of about a megabyte: few calls, little memory.
        std::string chunk;
        chunk.reserve(1 << 20);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string_view line = lines[i];
            if (chunk.size() + line.size() + 2 > (1u << 20) && !chunk.empty()) {
                if (!write(chunk)) return false;
                chunk.clear();
            }
            if (line.size() >= (1u << 20)) {
                if (!write(line) || !write("\r\n")) return false;
                continue;
            }
            chunk.append(line);
            chunk.append("\r\n");
        }
        return chunk.empty() || write(chunk);
    });
    if (!ok)
        throw TextFileError("Cannot create file " + std::string(path),
                            UndoneFromFs(LastFsProblem(), Undone::CannotWrite));
}

bool BackupFile(std::string_view path) {
    return CopyFile(path, std::string(path) + ".bak", false);
}

std::vector<std::string> SplitKeywords(std::string_view text) {
    std::vector<std::string> keys;
    const std::size_t n = text.size();
    auto isBlank = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 0x01 && u <= 0x20;
    };
    std::size_t i = 0;
    while (i < n && isBlank(text[i])) ++i;
    while (i < n) {
        std::string key;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        key.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                key.push_back(text[i++]);
            }
        } else {
            while (i < n && text[i] != ';' && !isBlank(text[i])) key.push_back(text[i++]);
        }
        keys.push_back(std::move(key));
        while (i < n && isBlank(text[i])) ++i;
        if (i < n && text[i] == ';') {
            if (i + 1 == n) keys.emplace_back();  // a ";" as the very last byte
            ++i;
            while (i < n && isBlank(text[i])) ++i;
        }
    }
    return keys;
}

bool ContainsAnyKeyword(std::string_view line, const std::vector<std::string>& keywords) {
    return std::any_of(keywords.begin(), keywords.end(),
                       [&](const std::string& k) { return ContainsKeyword(line, k); });
}

int ReadNumberField(std::string_view text) { return StrToInt(text); }

}  // namespace ferro
