#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>

#include "test_user_harness.h"

using pellora::Prompts;
using pellora::UserTableModel;
using Names = std::vector<std::string>;

namespace {

void ExpectMessage(const ScriptedPrompts& prompts, const QString& text, const QString& caption) {
  ASSERT_FALSE(prompts.Asked().empty());
  EXPECT_EQ(prompts.LastAsked().kind, Prompts::Kind::Message);
  EXPECT_EQ(prompts.LastAsked().text, text);
  EXPECT_EQ(prompts.LastAsked().caption, caption);
}

}  // namespace

TEST(UserView, ColumnsWidthsAndStatusTexts) {
  UserPage page;
  page.Seed({"bob"});
  page.Seed({"amy"}, true);
  const QStringList titles = {"User", "Password", "Status", "Email", "Full Name"};
  const int widths[] = {110, 100, 60, 120, 100};
  ASSERT_EQ(page.model.columnCount(), 5);
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(page.model.headerData(c, Qt::Horizontal).toString(), titles[c]);
    EXPECT_EQ(page.view.horizontalHeader()->sectionSize(c), widths[c]);
  }
  EXPECT_EQ(page.model.index(0, UserTableModel::ColStatus).data().toString(), "Disabled");
  EXPECT_EQ(page.model.index(1, UserTableModel::ColStatus).data().toString(), "Enabled");
  EXPECT_EQ(page.model.index(1, UserTableModel::ColPassword).data().toString(), "pw-bob");
  EXPECT_EQ(page.model.UserAt(1), page.users.Last());
  EXPECT_FALSE(page.model.flags(page.model.index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_EQ(page.view.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(page.view.selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST(UserView, RowsFollowListOrderUnderTheFilter) {
  UserPage page;
  pellora::TUserList z, a, m;
  z.UserName = "zed";
  a.UserName = "ann";
  a.Disabled = true;
  m.UserName = "max";
  // File order, not name order: the view must not sort.
  page.users.AppendUser(z);
  page.users.AppendUser(a);
  page.users.AppendUser(m);
  page.model.RefreshUserView();
  EXPECT_EQ(page.ViewNames(), (Names{"zed", "ann", "max"}));
  page.commands.SetViewFilter(1);
  EXPECT_EQ(page.ViewNames(), (Names{"zed", "max"}));
  page.commands.SetViewFilter(2);
  EXPECT_EQ(page.ViewNames(), (Names{"ann"}));
  EXPECT_FALSE(page.modified);
}

TEST(UserView, RemovingManyScatteredRowsKeepsTheOthersInOrder) {
  UserPage page;
  for (int i = 0; i < 1000; ++i) {
    pellora::TUserList u;
    u.UserName = "u" + std::to_string(1000 + i);
    page.users.AppendUser(std::move(u));
  }
  page.model.RefreshUserView();
  std::vector<int> odd;
  for (int r = 999; r >= 1; r -= 2) odd.push_back(r);
  odd.push_back(1);  // repeats are harmless
  const auto taken = page.model.TakeRows(odd);
  ASSERT_EQ(taken.size(), 500u);
  EXPECT_EQ(taken.front()->UserName, "u1001");  // display order
  ASSERT_EQ(page.model.rowCount(), 500);
  for (int r = 0; r < 500; ++r) EXPECT_EQ(page.model.UserAt(r)->UserName, "u" + std::to_string(1000 + 2 * r));
}

TEST(AddUser, DisabledUserUnderEnabledViewJoinsTheListButNotTheView) {
  UserPage page;
  page.Seed({"bob", "dan"});
  page.commands.SetViewFilter(1);
  page.WillEnterUser("  carl ", " secret ", true);
  page.commands.AddUser();

  EXPECT_EQ(page.shownTitles, std::vector<QString>{"Add User"});
  EXPECT_FALSE(page.okEnabledWhenShown);
  EXPECT_EQ(page.ListNames(), (Names{"bob", "carl", "dan"}));
  EXPECT_EQ(page.ViewNames(), (Names{"bob", "dan"}));
  EXPECT_TRUE(page.modified);
  const pellora::TUserList* carl = page.users.FindUser("carl");
  ASSERT_NE(carl, nullptr);
  EXPECT_EQ(carl->Password, "secret");
  EXPECT_TRUE(carl->Disabled);

  page.commands.SetViewFilter(0);
  EXPECT_EQ(page.ViewNames(), (Names{"bob", "carl", "dan"}));
}

TEST(AddUser, StartsFromEmptyFieldsAndCancelChangesNothing) {
  UserPage page;
  page.Seed({"bob"});
  page.formUser.EdtEmail->setText("left@over.example");
  page.formUser.ChkStatus->setChecked(true);
  page.operatorDoes = [&page](QDialog&) {
    EXPECT_TRUE(page.formUser.EdtEmail->text().isEmpty());
    EXPECT_FALSE(page.formUser.ChkStatus->isChecked());
    page.formUser.EdtUser->setText("zoe");
    page.formUser.EdtPassword->setText("pw");
    return false;
  };
  page.commands.AddUser();
  EXPECT_EQ(page.ListNames(), (Names{"bob"}));
  EXPECT_FALSE(page.modified);
  EXPECT_TRUE(page.prompts.Asked().empty());
}

TEST(AddUser, ExistingNameIsRefusedWithoutMarkingTheProject) {
  UserPage page;
  page.Seed({"alice", "bob"});
  page.WillEnterUser(" alice ", "pw");
  page.prompts.Expect(Prompts::Kind::Message);
  page.commands.AddUser();
  ExpectMessage(page.prompts, "The User alice has been existed!", "Error");
  EXPECT_EQ(page.ListNames(), (Names{"alice", "bob"}));
  EXPECT_FALSE(page.modified);
  EXPECT_EQ(page.shownTitles.size(), 1u);  // not shown again

  // Case makes another user.
  page.WillEnterUser("Alice", "pw");
  page.commands.AddUser();
  EXPECT_EQ(page.ListNames(), (Names{"alice", "Alice", "bob"}));
}

TEST(EditUser, FirstSelectedRowInDisplayOrderIsEdited) {
  UserPage page;
  page.Seed({"amy", "bob", "cid"});
  page.view.show();
  page.ClickRow(2);
  page.ClickRow(1, Qt::ControlModifier);
  page.operatorDoes = [&page](QDialog&) {
    EXPECT_EQ(page.formUser.EdtUser->text(), "bob");
    EXPECT_EQ(page.formUser.EdtPassword->text(), "pw-bob");
    return false;
  };
  page.commands.EditUser();
  EXPECT_EQ(page.shownTitles, std::vector<QString>{"Edit User"});
  EXPECT_TRUE(page.okEnabledWhenShown);
  EXPECT_FALSE(page.modified);  // cancelled
}

TEST(EditUser, NameThatSortsFirstKeepsTheRowsPlace) {
  UserPage page;
  page.Seed({"bob", "zed"});
  page.view.show();
  page.ClickRow(1);
  page.WillEnterUser("aaron", "pw");
  page.commands.EditUser();
  EXPECT_EQ(page.ListNames(), (Names{"bob", "aaron"}));
  EXPECT_EQ(page.ViewNames(), (Names{"bob", "aaron"}));
  EXPECT_TRUE(page.modified);

  // Later additions still stop at the first name that sorts after theirs.
  page.WillEnterUser("carl", "pw");
  page.commands.AddUser();
  page.WillEnterUser("alice", "pw");
  page.commands.AddUser();
  EXPECT_EQ(page.ViewNames(), (Names{"alice", "bob", "aaron", "carl"}));
}

TEST(EditUser, CaseOnlyRenameIsAcceptedUnlessTakenAndKeepsOtherFields) {
  UserPage page;
  page.Seed({"bob", "cid"});
  page.view.show();
  page.ClickRow(0);
  page.operatorDoes = [&page](QDialog&) {
    page.formUser.EdtUser->setText("Bob");
    page.formUser.EdtFullName->setText(" Bob Builder ");
    return true;
  };
  page.commands.EditUser();
  EXPECT_TRUE(page.prompts.Asked().empty());
  EXPECT_EQ(page.ListNames(), (Names{"Bob", "cid"}));
  EXPECT_EQ(page.users.First()->FullName, "Bob Builder");
  EXPECT_EQ(page.users.First()->Password, "pw-bob");

  // cid into Bob: another user has that name now.
  page.ClickRow(1);
  page.modified = false;
  page.WillEnterUser("Bob", "new");
  page.prompts.Expect(Prompts::Kind::Message);
  page.commands.EditUser();
  ExpectMessage(page.prompts, "The User Bob has been existed!", "Error");
  EXPECT_TRUE(page.modified);  // a confirmed edit marks the project even when refused
  EXPECT_EQ(page.ListNames(), (Names{"Bob", "cid"}));
  EXPECT_EQ(page.users.Last()->Password, "pw-cid");
}

TEST(EditUser, StoredEmptyPasswordOpensWithOkEnabledAndIsKept) {
  UserPage page;
  pellora::TUserList u;
  u.UserName = "imported";
  u.Notes = "line one\r\nline two";
  page.users.AppendUser(u);
  page.model.RefreshUserView();
  page.view.show();
  page.ClickRow(0);
  page.operatorDoes = [](QDialog&) { return true; };
  page.commands.EditUser();
  EXPECT_TRUE(page.okEnabledWhenShown);
  EXPECT_EQ(page.users.First()->Password, "");
  EXPECT_EQ(page.users.First()->Notes, "line one\r\nline two");
}

TEST(EditUser, AnAdoptedHashStaysUntilAPasswordIsTyped) {
  UserPage page;
  pellora::TUserList adopted;
  adopted.UserName = "al";
  adopted.Hash = "$apr1$s$h";
  page.users.AppendUser(adopted);
  page.model.RefreshUserView();
  EXPECT_EQ(page.model.index(0, pellora::UserTableModel::ColPassword).data().toString(), "(hash only)");
  page.view.show();
  // OK as the operator finds it after typing: an empty password keeps the
  // hash of an adopted user, and only of one.
  bool okEnabled = false;
  const auto typePassword = [&page, &okEnabled](const char* name, const char* password) {
    page.operatorDoes = [&page, &okEnabled, name, password](QDialog&) {
      page.formUser.EdtUser->setText(name);
      page.formUser.EdtPassword->setText("typed, then wiped");
      page.formUser.EdtPassword->setText(password);
      return okEnabled = page.formUser.BtnOk->isEnabled();
    };
  };
  const std::pair<const char*, const char*> steps[] = {{"", "$apr1$s$h"}, {"new", ""}};
  for (const auto& [password, hash] : steps) {
    page.ClickRow(0);
    typePassword("al", password);
    page.commands.EditUser();
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(page.users.First()->Password, password);
    EXPECT_EQ(page.users.First()->Hash, hash);
  }
  typePassword("bo", "");
  page.commands.AddUser();
  EXPECT_FALSE(okEnabled);
}

TEST(Commands, EditAndDeleteWithoutSelectionWarn) {
  UserPage page;
  page.Seed({"bob"});
  page.prompts.Expect(Prompts::Kind::Message);
  page.commands.EditUser();
  ExpectMessage(page.prompts, "You should select a user first!", "Warning");
  page.prompts.Expect(Prompts::Kind::Message);
  page.commands.DeleteSelectedUsers();
  ExpectMessage(page.prompts, "You should select a user first!", "Warning");
  EXPECT_TRUE(page.shownTitles.empty());
  EXPECT_EQ(page.ListNames(), (Names{"bob"}));
  EXPECT_FALSE(page.modified);
}

TEST(DeleteSelected, ThreeRowsGoAndTheRestStayAsTheyAre) {
  UserPage page;
  page.Seed({"a1", "b2", "c3", "d4", "e5", "f6"});
  page.view.show();
  const QPersistentModelIndex kept(page.model.index(5, 0));
  page.ClickRow(1);
  page.ClickRow(3, Qt::ControlModifier);
  page.ClickRow(4, Qt::ControlModifier);
  page.commands.DeleteSelectedUsers();
  EXPECT_TRUE(page.prompts.Asked().empty());  // no question
  EXPECT_TRUE(page.modified);
  EXPECT_EQ(page.ListNames(), (Names{"a1", "c3", "f6"}));
  EXPECT_EQ(page.ViewNames(), (Names{"a1", "c3", "f6"}));
  // The view was not rebuilt: an index held on a remaining row still points at it.
  ASSERT_TRUE(kept.isValid());
  EXPECT_EQ(kept.row(), 2);
  EXPECT_EQ(page.users.CountUsers(), 3u);
}

TEST(DeleteAll, RemovesHiddenUsersToo) {
  UserPage page;
  page.Seed({"bob", "dan"});
  page.Seed({"amy"}, true);
  page.commands.SetViewFilter(2);
  page.prompts.Expect(Prompts::Kind::Confirm, Prompts::Button::Yes);
  page.commands.DeleteAllUsers();
  EXPECT_EQ(page.prompts.LastAsked().text, "Are you really want to delete all users?");
  EXPECT_EQ(page.users.CountUsers(), 0u);
  EXPECT_EQ(page.model.rowCount(), 0);
  EXPECT_TRUE(page.modified);
  page.commands.SetViewFilter(0);
  EXPECT_EQ(page.model.rowCount(), 0);
}

TEST(DeleteAll, NoAndCancelChangeNothing) {
  UserPage page;
  page.Seed({"bob", "dan"});
  for (Prompts::Button answer : {Prompts::Button::No, Prompts::Button::Cancel}) {
    page.prompts.Expect(Prompts::Kind::Confirm, answer);
    page.commands.DeleteAllUsers();
    EXPECT_EQ(page.ListNames(), (Names{"bob", "dan"}));
    EXPECT_EQ(page.ViewNames(), (Names{"bob", "dan"}));
    EXPECT_FALSE(page.modified);
  }
}

TEST(SeriesCommand, ThreeUsersWithTheDefaults) {
  UserPage page;
  page.operatorDoes = [](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Create Random User/Password Series");
    return true;
  };
  page.commands.CreateSeries();
  EXPECT_TRUE(page.modified);
  ASSERT_EQ(page.users.CountUsers(), 3u);
  EXPECT_EQ(page.users.CountEnabledUsers(), 3u);
  EXPECT_TRUE(page.users.InNameOrder());
  const Names names = page.ViewNames();
  EXPECT_EQ(names, page.ListNames());
  for (const pellora::TUserList& u : page.users) {
    EXPECT_EQ(u.UserName.size(), 6u);
    EXPECT_EQ(u.Password.size(), 6u);
  }
}

TEST(SeriesCommand, CancelChangesNothing) {
  UserPage page;
  page.operatorDoes = [](QDialog&) { return false; };
  page.commands.CreateSeries();
  EXPECT_FALSE(page.modified);
  EXPECT_EQ(page.users.CountUsers(), 0u);
}

TEST(SeriesCommand, MoreNamesThanCanExistEndsWithThoseMade) {
  UserPage page;
  page.operatorDoes = [&page](QDialog&) {
    page.formAutoCreate.EdtCount->setValue(11);
    page.formAutoCreate.EdtUserLength->setValue(1);
    page.formAutoCreate.RdoUserChars->SetItemIndex(1);
    return true;
  };
  page.prompts.Expect(Prompts::Kind::Message);
  page.commands.CreateSeries();
  EXPECT_EQ(page.ViewNames(), (Names{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_TRUE(page.modified);
  ASSERT_EQ(page.prompts.Asked().size(), 1u);
  EXPECT_EQ(page.prompts.LastAsked().text,
            "Only 10 of 11 users were created: there are no more free user names of this length and kind.");
}

TEST(ContextMenu, EditAndDeleteFollowTheSelection) {
  UserPage page;
  page.view.show();
  QAction edit("Edit User's Property"), remove("Delete Selected User");
  page.commands.UpdateContextMenu(&edit, &remove);
  EXPECT_FALSE(edit.isEnabled());
  EXPECT_FALSE(remove.isEnabled());

  page.Seed({"bob"});
  page.ClickRow(0);
  page.commands.UpdateContextMenu(&edit, &remove);
  EXPECT_TRUE(edit.isEnabled());
  EXPECT_TRUE(remove.isEnabled());

  page.view.clearSelection();
  page.commands.UpdateContextMenu(&edit, &remove);
  EXPECT_FALSE(edit.isEnabled());
  EXPECT_FALSE(remove.isEnabled());
}

TEST(ContextMenu, DoubleClickEditsOnlyWithASelection) {
  UserPage page;
  page.Seed({"bob"});
  page.view.show();
  page.commands.ListViewUserDblClick();
  EXPECT_TRUE(page.shownTitles.empty());
  EXPECT_TRUE(page.prompts.Asked().empty());
  page.ClickRow(0);
  page.commands.ListViewUserDblClick();
  EXPECT_EQ(page.shownTitles, std::vector<QString>{"Edit User"});
}
