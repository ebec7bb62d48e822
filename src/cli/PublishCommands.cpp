// generate, upload, save and publish: the last two wizard pages.
#include <chrono>
#include <filesystem>
#include <optional>

#include "cli/Args.h"
#include "cli/CheckCommands.h"
#include "cli/Commands.h"
#include "cli/Netrc.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Project.h"
#include "core/Text.h"
#include "ftp/FtpClient.h"
#include "ftp/TlsTransport.h"
#include "ftp/TrustFile.h"
#include "ftp/Upload.h"
#include "generate/AccessFiles.h"
#include "generate/LocalSave.h"
#include "platform/Files.h"
#include "project/ProjectFile.h"
#include "sftp/SftpClient.h"

namespace pellora::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNotGenerated = "Please generate .htaccess and .htpasswd files first.";
constexpr const char* kNoDirectory = "The specified directory does not exist!";
constexpr const char* kNoSaveDirectory =
    "No directory to save to: give --to DIR or fill in the project's Directory (LOCALDIRECTORY).";

// The desktop program waits on a silent server for as long as the operator
// does not press Stop; nobody presses Stop for a cron job, so every wait
// here ends after this long unless --timeout says otherwise.
constexpr int kDefaultTimeoutSeconds = 60;
constexpr int kMaxTimeoutSeconds = 24 * 60 * 60;

int TimeoutMs(const Args& a) {
  int seconds = kDefaultTimeoutSeconds;
  if (auto value = a.Value("--timeout")) seconds = ParseInteger(*value, "--timeout");
  if (seconds < 0 || seconds > kMaxTimeoutSeconds)
    throw UsageError("--timeout must be from 0 to " + std::to_string(kMaxTimeoutSeconds) + " seconds");
  return seconds * 1000;
}

// The checks of "Upload now!". Its last one looks for the generated files
// in the working folder; with a folder of our own they are looked for there
// (every other input is complete by then).
std::optional<Refusal> CheckUpload(const ProjectSettings& settings, const std::optional<fs::path>& from,
                                   UploadInputs& inputs) {
  UploadCheck check = CheckUploadInputs(settings);
  if (check.Refused && !(from && check.Refused->Target == Field::Generate)) return check.Refused;
  inputs = check.Inputs;
  if (from) {
    inputs.LocalHtaccess = *from / kHtaccessName;
    inputs.LocalHtpasswd = *from / kHtpasswdName;
    if (!FileExists(inputs.LocalHtaccess) || !FileExists(inputs.LocalHtpasswd))
      return Refusal{Field::Generate, kNotGenerated, "Error!"};
  }
  return std::nullopt;
}

// The options of upload and publish that choose the protocol and which
// certificates and host keys to trust.
const std::vector<OptionSpec> kSecureOptions{{"--protocol", true},
                                             {"--cacert", true},
                                             {"--pin", true},
                                             {"--accept-new-certificate", false},
                                             {"--accept-new-host-key", false},
                                             {"--key-passphrase-stdin", false}};

std::vector<OptionSpec> With(std::vector<OptionSpec> specs) {
  specs.insert(specs.end(), kSecureOptions.begin(), kSecureOptions.end());
  return specs;
}

struct Trust {
  std::string caFile;
  std::optional<std::string> pin;
  bool acceptNew = false;
  bool acceptNewHostKey = false;
  bool passphraseOnStdin = false;
};

// --protocol for this run, and the trust options. A port that is the
// project protocol's own follows the protocol chosen here, so that
// "--protocol ftps" on a project at port 21 reaches port 990.
Trust ReadSecureOptions(const Args& a, ProjectSettings& settings) {
  if (auto word = a.Value("--protocol")) {
    ParseChoice(*word, {"ftp", "ftpes", "ftps", "sftp"}, "--protocol");
    const std::string_view was = TrimView(settings.FtpProtocol);
    const FtpProtocol old = ParseFtpProtocol(was.empty() ? "ftp" : was).value_or(FtpProtocol::Ftp);
    if (Trim(settings.FtpPort) == std::to_string(ProtocolPort(old)))
      settings.FtpPort = std::to_string(ProtocolPort(*ParseFtpProtocol(*word)));
    settings.FtpProtocol = *word;
  }
  Trust trust;
  trust.caFile = a.Value("--cacert").value_or("");
  if (auto pin = a.Value("--pin")) {
    trust.pin = ParseFingerprint(*pin);
    if (!trust.pin) throw UsageError("--pin takes SHA256:<base64> or the 64 hexadecimal digits of a SHA-256 digest");
  }
  trust.acceptNew = a.Has("--accept-new-certificate");
  trust.acceptNewHostKey = a.Has("--accept-new-host-key");
  trust.passphraseOnStdin = a.Has("--key-passphrase-stdin");
  return trust;
}

// Runs the upload with the progress line on a terminal and says why it failed.
int FinishUpload(Uploader& uploader, const UploadInputs& inputs, Progress& progress, StdoutLog& log) {
  const auto start = std::chrono::steady_clock::now();
  if (progress.Enabled())
    SetDefaultEventPump([&] {
      const auto seconds =
          std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
      progress.Show(log.LastStep() + " ... " + std::to_string(seconds) + " s");
    });
  const bool stored = uploader.Run(inputs);
  SetDefaultEventPump({});
  progress.Clear();
  if (stored) return kExitDone;
  // The log shows where the upload stopped; the reason goes where messages
  // go, so that standard output stays the log the window would show.
  PrintError("pellora-cli: " + Printable(uploader.FailureReason()));
  return kExitServer;
}

// Nobody is asked: a host key no known_hosts file has is kept only when the
// command line says so, and a passphrase is read only when it says where from.
int RunSftpUpload(const UploadInputs& inputs, int timeoutMs, const Trust& trust) {
  Progress progress;
  StdoutLog log(&progress);
  TSftpClient client;
  client.TimeOut = timeoutMs;
  if (trust.acceptNewHostKey) client.AskHostKey = [](const HostKeyInfo&) { return true; };
  if (trust.passphraseOnStdin)
    client.AskPassphrase = [&progress](const std::string&) -> std::optional<std::string> {
      progress.Clear();
      std::string passphrase;
      if (!ReadSecretLine(passphrase, "Key passphrase: ")) return std::nullopt;
      return passphrase;
    };
  Uploader uploader(client, log);
  return FinishUpload(uploader, inputs, progress, log);
}

int RunUpload(const UploadInputs& inputs, int timeoutMs, const Trust& trust) {
  if (inputs.Protocol == FtpProtocol::Sftp) return RunSftpUpload(inputs, timeoutMs, trust);
  Progress progress;
  StdoutLog log(&progress);
  TFtpClient client;
  client.TimeOut = timeoutMs;
  // Nobody is asked: a certificate nothing vouches for is kept only when
  // the command line says so, and only for a server that has none kept.
  const fs::path trustFile = TrustFilePath();
  const std::string server = inputs.Host + ":" + std::to_string(inputs.Port);
  client.Trust.CaFile = trust.caFile;
  client.Trust.Pin = trust.pin;
  client.Trust.Pinned = PinnedCertificate(trustFile, server);
  if (trust.acceptNew)
    client.Trust.AskTrust = [&](const TlsPeer& peer, const std::string&) {
      if (PinCertificate(trustFile, server, peer.Sha256)) return true;
      PrintError("pellora-cli: " + trustFile.string() + " cannot be written");
      return false;
    };
  Uploader uploader(client, log);
  return FinishUpload(uploader, inputs, progress, log);
}
int RunSave(const std::string& directoryField, bool replace, const fs::path& from) {
  bool keptExisting = false;
  LocalSavePrompts prompts;
  prompts.BrowseForFolder = [] { return std::optional<std::string>(); };
  prompts.AskReplace = [replace, &keptExisting](const std::string&) {
    keptExisting = keptExisting || !replace;
    return replace;
  };
  StdoutLog log;
  const LocalSaveResult result = SaveNow(directoryField, prompts, log, from);
  switch (result.Outcome) {
    case LocalSaveOutcome::NotGenerated:
    case LocalSaveOutcome::DirectoryMissing: return Refuse(*result.Refused);
    case LocalSaveOutcome::Cancelled: return Refuse(kNoSaveDirectory);
    case LocalSaveOutcome::Saved: break;
  }
  if (result.HtaccessSaved && result.HtpasswdSaved) return kExitDone;
  if (keptExisting) PrintError("An existing file was left as it is; --replace replaces it.");
  return kExitRefused;
}

// Generates as the desktop program does, with the warnings and the
// hashing's progress on standard error. The hashes made to be kept go back
// into the project file, so that the next run does not make them again.
bool Generate(Project& project, const fs::path& folder) {
  Progress progress;
  StdoutLog log;
  GenerateOptions options;
  options.Folder = folder;
  options.Progress.Report = [&](std::size_t done, std::size_t total) {
    progress.Count("Hashing passwords", done, total);
  };
  options.Warn = [&](std::string_view line) {
    progress.Clear();
    PrintError(TrimView(line));
  };
  const Generated made = WriteAccessFiles(project.Users, project.Settings, log, options);
  progress.Clear();
  if (made.KeptNewHashes && !SaveProjectFile(project.FileName, project.Users, project.Settings))
    PrintError("The new password hashes could not be kept in " + project.FileName +
               ": the next generate makes them again.");
  return made.Written;
}

}  // namespace

int CmdGenerate(const std::vector<std::string>& args) {
  Args a(args, {{"--out", true}});
  a.Expect({"PROJECT"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  if (auto refused = CheckGenerate(project.Users, project.Settings)) return Refuse(*refused);
  fs::path out;  // empty: the working folder
  if (auto dir = a.Value("--out")) {
    if (!DirectoryExists(*dir)) return Refuse(kNoDirectory);
    out = *dir;
  }
  if (!Generate(project, out)) return kExitRefused;
  PrintLine("Password hash: " + DescribeHash(HashChoiceOf(project.Settings)));
  return kExitDone;
}

int CmdUpload(const std::vector<std::string>& args) {
  Args a(args, With({{"--from", true}, {"--timeout", true}, {"--netrc-file", true}}));
  a.Expect({"PROJECT"});
  const int timeoutMs = TimeoutMs(a);
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  const Trust trust = ReadSecureOptions(a, project.Settings);
  if (!FillFromNetrc(project.Settings, a.Value("--netrc-file"))) return kExitRefused;
  std::optional<fs::path> from;
  if (auto dir = a.Value("--from")) from = fs::path(*dir);
  UploadInputs inputs;
  if (auto refused = CheckUpload(project.Settings, from, inputs)) return Refuse(*refused);
  return RunUpload(inputs, timeoutMs, trust);
}

int CmdSave(const std::vector<std::string>& args) {
  Args a(args, {{"--from", true}, {"--to", true}, {"--replace", false}});
  a.Expect({"PROJECT"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  const std::string directory = a.Value("--to").value_or(project.Settings.LocalDirectory);
  return RunSave(directory, a.Has("--replace"), a.Value("--from").value_or(""));
}

int CmdPublish(const std::vector<std::string>& args) {
  Args a(args, With({{"--replace", false}, {"--timeout", true}, {"--netrc-file", true}, {"--check", false}}));
  a.Expect({"PROJECT"});
  const int timeoutMs = TimeoutMs(a);
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  // The login from .netrc and --protocol are for this run only: the project
  // file may be written back with the hashes generation keeps, and it must
  // not take them in.
  ProjectSettings settings = project.Settings;
  const Trust trust = ReadSecureOptions(a, settings);
  if (settings.ToFtpServer && !FillFromNetrc(settings, a.Value("--netrc-file"))) return kExitRefused;
  if (auto refused = CheckGenerate(project.Users, settings)) return Refuse(*refused);

  // Every check of the publishing page runs before the generated files are
  // replaced, so a refused publish leaves the last good ones in place. Only
  // the test for generated files waits, as generating is what comes next.
  if (settings.ToFtpServer) {
    UploadCheck check = CheckUploadInputs(settings);
    if (check.Refused && check.Refused->Target != Field::Generate) return Refuse(*check.Refused);
  } else {
    const std::string directory = Trim(settings.LocalDirectory);
    if (directory.empty()) return Refuse(kNoSaveDirectory);
    if (!DirectoryExists(directory)) return Refuse(kNoDirectory);
  }

  // Asked for, the check must be able to run before anything is published.
  std::optional<CheckInputs> check;
  if (a.Has("--check") && !(check = CheckInputsFor(project, a))) return kExitRefused;

  if (!Generate(project, {})) return kExitRefused;
  int status = kExitDone;
  if (!settings.ToFtpServer) {
    status = RunSave(settings.LocalDirectory, a.Has("--replace"), {});
  } else {
    UploadInputs inputs;
    if (auto refused = CheckUpload(settings, std::nullopt, inputs)) return Refuse(*refused);
    status = RunUpload(inputs, timeoutMs, trust);
  }
  return status == kExitDone && check ? RunCheck(*check) : status;
}

}  // namespace pellora::cli
