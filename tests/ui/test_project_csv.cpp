// The CSV buttons of the user page: export writes every user whatever the
// view shows; import adds to the list, marks the project and rebuilds the view.
#include <filesystem>
#include <fstream>

#include "common/Files.h"
#include "test_project_window.h"

namespace {

namespace fs = std::filesystem;

using pellora::testing::ReadFile;

using CsvButtons = ProjectWindow;

TEST_F(CsvButtons, ExportWritesEveryUserWhateverTheViewShowsAndMarksNothing) {
  Seed({"bob"});
  Seed({"alice"}, /*disabled=*/true);
  form->MIViewDisabledUsers->trigger();
  ASSERT_EQ(ViewNames(), std::vector<std::string>{"alice"});
  form->Model().Modified = false;

  const std::string path = Folder() + "users.csv";
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(path));
  QTest::mouseClick(form->btnsavecsv, Qt::LeftButton);
  EXPECT_EQ(prompts.LastAsked().text, "User list files (*.csv)");
  EXPECT_EQ(prompts.LastAsked().caption, "csv");  // the default extension
  EXPECT_EQ(ReadFile(path), "\"alice\",\"pw-alice\",\"false\"\r\n\"bob\",\"pw-bob\",\"true\"\r\n");
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(prompts.Asked().size(), 1u);  // no message after writing

  // Cancelled: nothing written, nothing shown.
  prompts.ExpectPath(Kind::SaveFile, QString());
  QTest::mouseClick(form->btnsavecsv, Qt::LeftButton);
  EXPECT_EQ(prompts.Asked().size(), 2u);
}

TEST_F(CsvButtons, AFileThatCannotBeWrittenIsReportedAndLeftAsItWas) {
  Seed({"bob"});
  form->Model().Modified = false;
  fs::create_directory(Folder() + "folder");
  std::ofstream(Folder() + "plain", std::ios::binary) << "kept";
  std::ofstream(Folder() + "read-only.csv", std::ios::binary) << "kept";
  fs::permissions(Folder() + "read-only.csv", fs::perms::owner_read);
  const std::string paths[] = {Folder() + "missing/users.csv", Folder() + "folder", Folder() + "plain/users.csv",
                               Folder() + "read-only.csv"};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(path));
    prompts.Expect(Kind::Error);
    QTest::mouseClick(form->btnsavecsv, Qt::LeftButton);
    EXPECT_EQ(prompts.LastAsked().kind, Kind::Error);
    EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't write CSV file " + path));
  }
  EXPECT_FALSE(fs::exists(Folder() + "missing"));
  EXPECT_TRUE(fs::is_empty(Folder() + "folder"));
  EXPECT_EQ(ReadFile(Folder() + "plain"), "kept");
  EXPECT_EQ(ReadFile(Folder() + "read-only.csv"), "kept");
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(CsvButtons, ImportingTwiceDoublesEveryUserInNameOrder) {
  const std::string path = Folder() + "in.csv";
  std::ofstream(path, std::ios::binary)
      << "\"carl\",\"c1\",\"true\"\r\n\"amy\",\"a1\",\"FALSE\",\"a@x.test\",\"Amy\",\"x\"\r\n";
  Seed({"bob"});
  form->Model().Modified = false;

  for (int round = 0; round < 2; ++round) {
    prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(path));
    QTest::mouseClick(form->btnloadcsv, Qt::LeftButton);
  }
  EXPECT_EQ(prompts.LastAsked().text, "User list files (*.csv)");
  EXPECT_EQ(prompts.LastAsked().caption, "");  // no default extension when opening
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"amy", "amy", "bob", "carl", "carl"}));
  EXPECT_EQ(ViewNames(), ListNames());  // the view was rebuilt
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_TRUE(form->Users().FindUser("amy")->Disabled);

  // Under a filter, the rebuilt view keeps to it.
  form->MIViewDisabledUsers->trigger();
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(path));
  QTest::mouseClick(form->btnloadcsv, Qt::LeftButton);
  EXPECT_EQ(ViewNames(), (std::vector<std::string>{"amy", "amy", "amy"}));
}

TEST_F(CsvButtons, ImportMarksTheProjectBeforeReadingButNotWhenCancelled) {
  prompts.ExpectPath(Kind::OpenFile, QString());
  QTest::mouseClick(form->btnloadcsv, Qt::LeftButton);
  EXPECT_FALSE(form->Model().Modified);

  // The chosen file vanished before it was read: no users, no message, but marked.
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(Folder() + "gone.csv"));
  QTest::mouseClick(form->btnloadcsv, Qt::LeftButton);
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_EQ(form->Users().CountUsers(), 0u);
  EXPECT_EQ(prompts.Asked().size(), 2u);
}

TEST_F(CsvButtons, ImportHtpasswdAdoptsTheHashesAndShowsTheCounts) {
  const std::string path = Folder() + ".htpasswd";
  std::ofstream(path, std::ios::binary) << "# old server\r\nbob:$6$x\r\nal:$apr1$s$h\r\nnocolon\r\n";
  Seed({"bob"});
  form->Model().Modified = false;
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(path));
  prompts.Expect(Kind::Message);
  form->MIImportHtpasswd->trigger();
  EXPECT_EQ(prompts.LastAsked().text,
            "1 user imported, 2 lines skipped, 1 duplicate refused.\nThe User bob has been existed!");
  EXPECT_EQ(ViewNames(), (std::vector<std::string>{"al", "bob"}));
  EXPECT_EQ(form->Users().First()->Hash, "$apr1$s$h");
  EXPECT_TRUE(form->Model().Modified);

  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(Folder() + "gone"));
  prompts.Expect(Kind::Error);
  form->MIImportHtpasswd->trigger();
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't open .htpasswd file " + Folder() + "gone"));
}

}  // namespace
