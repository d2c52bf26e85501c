#include "help/tips_download.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>

namespace ferro {

namespace {

// A reply holds the server's answer when the server answered at all: no
// error, or an error that only reports the HTTP status. Errors of the
// connection itself (refused, time-out, cancelled, redirect loops) mean no
// answer came, whatever part of a body arrived before.
bool HoldsAnswer(QNetworkReply* reply) {
    const QNetworkReply::NetworkError e = reply->error();
    if (e == QNetworkReply::NoError) return true;
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) return false;
    const bool contentError = e >= QNetworkReply::ContentAccessDenied && e < 300;
    const bool serverError = e >= QNetworkReply::InternalServerError && e < 500;
    return contentError || serverError;
}

}  // namespace

void FetchTips(QNetworkAccessManager* network, const QUrl& url, QObject* context,
               std::function<void(std::string body)> done) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("URLCheck"));
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(kTipsTimeoutMs);

    QNetworkReply* reply = network->get(request);
    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, tooLarge](qint64 received, qint64 total) {
                         if (received > kTipsMaxBytes || total > kTipsMaxBytes) {
                             *tooLarge = true;
                             reply->abort();
                         }
                     });
    QObject::connect(reply, &QNetworkReply::finished, context,
                     [reply, tooLarge, done = std::move(done)] {
                         reply->deleteLater();
                         std::string body;
                         if (!*tooLarge && HoldsAnswer(reply))
                             body = reply->readAll().toStdString();
                         done(std::move(body));
                     });
}

}  // namespace ferro
