// Replies as a hostile or broken server may send them, in the pieces the
// network may cut them into: the reader must take lines off the received
// bytes, number them and find where each reply ends without crashing,
// leaking or growing without bound.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/FtpClient.h"
#include "ftp/LineReader.h"
#include "ftp/SockConnection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the size of the pieces the bytes arrive in.
  const std::size_t piece = 1 + data[0] % 64;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string received;
  std::string first;  // the first line of the reply being read; empty between replies
  int lines = 0;
  while (!rest.empty()) {
    received.append(rest.substr(0, piece));
    rest.remove_prefix(std::min(piece, rest.size()));
    try {
      while (std::optional<std::string> line = pellora::TakeLine(received)) {
        if (line->empty() || line->back() != '\n') std::abort();
        if (line->size() > 65536) std::abort();
        if (first.empty()) {
          first = *line;
          lines = 0;
          if (pellora::ReplyNumberOf(*line) < 0) std::abort();
          (void)pellora::ParsePasvPort(*line);
        }
        ++lines;
        const bool continues = pellora::ReplyContinues(first, *line);
        // A later line of the first line's code and a space always ends it.
        if (continues && lines > 1 && line->size() >= 4 && line->compare(0, 3, first, 0, 3) == 0 && (*line)[3] == ' ')
          std::abort();
        // At the cap the client gives the reply up with an error; whatever
        // follows is read as a new reply.
        if (!continues || lines == pellora::kMaxReplyLines) first.clear();
      }
    } catch (const pellora::ESockError&) {
      if (!received.empty()) std::abort();  // a refused line leaves nothing behind
      first.clear();
    }
    if (received.size() >= 65536) std::abort();
  }
  return 0;
}
