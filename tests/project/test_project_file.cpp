#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/Files.h"
#include "common/Users.h"
#include "platform/IniFile.h"
#include "project/ProjectFile.h"
#include "project/TextEncoding.h"

using namespace pellora;
using namespace pellora::testing;

namespace {

// Settings that differ from every default, so a field that is not read shows.
ProjectSettings Garbage() {
  ProjectSettings s;
  s.AuthUserFile = s.FtpServerPath = s.AuthName = s.RedirectErrorPage = s.FtpHost = s.FtpPort = s.FtpUser =
      s.FtpPassword = s.FtpWebDirectory = s.LocalDirectory = "garbage";
  s.RedirectError = true;
  s.ToFtpServer = s.FtpPassive = false;
  return s;
}

ProjectSettings ReadDefaults() {
  ProjectSettings s;
  s.AuthUserFile = s.FtpServerPath = s.AuthName = "";
  return s;
}

struct Loaded {
  bool ok = false;
  UserList users;
  ProjectSettings settings = Garbage();
};

void Load(const std::string& path, Loaded& out) { out.ok = LoadProjectFile(path, out.users, out.settings); }

}  // namespace

// ---- Writing and reading back ----

TEST(ProjectFile, RoundTripKeepsEveryFieldAndTrimsSettings) {
  TempDir dir;
  UserList users;
  users.AppendUser(User("zed", "pw1", false, "z@example.org", "Zed Z", "one line"));
  users.AppendUser(User("alice", "p=w;2", true, "", "", "first\r\nsecond\r\n\r\nfourth"));
  users.AppendUser(User("Jos\xC3\xA9", "", false, "a@b", "Jos\xC3\xA9 M\xC3\xBCller", ""));
  // Each text setting as typed and as it must come back.
  const struct {
    std::string ProjectSettings::*member;
    const char* typed;
    const char* stored;
  } texts[] = {
      {&ProjectSettings::AuthUserFile, "  /home/me/.htpasswd \t", "/home/me/.htpasswd"},
      {&ProjectSettings::FtpServerPath, "\t/home/me/ ", "/home/me/"},
      {&ProjectSettings::AuthName, " Members  Area ", "Members  Area"},
      {&ProjectSettings::RedirectErrorPage, " http://x.example/e.htm", "http://x.example/e.htm"},
      {&ProjectSettings::FtpHost, " ftp.example.org ", "ftp.example.org"},
      {&ProjectSettings::FtpPort, " 2121 ", "2121"},
      {&ProjectSettings::FtpUser, " me", "me"},
      {&ProjectSettings::FtpPassword, "s3cret ", "s3cret"},
      {&ProjectSettings::FtpWebDirectory, " /www/ ", "/www/"},
      {&ProjectSettings::LocalDirectory, " /tmp/out ", "/tmp/out"},
  };
  ProjectSettings settings, trimmed;
  for (const auto& text : texts) {
    settings.*text.member = text.typed;
    trimmed.*text.member = text.stored;
  }
  for (ProjectSettings* s : {&settings, &trimmed}) {
    s->RedirectError = true;
    s->ToFtpServer = false;
    s->FtpPassive = false;
  }
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, settings));

  Loaded back;
  Load(dir.File("p.htp"), back);
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(AllFields(back.users), AllFields(users));
  EXPECT_EQ(back.settings, trimmed);
}

// Every row of the table of settings, changed on its own: the file holds it
// under its key, reading gives it back and leaves every other setting alone,
// and a file without the key gives the row's file default.
TEST(ProjectFile, EverySettingOfTheTableRoundTrips) {
  TempDir dir;
  UserList none;
  for (const SettingRow& row : SettingRows()) {
    SCOPED_TRACE(row.Key);
    ProjectSettings settings;
    std::string line = std::string(row.Key) + "=";
    if (row.Text) {
      settings.*row.Text = std::string(" value of ") + row.Key + " ";
      line += std::string("value of ") + row.Key;
    } else {
      settings.*row.Flag = !(settings.*row.Flag);
      line += settings.*row.Flag ? "1" : "0";
    }
    ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), none, settings));
    EXPECT_NE(dir.Read("p.htp").find("\r\n" + line + "\r\n"), std::string::npos);
    Loaded back;
    Load(dir.File("p.htp"), back);
    ProjectSettings expected = settings;
    if (row.Text) expected.*row.Text = line.substr(line.find('=') + 1);
    EXPECT_EQ(back.settings, expected);

    dir.Write("bare.htp", "[GENERAL]\r\nUSERCOUNT=0\r\n");
    Loaded bare;
    Load(dir.File("bare.htp"), bare);
    if (row.Text) EXPECT_EQ(bare.settings.*row.Text, row.FileDefault);
    else EXPECT_EQ(bare.settings.*row.Flag, std::string_view(row.FileDefault) == "1");
  }
}

TEST(ProjectFile, WritesTheExactTextForm) {
  TempDir dir;
  UserList users;
  users.AppendUser(User("bob", "pw", true, "b@x", "Bob B", "n"));
  users.AppendUser(User("al"));
  users.AppendUser(User("cy")).Hash = "$apr1$s$h";  // adopted: the only user with the key
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));
  EXPECT_EQ(dir.Read("p.htp"),
            "[USER0]\r\nUSERNAME=bob\r\nPASSWORD=pw\r\nDISABLED=1\r\nEMAIL=b@x\r\nFULLNAME=Bob B\r\nNOTES=n\r\n"
            "[USER1]\r\nUSERNAME=al\r\nPASSWORD=\r\nDISABLED=0\r\nEMAIL=\r\nFULLNAME=\r\nNOTES=\r\n"
            "[USER2]\r\nUSERNAME=cy\r\nPASSWORD=\r\nDISABLED=0\r\nEMAIL=\r\nFULLNAME=\r\nNOTES=\r\nHASH=$apr1$s$h\r\n"
            "[GENERAL]\r\nUSERCOUNT=3\r\nAUTHUSERFILE=/\r\nFTPSERVERPATH=/home/yourloginname/\r\n"
            "AUTHNAME=Members Only Area\r\nREDIRECTERROR=0\r\nREDIRECTERRORPAGE=" +
                std::string(kDefaultErrorPage) +
                "\r\nTOFTPSERVER=1\r\nFTPHOST=\r\nFTPPORT=21\r\nFTPUSER=\r\nFTPPASSWORD=\r\n"
                "FTPWEBDIRECTORY=/public_html/\r\nLOCALDIRECTORY=\r\nFTPPASSIVE=1\r\n");
  Loaded adopted;
  Load(dir.File("p.htp"), adopted);
  ASSERT_EQ(adopted.users.CountUsers(), 3u);
  EXPECT_EQ(adopted.users.First()->Hash, "");
  EXPECT_EQ(adopted.users.Last()->Hash, "$apr1$s$h");

  UserList none;
  ASSERT_TRUE(SaveProjectFile(dir.File("empty.htp"), none, ProjectSettings{}));
  EXPECT_TRUE(dir.Read("empty.htp").starts_with("[GENERAL]\r\nUSERCOUNT=0\r\nAUTHUSERFILE=/\r\n"));
  Loaded back;
  Load(dir.File("empty.htp"), back);
  EXPECT_EQ(back.users.CountUsers(), 0u);
  EXPECT_EQ(back.settings, ProjectSettings{});
}

TEST(ProjectFile, NotesKeepLineBreaksBackslashesAndQuotes) {
  TempDir dir;
  const std::vector<std::string> notes = {
      "C:\\new\\readme.txt",            // one line with backslash-n and backslash-r: stored as is
      "path C:\\new\r\nand C:\\rest",   // a line break and literal backslash sequences together
      "ends with a backslash\\\r\n\\",  // backslashes next to line breaks
      "\"quoted\"",                     // would look like a stored quoted string
      "\"",
      "\"Bob\" is \\\"here\\\"",
      "ends with \"quotes\"",
      "lf only\nand cr only\r",
      "\\r\\n",
      "  inner \r\n  blanks  \r\n",
  };
  UserList users;
  for (std::size_t i = 0; i < notes.size(); ++i)
    users.AppendUser(User("u" + std::to_string(i), "", false, "", "", notes[i]));
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));
  const std::string text = dir.Read("p.htp");
  EXPECT_NE(text.find("\r\nNOTES=C:\\new\\readme.txt\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nNOTES=\\r\\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nNOTES=ends with \"quotes\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nNOTES=\"\\\"\"\r\n"), std::string::npos);
  // Each user section is exactly seven lines: the notes never spill over.
  IniFile ini;
  ini.Parse(text);
  EXPECT_EQ(ini.SectionCount(), notes.size() + 1);

  Loaded back;
  Load(dir.File("p.htp"), back);
  std::vector<std::string> got;
  for (const TUserList& u : back.users) got.push_back(u.Notes);
  EXPECT_EQ(got, notes);
}

TEST(ProjectFile, NotesFromElsewhereAndNotesCutShort) {
  TempDir dir;
  // Long notes of many lines grow when quoted; cut at 2047 characters they
  // still give their first lines, not the stored form.
  std::string lines;
  while (lines.size() < 2000) lines += "line " + std::to_string(lines.size()) + "\r\n";
  UserList users;
  users.AppendUser(User("long", "", false, "", "", lines));
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));
  Loaded back;
  Load(dir.File("p.htp"), back);
  const std::string& notes = back.users.First()->Notes;
  EXPECT_GT(notes.size(), 1600u);
  EXPECT_LT(notes.size(), lines.size());
  EXPECT_EQ(notes, lines.substr(0, notes.size()));

  dir.Write("hand.htp",
            "[USER0]\r\nNOTES=\"quoted by hand\"\r\n[USER1]\r\nNOTES=\"Bob\" and C:\\new\r\n"
            "[USER2]\r\nNOTES=\"open C:\\new\r\n[GENERAL]\r\nUSERCOUNT=3\r\n");
  Loaded hand;
  Load(dir.File("hand.htp"), hand);
  std::vector<std::string> got;
  for (const TUserList& u : hand.users) got.push_back(u.Notes);
  EXPECT_EQ(got, (std::vector<std::string>{"quoted by hand", "\"Bob\" and C:\\new", "\"open C:\\new"}));
}

TEST(ProjectFile, SavingOverAFileReplacesItWholly) {
  TempDir dir;
  dir.Write("p.htp",
            "[USER0]\r\nUSERNAME=old\r\nEXTRA=1\r\n[USER5]\r\nUSERNAME=stale\r\n[MINE]\r\nKEEP=me\r\n"
            "[GENERAL]\r\nUSERCOUNT=6\r\nFTPHOST=old.example\r\n");
  UserList users;
  users.AppendUser(User("new"));
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));
  ASSERT_TRUE(SaveProjectFile(dir.File("fresh.htp"), users, ProjectSettings{}));
  EXPECT_EQ(dir.Read("p.htp"), dir.Read("fresh.htp"));
}

TEST(ProjectFile, NewFilesAreForTheOwnerOnly) {
  TempDir dir;
  UserList users;
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("p.htp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A project reached through a link is saved where the link leads, as an
  // editor saves it: the link stays and the file keeps its mode.
  ASSERT_EQ(::chmod(dir.File("p.htp").c_str(), 0640), 0);
  std::filesystem::create_symlink("p.htp", dir.File("link.htp"));
  users.AppendUser(User("carol"));
  ASSERT_TRUE(SaveProjectFile(dir.File("link.htp"), users, ProjectSettings{}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.htp")));
  Loaded back;
  Load(dir.File("p.htp"), back);
  EXPECT_EQ(Names(back.users), std::vector<std::string>{"carol"});
  ASSERT_EQ(::stat(dir.File("p.htp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// ---- Reading rules ----

TEST(ProjectFile, MissingKeysReadAsTheirFileDefaults) {
  TempDir dir;
  dir.Write("p.htp", "[GENERAL]\r\nUSERCOUNT=1\r\n");
  Loaded back;
  Load(dir.File("p.htp"), back);
  ASSERT_TRUE(back.ok);
  // Not the new-project defaults: the three page-2 texts stay empty.
  EXPECT_EQ(back.settings, ReadDefaults());
  ASSERT_EQ(back.users.CountUsers(), 1u);
  EXPECT_EQ(AllFields(back.users)[0], (Fields{"", "", false, "", "", ""}));

  dir.Write("none.htp", "no section at all\r\n");
  Loaded none;
  Load(dir.File("none.htp"), none);
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.users.CountUsers(), 0u);
  EXPECT_EQ(none.settings, ReadDefaults());
}

TEST(ProjectFile, IntegersAndFlags) {
  TempDir dir;
  dir.Write("p.htp",
            "[USER0]\r\nUSERNAME=a\r\nDISABLED=2\r\n"
            "[USER1]\r\nUSERNAME=b\r\nDISABLED=yes\r\n"
            "[USER2]\r\nUSERNAME=c\r\nDISABLED=0x10\r\n"
            "[USER3]\r\nUSERNAME=d\r\nDISABLED=0x\r\n"
            "[GENERAL]\r\nUSERCOUNT=0x3\r\nREDIRECTERROR=-1\r\nTOFTPSERVER=abc\r\nFTPPASSIVE=0X0\r\n");
  Loaded back;
  Load(dir.File("p.htp"), back);
  auto fields = AllFields(back.users);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_TRUE(fields[0].Disabled);   // 2 is non-zero
  EXPECT_FALSE(fields[1].Disabled);  // yes is no number: the default
  EXPECT_TRUE(fields[2].Disabled);   // hexadecimal 16
  EXPECT_TRUE(back.settings.RedirectError);
  EXPECT_TRUE(back.settings.ToFtpServer);  // not a number: the default
  EXPECT_FALSE(back.settings.FtpPassive);

  for (auto [value, expected] : std::vector<std::pair<std::string, bool>>{{"0", false},
                                                                          {"1", true},
                                                                          {"+1", true},
                                                                          {"12abc", false},
                                                                          {"1.0", false},
                                                                          {"", false},
                                                                          {"99999999999999999999999", true},
                                                                          {"0x", false},
                                                                          {"0xg", false},
                                                                          {"- 1", false}}) {
    dir.Write("f.htp", "[USER0]\r\nDISABLED=" + value + "\r\n[GENERAL]\r\nUSERCOUNT=1\r\n");
    Loaded one;
    Load(dir.File("f.htp"), one);
    ASSERT_EQ(one.users.CountUsers(), 1u);
    EXPECT_EQ(one.users.First()->Disabled, expected) << "DISABLED=" << value;
  }
}

TEST(ProjectFile, UserCountAgainstTheSectionsPresent) {
  TempDir dir;
  const std::string sections =
      "[USER0]\r\nUSERNAME=a\r\nPASSWORD=1\r\n[USER1]\r\nUSERNAME=b\r\n[USER2]\r\nUSERNAME=c\r\n";
  auto load = [&](const std::string& count) {
    dir.Write("p.htp", sections + "[GENERAL]\r\nUSERCOUNT=" + count + "\r\n");
    Loaded back;
    Load(dir.File("p.htp"), back);
    EXPECT_TRUE(back.ok);
    return AllFields(back.users);
  };
  EXPECT_EQ(load("2").size(), 2u);
  auto extra = load("5");
  ASSERT_EQ(extra.size(), 5u);
  EXPECT_EQ(extra[2].UserName, "c");
  EXPECT_EQ(extra[4], (Fields{"", "", false, "", "", ""}));
  for (const char* none : {"0", "-3", "many", "", "-2147483648"}) EXPECT_TRUE(load(none).empty()) << none;

  // A hand-edited count: the empty users beyond the sections are bounded.
  auto huge = load("2147483647");
  EXPECT_EQ(huge.size(), 3u + 4096u);
  EXPECT_EQ(huge[1].UserName, "b");
  EXPECT_EQ(load("0x7FFFFFFFFFFFFFFF").size(), 3u + 4096u);
}

TEST(ProjectFile, SectionsLoadInFileOrderWithGapsAndDuplicates) {
  TempDir dir;
  dir.Write("p.htp",
            "[USER1]\r\nUSERNAME=bob\r\n[USER0]\r\nUSERNAME=zed\r\n[USER2]\r\nUSERNAME=bob\r\n"
            "[USER4]\r\nUSERNAME=after a gap\r\n[GENERAL]\r\nUSERCOUNT=5\r\n");
  Loaded back;
  Load(dir.File("p.htp"), back);
  EXPECT_EQ(Names(back.users), (std::vector<std::string>{"zed", "bob", "bob", "", "after a gap"}));
}

TEST(ProjectFile, LongValuesAreCutTo2047Characters) {
  TempDir dir;
  UserList users;
  users.AppendUser(User(std::string(3000, 'n'), std::string(3000, 'p')));
  ProjectSettings settings;
  settings.AuthName = std::string(3000, 'a');
  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, settings));
  Loaded back;
  Load(dir.File("p.htp"), back);
  ASSERT_EQ(back.users.CountUsers(), 1u);
  EXPECT_EQ(back.users.First()->UserName, std::string(2047, 'n'));
  EXPECT_EQ(back.users.First()->Password, std::string(2047, 'p'));
  EXPECT_EQ(back.settings.AuthName, std::string(2047, 'a'));
}

// ---- Files from elsewhere ----

TEST(ProjectFile, OpensAFileWrittenOnWindows) {
  TempDir dir;
  // Windows-1252: e9 = e acute, 80 = euro sign, fc = u umlaut, 93/94 = curly quotes.
  dir.Write("win.htp",
            "[user0]\r\n"
            "username = Ren\xE9\r\n"
            "Password=\x80uro \r\n"
            "disabled =1\r\n"
            "FullName= J\xFCrgen \x93J\x94\r\n"
            "\r\n"
            "[General]\r\n"
            "UserCount = 1\r\n"
            "AuthName =  Gesch\xFCtzt \r\n"
            "ftpport=2121\r\n"
            "tOfTpSeRvEr = 0\r\n");
  Loaded back;
  Load(dir.File("win.htp"), back);
  ASSERT_TRUE(back.ok);
  ASSERT_EQ(back.users.CountUsers(), 1u);
  EXPECT_EQ(AllFields(back.users)[0],
            (Fields{"Ren\xC3\xA9", "\xE2\x82\xACuro", true, "", "J\xC3\xBCrgen \xE2\x80\x9CJ\xE2\x80\x9D", ""}));
  EXPECT_EQ(back.settings.AuthName, "Gesch\xC3\xBCtzt");
  EXPECT_EQ(back.settings.FtpPort, "2121");
  EXPECT_FALSE(back.settings.ToFtpServer);

  // Saved here, it reads back to the same project, now as UTF-8.
  ASSERT_TRUE(SaveProjectFile(dir.File("here.htp"), back.users, back.settings));
  EXPECT_TRUE(IsValidUtf8(dir.Read("here.htp")));
  Loaded again;
  Load(dir.File("here.htp"), again);
  EXPECT_EQ(AllFields(again.users), AllFields(back.users));
  EXPECT_EQ(again.settings, back.settings);
}

TEST(ProjectFile, TextEncodings) {
  EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  for (std::string bad : {"\xE9", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"})
    EXPECT_FALSE(IsValidUtf8(bad));
  EXPECT_EQ(Windows1252ToUtf8("a\x80\x81\x9F\xA0\xFF"), "a\xE2\x82\xAC\xC2\x81\xC5\xB8\xC2\xA0\xC3\xBF");
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFK=\xC3\xA9"), "K=\xC3\xA9");
  EXPECT_EQ(DecodeFileText("K=\xE9"), "K=\xC3\xA9");
  EXPECT_EQ(DecodeFileText(std::string("\xFF\xFEK\0=\0\xE9\0\x3D\xD8\x00\xDE", 12)), "K=\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(ProjectFile, BadInputLoadsWhatItCan) {
  TempDir dir;
  UserList users;
  for (int i = 0; i < 20; ++i) users.AppendUser(User("user" + std::to_string(i), "pw"));
  ASSERT_TRUE(SaveProjectFile(dir.File("whole.htp"), users, ProjectSettings{}));
  const std::string whole = dir.Read("whole.htp");

  // Cut inside the user sections: no GENERAL, so no count and no users.
  dir.Write("cut.htp", whole.substr(0, whole.size() / 2));
  Loaded cut;
  Load(dir.File("cut.htp"), cut);
  EXPECT_TRUE(cut.ok);
  EXPECT_EQ(cut.users.CountUsers(), 0u);
  EXPECT_EQ(cut.settings, ReadDefaults());

  // Cut inside GENERAL: every user, and the settings that were still there.
  dir.Write("tail.htp", whole.substr(0, whole.find("FTPHOST")));
  Loaded tail;
  Load(dir.File("tail.htp"), tail);
  EXPECT_EQ(tail.users.CountUsers(), 20u);
  EXPECT_EQ(tail.settings.AuthName, "Members Only Area");
  EXPECT_EQ(tail.settings.FtpWebDirectory, "/public_html/");

  std::mt19937 random(42);
  std::string garbage(200000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  dir.Write("garbage.htp", garbage);
  Loaded g;
  Load(dir.File("garbage.htp"), g);
  EXPECT_TRUE(g.ok);

  // Garbage after a good GENERAL, and one line of 10 MB.
  dir.Write("mixed.htp", "[GENERAL]\r\nUSERCOUNT=1\r\n[USER0]\r\nUSERNAME=" + std::string(10 << 20, 'x') + "\r\n" +
                             garbage.substr(0, 1000));
  Loaded m;
  Load(dir.File("mixed.htp"), m);
  ASSERT_EQ(m.users.CountUsers(), 1u);
  EXPECT_EQ(m.users.First()->UserName, std::string(2047, 'x'));
}

// The address space this process has mapped now, in bytes.
std::size_t MappedBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (statm) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// Memory in proportion to what a file holds, not to how many lines it has:
// read in a child whose address space leaves room for the text and a few
// copies of it, a file of empty lines loads like any other.
TEST(ProjectFile, AFileOfEmptyLinesLoadsWithinAFewTimesItsSize) {
  TempDir dir;
  constexpr std::size_t kSize = 24 << 20;
  dir.Write("empty-lines.htp", std::string(kSize, '\n') + "[GENERAL]\r\nFTPHOST=found\r\n");
  auto loadUnderLimit = [&dir] {
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, MappedBytes() + 16 * kSize);
    if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    Loaded back;
    Load(dir.File("empty-lines.htp"), back);
    std::_Exit(back.ok && back.settings.FtpHost == "found" ? 0 : 1);
  };
  EXPECT_EXIT(loadUnderLimit(), ::testing::ExitedWithCode(0), "");
}

TEST(ProjectFile, NoFileChangesNothing) {
  TempDir dir;
  Loaded back;
  back.users.AppendUser(User("kept"));
  Load(dir.File("missing.htp"), back);
  EXPECT_FALSE(back.ok);
  EXPECT_EQ(Names(back.users), std::vector<std::string>{"kept"});
  EXPECT_EQ(back.settings, Garbage());
  Load(dir.Path().string(), back);  // a folder is no project file
  EXPECT_FALSE(back.ok);
  EXPECT_EQ(back.settings, Garbage());
}

TEST(ProjectFile, AFailedSaveLeavesTheOldFileWhole) {
  TempDir dir;
  UserList users;
  users.AppendUser(User("bob", "pw"));
  dir.Write("plain", "not a folder");
  EXPECT_FALSE(SaveProjectFile(dir.File("plain") + "/p.htp", users, ProjectSettings{}));
  EXPECT_FALSE(SaveProjectFile(dir.File("no/such/folder/p.htp"), users, ProjectSettings{}));
  EXPECT_FALSE(SaveProjectFile(dir.Path().string(), users, ProjectSettings{}));

  ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));
  const std::string before = dir.Read("p.htp");
  users.AppendUser(User("more"));
  for (unsigned readOnly : {0400u, 0444u, 0500u}) {  // no write bit: root is held back too
    ASSERT_EQ(::chmod(dir.File("p.htp").c_str(), readOnly), 0);
    EXPECT_FALSE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{})) << readOnly;
    EXPECT_EQ(dir.Read("p.htp"), before);
  }
  ASSERT_EQ(::chmod(dir.File("p.htp").c_str(), 0600), 0);
  if (::geteuid() == 0) GTEST_SKIP() << "a folder's permission bits do not stop root";
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
  EXPECT_FALSE(SaveProjectFile(dir.File("p.htp"), users, ProjectSettings{}));  // a folder that may not be written
  ::chmod(dir.Path().c_str(), 0700);
  EXPECT_EQ(dir.Read("p.htp"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);  // no temporary left
}
