#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pellora {

// The host keys the operator accepted in this program, in OpenSSH's
// known_hosts format, in a file of the working folder that only its owner
// may read (0600). The operator's own ~/.ssh/known_hosts is read, never written.
std::filesystem::path KnownHostsPath();
std::filesystem::path UserKnownHostsPath();  // empty when there is no home folder

// The name a known_hosts line gives a server: "host" on port 22, "[host]:port"
// elsewhere.
std::string KnownHostName(const std::string& host, int port);

// The key type a public key blob names ("ssh-ed25519"); nothing when the blob
// is too short to name one.
std::optional<std::string> KeyBlobType(std::string_view blob);

// Padded base64, as key lines hold key blobs.
std::string Base64(std::string_view bytes);
// The bytes of padded or unpadded base64, line breaks skipped; nothing for
// anything else.
std::optional<std::string> FromBase64(std::string_view text);

// Adds "NAME TYPE BASE64" for the server; false when the file cannot be
// written.
bool AddKnownHost(const std::filesystem::path& file, const std::string& name, std::string_view blob);

// Whether a private key file's text says it is encrypted: OpenSSH's own
// format with a cipher other than "none", or PEM marked as encrypted.
bool KeyFileEncrypted(std::string_view text);

}  // namespace pellora
