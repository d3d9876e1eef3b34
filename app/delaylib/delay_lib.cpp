// libDelay.so: the wait the program binds by name at run time.

#include <chrono>
#include <thread>

// Returns after `milliseconds` on the calling thread: 1 when it waited, 0 for
// a negative argument.
extern "C" __attribute__((visibility("default"))) int Delay(int milliseconds) {
  if (milliseconds < 0) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return 1;
}
