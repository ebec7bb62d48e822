#include "ftp/TrustFile.h"

#include <sstream>

#include "ftp/TlsTransport.h"
#include "platform/Files.h"
#include "platform/WorkingFolder.h"

namespace pellora {

std::filesystem::path TrustFilePath() { return WorkingFile("trusted-certificates"); }

std::optional<std::string> PinnedCertificate(const std::filesystem::path& file, const std::string& server) {
  std::string text;
  if (!ReadWholeFile(file, text)) return std::nullopt;
  std::istringstream lines(text);
  for (std::string name, fingerprint; lines >> name >> fingerprint;)
    if (name == server) return ParseFingerprint(fingerprint);
  return std::nullopt;
}

bool PinCertificate(const std::filesystem::path& file, const std::string& server, std::string_view sha256) {
  if (PinnedCertificate(file, server)) return false;
  std::string text;
  ReadWholeFile(file, text);
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += server + " " + FingerprintText(sha256) + "\n";
  return WriteFileAtomic(file, text, 0600);
}

}  // namespace pellora
