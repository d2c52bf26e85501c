// The template items that stand for what a file holds: its times
// (${modtime(format)}, ${cretime(format)}), the time it was taken
// (${takentime(format)}, or ${takentime(format,1)}, which falls back to
// the modified time), ${camera}, ${width}, ${height}, the audio tags
// ${artist}, ${title}, ${album}, ${year}, ${track(digits)},
// ${duration(format)}, the document's ${doctitle}, ${author}, ${pages},
// and the checksums ${md5}, ${crc32}. Like ${filename}, an operation puts
// each item's text into its pattern before the template engine sees it.
//
// Formats are those of ${date(...)}: yyyy, mm, mmm, dd, hh, nn, ss; a
// duration knows hh, nn and ss, the largest holding the whole length. Every
// text is made fit for a name: characters a file name cannot hold ("/"
// among them) become "_", and the ends are trimmed. A file that lacks a
// value an item needs has no text: it is left as it is, with the reason.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"
#include "metadata/file_values.h"
#include "metadata/value_cache.h"

namespace ferro {

enum class FileItemKind : std::uint8_t {
    ModTime, CreTime, TakenTime, Camera, Width, Height, Artist, Title, Album, Year, Track,
    Duration, DocTitle, Author, Pages, Md5, Crc32,
};

struct FileItem {
    FileItemKind kind = FileItemKind::ModTime;
    std::size_t at = 0, length = 0;  // where it stands in the pattern
    std::string format;              // times and durations (GBK, lower case)
    int digits = 0;                  // track: padded with zeros to this width
    bool orModified = false;         // takentime(...,1)
};

// The texts of a pattern's items for one file, or why there are none.
struct ItemTexts {
    std::vector<std::string> texts;  // one per item, in pattern order
    Undone why = Undone::None;       // NoValue, Missing, CannotRead
    std::string detail;              // GBK: which value ("没有拍摄时间")
    bool pending = false;            // not read yet; a reader has been asked
    bool ok() const { return why == Undone::None && !pending; }
};

class FileItems {
public:
    FileItems() = default;
    // The items of a pattern in lower case, wherever they stand in it (a
    // function's argument included).
    explicit FileItems(std::string_view pattern);

    bool empty() const { return items_.empty(); }
    const std::vector<FileItem>& items() const { return items_; }
    // The values the items read from the files' contents.
    FileValueSet wanted() const { return wanted_; }
    // The index of the item that begins at byte `at` of the pattern; -1.
    int ItemAt(std::size_t at) const;

    // The texts for a file whose values are these.
    ItemTexts TextsOf(const FileValues& values) const;
    // The texts for a file, its values read through the cache. With a
    // reader, nothing is read here: values are looked up in the reader's
    // cache, those not known yet are asked of the reader at that priority,
    // and the texts are pending.
    ItemTexts TextsFor(std::string_view path, FileValueCache& cache,
                       FileValueReader* reader = nullptr, std::int64_t priority = 0) const;

private:
    std::vector<FileItem> items_;
    FileValueSet wanted_ = 0;
};

// One of an operation's own variables ("${filename}" and its value).
struct PatternVariable {
    std::string_view name, value;  // an empty name stands for nothing
};

// A pattern with its variables and items put in, in one pass from left to
// right, so that text put in (an old name holding "${ext}", say) is never
// read as a variable again. At each "${" the variables are tried in their
// order, then the items; texts are those of items.TextsOf/TextsFor.
std::string PutInValues(std::string_view pattern, std::initializer_list<PatternVariable> variables,
                        const FileItems& items, const std::vector<std::string>& texts);

// Text made fit for a file name: characters no name can hold on the disks
// users share (control characters and \ / : * ? " < > |) become "_", and
// blanks at the ends go. Double-byte characters are kept whole.
std::string FitForName(std::string_view gbk);

// A length as a duration format shows it ("hh:nn:ss", "nnss"); the
// largest code present holds the whole of it (hh: all hours; nn without
// hh: all minutes). An empty format is "hhnnss".
std::string FormatDuration(std::string_view format, std::int64_t milliseconds);

}  // namespace ferro
