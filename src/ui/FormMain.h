#pragma once
#include <memory>
#include <optional>
#include <string>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include "core/Project.h"
#include "ftp/FtpClient.h"
#include "ftp/Upload.h"
#include "project/ProjectFile.h"
#include "sftp/SftpClient.h"
#include "ui/Prompts.h"

namespace pellora {

class TFormLog;
class TFormAboutBox;
class TFormUser;
class TFormAutoCreate;
class UserCommands;
class UserTableModel;

// Addresses of the product's web site and support mail.
inline constexpr const char* kWebSite = "https://www.pellora.example/";
inline constexpr const char* kFaqPage = "https://www.pellora.example/faq.htm";
inline constexpr const char* kFullPathPage = "https://www.pellora.example/fullpath.htm";
inline constexpr const char* kSupportMail = "mailto:support@pellora.example?subject=Pellora";

// The help document beside the executable in exeDir (as built), or else in
// the data folder of the prefix exeDir is the bin folder of (as installed);
// the first when neither is there, for the message that it is missing.
QString HelpFilePath(QString exeDir);

// The four-page wizard window over one project. The project's users,
// settings and state live in a Project; the settings' controls are bound to
// it, each through its field, and a change in a control marks the project
// modified as soon as it happens, whoever makes it.
class TFormMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFormMain(Prompts& prompts, QWidget* parent = nullptr);
  ~TFormMain() override;

  Prompts& prompts() { return prompts_; }
  Project& Model() { return project_; }
  UserList& Users() { return project_.Users; }

  // Forms created after this one; set once at start-up.
  TFormLog* FormLog = nullptr;
  TFormAboutBox* FormAboutBox = nullptr;

  int CurrentStep = 0;
  int ViewFilter = 0;

  void ShowStep(int step);
  void ResetProjectSettings();
  void UpdateWindowTitle();

  // The settings as the controls hold them (untrimmed), and the reverse; applying
  // marks the project modified like any other change of the controls.
  const ProjectSettings& Settings() const { return project_.Settings; }
  void ApplySettings(const ProjectSettings& settings);

  // Loads a project file into the list and the controls (and the last-state
  // keys into state, when given); false when it could not be read.
  bool LoadProjectFromFile(const std::string& path, LastState* state = nullptr);
  // Asked before the window closes; true lets it close.
  bool FormCloseQuery();
  // Rebuilds the list view from the list under ViewFilter.
  void RefreshUserView();

  // Toolbar and menu
  QToolBar* ToolBarMain;
  QAction* TbnNewProject;
  QAction* TbnOpenProject;
  QAction* TbnSaveProject;
  QAction* TbnFAQ;
  QMenu* MenuProject;
  QAction* MINewProject;
  QAction* MIOpenProject;
  QAction* MISaveProject;
  QAction* MISaveProjectAs;
  QAction* MIImportHtpasswd;
  QAction* MIExit;
  QMenu* MenuHelp;
  QAction* MIHelpDocument;
  QAction* MIVisitWebsite;
  QAction* MIContactUs;
  QAction* MIAbout;

  QLabel* ImageLogo;
  QTabWidget* PageControlMain;
  QWidget* TabSheetUsers;
  QWidget* TabSheetOptions;
  QWidget* TabSheetGenerate;
  QWidget* TabSheetUpload;

  // Page 1: users
  QLabel* LblUsersTitle;
  QPushButton* BtnViewUsers;
  QMenu* PopupMenuViewUsers;
  QAction* MIViewAllUsers;
  QAction* MIViewEnabledUsers;
  QAction* MIViewDisabledUsers;
  QTableView* ListViewUser;
  QToolButton* TbnAddUser;
  QToolButton* TbnCreateUser;
  QToolButton* TbnEditUser;
  QToolButton* TbnDeleteUser;
  QToolButton* TbnDeleteAllUsers;
  QToolButton* btnsavecsv;
  QToolButton* btnloadcsv;
  QMenu* PopupMenuUser;
  QAction* MIAddUser;
  QAction* MIEditUser;
  QAction* MICreateUser;
  QAction* MIDeleteUser;
  QAction* MIDeleteAllUsers;
  QAction* MICancel;

  // Page 2: options
  QLabel* LblOptionsTitle;
  QLabel* LblFtpServerPath;
  QLineEdit* EdtFtpServerPath;
  QLabel* LblFtpServerPathNote;
  QLabel* LblFullPathLink;
  QLabel* LblAuthUserFile;
  QLineEdit* EdtAuthUserFile;
  QLabel* LblAuthUserFileNote;
  QLabel* LblAuthName;
  QLineEdit* EdtAuthName;
  QCheckBox* chkRedirectErrPage;
  QLineEdit* edtErrPage;
  QLabel* LblPasswordHash;
  QComboBox* CmbPasswordHash;
  QLabel* LblHashCost;
  QLineEdit* EdtHashCost;
  QLabel* LblHashNote;

  // Page 3: generate
  QLabel* LblGenerateTitle;
  QPushButton* BtnGenerate;
  QLabel* LblGenerateNote;
  QPushButton* BtnViewHtaccess;
  QPushButton* BtnViewHtpasswd;

  // Page 4: publish
  QRadioButton* RdoFtpServer;
  QLabel* LblHost;
  QLineEdit* EdtHost;
  QLabel* LblPort;
  QLineEdit* EdtPort;
  QLabel* LblUser;
  QLineEdit* EdtUser;
  QCheckBox* chkFTPPassive;
  QLabel* LblPassword;
  QLineEdit* EdtPassword;
  QLabel* LblProtocol;
  QComboBox* CmbProtocol;
  QLabel* LblProtocolNote;
  QLabel* LblKeyFile;
  QLineEdit* EdtKeyFile;
  QPushButton* BtnKeyFile;
  QLabel* LblWebDirectory;
  QLineEdit* EdtWebDirectory;
  QPushButton* BtnFtpNow;
  QRadioButton* RdoLocalHardDisk;
  QLabel* LblDirectory;
  QLineEdit* EdtDirectory;
  QPushButton* BtnBrowse;
  QPushButton* BtnSaveNow;
  QLabel* LblCheckUrl;
  QLineEdit* EdtCheckUrl;
  QPushButton* BtnCheckNow;

  // Bottom row
  QPushButton* BtnHelp;
  QPushButton* BtnBack;
  QPushButton* BtnNext;
  QPushButton* BtnExit;

 public slots:
  void BtnBackClick();
  void BtnNextClick();
  void PageControlMainChange(int index);
  void BtnHelpClick();
  void TbnFAQClick();
  void MIVisitWebsiteClick();
  void MIContactUsClick();
  void LblFullPathLinkClick();
  void MIAboutClick();
  void BtnExitClick();
  void RdoFtpServerClick();
  void RdoLocalHardDiskClick();
  void BtnViewUsersClick();
  void ViewFilterChosen(int filter);
  void ListViewUserContextPopup(const QPoint& pos);

  // Commands whose behaviour lives with the user list, persistence,
  // generation, local save and upload.
  void TbnNewProjectClick();
  void TbnOpenProjectClick();
  void TbnSaveProjectClick();
  void MISaveProjectAsClick();
  void MIImportHtpasswdClick();
  void TbnAddUserClick();
  void TbnCreateUserClick();
  void TbnEditUserClick();
  void TbnDeleteUserClick();
  void TbnDeleteAllUsersClick();
  void ListViewUserDblClick();
  void btnsavecsvClick();
  void btnloadcsvClick();
  void BtnGenerateClick();
  void BtnViewHtaccessClick();
  void BtnViewHtpasswdClick();
  void BtnFtpNowClick();
  void BtnBrowseClick();
  void BtnKeyFileClick();
  void BtnSaveNowClick();
  void BtnCheckNowClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBar();
  QWidget* BuildUsersPage();
  QWidget* BuildOptionsPage();
  QWidget* BuildGeneratePage();
  QWidget* BuildUploadPage();
  void FormCreate();
  void SetUploadMode(bool toFtpServer);
  // The cost field and the note follow the chosen password hash.
  void ShowHashChoice();
  void ShowProtocolNote();
  void SetStepButtons(int step);
  void BindSettings();

  Prompts& prompts_;
  Project project_;

  // Publishing: Generate, previews, Save now! and Upload now!
 public:
  TFtpClient FtpClient;  // the program's one FTP client, for every upload
  // The upload that drives FtpClient and reports into FormLog.
  Uploader& FtpUploader();
  TSftpClient SftpClient;  // for every SFTP upload
  Uploader& SftpUploader();
  bool Uploading() const { return (uploader_ && uploader_->Running()) || (sftpUploader_ && sftpUploader_->Running()); }
  // Generating, uploading or checking: the log window's Stop ends it.
  bool Busy();

 private:
  void WirePublishing();
  // Sets the FTP client to ask about a certificate of server nothing vouches for.
  void TrustByAsking(const std::string& server);
  // Sets the SFTP client to ask about a host key no known_hosts file has,
  // and for the passphrase of an encrypted key file.
  void AskAboutSsh();
  std::optional<std::string> BrowseForSaveDirectory();
  // Generate's checks, files and log; true when both files were written.
  // The log window shows how the hashing goes and its Stop ends it.
  bool GenerateFiles();
  bool generating_ = false;
  // The HTTP check of the protected address, after publishing or by Check now.
  void RunCheck();
  void CheckAfterPublishing();
  bool checking_ = false;
  enum class BeforePublish { AsTheyAre, Regenerated, Cancelled };
  // Offers to generate again when the generated files no longer match the
  // users and options.
  BeforePublish OfferToRegenerate();
  std::unique_ptr<Uploader> uploader_;      // after FtpClient: it unbinds the client's events when it goes
  std::unique_ptr<Uploader> sftpUploader_;  // after SftpClient, for the same reason

  // User page, project commands and CSV lists
 public:
  // The two dialogs of the user page, made after this window at start-up.
  TFormUser* FormUser = nullptr;
  TFormAutoCreate* FormAutoCreate = nullptr;
  // The user page's commands over FormUser and FormAutoCreate; nullptr while either is missing.
  UserCommands* UserPageCommands();
  UserTableModel* UserModel() const { return userModel_; }
  // Offers to save a modified project; true when the calling command may go on.
  bool AskSaveChanges();

 private:
  void WireUserPage();
  void ClearUserView();
  // Empties the view and puts the view menu and the view's filter back to "View All Users".
  void ResetUserView();
  // Empties the view before the records go, so no row outlives its record.
  void FreeUsers();
  bool SaveProjectToChosenFile();
  UserTableModel* userModel_ = nullptr;
  UserCommands* userCommands_ = nullptr;
  const TFormUser* commandsFormUser_ = nullptr;
  const TFormAutoCreate* commandsFormAutoCreate_ = nullptr;
};

}  // namespace pellora
