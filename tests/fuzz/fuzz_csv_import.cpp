// CSV files are imported from other programs: any bytes, decoded as the file
// import decodes them, must neither crash nor leak, and every user imported
// must come back from an export and a second import.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/UserList.h"
#include "project/Csv.h"
#include "project/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = pellora::DecodeFileText(std::string(reinterpret_cast<const char*>(data), size));
  pellora::UserList users;
  const std::size_t added = pellora::ImportCsv(text, users);
  if (added != users.CountUsers()) std::abort();

  // The raw bytes too: the import of the decoded text is not the only caller.
  pellora::UserList raw;
  pellora::ImportCsv(std::string_view(reinterpret_cast<const char*>(data), size), raw);

  pellora::UserList again;
  if (pellora::ImportCsv(pellora::ExportCsv(users), again) != added) {
    std::fprintf(stderr, "an export of %zu users imports as a different count\n", added);
    std::abort();
  }
  return 0;
}
