#include <gtest/gtest.h>

#include <functional>

#include "generate/Warnings.h"

namespace pellora {
namespace {

// Settings that put the files where they do not protect, each against the
// warning it gives; a warning is told by its beginning.
TEST(ProtectionWarnings, NameWhatTheSettingsPutInTheWrongPlace) {
  const struct {
    const char* setup;
    std::function<void(ProjectSettings&)> apply;
    std::vector<std::string> starts;
  } cases[] = {
      {"a usual setup", [](ProjectSettings&) {}, {}},
      {"the sample FULL HOST path",
       [](ProjectSettings& s) { s.FtpServerPath = "/home/yourloginname/"; },
       {"  Warning: the FULL HOST path is still the sample /home/yourloginname/"}},
      {"a relative FULL HOST path",
       [](ProjectSettings& s) { s.FtpServerPath = "home/web"; },
       {"  Warning: the .htpasswd path \"home/web/.htpasswd\" is not absolute"}},
      {".htpasswd beside the protected folder",
       [](ProjectSettings& s) { s.AuthUserFile = "/public_html/pw"; },
       {"  Warning: .htpasswd goes into /public_html/pw/, inside the web site /public_html/"}},
      {"a web directory of / makes the whole account the site",
       [](ProjectSettings& s) { s.FtpWebDirectory = " / "; },
       {"  Warning: .htpasswd goes into /, inside the web site /:"}},
      {"saved to the local disk, where the web folder is not known",
       [](ProjectSettings& s) {
         s.ToFtpServer = false;
         s.AuthUserFile = "/public_html/";
       },
       {}},
      {"an error page at a full address",
       [](ProjectSettings& s) { s.RedirectError = true; },
       {"  Warning: Apache cannot answer a wrong password with a full address as the error page"}},
      {"an error page of the same site",
       [](ProjectSettings& s) {
         s.RedirectError = true;
         s.RedirectErrorPage = "/denied.htm";
       },
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    ProjectSettings settings;
    settings.FtpServerPath = "/home/web/";
    settings.FtpWebDirectory = "/public_html/members/";
    c.apply(settings);
    const std::vector<std::string> lines = ProtectionWarnings({}, settings);
    ASSERT_EQ(lines.size(), c.starts.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_TRUE(lines[i].starts_with(c.starts[i])) << lines[i];
  }
}

}  // namespace
}  // namespace pellora
