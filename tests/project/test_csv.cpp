#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/Files.h"
#include "common/Users.h"
#include "project/Csv.h"
#include "project/ProjectFile.h"

using namespace pellora;
using namespace pellora::testing;

namespace {

std::vector<Fields> Import(std::string_view text) {
  UserList list;
  std::size_t added = ImportCsv(text, list);
  EXPECT_EQ(added, list.CountUsers());
  return AllFields(list);
}

}  // namespace

// ---- Line breaks in notes ----

TEST(CsvLineBreaks, EscapeAndUnescape) {
  EXPECT_EQ(EscapeLineBreaks("a\r\nb\nc\rd\\e"), "a\\r\\nb\\nc\\rd\\e");
  EXPECT_EQ(UnescapeLineBreaks("a\\r\\nb\\nc\\rd\\e"), "a\r\nb\nc\rd\\e");
  // First every backslash-r, then every backslash-n, each found from the start.
  EXPECT_EQ(UnescapeLineBreaks("\\\\r"), "\\\r");
  EXPECT_EQ(UnescapeLineBreaks("\\\\n\\"), "\\\n\\");
  EXPECT_EQ(UnescapeLineBreaks("\\\\rn"), "\\\rn");
  EXPECT_EQ(UnescapeLineBreaks("C:\\new\\readme"), "C:\new\readme");
  EXPECT_EQ(UnescapeLineBreaks("\\R\\N\\t"), "\\R\\N\\t");
}

// ---- Export ----

TEST(CsvExport, ThreeOrSixFieldsQuotedAsHeld) {
  UserList users;
  users.AppendUser(User("bob", "pw", false));
  users.AppendUser(User("al,ice", "p\"w", true));
  users.AppendUser(User("carl", "x", false, "", "", "two\r\nlines"));
  users.AppendUser(User("dora", "", true, "d@x", "", ""));
  EXPECT_EQ(ExportCsv(users),
            "\"bob\",\"pw\",\"true\"\r\n"
            "\"al,ice\",\"p\"w\",\"false\"\r\n"
            "\"carl\",\"x\",\"true\",\"\",\"\",\"two\\r\\nlines\"\r\n"
            "\"dora\",\"\",\"false\",\"d@x\",\"\",\"\"\r\n");
  EXPECT_EQ(ExportCsv(UserList{}), "");
}

TEST(CsvExport, FileIsReplacedAndForTheOwnerOnly) {
  TempDir dir;
  dir.Write("old.csv", "\"x\",\"y\",\"true\"\r\n\"z\",\"y\",\"true\"\r\n");
  UserList users;
  users.AppendUser(User("bob"));
  ASSERT_TRUE(ExportCsvFile(dir.File("old.csv"), users));
  EXPECT_EQ(dir.Read("old.csv"), "\"bob\",\"\",\"true\"\r\n");
  ASSERT_TRUE(ExportCsvFile(dir.File("new.csv"), users));
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("new.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  dir.Write("plain", "");
  EXPECT_FALSE(ExportCsvFile(dir.File("plain") + "/u.csv", users));
  ASSERT_EQ(::chmod(dir.File("plain").c_str(), 0400), 0);  // no write bit: root is held back too
  EXPECT_FALSE(ExportCsvFile(dir.File("plain"), users));
  EXPECT_EQ(dir.Read("plain"), "");
}

// ---- Import ----

TEST(CsvImport, RoundTripAndWhatDoesNotSurvive) {
  UserList users;
  users.AppendUser(User("bob", "pw", true, "b@x", "Bob B", "a, b, c\r\nsecond line"));
  users.AppendUser(User("carl", "secret"));
  users.AppendUser(User("al,ice", "x"));
  users.AppendUser(User("dan", "y", false, "", "", "C:\\readme and C:\\new"));
  auto back = Import(ExportCsv(users));
  ASSERT_EQ(back.size(), 4u);
  // The import sorts by name; a comma in the name splits it.
  EXPECT_EQ(back[0], (Fields{"\"al", "ice\"", false, "true", "", ""}));
  EXPECT_EQ(back[1], (Fields{"bob", "pw", true, "b@x", "Bob B", "a, b, c\r\nsecond line"}));
  EXPECT_EQ(back[2], (Fields{"carl", "secret", false, "", "", ""}));
  // A backslash-r or backslash-n in notes comes back as a line break.
  EXPECT_EQ(back[3].Notes, "C:\readme and C:\new");
}

TEST(CsvImport, FieldSplitting) {
  EXPECT_EQ(Import("bob,pw"), (std::vector<Fields>{{"bob", "pw", false, "", "", ""}}));
  EXPECT_TRUE(Import("bob").empty());
  EXPECT_TRUE(Import("bob,").empty());
  EXPECT_TRUE(Import(",").empty());
  EXPECT_EQ(Import(",pw"), (std::vector<Fields>{{"", "pw", false, "", "", ""}}));
  EXPECT_EQ(Import("a,b,false,"), (std::vector<Fields>{{"a", "b", true, "", "", ""}}));
  EXPECT_EQ(Import("a,b,true,e"), (std::vector<Fields>{{"a", "b", false, "e", "", ""}}));
  EXPECT_EQ(Import("a,b,true,e,f"), (std::vector<Fields>{{"a", "b", false, "e", "f", ""}}));
  EXPECT_EQ(Import("a,b,true,e,f,"), (std::vector<Fields>{{"a", "b", false, "e", "f", ""}}));
  EXPECT_EQ(Import("a,,,,,n,o,t\\re,s"), (std::vector<Fields>{{"a", "", false, "", "", "n,o,t\re,s"}}));
  EXPECT_EQ(Import("a, b ,true"), (std::vector<Fields>{{"a", "b", false, "", "", ""}}));
}

TEST(CsvImport, Quotes) {
  // Two quotes read as empty; inner quotes stay, doubled or not.
  EXPECT_EQ(Import("\"a\",\"\",true,\"\"\"x\"\"\",\"in\"\"side\",\"\""),
            (std::vector<Fields>{{"a", "", false, "\"\"x\"\"", "in\"\"side", ""}}));
  // A lone quote stays; a quote at one end only stays; blanks outside the
  // quotes keep them, and only then go.
  EXPECT_EQ(Import("a,\"\",true,\",x,\""), (std::vector<Fields>{{"a", "", false, "\"", "x", "\""}}));
  EXPECT_EQ(Import("\"a b\" ,x\",\"y"), (std::vector<Fields>{{"\"a b\"", "x\"", false, "", "", ""}}));
}

// Every text field is stored as the user dialog would store it, so what a
// save and load of the project gives back is what the import gave.
TEST(CsvImport, FieldsAreTrimmedAndSurviveASaveAndLoad) {
  struct Case {
    const char* line;
    Fields stored;
  };
  const Case cases[] = {
      {"\"bob\",\"pw \",\"true\"", {"bob", "pw", false, "", "", ""}},
      {"\" carl\t\",\" \x01secret\",\"FALSE\",\" c@x \",\"  Carl C \",\" note \"",
       {"carl", "secret", true, "c@x", "Carl C", "note"}},
      {"dan,  two words  ,true,,,\\r\\nfirst\\r\\nsecond \\r\\n",
       {"dan", "two words", false, "", "", "first\r\nsecond"}},
      {"\"   \",\"\xC2\xA0pw\xC2\xA0\",\"true\"",
       {"", "\xC2\xA0pw\xC2\xA0", false, "", "", ""}},  // no-break spaces stay
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    UserList imported;
    ASSERT_EQ(ImportCsv(c.line, imported), 1u);
    EXPECT_EQ(AllFields(imported), std::vector<Fields>{c.stored});

    TempDir dir;
    ASSERT_TRUE(SaveProjectFile(dir.File("p.htp"), imported, ProjectSettings{}));
    UserList loaded;
    ProjectSettings settings;
    ASSERT_TRUE(LoadProjectFile(dir.File("p.htp"), loaded, settings));
    EXPECT_EQ(AllFields(loaded), AllFields(imported));
  }
}

TEST(CsvImport, StatusFalseInAnyCaseDisables) {
  for (const char* status : {"false", "FALSE", "False", "\"fAlSe\""})
    EXPECT_TRUE(Import(std::string("a,b,") + status)[0].Disabled) << status;
  for (const char* status : {"true", "", "\"\"", "0", "no", "false ", " false", "falsch", "\"false"})
    EXPECT_FALSE(Import(std::string("a,b,") + status + ",")[0].Disabled) << status;
}

TEST(CsvImport, LineEndsNulAndEmptyLines) {
  auto names = [](std::string_view text) {
    UserList list;
    ImportCsv(text, list);
    return Names(list);
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(names("b,1\r\nc,1\rd,1\na,1"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(names("\r\n\r\n\n\ra,1\r\n\r\n"), V{"a"});
  EXPECT_EQ(names("a,x\n\rb,y\r\n"), (V{"a", "b"}));
  EXPECT_EQ(names(std::string("a,1\r\nb,2\0\r\nc,3\r\n", 17)), (V{"a", "b"}));
  EXPECT_EQ(names(std::string("\0a,1", 4)), V{});
}

TEST(CsvImport, AddsInNameOrderWithoutDuplicateTest) {
  const std::string csv = "\"bob\",\"1\",\"true\"\r\n\"Alice\",\"2\",\"true\"\r\n\"alice\",\"3\",\"true\"\r\n";
  UserList list;
  list.InsertSorted(User("carl"));
  list.InsertSorted(User("bob", "0"));
  EXPECT_EQ(ImportCsv(csv, list), 3u);
  EXPECT_EQ(ImportCsv(csv, list), 3u);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"alice", "alice", "Alice", "Alice", "bob", "bob", "bob", "carl"}));
  std::vector<std::string> bobs;
  for (const TUserList& u : list)
    if (u.UserName == "bob") bobs.push_back(u.Password);
  EXPECT_EQ(bobs, (std::vector<std::string>{"0", "1", "1"}));  // equal names land after the ones present
}

TEST(CsvImport, Files) {
  TempDir dir;
  UserList list;
  EXPECT_FALSE(ImportCsvFile(dir.File("missing.csv"), list));
  EXPECT_FALSE(ImportCsvFile(dir.Path().string(), list));
  // Written on Windows: Windows-1252 text.
  dir.Write("win.csv", "\"Ren\xE9\",\"\x80\",\"FALSE\",\"\",\"J\xFCrgen\",\"\"\r\n");
  ASSERT_TRUE(ImportCsvFile(dir.File("win.csv"), list));
  EXPECT_EQ(AllFields(list), (std::vector<Fields>{{"Ren\xC3\xA9", "\xE2\x82\xAC", true, "",
                                                   "J\xC3\xBC"
                                                   "rgen",
                                                   ""}}));
  dir.Write("empty.csv", "");
  EXPECT_TRUE(ImportCsvFile(dir.File("empty.csv"), list));
  EXPECT_EQ(list.CountUsers(), 1u);
}

TEST(CsvImport, GarbageAndLongLines) {
  std::string garbage(100000, '\0');
  unsigned seed = 7;
  for (char& c : garbage) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>((seed >> 16) | 1);  // no NUL, so every line is read
  }
  UserList list;
  ImportCsv(garbage, list);
  for (const TUserList& u : list) EXPECT_EQ(u.UserName.find_first_of("\r\n"), std::string::npos);

  UserList big;
  std::string line = "a,b,true,e,f," + std::string(10 << 20, ',');
  EXPECT_EQ(ImportCsv(line, big), 1u);
  EXPECT_EQ(big.First()->Notes.size(), std::size_t{10 << 20});
}
