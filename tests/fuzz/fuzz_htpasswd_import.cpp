// A .htpasswd to adopt comes from another server: any bytes must neither
// crash nor leak, every line must be counted once, and the adopted users
// written out as generation writes them must be adopted again whole.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/UserList.h"
#include "project/Htpasswd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pellora::UserList users;
  const pellora::HtpasswdImport result = pellora::ImportHtpasswd(text, users);
  if (result.Added != users.CountUsers()) std::abort();
  if (result.Messages.size() > pellora::kMaxImportMessages) std::abort();

  std::string written;
  for (const pellora::TUserList& user : users) written += user.UserName + ':' + user.Hash + "\r\n";
  pellora::UserList again;
  const pellora::HtpasswdImport second = pellora::ImportHtpasswd(written, again);
  if (second.Added != result.Added || second.Skipped != 0 || second.Duplicates != 0) std::abort();
  return 0;
}
