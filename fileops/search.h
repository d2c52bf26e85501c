// The folder search: every file of one or more folders that matches one or
// more masks, optionally limited by size and by one of the file dates,
// optionally through all sub-folders, appended to the file list depth first.
//
// Results come mask by mask, and within a mask folder by folder, yet every
// folder is read once whatever the number of masks: the walk serves all
// masks at once, lists the first mask's files as it goes and holds the
// others' until the passes before them are done. Entries of a folder come
// in name order (FolderReader); the walk holds one folder open at a time
// and never forms a path to open, so no depth of tree stops it.
//
// The search runs on the window's thread and pumps messages once per
// directory entry, so the filters can change while it runs: the bounds and
// the date type are read afresh at every folder, the two filter switches for
// every entry, the sub-folder switch at every folder, and the stop request
// before every entry and every folder at every level.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/filelist.h"
#include "platform/mask.h"
#include "platform/fs.h"
#include "platform/times.h"

namespace ferro {

// Entries listed by the file pass: anything with other bits (links,
// devices, compressed or temporary files ...) is left out, and so is a
// folder that is nothing but a folder.
inline constexpr uint32_t kSearchFileSet = attr::ReadOnly | attr::Hidden | attr::System |
                                           attr::VolumeId | attr::Directory | attr::Archive |
                                           attr::Normal | attr::NotContentIndexed;
// Folders descended into: hidden and system ones are, read-only and archive
// ones are not, and links never (so no walk can loop).
inline constexpr uint32_t kSearchFolderSet =
    attr::Hidden | attr::System | attr::Directory | attr::NotContentIndexed;

// Which file time the date filter compares.
enum class SearchDate : int { LastWrite = 0, Creation = 1, LastAccess = 2 };

// The filter values read at one folder visit.
struct SearchBounds {
    int64_t minSize = 0;  // bytes, inclusive
    int64_t maxSize = 0;
    SearchDate date = SearchDate::LastWrite;
    int64_t minDay = 0;  // local days since 1970-01-01, inclusive
    int64_t maxDay = 0;
};

// What the search asks of whoever started it. The window answers from its
// controls; a benchmark or a test answers from plain values.
class SearchHost {
public:
    virtual ~SearchHost() = default;
    // Once per folder visit; may throw ferro::Error (a bound that is not a
    // number), which ends the search with the rows found so far kept.
    virtual SearchBounds ReadBounds() = 0;
    // For every entry.
    virtual bool SizeFilterOn() = 0;
    virtual bool DateFilterOn() = 0;
    // Once per folder, before its sub-folders.
    virtual bool IncludeSubfolders() = 0;
    // Before every entry and every folder.
    virtual bool StopRequested() = 0;
    // A pass over one root folder for one mask begins.
    virtual void PassStarted(const std::string& mask, const std::string& root) {}
    // After the files of every folder, so that a counter can rise as the
    // search goes.
    virtual void FolderDone() {}
    // A folder that should have been searched could not be read for a
    // reason the user did not choose (too many open files, a path too long,
    // a read error); folders that are missing or that the user may not read
    // are left out without a word.
    virtual void FolderSkipped(const std::string& folder) {}
};

// The size bound of a text field: a decimal number (blanks around it, an
// optional sign, digits with an optional fraction, an optional exponent)
// cut towards zero to a whole number; values beyond 64 bits are held at the
// limit. Anything else throws "'%s' is not a valid floating point value"
// with the text as given.
int64_t SizeBoundValue(std::string_view text);
bool TryParseSizeBound(std::string_view text, int64_t& value);

// A file time in local time, formatted: "yyyy" year, "mm" month, "dd" day,
// "hh" hour (24-hour clock), "nn" minutes, "ss" seconds, all but the year
// two digits; every other character as it stands.
std::string FileTimeToText(std::string_view format, FileTime t);

// The masks as typed between ';' (not trimmed); the last one is whatever
// follows the last ';', possibly empty.
std::vector<std::string> SplitMasks(std::string_view masks);

// Rows in use, as the counter shows them: 0 for an empty list.
int SearchRowCount(const FileList& list);

// One folder of one pass and, when the host says so, its sub-folders: the
// files of root (root + "/" + sub when sub is not empty) that match mask,
// then the sub-folders, in name order. Each pass keeps its own mask and
// root, so a search started while this one pumps messages cannot redirect
// it.
void SearchFolder(FileList& list, SearchHost& host, const MaskMatcher& mask, std::string_view root,
                  std::string_view sub);

// The whole search: the list emptied, then for every mask in the order typed
// and, inside that, every folder of foldersText (split at ';', trimmed, an
// empty entry standing for the file system's root) a pass, skipped once a
// stop is requested. masksText must not be empty (the window refuses that).
void RunSearch(FileList& list, SearchHost& host, std::string_view masksText,
               std::string_view foldersText);
// The same passes over folders given one by one, their rows added below
// those already in the list.
void AppendSearch(FileList& list, SearchHost& host, std::string_view masksText,
                  const std::vector<std::string>& folders);

}  // namespace ferro
