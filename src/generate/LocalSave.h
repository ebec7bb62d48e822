#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Log.h"
#include "core/ProjectSettings.h"

namespace pellora {

// What "Save now!" needs from the operator.
struct LocalSavePrompts {
  // Runs the Browse button ("Save to directory:"): on a choice it puts the
  // folder into the directory field, sets Modified and returns the folder;
  // nullopt when the operator cancelled.
  std::function<std::optional<std::string>()> BrowseForFolder;
  // Asks question ("<target> already exists. Do you want to replace it?",
  // Yes the default, Escape answering No); true for Yes.
  std::function<bool(const std::string& question)> AskReplace;
};

enum class LocalSaveOutcome {
  NotGenerated,      // Refused: go to its page, focus, then the message box
  Cancelled,         // no folder named or chosen: nothing to show
  DirectoryMissing,  // Refused: the message box only (its page is in view)
  Saved,             // both copies tried, report in the log: show the log
};

struct LocalSaveResult {
  LocalSaveOutcome Outcome = LocalSaveOutcome::Cancelled;
  std::optional<Refusal> Refused;
  std::string Directory;  // the target folder as reported, when Saved
  bool HtaccessSaved = false;
  bool HtpasswdSaved = false;
};

// "Save now!": copies the generated .htaccess and .htpasswd from sourceFolder
// (the working folder when empty) into the folder named by directoryField,
// asking before replacing a file there and appending one report entry per
// file to log (cleared first unless the files were never generated). A new
// file there gets mode 0644 less the umask, so that the web server can read
// it; a replaced one keeps its mode, owner and group; a link in its place is
// replaced, never written through. Unless
// the outcome is NotGenerated the caller turns the log window's Stop off and
// Close on; it shows the window when the outcome is Saved.
LocalSaveResult SaveNow(const std::string& directoryField, const LocalSavePrompts& prompts, LogSink& log,
                        const std::filesystem::path& sourceFolder = {});

}  // namespace pellora
