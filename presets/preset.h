// 方案: a named preset of the settings of one run, the chosen operation with
// every field of its page and the text mode (never the files). Each is one
// text file in $XDG_CONFIG_HOME/ferrovan-batch/presets/ (~/.config/... when
// that is unset), named by the preset with ".txt", in UTF-8, so that it can
// be read, mended by hand and copied to another machine:
//
//   # Ferrovan文件批处理 方案
//   operation=rename
//   encoding=auto
//
//   [fields]
//   pattern=img_${Sn(1,3)}
//
// The operation is its command-line name, the encoding "auto" or "gbk" (as
// --encoding takes it), the fields as remembered settings keep them
// (ops::ToText). A file written by another version of the program may name
// fields this one does not know, or values that do not fit: those are left
// at their defaults and reported, never a reason to refuse the rest.
//
// Names and texts are GBK, as everywhere inside the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ops/operation.h"
#include "platform/codec.h"

namespace ferro::presets {

struct Preset {
    const ops::Operation* operation = nullptr;
    ops::FieldValues values;
    TextMode mode = TextMode::Auto;
};

// A preset read back, with what in its file was left out (GBK, one line
// each: a field this program does not know, a value that does not fit).
struct LoadedPreset {
    Preset preset;
    std::vector<std::string> problems;
};

// The text of a preset's file (GBK; the file holds it as UTF-8).
std::string PresetText(const Preset& preset);
// And back. Throws ferro::Error when the text names no operation or one this
// program does not have: nothing of it could be used.
LoadedPreset ParsePreset(std::string_view text);

// Why a name cannot be a preset's (GBK, the message to show); nullopt when
// it can. A name must be a file name on every disk a user copies presets to:
// not empty, no leading dot, no separators or characters Windows refuses, no
// control characters, not too long.
std::optional<std::string> NameProblem(std::string_view name);

// $XDG_CONFIG_HOME/ferrovan-batch/presets (GBK).
std::string PresetFolder();

// The presets of one folder.
class PresetStore {
public:
    explicit PresetStore(std::string folder = PresetFolder());
    const std::string& folder() const { return folder_; }

    // The names of the presets there, sorted; files that are not presets
    // are passed over.
    std::vector<std::string> Names() const;
    bool Exists(std::string_view name) const;
    // Throws ferro::Error (GBK) when there is no such preset, its file
    // cannot be read or names no operation this program has.
    LoadedPreset Load(std::string_view name) const;
    // Writes the preset's file in one step (a reader sees the old file or
    // the new one, never half of it), replacing one of that name. Throws
    // ferro::Error for a name NameProblem refuses or a file that cannot be
    // written.
    void Save(std::string_view name, const Preset& preset) const;
    // Throws ferro::Error when there is no such preset or it cannot be
    // removed.
    void Remove(std::string_view name) const;
    // The file of a preset (GBK path).
    std::string PathOf(std::string_view name) const;

private:
    std::string folder_;
};

}  // namespace ferro::presets
