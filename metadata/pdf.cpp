// PDF documents through poppler: the title and author of the document's
// information dictionary and its page count.
#include <poppler-document.h>
#include <poppler-global.h>

#include <memory>
#include <mutex>

#include "metadata/readers.h"

namespace ferro::metadata_detail {
namespace {

// poppler sets up its global parameters when the first document opens;
// one document at a time.
std::mutex g_poppler;

void Quiet(const std::string&, void*) {}

std::string Text(const poppler::ustring& s) {
    if (s.empty()) return {};
    const poppler::byte_array utf8 = s.to_utf8();
    return LibraryText(std::string_view(utf8.data(), utf8.size()));
}

}  // namespace

void ReadPdf(const std::string& disk, FileValues& v) {
    std::lock_guard<std::mutex> lock(g_poppler);
    // Damaged files make poppler talk on standard error.
    poppler::set_debug_error_function(&Quiet, nullptr);
    try {
        const std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(disk));
        if (!doc) return;
        if (v.docTitle.empty()) v.docTitle = Text(doc->info_key("Title"));
        if (v.author.empty()) v.author = Text(doc->info_key("Author"));
        if (v.pages == 0 && !doc->is_locked()) v.pages = std::max(doc->pages(), 0);
    } catch (const std::exception&) {
    }
}

}  // namespace ferro::metadata_detail
