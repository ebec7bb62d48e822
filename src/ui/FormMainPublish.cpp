// The main window's publishing commands: Generate and the previews on the
// third page, Browse, Save now! and Upload now! on the fourth. The rules
// (checks, texts, file handling, the FTP dialogue) live in the Qt-free
// layers; this file only binds them to pages, focus, dialogs and the log
// window.
#include <optional>
#include <string>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include "check/HttpCheck.h"
#include "core/ProjectSettings.h"
#include "core/Text.h"
#include "ftp/TlsTransport.h"
#include "ftp/TrustFile.h"
#include "ftp/Upload.h"
#include "generate/AccessFiles.h"
#include "generate/LocalSave.h"
#include "generate/UpToDate.h"
#include "platform/Files.h"
#include "ui/FieldControls.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"

namespace pellora {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

void FocusOn(const TFormMain& form, Field field) {
  if (QWidget* control = ControlOf(form, field)) control->setFocus(Qt::OtherFocusReason);
}

// The page goes first so that the field to focus is in view, then the focus,
// then the message box, which hands the focus back to that field when closed.
void ShowRefusal(TFormMain& form, const Refusal& refusal) {
  form.ShowStep(PlaceOf(refusal.Target).Step);
  FocusOn(form, refusal.Target);
  form.prompts().Message(Q(refusal.Text), Q(refusal.Caption));
}

// A refusal about a field of the page the button sits on needs no page
// change: the operator is looking at it already.
void ShowRefusalFrom(TFormMain& form, QWidget* page, const Refusal& refusal) {
  if (PlaceOf(refusal.Target).Step == form.PageControlMain->indexOf(page))
    form.prompts().Message(Q(refusal.Text), Q(refusal.Caption));
  else ShowRefusal(form, refusal);
}

void Preview(TFormMain& form, const char* name) {
  if (std::optional<std::filesystem::path> file = GeneratedFile(name)) {
    form.prompts().ViewTextFile(QString::fromStdString(file->string()));
    return;
  }
  const Refusal refusal = PreviewRefusal();
  form.prompts().Message(Q(refusal.Text), Q(refusal.Caption));
  FocusOn(form, refusal.Target);
}

// The log as it is, or without the clearing that would wipe the lines above.
struct KeepLines : LogSink {
  LogSink& log;
  bool keep;
  KeepLines(LogSink& log, bool keep) : log(log), keep(keep) {}
  void Clear() override {
    if (!keep) log.Clear();
  }
  void AddLine(std::string_view text) override { log.AddLine(text); }
  void AppendText(std::string_view text) override { log.AppendText(text); }
};

// Stop and Close go back to their resting state however the upload ends,
// an unexpected exception included.
struct RestoreLogButtons {
  TFormLog& log;
  ~RestoreLogButtons() {
    log.SetStopEnabled(false);
    log.SetCloseEnabled(true);
  }
};

// Closing the main window while an upload waits (or passwords are hashed) would leave the program
// running without a window until the server answers, which a silent server
// never does; so once the window is really gone (the close may be refused),
// the upload is stopped as if "Stop" had been pressed.
class StopUploadOnClose : public QObject {
 public:
  explicit StopUploadOnClose(TFormMain& form) : QObject(&form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &form_ && event->type() == QEvent::Close) {
      QTimer::singleShot(0, this, [this] {
        if (form_.isVisible() || !form_.FormLog || !form_.Busy()) return;
        form_.FormLog->BtnStopClick();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TFormMain& form_;
};

// While passwords are hashed the program's events run, so that the log
// window repaints and its Stop can be pressed; the users being hashed must
// not change meanwhile, so the main window takes no mouse or keys. Other
// windows (the log, a question on closing) still do.
class BlockInput : public QObject {
 public:
  explicit BlockInput(QWidget& window) : window_(window) { qApp->installEventFilter(this); }
  ~BlockInput() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
        if (auto* window = qobject_cast<QWindow*>(watched)) return window == window_.windowHandle();
        if (auto* widget = qobject_cast<QWidget*>(watched)) return widget->window() == &window_;
        return event->type() == QEvent::Shortcut;  // the main window's menu commands
      default: return false;
    }
  }

 private:
  QWidget& window_;
};

}  // namespace

Uploader& TFormMain::FtpUploader() {
  // Made on first use: the log window it reports into is created after this one.
  if (!uploader_) uploader_ = std::make_unique<Uploader>(FtpClient, *FormLog);
  return *uploader_;
}

Uploader& TFormMain::SftpUploader() {
  if (!sftpUploader_) sftpUploader_ = std::make_unique<Uploader>(SftpClient, *FormLog);
  return *sftpUploader_;
}

void TFormMain::WirePublishing() {
  // The upload's waits run the window's events, so its lines show as they
  // come, Stop can be pressed and the window repaints.
  FtpClient.Pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
  SftpClient.Pump = FtpClient.Pump;
  installEventFilter(new StopUploadOnClose(*this));
}

bool TFormMain::GenerateFiles() {
  if (std::optional<Refusal> refused = CheckGenerate(project_.Users, Settings())) {
    ShowRefusal(*this, *refused);
    return false;
  }
  if (!FormLog || generating_) return false;
  bool stopped = false;
  FormLog->SetStopHandler([&stopped] { stopped = true; });
  FormLog->SetStopEnabled(true);
  FormLog->SetCloseEnabled(false);
  FormLog->Clear();
  FormLog->ShowLog();
  GenerateOptions options;
  options.Progress.Report = [this](std::size_t done, std::size_t total) {
    FormLog->ShowProgress(
        total == 0 || done == total ? QString() : QStringLiteral("Hashing passwords: %1 of %2").arg(done).arg(total));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  };
  options.Progress.Stopped = [&stopped] { return stopped; };
  Generated made;
  {
    RestoreLogButtons restore{*FormLog};
    BlockInput busy(*this);
    generating_ = true;
    made = WriteAccessFiles(project_.Users, Settings(), *FormLog, options);
    generating_ = false;
  }
  FormLog->SetStopHandler({});
  FormLog->ShowProgress({});
  // The hashes kept for the next generation are part of the project now.
  if (made.KeptNewHashes) project_.Modified = true;
  FormLog->ShowLog();
  return made.Written;
}

void TFormMain::BtnGenerateClick() { GenerateFiles(); }

bool TFormMain::Busy() { return generating_ || checking_ || Uploading(); }

TFormMain::BeforePublish TFormMain::OfferToRegenerate() {
  // Files never generated are refused by the publishing commands themselves.
  if (!GeneratedFile(kHtaccessName) || !GeneratedFile(kHtpasswdName) ||
      GeneratedFilesUpToDate(project_.Users, Settings()))
    return BeforePublish::AsTheyAre;
  switch (
      prompts_.Confirm(QStringLiteral("The user list or the options changed after the files were generated. "
                                      "Generate them again first?"))) {
    case Prompts::Button::No: return BeforePublish::AsTheyAre;
    case Prompts::Button::Yes: return GenerateFiles() ? BeforePublish::Regenerated : BeforePublish::Cancelled;
    default: return BeforePublish::Cancelled;
  }
}

void TFormMain::BtnViewHtaccessClick() { Preview(*this, kHtaccessName); }

void TFormMain::BtnViewHtpasswdClick() { Preview(*this, kHtpasswdName); }

std::optional<std::string> TFormMain::BrowseForSaveDirectory() {
  // The folder already named is where the operator most likely wants to look.
  const std::string named = Trim(EdtDirectory->text().toStdString());
  const QString start = !named.empty() && DirectoryExists(named) ? Q(named) : QString();
  const QString chosen = prompts_.ChooseFolder("Save to directory:", start);
  if (chosen.isEmpty()) return std::nullopt;
  EdtDirectory->setText(chosen);
  // Choosing the folder already in the field changes no text, yet it is a choice.
  project_.Modified = true;
  return chosen.toStdString();
}

void TFormMain::BtnBrowseClick() { BrowseForSaveDirectory(); }

void TFormMain::BtnSaveNowClick() {
  if (!FormLog) return;
  const BeforePublish before = OfferToRegenerate();
  if (before == BeforePublish::Cancelled) return;
  LocalSavePrompts asks;
  asks.BrowseForFolder = [this] { return BrowseForSaveDirectory(); };
  asks.AskReplace = [this](const std::string& question) { return prompts_.AskReplace(Q(question)); };
  // Generate's lines stay in the log above the save's.
  KeepLines log{*FormLog, before == BeforePublish::Regenerated};
  const LocalSaveResult result = SaveNow(EdtDirectory->text().toStdString(), asks, log);

  if (result.Outcome == LocalSaveOutcome::NotGenerated) {
    ShowRefusalFrom(*this, TabSheetUpload, *result.Refused);
    return;
  }
  FormLog->SetStopEnabled(false);
  FormLog->SetCloseEnabled(true);
  switch (result.Outcome) {
    case LocalSaveOutcome::Cancelled: break;
    case LocalSaveOutcome::DirectoryMissing: ShowRefusalFrom(*this, TabSheetUpload, *result.Refused); break;
    case LocalSaveOutcome::Saved:
      FormLog->ShowLog();
      if (result.HtaccessSaved && result.HtpasswdSaved) CheckAfterPublishing();
      break;
    case LocalSaveOutcome::NotGenerated: break;
  }
}

void TFormMain::TrustByAsking(const std::string& server) {
  // A certificate nothing vouches for is the operator's call, asked once per
  // server: a yes is kept, and a kept certificate that changes is refused.
  FtpClient.Trust = TlsTrust{};
  FtpClient.Trust.Pinned = PinnedCertificate(TrustFilePath(), server);
  FtpClient.Trust.AskTrust = [this, server](const TlsPeer& peer, const std::string& reason) {
    const std::string question =
        "The certificate of " + server + " is not trusted: " + reason + ".\n\nSubject: " + peer.Subject +
        "\nIssuer: " + peer.Issuer + "\nValid from " + peer.NotBefore + " to " + peer.NotAfter +
        "\nFingerprint: " + FingerprintText(peer.Sha256) + "\n\nTrust this certificate for this server from now on?";
    if (prompts_.Confirm(Q(question)) != Prompts::Button::Yes) return false;
    if (!PinCertificate(TrustFilePath(), server, peer.Sha256))
      prompts_.Error(
          Q("The certificate is trusted for this upload only: " + TrustFilePath().string() + " cannot be written."));
    return true;
  };
}

void TFormMain::AskAboutSsh() {
  // A host key is the operator's call, asked once per server: a yes is kept
  // in the working folder's known_hosts, and a kept key that changes is
  // refused by the client itself.
  SftpClient.AskHostKey = [this](const HostKeyInfo& key) {
    const std::string question = "The host key of " + key.Server + " is not known yet.\n\nKey type: " + key.Type +
                                 "\nFingerprint: " + key.Fingerprint +
                                 "\n\nCompare the fingerprint with the one your host gives. Trust this key for this "
                                 "server from now on?";
    return prompts_.Confirm(Q(question)) == Prompts::Button::Yes;
  };
  SftpClient.AskPassphrase = [this](const std::string& keyFile) -> std::optional<std::string> {
    std::optional<QString> typed = prompts_.AskPassphrase(Q("Passphrase of the key file " + keyFile + ":"));
    if (!typed) return std::nullopt;
    return typed->toStdString();
  };
}

void TFormMain::BtnKeyFileClick() {
  const QString chosen = prompts_.OpenFile({"All files (*)", {}, false});
  if (!chosen.isEmpty()) EdtKeyFile->setText(chosen);
}

void TFormMain::BtnFtpNowClick() {
  // A press that arrives from inside the running upload's wait would clear
  // its log and talk over its dialogue with the server.
  if (Uploading()) return;
  if (!FormLog) return;

  UploadCheck check = CheckUploadInputs(Settings());
  if (check.PortReset) EdtPort->setText(QString::number(check.Inputs.Port));
  if (check.Refused) {
    ShowRefusalFrom(*this, TabSheetUpload, *check.Refused);
    return;
  }
  const BeforePublish before = OfferToRegenerate();
  if (before == BeforePublish::Cancelled) return;

  const bool sftp = check.Inputs.Protocol == FtpProtocol::Sftp;
  Uploader& uploader = sftp ? SftpUploader() : FtpUploader();
  if (sftp) AskAboutSsh();
  else TrustByAsking(check.Inputs.Host + ":" + std::to_string(check.Inputs.Port));
  FormLog->SetStopHandler([this, &uploader] {
    // A QUIT the server refuses is an unexpected error for the operator to see.
    if (std::optional<std::string> error = uploader.Stop()) prompts_.ShowException(Q(*error));
  });
  FormLog->SetStopEnabled(true);
  FormLog->SetCloseEnabled(false);
  if (before != BeforePublish::Regenerated) FormLog->Clear();
  FormLog->ShowLog();

  RestoreLogButtons restore{*FormLog};
  if (uploader.Run(check.Inputs)) CheckAfterPublishing();
}

void TFormMain::CheckAfterPublishing() {
  if (Trim(Settings().CheckUrl).empty()) return;
  // The files are in place either way; an address the check cannot ask is
  // said in the log instead of a box over it.
  if (std::optional<Refusal> refused = RefuseValue(Settings(), Field::CheckUrl)) {
    FormLog->AddLine("  " + refused->Text);
    return;
  }
  RunCheck();
}

void TFormMain::BtnCheckNowClick() {
  if (!FormLog || Busy()) return;
  std::optional<Refusal> refused = RefuseMissing(Settings(), Field::CheckUrl);
  if (!refused) refused = RefuseValue(Settings(), Field::CheckUrl);
  if (refused) {
    ShowRefusalFrom(*this, TabSheetUpload, *refused);
    return;
  }
  FormLog->Clear();
  RunCheck();
}

void TFormMain::RunCheck() {
  bool stopped = false;
  FormLog->SetStopHandler([&stopped] { stopped = true; });
  FormLog->SetStopEnabled(true);
  FormLog->SetCloseEnabled(false);
  FormLog->ShowLog();
  {
    RestoreLogButtons restore{*FormLog};
    BlockInput busy(*this);
    checking_ = true;
    CheckProtection(CheckInputsOf(project_.Users, Settings(), Trim(Settings().CheckUrl)), *FormLog,
                    {.Pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); },
                     .Stopped = [&stopped] { return stopped; }});
    checking_ = false;
  }
  FormLog->SetStopHandler({});
}

}  // namespace pellora
