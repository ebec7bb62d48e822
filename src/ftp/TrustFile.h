#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pellora {

// The certificates the operator chose to trust although no authority vouches
// for them: one line per server, "HOST:PORT SHA256:<base64>", in a file of
// the working folder that only its owner may read (0600).
std::filesystem::path TrustFilePath();

// The digest kept for the server, 32 raw bytes; nothing when none is kept.
std::optional<std::string> PinnedCertificate(const std::filesystem::path& file, const std::string& server);

// Keeps the digest for a server that has none yet; a kept one is never
// replaced. False when the file cannot be written.
bool PinCertificate(const std::filesystem::path& file, const std::string& server, std::string_view sha256);

}  // namespace pellora
