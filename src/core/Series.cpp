#include "core/Series.h"

#include <string>

#include "core/Random.h"

namespace pellora {

std::size_t CreateSeries(UserList& users, const SeriesSettings& settings) {
  std::size_t made = 0;
  for (int i = 0; i < settings.Count; ++i) {
    std::string name;
    bool found = false;
    for (int draw = 0; draw < kMaxNameDraws; ++draw) {
      name = RandomString(settings.UserLength, settings.UserChars, settings.UserCase);
      if (!users.FindUser(name)) {
        found = true;
        break;
      }
    }
    // Once the name space is used up every later name would fail the same
    // way, so the series ends here instead of redrawing for each of them.
    if (!found) break;
    TUserList user;
    user.UserName = std::move(name);
    user.Password = RandomString(settings.PasswordLength, settings.PasswordChars, settings.PasswordCase);
    user.Disabled = false;
    users.InsertSorted(std::move(user));
    ++made;
  }
  return made;
}

std::string ShortSeriesText(std::size_t made, int asked) {
  return "Only " + std::to_string(made) + " of " + std::to_string(asked) +
         " users were created: there are no more free user names of this length and kind.";
}

}  // namespace pellora
