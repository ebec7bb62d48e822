// check and publish --check through the built binary: what each says and its
// exit status, against a real web server for a folder it protects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/Apache.h"
#include "support/CliTest.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::StartsWith;

class Check : public testing::CliTest {};

TEST_F(Check, SaysWhetherTheFolderIsProtectedAndWhyNot) {
  if (!fs::exists(testing::kApache)) GTEST_SKIP() << testing::kApache << " is not installed (scripts/setup)";
  ::umask(022);
  testing::TempDir site;
  const std::string root = site.Path().string();
  ::chmod(root.c_str(), 0755);  // the server's workers run as another account under root
  testing::ApacheOptions options;
  options.Extra =
      "<Directory \"" + root + "/htdocs\">\n  <Files \".ht*\">\n    Require all denied\n  </Files>\n</Directory>\n";
  testing::Apache server(root, options);
  std::string why;
  ASSERT_TRUE(server.Start(why)) << why;
  const fs::path members = server.DocumentRoot() / "members";
  fs::create_directories(members);
  testing::WriteFile(members / "index.html", "members only\n");

  // Saved to the local disk straight into the web folder, .htpasswd beside .htaccess.
  ProjectSettings settings;
  settings.FtpServerPath = root + "/";
  settings.AuthUserFile = "/htdocs/members";
  settings.ToFtpServer = false;
  settings.LocalDirectory = members.string();
  MakeProject({testing::User("anna", "Secret1"), testing::User("dis", "Nope2", true)}, settings);
  testing::Result r = Run({"publish", project_, "--check"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "Please input the web address of the protected folder.\n");
  EXPECT_FALSE(fs::exists(members / ".htaccess")) << "nothing is published when the check cannot run";

  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/members/";
  ASSERT_EQ(Run({"set", project_, "CHECKURL", url}).Status, 0);
  r = Run({"publish", project_, "--check"});
  EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, EndsWith("  Wrong password is refused: 401 ... OK\n  .htpasswd not served: 403 at " + url +
                              ".htpasswd ... OK\n* The folder is protected\n"));
  EXPECT_EQ(r.Out.find("Secret1"), std::string::npos);

  const std::string elsewhere = "http://127.0.0.1:" + std::to_string(testing::FreePort()) + "/";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;  // its beginning
  } cases[] = {
      {{}, 0, ""},
      {{"--url", "ftp://127.0.0.1/"}, 1, "The protected address must be a web address beginning with http://"},
      {{"--user", "dis"}, 1, "The user dis has no line in .htpasswd"},
      {{"--url", url + "../elsewhere/"}, 1, "pellora-cli: nothing is served at this address"},
      {{"--url", elsewhere}, 3, "pellora-cli: connection error: "},
      {{"--timeout", "0"}, 2, "pellora-cli: check: --timeout must be from 1 to 600 seconds"},
      {{"--offline"}, 1, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"check", project_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = Run(args);
    SCOPED_TRACE(args.size() > 2 ? args[2] : "");
    EXPECT_EQ(r.Status, c.status) << r.Out << r.Err;
    EXPECT_THAT(r.Err, StartsWith(c.err));
  }
  EXPECT_EQ(r.Out, "Warning: DES hashes are not accepted by Apache on Windows; bcrypt works on every Apache 2.4\n");
}

}  // namespace
}  // namespace pellora
