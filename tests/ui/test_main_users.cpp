// The user page inside the main window, through its real widgets: the
// buttons below the list, the list's context menu and double-click, the view
// menu, and the user and series dialogs shown modally.
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSignalSpy>

#include "core/Series.h"
#include "test_project_window.h"

namespace {

using Names = std::vector<std::string>;

class MainUsers : public ProjectWindow {
 protected:
  pellora::TFormUser& Dialog() { return *form->FormUser; }

  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTableView* view = form->ListViewUser;
    const QRect cell = view->visualRect(form->UserModel()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, cell.center());
  }
  // The operator types these into the user dialog and presses OK.
  void WillEnterUser(const QString& name, const QString& password, bool disabled = false) {
    WhenShown(&Dialog(), [this, name, password, disabled] {
      shownTitle = Dialog().windowTitle();
      shownName = Dialog().EdtUser->text();
      Dialog().EdtUser->setText(name);
      Dialog().EdtPassword->setText(password);
      Dialog().ChkStatus->setChecked(disabled);
      Dialog().BtnOk->click();
    });
  }
  void WillCancelUser() {
    WhenShown(&Dialog(), [this] {
      shownTitle = Dialog().windowTitle();
      shownName = Dialog().EdtUser->text();
      Dialog().BtnCancel->click();
    });
  }
  // Opens the list's context menu as a right click at pos (viewport coordinates) would.
  void RightClick(QPoint pos) {
    QWidget* viewport = form->ListViewUser->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
    QApplication::sendEvent(viewport, &event);
  }

  QString shownTitle;
  QString shownName;
};

TEST_F(MainUsers, TheListShowsFiveColumnsAndSelectsWholeRows) {
  QTableView* view = form->ListViewUser;
  ASSERT_EQ(view->model(), form->UserModel());
  const char* titles[] = {"User", "Password", "Status", "Email", "Full Name"};
  const int widths[] = {110, 100, 60, 120, 100};
  ASSERT_EQ(form->UserModel()->columnCount(), 5);
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(form->UserModel()->headerData(c, Qt::Horizontal).toString(), titles[c]);
    EXPECT_EQ(view->horizontalHeader()->sectionSize(c), widths[c]);
  }
  EXPECT_TRUE(view->showGrid());
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);

  Seed({"amy", "bob", "cy"});
  ClickRow(0);
  ClickRow(2, Qt::ControlModifier);
  EXPECT_EQ(view->selectionModel()->selectedRows().size(), 2);
}

// The keys of the list and of the window, each as the operator presses it.
TEST_F(MainUsers, KeysRunTheirCommands) {
  Seed({"amy", "bob", "cy"});
  form->ShowStep(0);
  // Keys reach the active window only, which a closing dialog leaves to no one here.
  auto activate = [this] {
    form->activateWindow();
    form->ListViewUser->setFocus();
    return QTest::qWaitForWindowActive(form.get()) &&
           QTest::qWaitFor([this] { return form->ListViewUser->hasFocus(); });
  };
  ASSERT_TRUE(activate());
  QTableView* list = form->ListViewUser;
  ClickRow(1);
  WillCancelUser();
  QTest::keyClick(list, Qt::Key_Return);  // edits the first selected user
  EXPECT_EQ(shownTitle, "Edit User");
  EXPECT_EQ(shownName, "bob");
  ASSERT_TRUE(activate());
  QTest::keyClick(list, Qt::Key_Delete);  // removes the selected users
  EXPECT_EQ(ListNames(), (Names{"amy", "cy"}));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Tab);  // leaves the list instead of walking its cells
  EXPECT_NE(QApplication::focusWidget(), list);

  form->Model().Modified = false;
  ASSERT_TRUE(activate());
  const struct {
    int key;
    Kind asked;  // the dialog the command opens first, answered with Cancel
  } keys[] = {{Qt::Key_O, Kind::OpenFile}, {Qt::Key_S, Kind::SaveFile}};
  for (const auto& k : keys) {
    prompts.ExpectPath(k.asked, "");
    QTest::keyClick(form.get(), static_cast<Qt::Key>(k.key), Qt::ControlModifier);
    EXPECT_EQ(prompts.LastAsked().kind, k.asked);
  }
  QTest::keyClick(form.get(), Qt::Key_F1);
  ASSERT_EQ(prompts.Helped().size(), 1);
  EXPECT_TRUE(prompts.Helped()[0].endsWith("/help.html"));
  QTest::keyClick(form.get(), Qt::Key_N, Qt::ControlModifier);  // an unmodified project goes without a question
  EXPECT_TRUE(ListNames().empty());
}

TEST_F(MainUsers, AddButtonAddsThroughTheDialogAndRefusesATakenName) {
  form->MIViewEnabledUsers->trigger();
  WillEnterUser("  zoe ", "pw", /*disabled=*/true);
  QTest::mouseClick(form->TbnAddUser, Qt::LeftButton);
  EXPECT_EQ(shownTitle, "Add User");
  EXPECT_EQ(ListNames(), Names{"zoe"});
  EXPECT_TRUE(ViewNames().empty());                              // disabled, and only enabled users are shown
  EXPECT_EQ(form->BtnViewUsers->text(), "View users: Enabled");  // which is why the list looks empty
  EXPECT_TRUE(form->Model().Modified);
  form->MIViewAllUsers->trigger();
  EXPECT_EQ(ViewNames(), Names{"zoe"});
  EXPECT_EQ(form->BtnViewUsers->text(), "View users");

  form->Model().Modified = false;
  WillEnterUser("zoe", "other");
  prompts.Expect(Kind::Message);
  QTest::mouseClick(form->TbnAddUser, Qt::LeftButton);
  EXPECT_EQ(shownName, "");  // the dialog starts empty
  EXPECT_EQ(prompts.LastAsked().text, "The User zoe has been existed!");
  EXPECT_EQ(prompts.LastAsked().caption, "Error");
  EXPECT_EQ(ListNames(), Names{"zoe"});
  EXPECT_FALSE(form->Model().Modified);

  WillCancelUser();
  QTest::mouseClick(form->TbnAddUser, Qt::LeftButton);
  EXPECT_EQ(ListNames(), Names{"zoe"});
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(MainUsers, EditButtonDoubleClickAndMenuEditTheSelectedRow) {
  Seed({"amy", "bob", "cy"});
  form->Model().Modified = false;
  ClickRow(1);
  WillEnterUser("aaron", "new-pw");
  QTest::mouseClick(form->TbnEditUser, Qt::LeftButton);
  EXPECT_EQ(shownTitle, "Edit User");
  EXPECT_EQ(shownName, "bob");
  EXPECT_EQ(ListNames(), (Names{"amy", "aaron", "cy"}));  // the record keeps its place
  EXPECT_EQ(ViewNames(), ListNames());
  EXPECT_EQ(form->Users().FindUser("aaron")->Password, "new-pw");
  EXPECT_TRUE(form->Model().Modified);

  const QRect cy = form->ListViewUser->visualRect(form->UserModel()->index(2, 0));
  WillCancelUser();
  QTest::mousePress(form->ListViewUser->viewport(), Qt::LeftButton, {}, cy.center());
  QTest::mouseRelease(form->ListViewUser->viewport(), Qt::LeftButton, {}, cy.center());
  QTest::mouseDClick(form->ListViewUser->viewport(), Qt::LeftButton, {}, cy.center());
  EXPECT_EQ(shownName, "cy");

  // A name another user has: refused, yet the confirmed dialog marked the project.
  form->Model().Modified = false;
  ClickRow(0);
  WillEnterUser("cy", "x");
  prompts.Expect(Kind::Message);
  RightClick(QPoint(5, 5));
  form->PopupMenuUser->hide();
  form->MIEditUser->trigger();
  EXPECT_EQ(shownName, "amy");
  EXPECT_EQ(prompts.LastAsked().text, "The User cy has been existed!");
  EXPECT_EQ(ListNames(), (Names{"amy", "aaron", "cy"}));
  EXPECT_TRUE(form->Model().Modified);
}

TEST_F(MainUsers, DeleteButtonsRemoveTheSelectionOrEveryone) {
  Seed({"amy", "bob", "cy", "dan"});
  form->Model().Modified = false;
  prompts.Expect(Kind::Message);
  QTest::mouseClick(form->TbnDeleteUser, Qt::LeftButton);
  EXPECT_EQ(prompts.LastAsked().text, "You should select a user first!");
  EXPECT_EQ(prompts.LastAsked().caption, "Warning");
  EXPECT_FALSE(form->Model().Modified);

  ClickRow(1);
  ClickRow(3, Qt::ControlModifier);
  QTest::mouseClick(form->TbnDeleteUser, Qt::LeftButton);
  EXPECT_EQ(ListNames(), (Names{"amy", "cy"}));
  EXPECT_EQ(ViewNames(), ListNames());
  EXPECT_TRUE(form->Model().Modified);

  Seed({"eve"}, /*disabled=*/true);
  form->MIViewDisabledUsers->trigger();
  form->Model().Modified = false;
  prompts.Expect(Kind::Confirm, Button::No);
  QTest::mouseClick(form->TbnDeleteAllUsers, Qt::LeftButton);
  EXPECT_EQ(form->Users().CountUsers(), 3u);
  EXPECT_FALSE(form->Model().Modified);
  prompts.Expect(Kind::Confirm, Button::Yes);
  QTest::mouseClick(form->TbnDeleteAllUsers, Qt::LeftButton);
  EXPECT_EQ(prompts.LastAsked().text, "Are you really want to delete all users?");
  EXPECT_EQ(form->Users().CountUsers(), 0u);  // the hidden enabled users too
  EXPECT_TRUE(ViewNames().empty());
  EXPECT_TRUE(form->Model().Modified);
}

TEST_F(MainUsers, ContextMenuOpensOnceAtTheMouseAndOffersWhatTheSelectionAllows) {
  QSignalSpy shown(form->PopupMenuUser, &QMenu::aboutToShow);
  const QPoint at(30, 40);
  RightClick(at);
  ASSERT_TRUE(form->PopupMenuUser->isVisible());
  EXPECT_EQ(shown.count(), 1);
  EXPECT_EQ(form->PopupMenuUser->pos(), form->ListViewUser->viewport()->mapToGlobal(at));
  EXPECT_FALSE(form->MIEditUser->isEnabled());
  EXPECT_FALSE(form->MIDeleteUser->isEnabled());
  EXPECT_TRUE(form->MIAddUser->isEnabled());
  EXPECT_TRUE(form->MICreateUser->isEnabled());
  EXPECT_TRUE(form->MIDeleteAllUsers->isEnabled());

  // "Add User" from the menu runs the same command as the button.
  WillEnterUser("amy", "pw");
  form->PopupMenuUser->hide();
  form->MIAddUser->trigger();
  EXPECT_EQ(ListNames(), Names{"amy"});

  ClickRow(0);
  RightClick(at);
  EXPECT_TRUE(form->MIEditUser->isEnabled());
  EXPECT_TRUE(form->MIDeleteUser->isEnabled());
  form->PopupMenuUser->hide();
  form->MIDeleteUser->trigger();
  EXPECT_EQ(form->Users().CountUsers(), 0u);
  EXPECT_TRUE(prompts.Asked().empty());  // deleted without a question
}

TEST_F(MainUsers, SeriesButtonAndViewMenuShowTheirUsers) {
  WhenShown(form->FormAutoCreate, [this] { QTest::mouseClick(form->FormAutoCreate->BtnOk, Qt::LeftButton); });
  QTest::mouseClick(form->TbnCreateUser, Qt::LeftButton);
  const std::size_t made = static_cast<std::size_t>(pellora::SeriesSettings{}.Count);
  EXPECT_EQ(form->Users().CountUsers(), made);
  EXPECT_EQ(ViewNames(), ListNames());
  EXPECT_TRUE(form->Model().Modified);

  Seed({"zz-off"}, /*disabled=*/true);
  form->Model().Modified = false;
  QTest::mouseClick(form->BtnViewUsers, Qt::LeftButton);
  ASSERT_TRUE(form->PopupMenuViewUsers->isVisible());
  form->MIViewDisabledUsers->trigger();
  form->PopupMenuViewUsers->hide();
  EXPECT_EQ(ViewNames(), Names{"zz-off"});
  EXPECT_EQ(form->ViewFilter, 2);
  form->MIViewEnabledUsers->trigger();
  EXPECT_EQ(ViewNames().size(), made);
  EXPECT_FALSE(form->Model().Modified);  // the filter is not part of the project

  // Dialogs not handed over yet (a window made on its own): the buttons do nothing.
  form->FormUser = nullptr;
  QTest::mouseClick(form->TbnAddUser, Qt::LeftButton);
  QTest::mouseClick(form->TbnEditUser, Qt::LeftButton);
  EXPECT_TRUE(prompts.Asked().empty());
}

// Whatever puts the view menu back to "View All Users" puts the view there
// too: a user added next is shown, whatever the filter was before.
TEST_F(MainUsers, ANewOrFailedOpenProjectShowsAllUsersAgain) {
  const std::pair<const char*, std::function<void()>> replacements[] = {
      {"New project", [this] { Click(form->TbnNewProject); }},
      {"Open of a file that is gone",
       [this] {
         prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(Folder() + "gone.htp"));
         prompts.Expect(Kind::Error);
         Click(form->TbnOpenProject);
       }},
  };
  for (const auto& [what, replaceProject] : replacements) {
    SCOPED_TRACE(what);
    Seed({"zed"}, /*disabled=*/true);
    form->MIViewDisabledUsers->trigger();
    form->Model().Modified = false;
    replaceProject();
    EXPECT_TRUE(form->MIViewAllUsers->isChecked());
    WillEnterUser("on", "pw");
    QTest::mouseClick(form->TbnAddUser, Qt::LeftButton);
    EXPECT_EQ(ViewNames(), Names{"on"});
    form->Model().Modified = false;
  }
}

}  // namespace
