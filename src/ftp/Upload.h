#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/Log.h"
#include "core/ProjectSettings.h"
#include "ftp/FtpClient.h"
#include "ftp/UploadSession.h"

namespace pellora {

// Publishing over FTP: inside this layer a failure travels as an exception
// (ESockError, EAbortError, FTPException) whose text is what the log shows;
// what is declared here answers with values and never raises for what the
// server or the network does.

struct UploadCheck {
  // The port text was unusable: the caller writes the protocol's own port
  // (Inputs.Port: 21, 990 for implicit TLS, 22 for SFTP) into the port field, which
  // marks the project modified. Set even when a later check refuses.
  bool PortReset = false;
  // The first check that failed (caption "Error!"). Nothing is sent when set.
  std::optional<Refusal> Refused;
  UploadInputs Inputs;  // complete only when nothing was refused
};

// The checks of "Upload now!" in their order: host, port, protocol (one
// this build knows and can speak), user, web folder, then the generated
// files in the working folder.
UploadCheck CheckUploadInputs(const ProjectSettings& settings);

// Runs uploads with one session (the program's one FTP client, or another
// protocol's) and reports into the log. Binds the session's events for as
// long as it lives.
class Uploader {
 public:
  Uploader(TFtpClient& client, LogSink& log);
  Uploader(UploadSession& session, LogSink& log);
  ~Uploader();
  Uploader(const Uploader&) = delete;
  Uploader& operator=(const Uploader&) = delete;

  // The upload itself, from leaving an earlier session to "* Disconnected"
  // and the line that says which files were stored. A failed step's line is
  // followed by one that says why (the server's reply, the error, or Stop).
  // The log window's buttons, clearing and showing it are the caller's part.
  // Returns whether both files were stored. Never raises for what the server
  // or the network does; a start while an upload runs is ignored (false).
  bool Run(const UploadInputs& inputs);

  // The log window's Stop: abandons the transfer and leaves the server when
  // connected, else nothing. Safe inside the pump of a running upload. Returns
  // the text of a refused QUIT for the caller to show; a QUIT that gets no
  // answer within QuitGraceMs is given up silently.
  std::optional<std::string> Stop();

  bool Running() const { return running_; }

  // Why the last upload failed: the text of the error that ended it
  // ("10061:Connection refused", "552 Quota exceeded."), led by how long
  // nothing moved when a wait ran out of time. Empty after an upload that
  // stored both files. The log shows it too, under the step that failed.
  const std::string& FailureReason() const { return failureReason_; }

  int QuitGraceMs = 3000;

 private:
  void Bind();

  std::unique_ptr<UploadSession> ftp_;  // set when made for an FTP client
  UploadSession& client_;
  LogSink& log_;
  bool running_ = false;
  bool stopping_ = false;
  bool stopped_ = false;       // Stop ran during this upload
  bool reasonLogged_ = false;  // a line of the failure already says why
  std::string failureReason_;
  std::string host_;
  std::int32_t port_ = 0;
};

}  // namespace pellora
