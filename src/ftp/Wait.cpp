#include "ftp/Wait.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "ftp/SocketErrors.h"

namespace pellora {

namespace {

using Clock = std::chrono::steady_clock;

// Long enough that an idle wait costs next to nothing, short enough that the
// window never feels stuck.
constexpr int kSliceMs = 25;

EventPump& DefaultPump() {
  static EventPump pump;
  return pump;
}

// Bytes written to the socket that the peer has not yet acknowledged; -1
// when the system does not say.
long UnsentBytes(int fd) {
  int unsent = 0;
  if (fd < 0 || ::ioctl(fd, TIOCOUTQ, &unsent) != 0) return -1;
  return unsent;
}

short PollEvents(Direction direction) {
  switch (direction) {
    case Direction::Read: return POLLIN;
    case Direction::Write: return POLLOUT;
    case Direction::Either: break;
  }
  return POLLIN | POLLOUT;
}

}  // namespace

void SetDefaultEventPump(EventPump pump) { DefaultPump() = std::move(pump); }

void RunPump(const EventPump& pump) {
  // A copy, so a pump that replaces itself does not pull the rug from under us.
  EventPump run = pump ? pump : DefaultPump();
  if (run) run();
}

void StartOperation(WaitState& state, std::int32_t timeOutMs) {
  state.timedOut = false;
  RestartDeadline(state, timeOutMs);
}

void RestartDeadline(WaitState& state, std::int32_t timeOutMs) {
  state.hasDeadline = timeOutMs > 0;
  if (state.hasDeadline) state.deadline = Clock::now() + std::chrono::milliseconds(timeOutMs);
}

WaitEnd Wait(WaitState& state, const WaitOn& on, const std::int32_t& timeOutMs, const EventPump& pump) {
  const std::uint64_t generation = state.generation;
  const bool watching = on.watchFd != nullptr;
  long unsent = on.queueIsProgress ? UnsentBytes(on.fd) : -1;
  for (;;) {
    if (state.cancel) return WaitEnd::Cancelled;
    int slice = kSliceMs;
    if (state.hasDeadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(state.deadline - Clock::now()).count();
      if (left <= 0) {
        state.timedOut = true;
        state.cancel = true;
        return WaitEnd::TimedOut;
      }
      slice = static_cast<int>(std::min<long long>(slice, left));
    }
    if (on.watchReceived && !on.watchReceived->empty()) return WaitEnd::Watched;
    pollfd fds[2] = {{on.fd, PollEvents(on.direction), 0}, {watching ? *on.watchFd : -1, POLLIN, 0}};
    int n = ::poll(fds, watching ? 2 : 1, slice);
    if (n < 0 && errno != EINTR) throw ESockError(ErrnoText(errno));
    if (n > 0) {
      if (fds[0].revents) return WaitEnd::Ready;
      if (watching && fds[1].revents) return WaitEnd::Watched;
    }
    if (on.queueIsProgress) {
      const long now = UnsentBytes(on.fd);
      if (now >= 0 && now < unsent) RestartDeadline(state, timeOutMs);
      unsent = now;
    }
    RunPump(pump);
    if (state.generation != generation) return WaitEnd::Closed;
  }
}

}  // namespace pellora
