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
  const auto cancelled = [&result] {
    result = FetchResult();
    result.kind = FetchResult::Kind::Cancelled;
    return result;
  };
  int throttled = 0;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (asked(options.stop)) return cancelled();
    BackOff::Ticket ticket;
    if (options.backOff != nullptr && !options.backOff->Acquire(url, options.stop, ticket)) {
      return cancelled();
    }
    result = FetchPage(url, stopFetch);
    if (result.kind == FetchResult::Kind::Cancelled || asked(stopFetch)) {
      result.kind = FetchResult::Kind::Cancelled;
      result.text.clear();
      if (options.backOff != nullptr) options.backOff->Release(ticket, result, false);
      return result;
    }
    const bool usable = result.HasPage() && (!options.usable || options.usable(result));
    if (options.backOff != nullptr) {
      options.backOff->Release(ticket, result, usable);
      // The host's pause, taken in Acquire, is the wait.
      if (!usable && BackOff::Throttles(result) && ++throttled <= kMaxThrottledAnswers) {
        --attempt;
        continue;
      }
    }
    if (usable) return result;
    if (attempt > 1 && options.onRetry) options.onRetry(attempt);
    WaitUnlessStopped(options.backOff != nullptr ? options.backOff->DelayMs(url) : options.delayMs,
                      options.stop);
  }
  return result;
}

}  // namespace tarnlow
