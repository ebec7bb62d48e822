// Project commands of the main window: New, Open, Save, Save as, the
// question before a modified project is dropped, the last-state file written
// on close, and the CSV export and import of the user page.
#include "platform/WorkingFolder.h"
#include "project/Csv.h"
#include "project/Htpasswd.h"
#include "project/ProjectFile.h"
#include "ui/FormMain.h"

namespace pellora {

namespace {

Prompts::FileDialog ProjectSaveDialog() {
  return {QStringLiteral("Project File (*.htp)"), QStringLiteral("htp"), true};
}
Prompts::FileDialog ProjectOpenDialog() { return {QStringLiteral("Project File (*.htp)"), QString(), false}; }
Prompts::FileDialog CsvSaveDialog() { return {QStringLiteral("User list files (*.csv)"), QStringLiteral("csv"), true}; }
Prompts::FileDialog CsvOpenDialog() { return {QStringLiteral("User list files (*.csv)"), QString(), false}; }

std::string LastStateFile() { return WorkingFolder() + "config.htp"; }

}  // namespace

bool TFormMain::SaveProjectToChosenFile() {
  const QString path = prompts_.SaveFile(ProjectSaveDialog());
  if (path.isEmpty()) return false;
  if (!SaveProjectFile(path.toStdString(), project_.Users, Settings())) {
    prompts_.Error(QStringLiteral("Can't save project as ") + path);
    return false;
  }
  project_.FileName = path.toStdString();
  project_.Untitled = false;
  project_.Modified = false;
  UpdateWindowTitle();
  return true;
}

bool TFormMain::AskSaveChanges() {
  // "Untilted" is the question's own wording, kept as operators know it.
  const QString question = project_.Untitled ? QStringLiteral("Save changes to project\r\nUntilted? ")
                                             : QStringLiteral("Save changes to project\r\n") +
                                                   QString::fromStdString(project_.FileName) + QStringLiteral("? ");
  switch (prompts_.Confirm(question)) {
    case Prompts::Button::No: return true;
    case Prompts::Button::Yes: break;
    default: return false;
  }
  if (project_.Untitled) return SaveProjectToChosenFile();
  if (!SaveProjectFile(project_.FileName, project_.Users, Settings())) {
    prompts_.Error(QStringLiteral("Can't save project as ") + QString::fromStdString(project_.FileName));
    return false;
  }
  project_.Modified = false;
  return true;
}

void TFormMain::TbnNewProjectClick() {
  if (project_.Modified && !AskSaveChanges()) return;
  ResetProjectSettings();
  FreeUsers();
  project_.FileName = kUntitled;
  project_.Untitled = true;
  project_.Modified = false;
  UpdateWindowTitle();
}

void TFormMain::TbnOpenProjectClick() {
  if (project_.Modified && !AskSaveChanges()) return;
  const QString path = prompts_.OpenFile(ProjectOpenDialog());
  if (path.isEmpty()) return;
  // The old project goes before the file is read: a file that cannot be
  // read leaves the empty default project, not the old one.
  ResetProjectSettings();
  FreeUsers();
  if (LoadProjectFromFile(path.toStdString())) {
    project_.FileName = path.toStdString();
    project_.Untitled = false;
  } else {
    prompts_.Error(QStringLiteral("Can't open project file ") + path);
    project_.FileName = kUntitled;
    project_.Untitled = true;
  }
  // Loading set the controls, which marked the project.
  project_.Modified = false;
  UpdateWindowTitle();
}

void TFormMain::TbnSaveProjectClick() {
  if (project_.Untitled) {
    SaveProjectToChosenFile();
    return;
  }
  if (!SaveProjectFile(project_.FileName, project_.Users, Settings())) {
    prompts_.Error(QStringLiteral("Can't save project as ") + QString::fromStdString(project_.FileName));
    return;
  }
  project_.Untitled = false;
  project_.Modified = false;
}

void TFormMain::MISaveProjectAsClick() { SaveProjectToChosenFile(); }

bool TFormMain::FormCloseQuery() {
  // A named project with changes gets the usual question. Whatever the
  // answer, the whole project then goes to the last-state file, which names
  // the project's own file and whether that file lacks the changes; a
  // failure to write it must not keep the window open.
  const bool named = !project_.Untitled && project_.FileName != LastStateFile();
  if (named && project_.Modified && !AskSaveChanges()) return false;
  LastState state;
  if (named) state = {project_.FileName, project_.Modified};
  SaveProjectFile(LastStateFile(), project_.Users, Settings(), &state);
  FreeUsers();
  return true;
}

void TFormMain::btnsavecsvClick() {
  const QString path = prompts_.SaveFile(CsvSaveDialog());
  if (path.isEmpty()) return;
  // A file that cannot be written is left as it was, and the operator told
  // so: without the message an export that did nothing looks done.
  if (!ExportCsvFile(path.toStdString(), project_.Users))
    prompts_.Error(QStringLiteral("Can't write CSV file ") + path);
}

void TFormMain::btnloadcsvClick() {
  const QString path = prompts_.OpenFile(CsvOpenDialog());
  if (path.isEmpty()) return;
  project_.Modified = true;
  if (ImportCsvFile(path.toStdString(), project_.Users)) RefreshUserView();
}

void TFormMain::MIImportHtpasswdClick() {
  const QString path =
      prompts_.OpenFile({QStringLiteral("Password files (.htpasswd *.htpasswd);;All files (*)"), QString(), false});
  if (path.isEmpty()) return;
  const std::optional<HtpasswdImport> result = ImportHtpasswdFile(path.toStdString(), project_.Users);
  if (!result) {
    prompts_.Error(QStringLiteral("Can't open .htpasswd file ") + path);
    return;
  }
  if (result->Added > 0) {
    project_.Modified = true;
    RefreshUserView();
  }
  std::string text = ImportSummary(*result);
  for (const std::string& message : result->Messages) text += "\n" + message;
  prompts_.Message(QString::fromStdString(text), QStringLiteral("Information"));
}

}  // namespace pellora
