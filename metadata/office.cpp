// Office Open XML (docx, xlsx, pptx) and OpenDocument (odt, ods, odp)
// documents: ZIP packages, opened with libzip, whose properties are small
// XML parts read with Qt's XML reader: docProps/core.xml (title, author)
// and docProps/app.xml (pages, slides), or meta.xml.
#include <zip.h>

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include "metadata/readers.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace ferro::metadata_detail {
namespace {

constexpr zip_uint64_t kLargestPart = zip_uint64_t{4} << 20;

const QString kDublinCore = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString kExtended =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/extended-properties");
const QString kOdfMeta = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:meta:1.0");

class Package {
public:
    explicit Package(const std::string& disk) {
        int error = 0;
        zip_ = zip_open(disk.c_str(), ZIP_RDONLY, &error);
    }
    ~Package() {
        if (zip_) zip_discard(zip_);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;
    bool open() const { return zip_ != nullptr; }

    // A part's bytes; empty when it is missing, too large or unreadable.
    QByteArray Part(const char* name) const {
        const zip_int64_t index = zip_name_locate(zip_, name, 0);
        if (index < 0) return {};
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_SIZE) || st.size > kLargestPart)
            return {};
        zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!file) return {};
        QByteArray bytes(static_cast<qsizetype>(st.size), '\0');
        const zip_int64_t n = zip_fread(file, bytes.data(), st.size);
        zip_fclose(file);
        if (n < 0) return {};
        bytes.truncate(static_cast<qsizetype>(n));
        return bytes;
    }

private:
    zip_t* zip_ = nullptr;
};

std::string Text(const QString& s) { return Trim(QStringToGbk(s)); }

std::int64_t Count(const QString& s) {
    bool ok = false;
    const qlonglong n = s.trimmed().toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

void ReadOpenXml(const Package& package, FileValues& v) {
    QXmlStreamReader core(package.Part("docProps/core.xml"));
    while (!core.atEnd()) {
        core.readNext();
        if (!core.isStartElement() || core.namespaceUri() != kDublinCore) continue;
        if (core.name() == u"title" && v.docTitle.empty()) v.docTitle = Text(core.readElementText());
        else if (core.name() == u"creator" && v.author.empty()) v.author = Text(core.readElementText());
    }
    QXmlStreamReader app(package.Part("docProps/app.xml"));
    std::int64_t slides = 0;
    while (!app.atEnd()) {
        app.readNext();
        if (!app.isStartElement() || app.namespaceUri() != kExtended) continue;
        if (app.name() == u"Pages" && v.pages == 0) v.pages = Count(app.readElementText());
        else if (app.name() == u"Slides") slides = Count(app.readElementText());
    }
    // A presentation's pages are its slides.
    if (v.pages == 0) v.pages = slides;
}

void ReadOpenDocument(const Package& package, FileValues& v) {
    QXmlStreamReader meta(package.Part("meta.xml"));
    std::string creator;
    while (!meta.atEnd()) {
        meta.readNext();
        if (!meta.isStartElement()) continue;
        if (meta.namespaceUri() == kDublinCore) {
            if (meta.name() == u"title" && v.docTitle.empty()) v.docTitle = Text(meta.readElementText());
            else if (meta.name() == u"creator") creator = Text(meta.readElementText());
        } else if (meta.namespaceUri() == kOdfMeta) {
            // The author is who made the document; dc:creator is who saved
            // it last, the author only when nothing better is said.
            if (meta.name() == u"initial-creator" && v.author.empty())
                v.author = Text(meta.readElementText());
            else if (meta.name() == u"document-statistic" && v.pages == 0)
                v.pages = Count(meta.attributes().value(kOdfMeta, QStringLiteral("page-count")).toString());
        }
    }
    if (v.author.empty()) v.author = creator;
}

}  // namespace

void ReadOfficeDocument(const std::string& disk, bool openDocument, FileValues& v) {
    try {
        const Package package(disk);
        if (!package.open()) return;
        if (openDocument) ReadOpenDocument(package, v);
        else ReadOpenXml(package, v);
    } catch (const std::exception&) {
    }
}

}  // namespace ferro::metadata_detail
