// The wait every connection sleeps in, on a local socket pair: the direction
// decides what counts as ready, and the deadline, a Stop and a close from the
// pump each end it their own way.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "ftp/Wait.h"

using namespace pellora;

TEST(Wait, EndsOnReadinessOfItsDirectionDeadlineStopOrClose) {
  enum Setup { Idle, PeerWrote, SendQueueFull, FullAndPeerWrote };
  enum PumpAction { Nothing, Cancel, Close };
  const struct {
    Setup setup;
    Direction direction;
    std::int32_t timeOut;
    PumpAction third;  // what the pump does on its third call
    WaitEnd end;
  } cases[] = {
      {PeerWrote, Direction::Read, 60, Nothing, WaitEnd::Ready},
      {Idle, Direction::Read, 60, Nothing, WaitEnd::TimedOut},
      {Idle, Direction::Write, 60, Nothing, WaitEnd::Ready},
      {SendQueueFull, Direction::Write, 60, Nothing, WaitEnd::TimedOut},
      {FullAndPeerWrote, Direction::Either, 60, Nothing, WaitEnd::Ready},
      {Idle, Direction::Read, 0, Cancel, WaitEnd::Cancelled},
      {Idle, Direction::Read, 0, Close, WaitEnd::Closed},
  };
  for (const auto& c : cases) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    if (c.setup == SendQueueFull || c.setup == FullAndPeerWrote) {
      const char block[4096] = {};
      while (::write(fds[0], block, sizeof block) > 0) {
      }
    }
    if (c.setup == PeerWrote || c.setup == FullAndPeerWrote) {
      ASSERT_EQ(::write(fds[1], "x", 1), 1);
    }
    WaitState state;
    StartOperation(state, c.timeOut);
    int pumped = 0;
    const EventPump pump = [&] {
      if (++pumped != 3) return;
      if (c.third == Cancel) CancelWaits(state);
      if (c.third == Close) NoteClosed(state);
    };
    const WaitEnd end = Wait(state, {fds[0], c.direction}, c.timeOut, pump);
    EXPECT_EQ(end, c.end) << &c - cases;
    EXPECT_EQ(state.timedOut, c.end == WaitEnd::TimedOut) << &c - cases;
    EXPECT_EQ(state.cancel, c.end == WaitEnd::TimedOut || c.end == WaitEnd::Cancelled) << &c - cases;
    if (c.third != Nothing) {
      EXPECT_EQ(pumped, 3) << &c - cases;
    }
    ::close(fds[0]);
    ::close(fds[1]);
  }
}
