// The variables and functions offered by the template picker, in the order
// of the list, with the text each entry writes and a line of help. One table
// feeds the picker, the usage notes and the consistency checks of the engine.
// Texts are UTF-8; CatalogTextGbk gives them as GBK bytes.
#pragma once

#include <span>
#include <string>

namespace ferro {

enum class CatalogKind {
    kFunction,       // evaluated by EvaluateTemplate
    kVariable,       // substituted by the rename or extension change before evaluation
    kOperationItem,  // substituted by insert new lines
    kConversion,     // parsed by the format conversion
    kFileItem,       // substituted per file from its times and contents (metadata/file_items.h)
};

struct CatalogEntry {
    const char* caption;  // entry text in the list, e.g. "${Ext}: 原扩展名"
    const char* written;  // text written into the template field, e.g. "${Ext}"
    const char* name;     // lower-case function or variable name, e.g. "ext"
    CatalogKind kind;
    const char* help;  // one line of help with an example
};

// The 40 entries, in list order.
std::span<const CatalogEntry> TemplateCatalog();

// The entries for what each file holds (its times, date taken, camera,
// tags, document properties, checksums), in list order after the forty.
std::span<const CatalogEntry> FileItemCatalog();
// The items beyond the classic ones: numbers per folder and the old name in
// pinyin (the rename's own), then the regular-expression functions.
std::span<const CatalogEntry> NameItemCatalog();

// A UTF-8 text of the catalog as GBK bytes.
std::string CatalogTextGbk(const char* utf8);

}  // namespace ferro
