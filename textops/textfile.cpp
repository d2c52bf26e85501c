#include "textops/textfile.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <exception>
#include <future>
#include <system_error>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/memory.h"
#include "platform/pump.h"

namespace ferro {

namespace {

[[noreturn]] void ThrowUnreadable(std::string_view path) {
    throw TextFileError("Cannot open file " + std::string(path),
                        UndoneFromFs(LastFsProblem(), Undone::CannotRead));
}

bool HoldsNul(std::string_view text) {
    // In pieces, so that window messages are processed on the way.
    constexpr std::size_t kPiece = 8 << 20;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        if (text.substr(at, kPiece).find('\0') != std::string_view::npos) return true;
        ProcessPendingMessagesTimed();
    }
    return false;
}

[[noreturn]] void ThrowNotText(std::string_view path) {
    // Messages are GBK like every text inside the program.
    throw TextFileError(
        Utf16ToGbk(u"文件中含有空字节(NUL)，不是文本文件，未作任何修改：") + std::string(path),
        Undone::NotText);
}

void RefuseNul(std::string_view text, std::string_view path) {
    if (HoldsNul(text)) ThrowNotText(path);
}

// Pieces of about a megabyte: few calls, little memory.
constexpr std::size_t kPiece = 1 << 20;

// Writes lines as they come: each line and break go into a piece of GBK
// text, which is converted to the file's encoding and written when full.
class FileLineSink : public LineSink {
public:
    FileLineSink(const ChunkWriter& write, const TextFormat& format, std::string_view source,
                 LineBytes bytes)
        : write_(write), format_(format), source_(source),
          break_(LineBreakText(format.lineBreak)),
          encode_(bytes == LineBytes::Gbk && format.encoding != TextEncoding::Gbk),
          utf8_(encode_ && (format.encoding == TextEncoding::Utf8 ||
                            format.encoding == TextEncoding::Ascii)) {
        piece_.reserve(kPiece + (1 << 16));
    }

    // Lines that point into text (the text being rewritten) hold no break.
    void SetSource(std::string_view text) { source_ = text; }

    void push_back(std::string_view line) override { Add(line, false); }
    void PushUnbroken(std::string_view line) override { Add(line, true); }

    // Ends the file; false when a write failed.
    bool Finish() {
        if (!failed_ && !format_.classic && lines_ > 0 && format_.finalBreak)
            piece_.append(break_);
        Flush(true);
        WriteConverted();
        if (!failed_ && !started_) Start();
        return !failed_;
    }

private:
    void Add(std::string_view line, bool unbroken) {
        if (failed_) return;
        if (format_.classic) {
            piece_.append(line);
            piece_.append("\r\n");
        } else {
            if (lines_ > 0) piece_.append(break_);
            if (unbroken) piece_.append(line);
            else AppendLine(line);
        }
        ++lines_;
        if (piece_.size() >= kPiece) Flush(false);
    }

    // A line from the text being rewritten holds no break; one an operation
    // built may, and each of its breaks becomes the file's.
    void AppendLine(std::string_view line) {
        const auto at0 = reinterpret_cast<std::uintptr_t>(line.data());
        const auto from0 = reinterpret_cast<std::uintptr_t>(source_.data());
        const bool fromSource = at0 >= from0 && at0 + line.size() <= from0 + source_.size();
        std::size_t at = fromSource ? std::string_view::npos : FindLineBreak(line);
        if (at == std::string_view::npos) {
            piece_.append(line);
            return;
        }
        std::size_t from = 0;
        while (at != std::string_view::npos) {
            piece_.append(line.substr(from, at - from));
            piece_.append(break_);
            from = at + (line[at] == '\r' && at + 1 < line.size() && line[at + 1] == '\n' ? 2 : 1);
            at = FindLineBreak(line, from);
        }
        piece_.append(line.substr(from));
    }

    void Start() {
        started_ = true;
        const std::string_view bom = ByteOrderMark(format_);
        if (!bom.empty() && !write_(bom)) failed_ = true;
    }

    // last: no more pieces follow.
    void Flush(bool last) {
        if (failed_ || piece_.empty()) return;
        if (!started_) Start();
        if (!failed_) {
            if (utf8_) {
                // A large file's pieces are converted on a helper thread while
                // the next one is made; they are written here, in order.
                WriteConverted();
                if (failed_) return;
                std::swap(piece_, converting_);
                const std::size_t room = 3 * converting_.size() + 32;
                if (encoded_.size() < room) encoded_.resize(room);
                auto convert = [this] { return Gb18030PieceToUtf8(converting_, encoded_.data()); };
                pending_ = true;
                if (!last) {
                    try {
                        conversion_ = std::async(std::launch::async, convert);
                        return Cleared();
                    } catch (const std::system_error&) {
                        // No thread to be had: converted here.
                    }
                }
                encodedSize_ = convert();
            } else if (encode_) {
                encoded_.clear();
                AppendEncoded(piece_, format_, encoded_);
                failed_ = !write_(encoded_);
            } else {
                failed_ = !write_(piece_);
            }
        }
        Cleared();
    }

    void Cleared() {
        piece_.clear();
        ProcessPendingMessagesTimed();
    }

    // Writes the piece converted last, once it is ready.
    void WriteConverted() {
        if (!pending_) return;
        pending_ = false;
        if (conversion_.valid()) encodedSize_ = conversion_.get();
        if (!failed_) failed_ = !write_(std::string_view(encoded_.data(), encodedSize_));
    }

    const ChunkWriter& write_;
    const TextFormat format_;
    std::string_view source_;
    const std::string_view break_;
    const bool encode_;
    const bool utf8_;
    std::string piece_, encoded_;
    std::string converting_;  // the piece being converted into encoded_
    std::size_t encodedSize_ = 0;
    bool pending_ = false;  // encoded_ holds (or will hold) bytes not yet written
    // Declared after the buffers its thread uses, so it is waited for first.
    std::future<std::size_t> conversion_;
    std::size_t lines_ = 0;
    bool started_ = false;
    bool failed_ = false;
};

// Writes a file safely from lines produce puts into the sink; it hears
// whether the file is written where it stands.
void Save(std::string_view path, const TextFormat& format, LineBytes bytes,
          ChangeRecorder* recorder,
          const std::function<void(FileLineSink& out, bool inPlace)>& produce) {
    OldContentKeeper* keeper = nullptr;
    if (recorder && !(keeper = recorder->WillWrite(path)))
        throw TextFileError(UndoneText(Undone::NotRecorded), Undone::NotRecorded);
    std::exception_ptr thrown;
    const bool ok = WriteFileSafely(path, PlacedProducer([&](const ChunkWriter& write, bool inPlace) {
        // Nothing may be thrown through the writer: it must clean up.
        try {
            FileLineSink sink(write, format, {}, bytes);
            produce(sink, inPlace);
            return sink.Finish();
        } catch (...) {
            thrown = std::current_exception();
            return false;
        }
    }), keeper);
    if (recorder) {
        if (ok && !thrown) recorder->Changed();
        else recorder->NotChanged();
    }
    if (thrown) std::rethrow_exception(thrown);
    if (!ok)
        throw TextFileError("Cannot create file " + std::string(path),
                            UndoneFromFs(LastFsProblem(), Undone::CannotWrite));
}

void Save(std::string_view path, const TextFormat& format, std::string_view source,
          const std::function<void(LineSink& out)>& produce, ChangeRecorder* recorder,
          LineBytes bytes = LineBytes::Gbk) {
    Save(path, format, bytes, recorder, [&](FileLineSink& out, bool) {
        out.SetSource(source);
        produce(out);
    });
}

[[noreturn]] void ThrowChanged(std::string_view path) {
    throw TextFileError(
        Utf16ToGbk(u"文件在处理过程中被其他程序改动，未作任何修改：") + std::string(path),
        Undone::CannotRead);
}

// Where the last complete line break of text ends; 0 when there is none. A
// CR at the very end may be the first half of a CR LF, so it is not one.
std::size_t EndOfLastBreak(std::string_view text) {
    const char* begin = text.data();
    const std::size_t n = text.size();
    const void* lf = memrchr(begin, '\n', n);
    const std::size_t afterLf = lf ? static_cast<const char*>(lf) - begin + 1 : 0;
    // A lone CR after the last LF.
    const void* cr = memrchr(begin + afterLf, '\r', n - afterLf);
    if (!cr) return afterLf;
    std::size_t at = static_cast<const char*>(cr) - begin;
    if (at + 1 < n) return at + 1;
    cr = memrchr(begin + afterLf, '\r', at - afterLf);
    return cr ? static_cast<const char*>(cr) - begin + 1 : afterLf;
}

// Pieces of whole lines given to a rule: about this much text each.
constexpr std::size_t kLinesPiece = 1 << 20;

// How a file found in format gives its lines. keepUtf8: UTF-8 in its own
// bytes, and ASCII too (it is UTF-8, and written as UTF-8).
LineBytes LinesGivenAs(const TextFormat& format, bool keepUtf8) {
    const TextEncoding e = format.encoding;
    return keepUtf8 && !format.classic && (e == TextEncoding::Utf8 || e == TextEncoding::Ascii)
               ? LineBytes::Utf8
               : LineBytes::Gbk;
}

}  // namespace

TextScan CheckTextFile(std::string_view path, TextMode mode) {
    TextScan scan;
    if (!ScanTextFile(path, mode, scan)) ThrowUnreadable(path);
    if (scan.nul) ThrowNotText(path);
    return scan;
}

void RewriteInPieces(std::string_view path, const TextScan& scan, bool keepUtf8,
                     const LinePieceRule& rule, ChangeRecorder* recorder) {
    const TextMode mode = scan.format.classic ? TextMode::ClassicGbk : TextMode::Auto;
    const LineBytes bytes = LinesGivenAs(scan.format, keepUtf8);
    Save(path, scan.format, bytes, recorder, [&](FileLineSink& out, bool inPlace) {
        if (inPlace) {
            // Its old bytes are gone once the first piece is written: they
            // are read whole first.
            const TextFile file = LoadTextFile(path, mode, keepUtf8);
            if (file.format != scan.format || file.bytes != bytes) ThrowChanged(path);
            out.SetSource(file.lines.UnbrokenText());
            rule(file.lines, bytes, out);
            return;
        }
        ReadLinePieces(path, scan, keepUtf8, [&](const LineList& lines, LineBytes given) {
            out.SetSource(lines.UnbrokenText());
            rule(lines, given, out);
        });
    });
}

void ReadLinePieces(std::string_view path, const TextScan& scan, bool keepUtf8,
                    const std::function<void(const LineList& lines, LineBytes bytes)>& take) {
    const LineBytes bytes = LinesGivenAs(scan.format, keepUtf8);
    const bool convert = bytes == LineBytes::Gbk && scan.format.encoding == TextEncoding::Utf8;
    // One buffer each, used again for every piece.
    std::string text;       // the bytes read and not yet given
    std::string rest;       // an unfinished last line
    std::string converted;  // a piece of UTF-8 in GBK
    ReserveLarge(text, kLinesPiece + (1 << 20));
    auto give = [&](std::size_t end) {
        rest.assign(text, end);
        text.resize(end);
        if (convert) {
            converted.clear();
            if (!Utf8ToGb18030(text, converted)) ThrowChanged(path);
            std::swap(text, converted);
        }
        LineList lines = LineList::FromText(std::move(text));
        take(lines, bytes);
        text = lines.TakeText();
        if (convert) std::swap(text, converted);
        text.assign(rest);
    };
    std::uint64_t seen = 0, size = 0;
    std::size_t mark = scan.markLength;
    const bool read = ReadFilePieces(
        path, [&](std::uint64_t n) { size = n; },
        [&](std::string_view piece) {
            seen += piece.size();
            const std::size_t skip = std::min(mark, piece.size());
            mark -= skip;
            text.append(piece.substr(skip));
            if (text.size() < kLinesPiece) return true;
            const std::size_t end = EndOfLastBreak(text);
            if (end > 0) give(end);  // otherwise one long line goes on
            return true;
        });
    if (!read) ThrowUnreadable(path);
    if (size != scan.size || seen != size) ThrowChanged(path);
    if (!text.empty()) give(text.size());
}

TextFile LoadTextFile(std::string_view path, TextMode mode, bool keepUtf8) {
    TextFile file;
    std::string text;
    if (!ReadTextFile(path, mode, text, file.format, keepUtf8)) ThrowUnreadable(path);
    file.bytes = LinesGivenAs(file.format, keepUtf8);
    RefuseNul(text, path);
    file.lines = LineList::FromText(std::move(text));
    return file;
}

LineList LoadTextLines(std::string_view path) {
    return LoadTextFile(path, TextMode::ClassicGbk).lines;
}

void SaveTextFile(std::string_view path, const TextFormat& format,
                  const std::function<void(LineSink& out)>& produce, std::string_view unbroken,
                  ChangeRecorder* recorder, LineBytes bytes) {
    Save(path, format, unbroken, produce, recorder, bytes);
}

void SaveTextLines(std::string_view path, const LineList& lines, const TextFormat& format,
                   ChangeRecorder* recorder) {
    Save(path, format, lines.UnbrokenText(), [&](LineSink& out) {
        for (std::string_view line : lines) out.push_back(line);
    }, recorder);
}

void SaveTextLines(std::string_view path, const LineList& lines) {
    SaveTextLines(path, lines, TextFormat::Classic());
}

namespace {
// The longest name (in bytes on disk) the file systems of Linux take.
constexpr std::size_t kMaxNameBytes = 255;
}  // namespace

bool BackupFile(std::string_view path) {
    return CopyFile(path, std::string(path) + ".bak", false);
}

void BackUpBeforeWriting(std::string_view path, ChangeRecorder* recorder) {
    // A name that cannot take ".bak" is said as such, not as a journal or
    // disk failure.
    std::string name;
    if (GbkToDisk(ExtractFileName(path), name) && name.size() + 4 > kMaxNameBytes)
        throw TextFileError(Utf16ToGbk(u"备份文件名过长，文件未作任何修改：") + std::string(path),
                            Undone::BackupNameTooLong);
    if (recorder && !recorder->WillBackUp(path, std::string(path) + ".bak"))
        throw TextFileError(UndoneText(Undone::NotRecorded), Undone::NotRecorded);
    const bool copied = BackupFile(path);
    if (recorder) copied ? recorder->Changed() : recorder->NotChanged();
    if (!copied)
        throw TextFileError(
            Utf16ToGbk(u"无法备份文件(.bak)，文件未作任何修改：") + std::string(path),
            Undone::BackupFailed);
}

int ReadNumberField(std::string_view text) { return StrToInt(text); }

int ReadLineNumberField(std::string_view text) {
    const int n = ReadNumberField(text);
    if (n < 0) throw Error(Utf16ToGbk(u"行号不能为负数,请重新输入!"));
    return n;
}

int ReadCountField(std::string_view text) {
    const int n = ReadNumberField(text);
    if (n < 0) throw Error(Utf16ToGbk(u"参数个数不能为负数,请重新输入!"));
    return n;
}

}  // namespace ferro
