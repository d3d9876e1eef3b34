#pragma once
// The one retry loop of the program, shared by the contents page, the further
// contents pages and every chapter: up to `attempts` fetches with a wait after
// each failure (the last one included), ended early by a cancel or a close.

#include <functional>
#include <string_view>

#include "app/back_off.h"
#include "fetch/fetch_page.h"

namespace tarnlow {

struct RetryOptions {
  int attempts = 1;  // the retry count + 1; fewer than 1 counts as 1
  int delayMs = 0;   // the wait after every failed attempt
  // Asked before every attempt and during the waits: true ends the attempts,
  // and the result is Cancelled.
  std::function<bool()> stop;
  // Asked while a transfer runs and right after it: true drops what it
  // fetched, and the result is Cancelled. Empty: `stop` is asked.
  std::function<bool()> stopFetch;
  // Whether a page serves the caller; one that does not (an empty chapter
  // page, say) counts as a failed attempt and is retried. Empty: every page.
  std::function<bool(const FetchResult&)> usable;
  // Called after a failed attempt other than the first (its 1-based number),
  // before the wait: the retry texts.
  std::function<void(int attempt)> onRetry;
  // When given: every attempt takes a slot of the host first, the wait after
  // a failed attempt is the host's, and a 429 or 503 answer costs no attempt
  // (up to kMaxThrottledAnswers of them), since the site asked us to wait.
  BackOff* backOff = nullptr;
};

// Slow-down answers one fetch takes before they count as failed attempts,
// so that a site that never stops saying so cannot hold a chapter for ever.
inline constexpr int kMaxThrottledAnswers = 30;

// The first usable page that comes, or the last failure (which may be a page
// that is not usable), or Cancelled.
FetchResult FetchWithRetries(std::string_view url, const RetryOptions& options);

}  // namespace tarnlow
