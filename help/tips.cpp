#include "help/tips.h"

#include "platform/codec.h"

namespace ferro {

namespace {
const QString kMarker = QStringLiteral("@#$");
}  // namespace

QUrl HomePageUrl() {
    return QUrl(QString::fromLatin1(kHomePage));
}

QUrl DefaultTipsUrl() {
    return HomePageUrl().resolved(QUrl(QString::fromLatin1(kTipsPath)));
}

TipLine ParseTipLine(const QString& line) {
    const qsizetype at = line.indexOf(kMarker);
    if (at < 0) return {line, QString()};
    return {line.left(at), line.mid(at + kMarker.size())};
}

QStringList TipsLines(std::string_view gbk) {
    QStringList lines;
    std::size_t start = 0;
    auto take = [&](std::size_t end) {
        const std::string_view line = gbk.substr(start, end - start);
        for (char c : line) {
            if (static_cast<unsigned char>(c) > 0x20) {
                lines << GbkToQString(line);
                break;
            }
        }
    };
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        if (gbk[i] != '\r' && gbk[i] != '\n') continue;
        take(i);
        if (gbk[i] == '\r' && i + 1 < gbk.size() && gbk[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < gbk.size()) take(gbk.size());
    return lines;
}

QUrl TipWebAddress(const QString& link) {
    const QUrl url(link.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return QUrl();
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return QUrl();
    return url;
}

}  // namespace ferro
