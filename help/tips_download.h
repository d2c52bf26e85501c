// The one download of the tips per run. It never blocks the window: the
// request runs on the event loop and the body arrives through a callback.
#pragma once

#include <QUrl>
#include <functional>
#include <string>

class QNetworkAccessManager;
class QObject;

namespace ferro {

inline constexpr int kTipsTimeoutMs = 5000;
// Far more than any tips list; a larger answer is not a tips list.
inline constexpr long long kTipsMaxBytes = 1 << 20;

// Fetches url with the agent name "URLCheck", without writing the answer to
// any cache, giving up after kTipsTimeoutMs without progress. done receives
// the body the server sent, whatever its HTTP status (an error page
// included); it receives an empty body when no answer came (no network, no
// server, time-out) or the answer was too large. done runs on the event
// loop, and not at all once context is gone.
void FetchTips(QNetworkAccessManager* network, const QUrl& url, QObject* context,
               std::function<void(std::string body)> done);

}  // namespace ferro
