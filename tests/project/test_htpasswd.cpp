#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Files.h"
#include "common/Users.h"
#include "project/Htpasswd.h"

using namespace pellora;
using namespace pellora::testing;

namespace {

struct Case {
  const char* Name;
  std::string Text;
  std::vector<std::string> Users;  // name:hash in list order, "bob" already in the project
  std::size_t Skipped, Duplicates;
  std::vector<std::string> Messages;
};

const std::string kSha = "{SHA}W6ph5Mm5Pz8GgiULbPgzG37mj9g=";
const std::string kPlain =
    ": Apache reads it as plain text on Windows and NetWare only, elsewhere it never matches; "
    "kept as it is until a password is set.";

}  // namespace

TEST(HtpasswdImport, LinesBecomeHashOnlyUsers) {
  const std::string longLine = "long:" + std::string(7995, 'x');
  const char bytes[] =
      "\x7f"
      "ELF\x02\x01:\x01\0\0\0\xff\xfe:\x80\n\0\0carl:abDEFghIJklmn\n\xc3(:x";
  const std::string binary(bytes, sizeof bytes - 1);
  const std::vector<Case> cases{
      {"comments, blank, no colon, spaces",
       "# made by hand\n\n  \nnocolon\n  dora:abcdefghijklm  \n:x\ny:\n",
       {"bob:", "dora:abcdefghijklm"},
       6,
       0,
       {}},
      {"BOM and CR LF",
       "\xEF\xBB\xBF"
       "al:$apr1$aaaaaaaa$bbbbbbbbbbbbbbbbbbbbbb\r\ncy:$2y$05$abc\r\n",
       {"al:$apr1$aaaaaaaa$bbbbbbbbbbbbbbbbbbbbbb", "bob:", "cy:$2y$05$abc"},
       0,
       0,
       {}},
      {"duplicates of the project and of the file",
       "bob:$5$x\nal:$6$a\nal:$6$b\n",
       {"al:$6$a", "bob:"},
       0,
       2,
       {"The User bob has been existed!", "The User al has been existed!"}},
      {"{SHA} and plain kept with a warning",
       "al:" + kSha + "\ncy:secret\n",
       {"al:" + kSha, "bob:", "cy:secret"},
       0,
       0,
       {"The User al has an unsalted {SHA} hash: kept as it is until a password is set.",
        "The User cy has a plain-text password" + kPlain}},
      {"a line of 8,000 bytes", longLine + "\nal:$1$s$h\r", {"al:$1$s$h", "bob:"}, 1, 0, {}},
      {"binary data", binary, {"bob:", "carl:abDEFghIJklmn"}, 2, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    UserList users;
    users.AppendUser(User("bob", "pw"));
    const HtpasswdImport result = ImportHtpasswd(c.Text, users);
    std::vector<std::string> got;
    for (const TUserList& u : users) {
      got.push_back(u.UserName + ':' + u.Hash);
      EXPECT_EQ(HashOnly(u), u.UserName != "bob");
    }
    EXPECT_EQ(got, c.Users);
    EXPECT_EQ(result.Added, c.Users.size() - 1);
    EXPECT_EQ(result.Skipped, c.Skipped);
    EXPECT_EQ(result.Duplicates, c.Duplicates);
    EXPECT_EQ(result.Messages, c.Messages);
  }
}

TEST(HtpasswdImport, CountsStayExactWhileMessagesStop) {
  std::string text;
  for (int n = 0; n < 100; ++n) text += "al:$6$x\n";
  UserList users;
  const HtpasswdImport result = ImportHtpasswd(text, users);
  EXPECT_EQ(ImportSummary(result), "1 user imported, 0 lines skipped, 99 duplicates refused.");
  EXPECT_EQ(result.Messages.size(), kMaxImportMessages);
  TempDir dir;
  EXPECT_FALSE(ImportHtpasswdFile(dir.File("none"), users));
  EXPECT_FALSE(ImportHtpasswdFile(dir.Path().string(), users));
}
