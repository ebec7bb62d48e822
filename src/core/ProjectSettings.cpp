#include "core/ProjectSettings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "core/HashFormat.h"
#include "core/Text.h"

namespace pellora {

namespace {

using S = ProjectSettings;

// Each of these texts goes into one quoted argument that the server reads as
// an expression: a quote ends it early, "%{" starts a variable that is either
// unknown or replaced, and a line break cuts the line in two; either way
// every request of the folder fails. A lone "%" passes unharmed.
bool BreaksQuotedExpression(std::string_view text) {
  return text.find('"') != std::string_view::npos || text.find("%{") != std::string_view::npos || HasControl(text);
}

// The two paths end up in one line of .htaccess, which a line break would cut.
std::optional<std::string> CheckServerPath(std::string_view value) {
  if (!HasControl(value)) return std::nullopt;
  return "The FULL HOST path of your FTP server must not contain a control character.";
}

std::optional<std::string> CheckAuthUserFile(std::string_view value) {
  if (!HasControl(value)) return std::nullopt;
  return "The remote FTP path of the .htpasswd file must not contain a control character.";
}

// In AuthName a backslash escapes what follows; in the error page it stays
// a backslash.
std::optional<std::string> CheckAuthName(std::string_view value) {
  if (value.find('\\') == std::string_view::npos && !BreaksQuotedExpression(value)) return std::nullopt;
  return "The text shows in the password dialog must not contain a double quote (\"), a backslash (\\), \"%{\" or a "
         "control character.";
}

std::optional<std::string> CheckErrorPage(std::string_view value) {
  if (!BreaksQuotedExpression(value)) return std::nullopt;
  return "The error page address must not contain a double quote (\"), \"%{\" or a control character.";
}

// The window takes any port and the upload falls back to 21 for one that is
// no number; "pellora-cli set", where a typo has no field to show in, takes
// only a port a connection can be made to.
std::optional<std::string> CheckPort(std::string_view value) {
  int port = 0;
  const bool digits =
      !value.empty() && value.size() <= 5 && value.find_first_not_of("0123456789") == std::string_view::npos;
  if (digits)
    for (char c : value) port = port * 10 + (c - '0');
  if (digits && port >= 1 && port <= 65535) return std::nullopt;
  return "The FTP port must be a whole number from 1 to 65535.";
}

std::optional<std::string> CheckPasswordHash(std::string_view value) {
  if (ParseHashFormat(value)) return std::nullopt;
  return "The password hash must be one of des, bcrypt, sha512, sha256 and apr1.";
}

constexpr const char* kCostText =
    "The hash cost must be a whole number: 4 to 17 for bcrypt, 1000 to 999999999 for sha512 and sha256, or empty "
    "for the format's default (bcrypt 10, SHA-crypt 5000).";

std::optional<std::string> CheckHashCost(std::string_view value) {
  if (value.empty()) return std::nullopt;
  if (value.size() > 9 || value.find_first_not_of("0123456789") != std::string_view::npos) return kCostText;
  long cost = 0;
  for (char c : value) cost = cost * 10 + (c - '0');
  if (cost < 4) return kCostText;
  return std::nullopt;
}

std::optional<std::string> CheckFtpProtocol(std::string_view value) {
  if (ParseFtpProtocol(value)) return std::nullopt;
  return "The FTP protocol must be one of ftp, ftpes, ftps and sftp.";
}

// Only an address the check can ask: http or https, a host without a
// login in it, no blank and no control character (it goes into the log).
std::optional<std::string> CheckCheckUrl(std::string_view value) {
  if (value.empty()) return std::nullopt;
  std::string_view rest;
  for (std::string_view scheme : {"http://", "https://"})
    if (StartsWithNoCase(value, scheme)) rest = value.substr(scheme.size());
  const std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
  if (!host.empty() && host.front() != ':' && host.find('@') == std::string_view::npos &&
      value.find(' ') == std::string_view::npos && !HasControl(value))
    return std::nullopt;
  return "The protected address must be a web address beginning with http:// or https://, such as "
         "https://www.example.com/members/.";
}

// clang-format off
constexpr std::array kRows{
  SettingRow{Field::AuthUserFile, "AUTHUSERFILE", &S::AuthUserFile, nullptr, "/", "", 0,
             "Please define remote FTP path of the .htpasswd file.", CheckAuthUserFile},
  SettingRow{Field::FtpServerPath, "FTPSERVERPATH", &S::FtpServerPath, nullptr, "/home/yourloginname/", "", 2,
             "Please define FULL HOST path of your FTP server.", CheckServerPath},
  SettingRow{Field::AuthName, "AUTHNAME", &S::AuthName, nullptr, "Members Only Area", "", 1,
             "Please define text shows in the password dialog.", CheckAuthName},
  SettingRow{Field::RedirectError, "REDIRECTERROR", nullptr, &S::RedirectError, "0", "0", 4, nullptr, nullptr},
  SettingRow{Field::RedirectErrorPage, "REDIRECTERRORPAGE", &S::RedirectErrorPage, nullptr, kDefaultErrorPage,
             kDefaultErrorPage, 5, nullptr, CheckErrorPage},
  SettingRow{Field::ToFtpServer, "TOFTPSERVER", nullptr, &S::ToFtpServer, "1", "1", 3, nullptr, nullptr},
  SettingRow{Field::FtpHost, "FTPHOST", &S::FtpHost, nullptr, "", "", 6,
             "Please input Ftp Server host name or ip address.", nullptr},
  SettingRow{Field::FtpPort, "FTPPORT", &S::FtpPort, nullptr, "21", "21", 7, nullptr, CheckPort},
  SettingRow{Field::FtpUser, "FTPUSER", &S::FtpUser, nullptr, "", "", 8, "Please input user name.", nullptr},
  SettingRow{Field::FtpPassword, "FTPPASSWORD", &S::FtpPassword, nullptr, "", "", 9, nullptr, nullptr},
  SettingRow{Field::FtpWebDirectory, "FTPWEBDIRECTORY", &S::FtpWebDirectory, nullptr, "/public_html/",
             "/public_html/", 10, "Please input the FTP path of the web directory to be password protected.", nullptr},
  SettingRow{Field::LocalDirectory, "LOCALDIRECTORY", &S::LocalDirectory, nullptr, "", "", 11, nullptr, nullptr},
  SettingRow{Field::FtpPassive, "FTPPASSIVE", nullptr, &S::FtpPassive, "1", "1", 12, nullptr, nullptr},
  SettingRow{Field::PasswordHash, "PASSWORDHASH", &S::PasswordHash, nullptr, "des", "des", 13, nullptr,
             CheckPasswordHash, true},
  SettingRow{Field::HashCost, "HASHCOST", &S::HashCost, nullptr, "", "", 14, nullptr, CheckHashCost, true},
  SettingRow{Field::FtpProtocol, "FTPPROTOCOL", &S::FtpProtocol, nullptr, "ftp", "ftp", 15, nullptr,
             CheckFtpProtocol, true},
  SettingRow{Field::CheckUrl, "CHECKURL", &S::CheckUrl, nullptr, "", "", 16,
             "Please input the web address of the protected folder.", CheckCheckUrl, true},
  SettingRow{Field::SftpKeyFile, "SFTPKEYFILE", &S::SftpKeyFile, nullptr, "", "", 17, nullptr, nullptr, true},
};
// clang-format on

constexpr const char* kErrorCaption = "Error!";

}  // namespace

std::optional<FtpProtocol> ParseFtpProtocol(std::string_view word) {
  constexpr std::array<std::pair<const char*, FtpProtocol>, 4> kWords{{{"ftp", FtpProtocol::Ftp},
                                                                       {"ftpes", FtpProtocol::Ftpes},
                                                                       {"ftps", FtpProtocol::Ftps},
                                                                       {"sftp", FtpProtocol::Sftp}}};
  for (const auto& [name, protocol] : kWords)
    if (std::ranges::equal(word, std::string_view(name),
                           [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
      return protocol;
  return std::nullopt;
}

int ProtocolPort(FtpProtocol protocol) {
  switch (protocol) {
    case FtpProtocol::Ftp:
    case FtpProtocol::Ftpes: return 21;
    case FtpProtocol::Ftps: return 990;
    case FtpProtocol::Sftp: return 22;
  }
  return 21;
}

ProjectSettings::ProjectSettings() {
  for (const SettingRow& row : kRows) {
    if (row.Text) this->*row.Text = row.Default;
    else this->*row.Flag = std::string_view(row.Default) == "1";
  }
}

std::span<const SettingRow> SettingRows() { return kRows; }

const SettingRow* RowOf(Field field) {
  for (const SettingRow& row : kRows)
    if (row.Id == field) return &row;
  return nullptr;
}

std::optional<Refusal> RefuseMissing(const ProjectSettings& settings, Field setting) {
  const SettingRow* row = RowOf(setting);
  if (!row || !row->Missing || !row->Text || !TrimView(settings.*row->Text).empty()) return std::nullopt;
  return Refusal{setting, row->Missing, kErrorCaption};
}

std::optional<Refusal> RefuseValue(const ProjectSettings& settings, Field setting) {
  const SettingRow* row = RowOf(setting);
  if (!row || !row->Check || !row->Text) return std::nullopt;
  if (std::optional<std::string> text = row->Check(TrimView(settings.*row->Text)))
    return Refusal{setting, std::move(*text), kErrorCaption};
  return std::nullopt;
}

std::optional<std::string> ClampHashCost(ProjectSettings& settings) {
  if (RefuseValue(settings, Field::HashCost)) return std::nullopt;
  const std::string cost = Trim(settings.HashCost);
  const HashFormat format = ParseHashFormat(TrimView(settings.PasswordHash)).value_or(HashFormat::Des);
  const CostRange range = CostRangeOf(format);
  if (cost.empty() || range.Max == 0) return std::nullopt;
  const long value = std::stol(cost);
  if (value >= range.Min && value <= range.Max) return std::nullopt;
  settings.HashCost = std::to_string(EffectiveCost(format, cost));
  return std::string("A ") + HashFormatName(format) + " cost must be from " + std::to_string(range.Min) + " to " +
         std::to_string(range.Max) + ": " + cost + " was changed to " + settings.HashCost + ".";
}

}  // namespace pellora
