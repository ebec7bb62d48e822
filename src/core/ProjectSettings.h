#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pellora {

// Layers below the window answer with values: a refusal, a result, a flag.
// None of them names a widget; a refusal names a Field, and the window alone
// knows the page and control that show it.

inline constexpr const char* kDefaultErrorPage = "http://www.your-web-site.example/error.htm";

// What a check can point the operator at: one of the settings, or a part of
// the wizard that holds no setting.
enum class Field {
  Users,  // the user list
  AuthUserFile,
  FtpServerPath,
  AuthName,
  RedirectError,
  RedirectErrorPage,
  ToFtpServer,
  FtpHost,
  FtpPort,
  FtpUser,
  FtpPassword,
  FtpWebDirectory,
  LocalDirectory,
  FtpPassive,
  PasswordHash,
  HashCost,
  FtpProtocol,
  CheckUrl,
  SftpKeyFile,
  Generate,  // the generated files, made by the Generate command
};

// The settings of a project, as typed (consumers trim them). A default
// object holds a new project's values, as the table of settings gives them.
struct ProjectSettings {
  ProjectSettings();

  std::string AuthUserFile;
  std::string FtpServerPath;
  std::string AuthName;
  bool RedirectError;
  std::string RedirectErrorPage;
  bool ToFtpServer;
  std::string FtpHost;
  std::string FtpPort;
  std::string FtpUser;
  std::string FtpPassword;
  std::string FtpWebDirectory;
  std::string LocalDirectory;
  bool FtpPassive;
  // The format of .htpasswd ("des", "bcrypt", "sha512", "sha256", "apr1";
  // any other text reads as "des") and its cost: bcrypt's exponent or
  // SHA-crypt's rounds, a whole number, empty for the format's default.
  std::string PasswordHash;
  std::string HashCost;
  // How the upload talks to the server: "ftp", "ftpes" (AUTH TLS), "ftps"
  // (TLS from the first byte) or "sftp"; any case, trimmed.
  std::string FtpProtocol;
  // The web address of the protected folder, checked over HTTP after
  // publishing; empty: no check.
  std::string CheckUrl;
  // The private key an SFTP upload logs in with; empty: the password or an
  // SSH agent.
  std::string SftpKeyFile;

  bool operator==(const ProjectSettings&) const = default;
};

enum class FtpProtocol { Ftp, Ftpes, Ftps, Sftp };

// The protocol of its word (any case); nothing for any other text.
std::optional<FtpProtocol> ParseFtpProtocol(std::string_view word);
// The port a protocol's servers listen on: 21, 21, 990 and 22.
int ProtocolPort(FtpProtocol protocol);

// One setting, described once for the project file, the window and the
// command line. Exactly one of Text and Flag is set.
struct SettingRow {
  Field Id;
  const char* Key;  // in the project file's GENERAL section
  std::string ProjectSettings::*Text;
  bool ProjectSettings::*Flag;
  const char* Default;      // a new project's value; a flag's is "1" or "0"
  const char* FileDefault;  // the value of a project file that lacks the key
  // Loaded values reach the window's controls in this order, so that their
  // change reactions run as they always have.
  int LoadStep;
  // The refusal of a command that needs the setting filled in; nullptr when
  // no command does.
  const char* Missing;
  // The refusal of a value (trimmed) that would break what is made from
  // it; nullptr when every value will do. Each command checks the rows its
  // work depends on; "pellora-cli set" checks every value it is given.
  std::optional<std::string> (*Check)(std::string_view value);
  // Settings a project chooses only now and then are written to the project
  // file (and listed by "pellora-cli show") only when they differ from
  // FileDefault, so that a project keeping them has the file it always had.
  bool OnlyWhenChosen = false;
};

// Every setting, in the order the project file holds them.
std::span<const SettingRow> SettingRows();
// The row of a setting; Field::Users and Field::Generate have none.
const SettingRow* RowOf(Field field);

// A check that refused a command: what to show the operator, and the
// message box text and caption.
struct Refusal {
  Field Target = Field::Users;
  std::string Text;
  std::string Caption;
};

// The row's Missing refusal when the setting is empty after trimming.
std::optional<Refusal> RefuseMissing(const ProjectSettings& settings, Field setting);
// The row's Check refusal of the setting's trimmed value.
std::optional<Refusal> RefuseValue(const ProjectSettings& settings, Field setting);
// A hash cost outside the range of the project's format (the row's check
// lets through any number) is clamped into the range, in settings, and the
// note says so; nothing when the cost fits, is no number, or the format
// takes none.
std::optional<std::string> ClampHashCost(ProjectSettings& settings);

}  // namespace pellora
