#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace pellora {

// Called between the slices of every wait, so the window can repaint and a
// Stop button can run. The desktop program processes its pending events here;
// tests and the command-line tool usually leave it empty.
using EventPump = std::function<void()>;

// The pump of every wait whose owner has none of its own.
void SetDefaultEventPump(EventPump pump);

// Runs pump, or the default pump when pump is empty.
void RunPump(const EventPump& pump);

// The way a descriptor must become ready for its owner to make progress.
enum class Direction : std::uint8_t { Read, Write, Either };

// The waits of one connection, one operation after another. The pump may stop
// or close the connection whose wait called it; the wait in progress then
// ends at its next check instead of waiting on.
struct WaitState {
  std::chrono::steady_clock::time_point deadline{};
  bool hasDeadline = false;
  bool timedOut = false;         // the operation ended because nothing moved in time
  bool cancel = false;           // set by CancelWaits and by a deadline that ran out; the owner clears it
  std::uint64_t generation = 0;  // grows with every close of the descriptor
};

// An operation's first wait: not timed out, timeOutMs from now (no deadline
// for 0 or less).
void StartOperation(WaitState& state, std::int32_t timeOutMs);
// Progress: the wait gets its full time again.
void RestartDeadline(WaitState& state, std::int32_t timeOutMs);
// The operator's Stop: every wait ends as Cancelled until the owner clears
// the flag.
inline void CancelWaits(WaitState& state) { state.cancel = true; }
// The descriptor has gone: the wait on it ends as Closed.
inline void NoteClosed(WaitState& state) { ++state.generation; }

enum class WaitEnd : std::uint8_t { Ready, Cancelled, TimedOut, Closed, Watched };

struct WaitOn {
  int fd = -1;
  Direction direction = Direction::Read;
  // Another connection whose incoming bytes end the wait as Watched: its
  // descriptor and the bytes already taken off it. Read at every check, as
  // the pump may close it.
  const int* watchFd = nullptr;
  const std::string* watchReceived = nullptr;
  // Bytes leaving the socket's send queue count as progress, so a peer that
  // reads slowly but steadily is waited for.
  bool queueIsProgress = false;
};

// Sleeps in poll() until on.fd is ready, calling the pump between short
// slices; checks the cancel flag, the deadline and a close at every slice. A
// passed deadline sets timedOut and cancel. timeOutMs is read at every
// restart, as the pump may change it. Raises ESockError when poll fails.
WaitEnd Wait(WaitState& state, const WaitOn& on, const std::int32_t& timeOutMs, const EventPump& pump);

}  // namespace pellora
