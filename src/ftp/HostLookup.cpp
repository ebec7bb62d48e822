#include "ftp/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "ftp/SocketErrors.h"

namespace pellora {

namespace {

HostLookup& LookupOverride() {
  static HostLookup lookup;
  return lookup;
}

std::optional<std::uint32_t> SystemLookup(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  std::optional<std::uint32_t> address;
  if (!host.empty() && ::getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0 && result)
    address = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
  if (result) ::freeaddrinfo(result);
  return address;
}

// A lookup the caller waits for on the eventfd with poll; when the caller
// walks away (Stop), the thread finishes alone and the last owner closes the
// descriptor.
struct PendingLookup {
  int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  std::atomic<bool> done{false};
  bool ok = false;
  std::uint32_t address = 0;
  ~PendingLookup() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

void SetHostLookup(HostLookup lookup) { LookupOverride() = std::move(lookup); }

std::optional<std::uint32_t> DottedAddress(const std::string& host) {
  in_addr dotted{};
  if (::inet_pton(AF_INET, host.c_str(), &dotted) != 1) return std::nullopt;
  return ntohl(dotted.s_addr);
}

std::string DottedText(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

std::optional<std::uint32_t> LookUpHost(const std::string& host, WaitState& wait, const std::int32_t& timeOutMs,
                                        const EventPump& pump) {
  auto job = std::make_shared<PendingLookup>();
  if (job->fd < 0) return std::nullopt;
  // Each lookup is a wait of its own: the one before it has moved things on.
  RestartDeadline(wait, timeOutMs);
  try {
    std::thread([job, host, lookup = LookupOverride() ? LookupOverride() : HostLookup(SystemLookup)] {
      if (std::optional<std::uint32_t> address = lookup(host)) {
        job->address = *address;
        job->ok = true;
      }
      job->done.store(true, std::memory_order_release);
      std::uint64_t one = 1;
      [[maybe_unused]] auto written = ::write(job->fd, &one, sizeof one);
    }).detach();
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  while (!job->done.load(std::memory_order_acquire)) {
    switch (Wait(wait, {job->fd, Direction::Read}, timeOutMs, pump)) {
      case WaitEnd::Ready:
      case WaitEnd::Watched: break;
      case WaitEnd::TimedOut: wait.cancel = false; throw ESockError("Host Lookup Timed Out");
      case WaitEnd::Cancelled:
      case WaitEnd::Closed: wait.cancel = false; throw ESockError("Host Lookup Canceled");
    }
  }
  if (!job->ok) return std::nullopt;
  return job->address;
}

}  // namespace pellora
