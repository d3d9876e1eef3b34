#include "app/retries.h"

#include <algorithm>

#include "app/delay.h"

namespace tarnlow {

FetchResult FetchWithRetries(std::string_view url, const RetryOptions& options) {
  const std::function<bool()>& stopFetch = options.stopFetch ? options.stopFetch : options.stop;
  const auto asked = [](const std::function<bool()>& predicate) {
    return predicate && predicate();
  };
  FetchResult result;
  const int attempts = std::max(1, options.attempts);
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (asked(options.stop)) {
      result = FetchResult();
      result.kind = FetchResult::Kind::Cancelled;
      return result;
    }
    result = FetchPage(url, stopFetch);
    if (result.kind == FetchResult::Kind::Cancelled || asked(stopFetch)) {
      result.kind = FetchResult::Kind::Cancelled;
      result.text.clear();
      return result;
    }
    if (result.HasPage() && (!options.usable || options.usable(result))) return result;
    if (attempt > 1 && options.onRetry) options.onRetry(attempt);
    WaitUnlessStopped(options.delayMs, options.stop);
  }
  return result;
}

}  // namespace tarnlow
