// PDF documents through poppler (its module: metadata/modules/pdf_module.cpp):
// the title and author of the document's information dictionary and its
// page count.
#include "metadata/modules/fields.h"
#include "platform/modules.h"
#include "metadata/readers.h"

namespace ferro::metadata_detail {

void ReadPdf(const std::string& disk, FileValues& v) {
    const auto read = reinterpret_cast<metadata_module::ReadPdfFields>(
        ModuleEntry("pdf", metadata_module::kReadPdfFields));
    metadata_module::PdfFields f;
    if (!read || !read(disk.c_str(), f)) return;
    if (v.docTitle.empty()) v.docTitle = LibraryText(f.title);
    if (v.author.empty()) v.author = LibraryText(f.author);
    if (v.pages == 0 && !f.locked) v.pages = f.pages;
}

}  // namespace ferro::metadata_detail
