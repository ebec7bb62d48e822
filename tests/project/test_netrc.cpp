#include <gtest/gtest.h>

#include "project/Netrc.h"

using namespace pellora;

namespace {

struct Case {
  const char* what;
  std::string text;
  const char* host;
  const char* user;
  bool found;
  std::optional<std::string> login;
  std::optional<std::string> password;
};

const std::optional<std::string> kNone;

}  // namespace

TEST(Netrc, GrammarAndChoiceOfEntry) {
  const Case cases[] = {
      {"one line", "machine h login u password p", "h", "", true, "u", "p"},
      {"host without regard to case", "machine FTP.Example.ORG\nlogin u\npassword p\n", "ftp.example.org", "", true,
       "u", "p"},
      {"CR LF line ends", "machine h\r\n\tlogin u\r\n\tpassword p\r\n", "h", "", true, "u", "p"},
      {"another host only", "machine other login u password p", "h", "", false, kNone, kNone},
      {"default entry", "machine other login a password b\ndefault login anonymous password me@x", "h", "", true,
       "anonymous", "me@x"},
      {"a machine before the default wherever it stands", "default login d password dp\nmachine h login u password p",
       "h", "", true, "u", "p"},
      {"comments", "# machine h login bad password bad\nmachine h login u # password bad\npassword p", "h", "", true,
       "u", "p"},
      {"macro skipped to the empty line", "macdef init\ncd /\nmachine h login bad password bad\n\nmachine h login u",
       "h", "", true, "u", kNone},
      {"macro with CR LF", "macdef m\r\nmachine h login bad\r\n\r\nmachine h password p", "h", "", true, kNone, "p"},
      {"quoted tokens", R"(machine "h" login "a b" password "q\"\\\tz")", "h", "", true, "a b", "q\"\\\tz"},
      {"no password token", "machine h login u\nmachine h2 login v password w", "h", "", true, "u", kNone},
      {"password token without value", "machine h login u password", "h", "", true, "u", kNone},
      {"the project's user picks the entry", "machine h login a password pa\nmachine h login b password pb", "h", "b",
       true, "b", "pb"},
      {"an entry without login fits any user", "machine h password p", "h", "x", true, kNone, "p"},
      {"no entry for that user", "machine h login a password pa", "h", "b", false, kNone, kNone},
  };
  for (const Case& c : cases) {
    const std::optional<NetrcEntry> entry = FindNetrcEntry(ParseNetrc(c.text), c.host, c.user);
    ASSERT_EQ(entry.has_value(), c.found) << c.what;
    if (!entry) continue;
    EXPECT_EQ(entry->Login, c.login) << c.what;
    EXPECT_EQ(entry->Password, c.password) << c.what;
  }
}
