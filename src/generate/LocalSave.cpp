#include "generate/LocalSave.h"

#include <system_error>

#include "core/Text.h"
#include "generate/AccessFiles.h"
#include "platform/Files.h"

namespace pellora {
namespace fs = std::filesystem;

namespace {

// Replaces target with the bytes of source the way every file of ours is
// replaced, so a failed save leaves the old file whole. The target folder is
// read by the web server, whose workers run under an account of their own:
// a new file gets the ordinary mode (not the working folder's private one),
// a replaced one keeps the access the site's owner gave it.
bool CopyReplacing(const fs::path& source, const fs::path& target) {
  std::string data;
  if (!ReadWholeFile(source, data)) return false;
  return WriteFileAtomic(target, data, 0644, AtLink::Replace);
}

bool CopyOne(const fs::path& source, const std::string& target, const LocalSavePrompts& prompts) {
  std::error_code ec;
  bool replace = true;
  if (fs::exists(fs::symlink_status(target, ec)))
    replace = prompts.AskReplace && prompts.AskReplace(target + " already exists. Do you want to replace it?");
  if (replace) return CopyReplacing(source, target);
  // After No the copy is still tried, but never over a file that is there.
  return fs::copy_file(source, target, fs::copy_options::none, ec) && !ec;
}

}  // namespace

LocalSaveResult SaveNow(const std::string& directoryField, const LocalSavePrompts& prompts, LogSink& log,
                        const fs::path& sourceFolder) {
  LocalSaveResult result;
  auto htaccess = GeneratedFile(kHtaccessName, sourceFolder);
  auto htpasswd = htaccess ? GeneratedFile(kHtpasswdName, sourceFolder) : std::nullopt;
  if (!htaccess || !htpasswd) {
    result.Outcome = LocalSaveOutcome::NotGenerated;
    result.Refused = Refusal{Field::Generate, "Please generate .htaccess and .htpasswd files first.", "Error!"};
    return result;
  }

  log.Clear();

  std::string directory = Trim(directoryField);
  if (directory.empty()) {
    std::optional<std::string> chosen = prompts.BrowseForFolder ? prompts.BrowseForFolder() : std::nullopt;
    if (chosen) directory = Trim(*chosen);
    if (directory.empty()) {
      result.Outcome = LocalSaveOutcome::Cancelled;
      return result;
    }
  }
  if (!DirectoryExists(directory)) {
    result.Outcome = LocalSaveOutcome::DirectoryMissing;
    // Save now! sits on the last page, which is already in view.
    result.Refused = Refusal{Field::LocalDirectory, "The specified directory does not exist!", "Error"};
    return result;
  }
  if (directory.back() == '/') directory.pop_back();

  const std::string targetHtaccess = directory + "/" + kHtaccessName;
  result.HtaccessSaved = CopyOne(*htaccess, targetHtaccess, prompts);
  log.AppendText("Save .htaccess file to " + targetHtaccess +
                 (result.HtaccessSaved ? " ... OK!\r\n\r\n" : " ... Failed!\r\n\r\n"));

  const std::string targetHtpasswd = directory + "/" + kHtpasswdName;
  result.HtpasswdSaved = CopyOne(*htpasswd, targetHtpasswd, prompts);
  log.AppendText("Save .htpasswd file to " + targetHtpasswd +
                 (result.HtpasswdSaved ? " ... OK!\r\n\r\n" : " ... Failed!\r\n\r\n"));

  result.Outcome = LocalSaveOutcome::Saved;
  result.Directory = directory;
  return result;
}

}  // namespace pellora
