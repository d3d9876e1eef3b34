#include "app/delay.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace tarnlow {

namespace {

using DelayFunction = int (*)(int);

// A cancel or a close ends a wait within one slice.
constexpr std::chrono::milliseconds kSlice{50};

std::mutex g_bindMutex;
std::atomic<DelayFunction> g_delay{nullptr};

}  // namespace

bool BindDelayLibrary(const std::filesystem::path& dir) {
  std::lock_guard lock(g_bindMutex);
  // A library once opened stays open: another thread may be inside its Delay.
  void* library = ::dlopen((dir / "libDelay.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  void* symbol = library ? ::dlsym(library, "Delay") : nullptr;
  if (library && !symbol) ::dlclose(library);
  g_delay.store(reinterpret_cast<DelayFunction>(symbol));
  return symbol != nullptr;
}

bool DelayLibraryBound() { return g_delay.load() != nullptr; }

void Delay(int milliseconds) {
  if (milliseconds <= 0) return;
  if (DelayFunction delay = g_delay.load()) {
    delay(milliseconds);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool WaitUnlessStopped(int milliseconds, const std::function<bool()>& stop) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (stop && stop()) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return true;
    Delay(static_cast<int>(std::min(left, kSlice).count()));
  }
}

}  // namespace tarnlow
