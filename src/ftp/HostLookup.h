#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ftp/Wait.h"

namespace pellora {

// Looks a host name up; the IPv4 address in host byte order, nothing when
// the name has none. It runs on a thread of its own.
using HostLookup = std::function<std::optional<std::uint32_t>(const std::string& host)>;

// Replaces the system's name lookup for every connection (empty: the
// system's again), so that tests can stage names that change their address.
void SetHostLookup(HostLookup lookup);

// The address of a host written as one ("10.0.0.1"), in host byte order;
// nothing for a name.
std::optional<std::uint32_t> DottedAddress(const std::string& host);
// "10.0.0.1" for an address in host byte order.
std::string DottedText(std::uint32_t address);

// Looks the name up on a thread of its own while the caller's wait goes on:
// the lookup gets a deadline of its own, the pump runs, and Stop or a close
// of the caller's connection walks away from it. Nothing when the name has no
// address or no thread can be had. Raises ESockError "Host Lookup Timed Out"
// or "Host Lookup Canceled", with the cancel flag cleared.
std::optional<std::uint32_t> LookUpHost(const std::string& host, WaitState& wait, const std::int32_t& timeOutMs,
                                        const EventPump& pump);

}  // namespace pellora
