// User page figures: rebuilding the list view over a hundred thousand users,
// and a series of 4096 users with the view refresh. Each figure is the median
// of several runs, in wall-clock milliseconds, and includes the view's own
// layout and painting that follow the rebuild.
#include <QApplication>
#include <QDialog>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/UserList.h"
#include "ui/FormAutoCreate.h"
#include "ui/FormUser.h"
#include "ui/Prompts.h"
#include "ui/UserCommands.h"
#include "ui/UserTableModel.h"

using namespace pellora;

namespace {

// Never asked anything in these runs.
class SilentPrompts : public Prompts {
 public:
  void Message(const QString&, const QString&) override {}
  Button Confirm(const QString&) override { return Button::Yes; }
  void Error(const QString&) override {}
  bool AskReplace(const QString&) override { return false; }
  QString OpenFile(const FileDialog&) override { return {}; }
  QString SaveFile(const FileDialog&) override { return {}; }
  QString ChooseFolder(const QString&, const QString&) override { return {}; }
  void ShowException(const QString&) override {}
  std::optional<QString> AskPassphrase(const QString&) override { return std::nullopt; }
  bool OpenUrl(const QUrl&) override { return true; }
  void ViewTextFile(const QString&) override {}
  void ShowHelp(const QString&) override {}
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class F>
double Milliseconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  QApplication::processEvents();  // the view lays out and paints what it was given
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  UserList users;
  SilentPrompts prompts;
  QTableView view;
  UserTableModel model(users);
  SetUpUserView(view, model);
  view.resize(560, 320);
  view.show();
  TFormUser formUser(prompts);
  TFormAutoCreate formAutoCreate;
  UserCommands commands(users, view, model, formUser, formAutoCreate, prompts, [] {});
  commands.SetDialogRunner([](QDialog&) { return int(QDialog::Accepted); });
  QApplication::processEvents();

  for (int i = 0; i < 100000; ++i) {
    TUserList u;
    u.UserName = "user" + std::to_string(100000 + i);
    u.Password = "pw" + std::to_string(i);
    u.Disabled = i % 3 == 0;
    u.Email = u.UserName + "@example.com";
    users.AppendUser(std::move(u));
  }
  std::vector<double> refresh;
  for (int run = 0; run < 7; ++run) refresh.push_back(Milliseconds([&] { model.RefreshUserView(); }));
  std::printf("refresh_100k_ms %.1f ms\n", Median(refresh));

  formAutoCreate.EdtCount->setValue(4096);
  std::vector<double> series;
  for (int run = 0; run < 7; ++run) {
    model.Clear();
    users.ClearUsers();
    QApplication::processEvents();
    series.push_back(Milliseconds([&] { commands.CreateSeries(); }));
    if (users.CountUsers() != 4096) std::fprintf(stderr, "series made %zu users\n", users.CountUsers());
  }
  std::printf("series_4096_ms %.1f ms\n", Median(series));
  return 0;
}
