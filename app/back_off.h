#pragma once
// Slowing down for a site that pushes back. Per host: how many requests may
// run at once (halved on a 429 or 503 answer or on several empty answers in
// a row, down to one), how long to wait between attempts (doubled, up to
// 30 s) and, after a Retry-After, until when nobody may ask at all. A
// stretch of clean answers undoes one step at a time.

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "fetch/fetch_page.h"

namespace tarnlow {

class BackOff {
 public:
  using Clock = std::chrono::steady_clock;
  // `maxRequests`: concurrent requests per host before any push-back (the
  // run's thread count); `delayMs`: the wait between attempts before it.
  // `onChange` gets one line (GBK) for every change; called without locks held.
  BackOff(int maxRequests, int delayMs, std::function<void(const std::string&)> onChange);

  // A request slot of a host, taken before a fetch.
  struct Ticket {
    std::string host;
    unsigned long long generation = 0;  // of the host's limit when it was taken
  };

  // Waits until `url`'s host has a free slot and no pause; false (no slot
  // taken) once `stop` says so, which is asked at least every 50 ms.
  bool Acquire(std::string_view url, const std::function<bool()>& stop, Ticket& ticket);
  // Gives the slot back with what the request came to; `usable`: the page
  // serves the caller. A 429 or 503 holds the host for its Retry-After
  // (capped at kMaxRetryAfterMs), or else for the new wait.
  void Release(const Ticket& ticket, const FetchResult& result, bool usable);
  // The wait after a failed attempt at `url`'s host.
  int DelayMs(std::string_view url) const;

  // Whether an answer asks us to slow down.
  static bool Throttles(const FetchResult& result);

  static constexpr int kMinBackOffDelayMs = 1'000;  // the first doubled wait is at least this
  static constexpr int kMaxDelayMs = 30'000;
  static constexpr long long kMaxRetryAfterMs = 300'000;
  static constexpr int kEmptyInARow = 3;    // empty answers that count as a push-back
  static constexpr int kCleanStretch = 10;  // clean answers before one step back up

 private:
  struct Host {
    int limit = 1;
    int inFlight = 0;
    int delayMs = 0;
    int clean = 0;
    int empty = 0;
    unsigned long long generation = 0;
    Clock::time_point pausedUntil{};
  };
  Host& HostLocked(std::string_view host);
  // Halves the limit and doubles the wait, once per generation; the line
  // that says so, or empty when nothing changed.
  std::string SlowDownLocked(const std::string& name, Host& host, const Ticket& ticket,
                             const std::string& reason);

  const int m_maxRequests;
  const int m_baseDelayMs;
  std::function<void(const std::string&)> m_onChange;
  mutable std::mutex m_mutex;
  std::map<std::string, Host, std::less<>> m_hosts;
};

// The host (and port) of an address: what stands between "://" and the
// next "/", "?" or "#".
std::string HostOf(std::string_view url);

}  // namespace tarnlow
