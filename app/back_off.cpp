#include "app/back_off.h"

#include <algorithm>
#include <utility>

#include "app/delay.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

// How often a waiting request looks again for a free slot.
constexpr long long kPollMs = 20;

std::string Steps(int oldLimit, int newLimit, int delayMs) {
  return Gbk<"，同时请求数 ">() + std::to_string(oldLimit) + " -> " + std::to_string(newLimit) +
         Gbk<"，重试间隔 ">() + std::to_string(delayMs) + Gbk<" 毫秒">();
}

}  // namespace

std::string HostOf(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  const std::size_t end = url.find_first_of("/?#", start);
  return std::string(url.substr(start, end == std::string_view::npos ? end : end - start));
}

BackOff::BackOff(int maxRequests, int delayMs, std::function<void(const std::string&)> onChange)
    : m_maxRequests(std::max(1, maxRequests)),
      m_baseDelayMs(std::max(0, delayMs)),
      m_onChange(std::move(onChange)) {}

bool BackOff::Throttles(const FetchResult& result) {
  return result.kind == FetchResult::Kind::HttpStatus &&
         (result.statusCode == 429 || result.statusCode == 503);
}

BackOff::Host& BackOff::HostLocked(std::string_view name) {
  auto it = m_hosts.find(name);
  if (it == m_hosts.end()) {
    Host host;
    host.limit = m_maxRequests;
    host.delayMs = m_baseDelayMs;
    it = m_hosts.emplace(std::string(name), host).first;
  }
  return it->second;
}

bool BackOff::Acquire(std::string_view url, const std::function<bool()>& stop, Ticket& ticket) {
  const std::string name = HostOf(url);
  for (;;) {
    if (stop && stop()) return false;
    long long waitMs = kPollMs;
    {
      std::lock_guard lock(m_mutex);
      Host& host = HostLocked(name);
      const Clock::time_point now = Clock::now();
      if (host.inFlight < host.limit && now >= host.pausedUntil) {
        ++host.inFlight;
        ticket = {name, host.generation};
        return true;
      }
      if (now < host.pausedUntil) {
        waitMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(host.pausedUntil - now).count() +
            1;
      }
    }
    // The wait itself ends within 50 ms of a stop.
    if (!WaitUnlessStopped(static_cast<int>(std::min<long long>(waitMs, 1000)), stop)) return false;
  }
}

std::string BackOff::SlowDownLocked(const std::string& name, Host& host, const Ticket& ticket,
                                    const std::string& reason) {
  // Answers to requests sent before the last step count towards that step.
  if (ticket.generation != host.generation) return {};
  const int oldLimit = host.limit;
  const int oldDelay = host.delayMs;
  host.limit = std::max(1, host.limit / 2);
  host.delayMs = std::min(std::max(kMaxDelayMs, m_baseDelayMs),
                          std::max(kMinBackOffDelayMs, host.delayMs * 2));
  if (host.limit == oldLimit && host.delayMs == oldDelay) return {};
  ++host.generation;
  return Gbk<"放慢：网站 ">() + name + " " + reason + Steps(oldLimit, host.limit, host.delayMs);
}

void BackOff::Release(const Ticket& ticket, const FetchResult& result, bool usable) {
  std::string line;
  {
    std::lock_guard lock(m_mutex);
    Host& host = HostLocked(ticket.host);
    --host.inFlight;
    const Clock::time_point now = Clock::now();
    if (result.kind == FetchResult::Kind::Cancelled) return;
    if (usable) {
      host.empty = 0;
      if (++host.clean >= kCleanStretch &&
          (host.limit < m_maxRequests || host.delayMs > m_baseDelayMs)) {
        const int oldLimit = host.limit;
        host.limit = std::min(m_maxRequests, host.limit + 1);
        host.delayMs = std::max(m_baseDelayMs, host.delayMs / 2);
        host.clean = 0;
        ++host.generation;
        line = Gbk<"恢复：网站 ">() + ticket.host + Gbk<" 连续 ">() +
               std::to_string(kCleanStretch) + Gbk<" 次正常应答">() +
               Steps(oldLimit, host.limit, host.delayMs);
      }
    } else if (Throttles(result)) {
      host.clean = 0;
      host.empty = 0;
      line = SlowDownLocked(ticket.host, host, ticket,
                            Gbk<"要求放慢（">() + std::to_string(result.statusCode) + Gbk<"）">());
      long long pauseMs = host.delayMs;
      if (result.retryAfterMs >= 0) {
        pauseMs = std::min(result.retryAfterMs, kMaxRetryAfterMs);
        if (!line.empty()) {
          line += Gbk<"，按 Retry-After 暂停 ">() + std::to_string(pauseMs) + Gbk<" 毫秒">();
        }
      }
      host.pausedUntil = std::max(host.pausedUntil, now + std::chrono::milliseconds(pauseMs));
    } else if (result.HasPage()) {
      host.clean = 0;
      if (++host.empty >= kEmptyInARow) {
        host.empty = 0;
        line = SlowDownLocked(ticket.host, host, ticket,
                              Gbk<"连续 ">() + std::to_string(kEmptyInARow) + Gbk<" 次空白应答">());
      }
    } else {
      host.clean = 0;
      host.empty = 0;
    }
  }
  if (!line.empty() && m_onChange) m_onChange(line);
}

int BackOff::DelayMs(std::string_view url) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_hosts.find(HostOf(url));
  return it == m_hosts.end() ? m_baseDelayMs : it->second.delayMs;
}

}  // namespace tarnlow
