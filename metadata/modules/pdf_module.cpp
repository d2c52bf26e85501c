// poppler's side of the PDF reader: the title and author of the document's
// information dictionary and its page count.
#include <poppler-document.h>
#include <poppler-global.h>

#include <memory>
#include <mutex>

#include "metadata/modules/fields.h"

namespace {

using ferro::metadata_module::PdfFields;

// poppler sets up its global parameters when the first document opens;
// one document at a time.
std::mutex g_poppler;

void Quiet(const std::string&, void*) {}

std::string Utf8(const poppler::ustring& s) {
    if (s.empty()) return {};
    const poppler::byte_array utf8 = s.to_utf8();
    return std::string(utf8.data(), utf8.size());
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool ferro_read_pdf_fields_1(const char* disk,
                                                                              PdfFields& out) {
    std::lock_guard<std::mutex> lock(g_poppler);
    // Damaged files make poppler talk on standard error.
    poppler::set_debug_error_function(&Quiet, nullptr);
    try {
        const std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(disk));
        if (!doc) return false;
        out.title = Utf8(doc->info_key("Title"));
        out.author = Utf8(doc->info_key("Author"));
        out.locked = doc->is_locked();
        if (!out.locked) out.pages = std::max(doc->pages(), 0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
