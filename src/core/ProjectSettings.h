#pragma once
#include <string>

namespace pellora {

inline constexpr const char* kDefaultErrorPage = "http://www.your-web-site.example/error.htm";

// The thirteen settings of a project, as typed (consumers trim them).
struct ProjectSettings {
  std::string AuthUserFile = "/";
  std::string FtpServerPath = "/home/yourloginname/";
  std::string AuthName = "Members Only Area";
  bool RedirectError = false;
  std::string RedirectErrorPage = kDefaultErrorPage;
  bool ToFtpServer = true;
  std::string FtpHost;
  std::string FtpPort = "21";
  std::string FtpUser;
  std::string FtpPassword;
  std::string FtpWebDirectory = "/public_html/";
  std::string LocalDirectory;
  bool FtpPassive = true;

  bool operator==(const ProjectSettings&) const = default;
};

// A check that refused a command: the wizard page and the field to show the
// operator, and the message box text and caption.
struct Refusal {
  int Step = 0;        // wizard page 0 to 3
  std::string Focus;   // object name of the control to focus; empty for none
  std::string Text;
  std::string Caption;
};

}  // namespace pellora
