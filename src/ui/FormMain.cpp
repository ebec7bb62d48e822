#include "ui/FormMain.h"

#include <algorithm>
#include <functional>
#include <limits>

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "core/HashFormat.h"
#include "core/Random.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "platform/WorkingFolder.h"
#include "project/ProjectFile.h"
#include "ui/FieldControls.h"
#include "ui/FormAbout.h"
#include "ui/FormLog.h"
#include "ui/Icons.h"

namespace pellora {

namespace {

constexpr int kClientWidth = 652;
constexpr int kClientHeight = 421;
constexpr int kLastStep = 3;

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QAction* NamedAction(QObject* parent, const char* name, const QString& text) {
  auto* action = new QAction(text, parent);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit(parent), name);
  // A typed or pasted text is kept whole, however long.
  edit->setMaxLength(std::numeric_limits<int>::max());
  return edit;
}

QLabel* Title(QWidget* parent, const char* name) {
  auto* label = Named(new QLabel(parent), name);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

QLabel* Note(QWidget* parent, const char* name, const QColor& colour) {
  auto* label = Named(new QLabel(parent), name);
  label->setWordWrap(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

QToolButton* SpeedButton(QWidget* parent, const char* name, const char* icon) {
  auto* button = Named(new QToolButton(parent), name);
  button->setIcon(SvgIcon(icon));
  button->setIconSize(QSize(24, 24));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

// The FTP password shows a star for each character, whatever the desktop style says.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Opens the target when the link label is clicked with the left button.
class LinkClickFilter : public QObject {
 public:
  LinkClickFilter(QObject* parent, std::function<void()> onClick) : QObject(parent), onClick_(std::move(onClick)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      auto* label = qobject_cast<QWidget*>(watched);
      if (mouse->button() == Qt::LeftButton && label && label->rect().contains(mouse->position().toPoint())) {
        onClick_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onClick_;
};

// The window's size is fixed, and window managers honour the hint that says
// so. Where none does (no window manager at all, or one that ignores the
// hint) the window can still be given another size, which would stretch the
// picture strip and leave the list's columns short; so a size imposed from
// outside is answered by going back to the fixed one. A window manager that
// imposes its size again at once insists: it keeps it, rather than the two
// resizing the window back and forth for ever.
class KeepFixedSize : public QObject {
 public:
  explicit KeepFixedSize(QWidget& window) : QObject(&window), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_ || event->type() != QEvent::Resize) return QObject::eventFilter(watched, event);
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    const bool insists = size == answered_ && sinceAnswer_.isValid() && sinceAnswer_.elapsed() < kInsistingMs;
    if (size != window_.maximumSize() && !insists) {
      answered_ = size;
      sinceAnswer_.start();
      QTimer::singleShot(0, this, [this] { window_.resize(window_.maximumSize()); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static constexpr qint64 kInsistingMs = 500;
  QWidget& window_;
  QSize answered_;  // the last size imposed from outside, and when it was answered
  QElapsedTimer sinceAnswer_;
};

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

}  // namespace

QString HelpFilePath(QString exeDir) {
  if (exeDir.endsWith('/')) exeDir.chop(1);
  const QString beside = exeDir + "/help.html";
  const QString installed = QDir::cleanPath(exeDir + "/../share/pellora/help.html");
  return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

TFormMain::TFormMain(Prompts& prompts, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      prompts_(prompts) {
  setObjectName("TFormMain");
  BuildMenus();
  BuildToolBar();

  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(6, 2, 6, 6);
  column->setSpacing(4);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(6);
  ImageLogo = Named(new QLabel(client), "ImageLogo");
  ImageLogo->setFixedWidth(96);
  ImageLogo->setScaledContents(true);
  ImageLogo->setPixmap(SvgPixmap("logo", QSize(96, 330)));
  middle->addWidget(ImageLogo);

  PageControlMain = Named(new QTabWidget(client), "PageControlMain");
  TabSheetUsers = BuildUsersPage();
  TabSheetOptions = BuildOptionsPage();
  TabSheetGenerate = BuildGeneratePage();
  TabSheetUpload = BuildUploadPage();
  PageControlMain->addTab(TabSheetUsers, QString());
  PageControlMain->addTab(TabSheetOptions, QString());
  PageControlMain->addTab(TabSheetGenerate, QString());
  PageControlMain->addTab(TabSheetUpload, QString());
  middle->addWidget(PageControlMain, 1);
  column->addLayout(middle, 1);

  auto* line = Named(new QFrame(client), "BevelBottom");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  column->addWidget(line);

  auto* buttons = new QHBoxLayout;
  BtnHelp = Named(new QPushButton(client), "BtnHelp");
  BtnBack = Named(new QPushButton(client), "BtnBack");
  BtnNext = Named(new QPushButton(client), "BtnNext");
  BtnExit = Named(new QPushButton(client), "BtnExit");
  for (QPushButton* b : {BtnHelp, BtnBack, BtnNext, BtnExit}) b->setMinimumWidth(84);
  buttons->addWidget(BtnHelp);
  buttons->addStretch(1);
  buttons->addWidget(BtnBack);
  buttons->addWidget(BtnNext);
  buttons->addSpacing(12);
  buttons->addWidget(BtnExit);
  column->addLayout(buttons);
  setCentralWidget(client);

  connect(BtnBack, &QPushButton::clicked, this, &TFormMain::BtnBackClick);
  connect(BtnNext, &QPushButton::clicked, this, &TFormMain::BtnNextClick);
  connect(BtnHelp, &QPushButton::clicked, this, &TFormMain::BtnHelpClick);
  connect(BtnExit, &QPushButton::clicked, this, &TFormMain::BtnExitClick);
  connect(PageControlMain, &QTabWidget::currentChanged, this, &TFormMain::PageControlMainChange);

  BindSettings();
  // After the binding, so that the model holds the new choice when it is shown.
  connect(CmbPasswordHash, &QComboBox::currentIndexChanged, this, [this] { ShowHashChoice(); });
  connect(CmbProtocol, &QComboBox::currentIndexChanged, this, [this] { ShowProtocolNote(); });
  connect(EdtHashCost, &QLineEdit::editingFinished, this, [this] { ShowHashChoice(); });
  connect(RdoFtpServer, &QRadioButton::clicked, this, &TFormMain::RdoFtpServerClick);
  connect(RdoLocalHardDisk, &QRadioButton::clicked, this, &TFormMain::RdoLocalHardDiskClick);
  connect(RdoFtpServer, &QRadioButton::toggled, this, [this](bool on) { SetUploadMode(on); });

  // The menu bar lies outside the client area, as the frame's own menu would.
  const int menuHeight = menuBar()->sizeHint().height();
  setFixedSize(kClientWidth, kClientHeight + menuHeight);
  installEventFilter(new KeepFixedSize(*this));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

  WireUserPage();
  WirePublishing();
  FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildMenus() {
  MenuProject = Named(menuBar()->addMenu("&Project"), "MenuProject");
  MINewProject = NamedAction(this, "MINewProject", "&New project");
  MIOpenProject = NamedAction(this, "MIOpenProject", "&Open project");
  MISaveProject = NamedAction(this, "MISaveProject", "&Save project");
  MISaveProjectAs = NamedAction(this, "MISaveProjectAs", "Save project &as ...");
  MIImportHtpasswd = NamedAction(this, "MIImportHtpasswd", "&Import .htpasswd ...");
  MIExit = NamedAction(this, "MIExit", "E&xit");
  MINewProject->setShortcut(QKeySequence::New);
  MIOpenProject->setShortcut(QKeySequence::Open);
  MISaveProject->setShortcut(QKeySequence::Save);
  MenuProject->addAction(MINewProject);
  MenuProject->addAction(MIOpenProject);
  MenuProject->addSeparator();
  MenuProject->addAction(MISaveProject);
  MenuProject->addAction(MISaveProjectAs);
  MenuProject->addSeparator();
  MenuProject->addAction(MIImportHtpasswd);
  MenuProject->addSeparator();
  MenuProject->addAction(MIExit);

  MenuHelp = Named(menuBar()->addMenu("&Help"), "MenuHelp");
  MIHelpDocument = NamedAction(this, "MIHelpDocument", "&Help document");
  MIVisitWebsite = NamedAction(this, "MIVisitWebsite", "&Visit website");
  MIContactUs = NamedAction(this, "MIContactUs", "&Contact us");
  MIAbout = NamedAction(this, "MIAbout", "&About ...");
  MIHelpDocument->setShortcut(QKeySequence::HelpContents);
  MenuHelp->addAction(MIHelpDocument);
  MenuHelp->addSeparator();
  MenuHelp->addAction(MIVisitWebsite);
  MenuHelp->addAction(MIContactUs);
  MenuHelp->addSeparator();
  MenuHelp->addAction(MIAbout);

  connect(MINewProject, &QAction::triggered, this, &TFormMain::TbnNewProjectClick);
  connect(MIOpenProject, &QAction::triggered, this, &TFormMain::TbnOpenProjectClick);
  connect(MISaveProject, &QAction::triggered, this, &TFormMain::TbnSaveProjectClick);
  connect(MISaveProjectAs, &QAction::triggered, this, &TFormMain::MISaveProjectAsClick);
  connect(MIImportHtpasswd, &QAction::triggered, this, &TFormMain::MIImportHtpasswdClick);
  connect(MIExit, &QAction::triggered, this, &TFormMain::BtnExitClick);
  connect(MIHelpDocument, &QAction::triggered, this, &TFormMain::BtnHelpClick);
  connect(MIVisitWebsite, &QAction::triggered, this, &TFormMain::MIVisitWebsiteClick);
  connect(MIContactUs, &QAction::triggered, this, &TFormMain::MIContactUsClick);
  connect(MIAbout, &QAction::triggered, this, &TFormMain::MIAboutClick);
}

void TFormMain::BuildToolBar() {
  ToolBarMain = Named(new QToolBar(this), "ToolBarMain");
  ToolBarMain->setMovable(false);
  ToolBarMain->setFloatable(false);
  ToolBarMain->setIconSize(QSize(24, 24));
  ToolBarMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBarMain->setContextMenuPolicy(Qt::PreventContextMenu);
  TbnNewProject = NamedAction(this, "TbnNewProject", QString());
  TbnOpenProject = NamedAction(this, "TbnOpenProject", QString());
  TbnSaveProject = NamedAction(this, "TbnSaveProject", QString());
  TbnFAQ = NamedAction(this, "TbnFAQ", QString());
  TbnNewProject->setIcon(SvgIcon("new"));
  TbnOpenProject->setIcon(SvgIcon("open"));
  TbnSaveProject->setIcon(SvgIcon("save"));
  TbnFAQ->setIcon(SvgIcon("faq"));
  ToolBarMain->addAction(TbnNewProject);
  ToolBarMain->addAction(TbnOpenProject);
  ToolBarMain->addSeparator();
  ToolBarMain->addAction(TbnSaveProject);
  ToolBarMain->addSeparator();
  ToolBarMain->addAction(TbnFAQ);
  addToolBar(Qt::TopToolBarArea, ToolBarMain);

  connect(TbnNewProject, &QAction::triggered, this, &TFormMain::TbnNewProjectClick);
  connect(TbnOpenProject, &QAction::triggered, this, &TFormMain::TbnOpenProjectClick);
  connect(TbnSaveProject, &QAction::triggered, this, &TFormMain::TbnSaveProjectClick);
  connect(TbnFAQ, &QAction::triggered, this, &TFormMain::TbnFAQClick);
}

QWidget* TFormMain::BuildUsersPage() {
  auto* page = Named(new QWidget, "TabSheetUsers");
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(8, 6, 8, 6);
  column->setSpacing(4);

  auto* top = new QHBoxLayout;
  LblUsersTitle = Title(page, "LblUsersTitle");
  BtnViewUsers = Named(new QPushButton(page), "BtnViewUsers");
  top->addWidget(LblUsersTitle);
  top->addStretch(1);
  top->addWidget(BtnViewUsers);
  column->addLayout(top);

  PopupMenuViewUsers = Named(new QMenu(this), "PopupMenuViewUsers");
  MIViewAllUsers = NamedAction(this, "MIViewAllUsers", "View All Users");
  MIViewEnabledUsers = NamedAction(this, "MIViewEnabledUsers", "View Enabled Users");
  MIViewDisabledUsers = NamedAction(this, "MIViewDisabledUsers", "View Disabled Users");
  auto* filters = new QActionGroup(this);
  filters->setExclusive(true);
  int filter = 0;
  for (QAction* item : {MIViewAllUsers, MIViewEnabledUsers, MIViewDisabledUsers}) {
    item->setCheckable(true);
    filters->addAction(item);
    PopupMenuViewUsers->addAction(item);
    connect(item, &QAction::triggered, this, [this, filter] { ViewFilterChosen(filter); });
    ++filter;
  }
  connect(BtnViewUsers, &QPushButton::clicked, this, &TFormMain::BtnViewUsersClick);

  ListViewUser = Named(new QTableView(page), "ListViewUser");
  ListViewUser->setContextMenuPolicy(Qt::CustomContextMenu);
  column->addWidget(ListViewUser, 1);
  connect(ListViewUser, &QWidget::customContextMenuRequested, this, &TFormMain::ListViewUserContextPopup);
  connect(ListViewUser, &QAbstractItemView::doubleClicked, this, &TFormMain::ListViewUserDblClick);

  PopupMenuUser = Named(new QMenu(this), "PopupMenuUser");
  MIAddUser = NamedAction(this, "MIAddUser", "Add User");
  MIEditUser = NamedAction(this, "MIEditUser", "Edit User's Property");
  MICreateUser = NamedAction(this, "MICreateUser", "Create Random User/Password Series");
  MIDeleteUser = NamedAction(this, "MIDeleteUser", "Delete Selected User");
  MIDeleteAllUsers = NamedAction(this, "MIDeleteAllUsers", "Delete All Users");
  MICancel = NamedAction(this, "MICancel", "Cancel");
  PopupMenuUser->addAction(MIAddUser);
  PopupMenuUser->addAction(MIEditUser);
  PopupMenuUser->addSeparator();
  PopupMenuUser->addAction(MICreateUser);
  PopupMenuUser->addSeparator();
  PopupMenuUser->addAction(MIDeleteUser);
  PopupMenuUser->addAction(MIDeleteAllUsers);
  PopupMenuUser->addSeparator();
  PopupMenuUser->addAction(MICancel);

  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(2);
  TbnAddUser = SpeedButton(page, "TbnAddUser", "user-add");
  TbnCreateUser = SpeedButton(page, "TbnCreateUser", "user-series");
  TbnEditUser = SpeedButton(page, "TbnEditUser", "user-edit");
  TbnDeleteUser = SpeedButton(page, "TbnDeleteUser", "user-delete");
  TbnDeleteAllUsers = SpeedButton(page, "TbnDeleteAllUsers", "user-delete-all");
  for (QToolButton* b : {TbnAddUser, TbnCreateUser, TbnEditUser, TbnDeleteUser, TbnDeleteAllUsers})
    bottom->addWidget(b);
  bottom->addStretch(1);
  auto* csv = Named(new QFrame(page), "GbxCsv");
  csv->setFrameShape(QFrame::StyledPanel);
  auto* csvRow = new QHBoxLayout(csv);
  csvRow->setContentsMargins(2, 1, 2, 1);
  csvRow->setSpacing(2);
  btnsavecsv = SpeedButton(csv, "btnsavecsv", "csv-save");
  btnloadcsv = SpeedButton(csv, "btnloadcsv", "csv-load");
  csvRow->addWidget(btnsavecsv);
  csvRow->addWidget(btnloadcsv);
  bottom->addWidget(csv);
  column->addLayout(bottom);

  connect(TbnAddUser, &QToolButton::clicked, this, &TFormMain::TbnAddUserClick);
  connect(TbnCreateUser, &QToolButton::clicked, this, &TFormMain::TbnCreateUserClick);
  connect(TbnEditUser, &QToolButton::clicked, this, &TFormMain::TbnEditUserClick);
  connect(TbnDeleteUser, &QToolButton::clicked, this, &TFormMain::TbnDeleteUserClick);
  connect(TbnDeleteAllUsers, &QToolButton::clicked, this, &TFormMain::TbnDeleteAllUsersClick);
  connect(btnsavecsv, &QToolButton::clicked, this, &TFormMain::btnsavecsvClick);
  connect(btnloadcsv, &QToolButton::clicked, this, &TFormMain::btnloadcsvClick);
  connect(MIAddUser, &QAction::triggered, this, &TFormMain::TbnAddUserClick);
  connect(MIEditUser, &QAction::triggered, this, &TFormMain::TbnEditUserClick);
  connect(MICreateUser, &QAction::triggered, this, &TFormMain::TbnCreateUserClick);
  connect(MIDeleteUser, &QAction::triggered, this, &TFormMain::TbnDeleteUserClick);
  connect(MIDeleteAllUsers, &QAction::triggered, this, &TFormMain::TbnDeleteAllUsersClick);
  return page;
}

QWidget* TFormMain::BuildOptionsPage() {
  auto* page = Named(new QWidget, "TabSheetOptions");
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(8, 6, 8, 6);
  column->setSpacing(2);

  LblOptionsTitle = Title(page, "LblOptionsTitle");
  column->addWidget(LblOptionsTitle);
  column->addSpacing(4);

  LblFtpServerPath = Named(new QLabel(page), "LblFtpServerPath");
  EdtFtpServerPath = Edit(page, "EdtFtpServerPath");
  LblFtpServerPathNote = Note(page, "LblFtpServerPathNote", Qt::red);
  LblFullPathLink = Named(new QLabel(page), "LblFullPathLink");
  QFont underlined = LblFullPathLink->font();
  underlined.setUnderline(true);
  LblFullPathLink->setFont(underlined);
  QPalette blue = LblFullPathLink->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  LblFullPathLink->setPalette(blue);
  LblFullPathLink->setCursor(Qt::PointingHandCursor);
  LblFullPathLink->installEventFilter(new LinkClickFilter(LblFullPathLink, [this] { LblFullPathLinkClick(); }));
  LblFullPathLink->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  column->addWidget(LblFtpServerPath);
  column->addWidget(EdtFtpServerPath);
  column->addWidget(LblFtpServerPathNote);
  column->addWidget(LblFullPathLink);
  column->addSpacing(6);

  LblAuthUserFile = Named(new QLabel(page), "LblAuthUserFile");
  EdtAuthUserFile = Edit(page, "EdtAuthUserFile");
  LblAuthUserFileNote = Note(page, "LblAuthUserFileNote", palette().color(QPalette::WindowText));
  column->addWidget(LblAuthUserFile);
  column->addWidget(EdtAuthUserFile);
  column->addWidget(LblAuthUserFileNote);
  column->addSpacing(6);

  LblAuthName = Named(new QLabel(page), "LblAuthName");
  EdtAuthName = Edit(page, "EdtAuthName");
  column->addWidget(LblAuthName);
  column->addWidget(EdtAuthName);
  column->addSpacing(6);

  chkRedirectErrPage = Named(new QCheckBox(page), "chkRedirectErrPage");
  edtErrPage = Edit(page, "edtErrPage");
  column->addWidget(chkRedirectErrPage);
  column->addWidget(edtErrPage);
  column->addSpacing(6);

  // One row in the page's free space: the format, its cost, what it means.
  auto* hash = new QHBoxLayout;
  LblPasswordHash = Named(new QLabel(page), "LblPasswordHash");
  CmbPasswordHash = Named(new QComboBox(page), "CmbPasswordHash");
  for (HashFormat format :
       {HashFormat::Des, HashFormat::Bcrypt, HashFormat::Sha512, HashFormat::Sha256, HashFormat::Apr1})
    CmbPasswordHash->addItem(QString::fromLatin1(HashFormatName(format)), QString::fromLatin1(HashFormatName(format)));
  LblHashCost = Named(new QLabel(page), "LblHashCost");
  EdtHashCost = Edit(page, "EdtHashCost");
  EdtHashCost->setFixedWidth(56);
  LblHashNote = Named(new QLabel(page), "LblHashNote");
  for (QWidget* w : std::initializer_list<QWidget*>{LblPasswordHash, CmbPasswordHash, LblHashCost, EdtHashCost})
    hash->addWidget(w);
  hash->addWidget(LblHashNote, 1);
  column->addLayout(hash);
  column->addStretch(1);
  return page;
}

QWidget* TFormMain::BuildGeneratePage() {
  auto* page = Named(new QWidget, "TabSheetGenerate");
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(8, 6, 8, 6);
  column->setSpacing(6);

  LblGenerateTitle = Title(page, "LblGenerateTitle");
  column->addWidget(LblGenerateTitle);
  column->addStretch(1);

  BtnGenerate = Named(new QPushButton(page), "BtnGenerate");
  BtnGenerate->setIcon(SvgIcon("generate"));
  BtnGenerate->setIconSize(QSize(32, 32));
  BtnGenerate->setMinimumSize(340, 56);
  auto* centred = new QHBoxLayout;
  centred->addStretch(1);
  centred->addWidget(BtnGenerate);
  centred->addStretch(1);
  column->addLayout(centred);

  LblGenerateNote = Note(page, "LblGenerateNote", Qt::red);
  LblGenerateNote->setAlignment(Qt::AlignHCenter);
  column->addWidget(LblGenerateNote);
  column->addStretch(1);

  auto* previews = new QHBoxLayout;
  BtnViewHtaccess = Named(new QPushButton(page), "BtnViewHtaccess");
  BtnViewHtpasswd = Named(new QPushButton(page), "BtnViewHtpasswd");
  BtnViewHtaccess->setMinimumSize(140, 30);
  BtnViewHtpasswd->setMinimumSize(140, 30);
  previews->addStretch(1);
  previews->addWidget(BtnViewHtaccess);
  previews->addSpacing(12);
  previews->addWidget(BtnViewHtpasswd);
  previews->addStretch(1);
  column->addLayout(previews);
  column->addStretch(1);

  connect(BtnGenerate, &QPushButton::clicked, this, &TFormMain::BtnGenerateClick);
  connect(BtnViewHtaccess, &QPushButton::clicked, this, &TFormMain::BtnViewHtaccessClick);
  connect(BtnViewHtpasswd, &QPushButton::clicked, this, &TFormMain::BtnViewHtpasswdClick);
  return page;
}

QWidget* TFormMain::BuildUploadPage() {
  auto* page = Named(new QWidget, "TabSheetUpload");
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  grid->setColumnMinimumWidth(0, 14);
  grid->setColumnStretch(2, 1);

  RdoFtpServer = Named(new QRadioButton(page), "RdoFtpServer");
  RdoLocalHardDisk = Named(new QRadioButton(page), "RdoLocalHardDisk");
  auto* modes = new QButtonGroup(page);
  modes->addButton(RdoFtpServer);
  modes->addButton(RdoLocalHardDisk);

  LblHost = Named(new QLabel(page), "LblHost");
  EdtHost = Edit(page, "EdtHost");
  LblPort = Named(new QLabel(page), "LblPort");
  EdtPort = Edit(page, "EdtPort");
  EdtPort->setFixedWidth(60);
  LblUser = Named(new QLabel(page), "LblUser");
  EdtUser = Edit(page, "EdtUser");
  chkFTPPassive = Named(new QCheckBox(page), "chkFTPPassive");
  LblPassword = Named(new QLabel(page), "LblPassword");
  EdtPassword = Edit(page, "EdtPassword");
  EdtPassword->setEchoMode(QLineEdit::Password);
  auto* stars = new StarPasswordStyle;
  stars->setParent(EdtPassword);
  EdtPassword->setStyle(stars);
  LblProtocol = Named(new QLabel(page), "LblProtocol");
  CmbProtocol = Named(new QComboBox(page), "CmbProtocol");
  for (const char* word : {"ftp", "ftpes", "ftps", "sftp"}) CmbProtocol->addItem(word, QString::fromLatin1(word));
  LblProtocolNote = Named(new QLabel(page), "LblProtocolNote");
  LblKeyFile = Named(new QLabel(page), "LblKeyFile");
  EdtKeyFile = Edit(page, "EdtKeyFile");
  BtnKeyFile = Named(new QPushButton(page), "BtnKeyFile");
  LblWebDirectory = Named(new QLabel(page), "LblWebDirectory");
  EdtWebDirectory = Edit(page, "EdtWebDirectory");
  BtnFtpNow = Named(new QPushButton(page), "BtnFtpNow");
  LblDirectory = Named(new QLabel(page), "LblDirectory");
  EdtDirectory = Edit(page, "EdtDirectory");
  BtnBrowse = Named(new QPushButton(page), "BtnBrowse");
  BtnSaveNow = Named(new QPushButton(page), "BtnSaveNow");
  LblCheckUrl = Named(new QLabel(page), "LblCheckUrl");
  EdtCheckUrl = Edit(page, "EdtCheckUrl");
  BtnCheckNow = Named(new QPushButton(page), "BtnCheckNow");

  int row = 0;
  grid->addWidget(RdoFtpServer, row++, 0, 1, 5);
  grid->addWidget(LblHost, row, 1);
  grid->addWidget(EdtHost, row, 2);
  grid->addWidget(LblPort, row, 3, Qt::AlignRight);
  grid->addWidget(EdtPort, row++, 4);
  grid->addWidget(LblUser, row, 1);
  grid->addWidget(EdtUser, row, 2);
  grid->addWidget(chkFTPPassive, row++, 3, 1, 2);
  grid->addWidget(LblPassword, row, 1);
  grid->addWidget(EdtPassword, row++, 2);
  auto* protocol = new QHBoxLayout;
  protocol->addWidget(CmbProtocol);
  protocol->addWidget(LblProtocolNote, 1);
  protocol->addWidget(LblKeyFile);
  protocol->addWidget(EdtKeyFile, 1);
  protocol->addWidget(BtnKeyFile);
  grid->addWidget(LblProtocol, row, 1);
  grid->addLayout(protocol, row++, 2, 1, 3);
  grid->addWidget(LblWebDirectory, row++, 1, 1, 4);
  grid->addWidget(EdtWebDirectory, row, 1, 1, 2);
  grid->addWidget(BtnFtpNow, row++, 3, 1, 2);
  grid->setRowMinimumHeight(row++, 10);
  grid->addWidget(RdoLocalHardDisk, row++, 0, 1, 5);
  grid->addWidget(LblDirectory, row, 1);
  grid->addWidget(EdtDirectory, row, 2);
  grid->addWidget(BtnBrowse, row++, 3, 1, 2);
  grid->addWidget(BtnSaveNow, row++, 3, 1, 2);
  grid->setRowMinimumHeight(row++, 10);
  // Either way the files go, the check asks the web server itself.
  grid->addWidget(LblCheckUrl, row++, 0, 1, 5);
  grid->addWidget(EdtCheckUrl, row, 1, 1, 2);
  grid->addWidget(BtnCheckNow, row++, 3, 1, 2);
  grid->setRowStretch(row, 1);

  connect(BtnFtpNow, &QPushButton::clicked, this, &TFormMain::BtnFtpNowClick);
  connect(BtnBrowse, &QPushButton::clicked, this, &TFormMain::BtnBrowseClick);
  connect(BtnKeyFile, &QPushButton::clicked, this, &TFormMain::BtnKeyFileClick);
  connect(BtnSaveNow, &QPushButton::clicked, this, &TFormMain::BtnSaveNowClick);
  connect(BtnCheckNow, &QPushButton::clicked, this, &TFormMain::BtnCheckNowClick);
  return page;
}

void TFormMain::FormCreate() {
  setWindowTitle("Pellora");
  SeedRandom();

  TbnNewProject->setToolTip("New project");
  TbnOpenProject->setToolTip("Open project");
  TbnSaveProject->setToolTip("Save project");
  TbnFAQ->setToolTip("Online Frequently Asked Questions");
  TbnNewProject->setText(TbnNewProject->toolTip());
  TbnOpenProject->setText(TbnOpenProject->toolTip());
  TbnSaveProject->setText(TbnSaveProject->toolTip());
  TbnFAQ->setText(TbnFAQ->toolTip());
  BtnHelp->setText("Help");
  BtnBack->setText("<<  Back");
  BtnNext->setText("Next  >>");
  BtnExit->setText("Exit");

  PageControlMain->setTabText(0, "Step - 1");
  PageControlMain->setTabText(1, "Step - 2");
  PageControlMain->setTabText(2, "Step - 3");
  PageControlMain->setTabText(3, "Upload password files ...");
  CurrentStep = 0;
  BtnBack->setEnabled(false);

  LblUsersTitle->setText("Define user/password list:");
  TbnAddUser->setToolTip("Add user");
  TbnCreateUser->setToolTip("Create random user/password series");
  TbnEditUser->setToolTip("Edit user's property");
  TbnDeleteUser->setToolTip("Remove selected user");
  TbnDeleteAllUsers->setToolTip("Remove all users");
  btnsavecsv->setToolTip("Save user list to .CSV file");
  btnloadcsv->setToolTip("Load user list from .CSV file");
  ResetUserView();

  LblOptionsTitle->setText("Options");
  LblFtpServerPath->setText("FULL HOST path of your FTP Server:");
  LblFtpServerPathNote->setText(
      "You should change this value to your own. For how to fill this field, please refer to:");
  LblFullPathLink->setText("How to get the FULL HOST path of my FTP server?");
  LblAuthUserFile->setText("Remote FTP path to the .htpasswd file:");
  LblAuthUserFileNote->setText(
      "Please note that this is not a URL, this is a remote FTP path. The .htpasswd file will be uploaded to this "
      "directory. You can just leave it as the default value: '/'.");
  LblAuthName->setText("Text shows in the password dialog:");
  chkRedirectErrPage->setText("Redirect to error page when password is incorrect:");
  LblPasswordHash->setText("Password hash:");
  LblHashCost->setText("Cost:");

  LblGenerateTitle->setText("Generate .htaccess and .htpasswd files.");
  BtnGenerate->setText("Generate .htaccess and .htpasswd files.");
  LblGenerateNote->setText("[Click this button to generate .htaccess and .htpasswd files.]");
  BtnViewHtaccess->setText("Preview .htaccess");
  BtnViewHtpasswd->setText("Preview .htpasswd");

  RdoFtpServer->setText("Upload to Ftp server and password protect your web folder:");
  RdoLocalHardDisk->setText("Save to local disk and upload the files at a later time:");
  LblHost->setText("Host:");
  LblPort->setText("Port:");
  LblUser->setText("User:");
  LblPassword->setText("Password:");
  chkFTPPassive->setText("Passive mode");
  LblWebDirectory->setText("Web folder to be password protected (remote FTP path):");
  BtnFtpNow->setText("Upload now!");
  LblProtocol->setText("Protocol:");
  LblKeyFile->setText("Key file:");
  BtnKeyFile->setText("Browse");
  LblDirectory->setText("Directory:");
  BtnBrowse->setText("Browse");
  BtnSaveNow->setText("Save now!");
  LblCheckUrl->setText("Web address of the protected folder, checked after publishing (http or https):");
  BtnCheckNow->setText("Check now");
  ApplySettings(ProjectSettings{});

  const std::string lastState = WorkingFolder() + "config.htp";
  LastState state;
  if (FileExists(lastState)) {
    LoadProjectFromFile(lastState, &state);
    // A named project comes back under its own file, so Save writes there.
    project_.FileName = state.ProjectFile.empty() ? lastState : state.ProjectFile;
    project_.Untitled = false;
  } else {
    project_.FileName = kUntitled;
    project_.Untitled = true;
  }
  project_.Modified = state.Modified;
  UpdateWindowTitle();
}

void TFormMain::ShowStep(int step) {
  step = std::clamp(step, 0, kLastStep);
  PageControlMain->setCurrentIndex(step);
  CurrentStep = step;
  SetStepButtons(step);
}

void TFormMain::SetStepButtons(int step) {
  BtnBack->setEnabled(step != 0);
  BtnNext->setEnabled(step != kLastStep);
}

void TFormMain::BtnBackClick() {
  const int target = std::max(CurrentStep - 1, 0);
  if (target != CurrentStep) ShowStep(target);
}

void TFormMain::BtnNextClick() {
  const int target = std::min(CurrentStep + 1, kLastStep);
  if (target != CurrentStep) ShowStep(target);
}

void TFormMain::PageControlMainChange(int index) {
  if (index < 0) return;
  CurrentStep = index;
  SetStepButtons(index);
}

void TFormMain::ResetProjectSettings() {
  SeedRandom();
  ShowStep(0);
  ResetUserView();
  ApplySettings(ProjectSettings{});
}

void TFormMain::UpdateWindowTitle() { setWindowTitle("Pellora - " + Q(project_.FileName)); }

void TFormMain::BindSettings() {
  for (const SettingRow& row : SettingRows()) {
    QWidget* control = ControlOf(*this, row.Id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      connect(edit, &QLineEdit::textChanged, this, [this, &row](const QString& text) {
        project_.Settings.*row.Text = S(text);
        project_.Modified = true;
      });
    } else if (auto* choice = qobject_cast<QComboBox*>(control)) {
      connect(choice, &QComboBox::currentIndexChanged, this, [this, &row, choice] {
        project_.Settings.*row.Text = S(choice->currentData().toString());
        project_.Modified = true;
      });
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      // Choosing between the server and the local disk has never marked
      // the project; its radio buttons only switch the enabling.
      const bool marks = !qobject_cast<QRadioButton*>(button);
      connect(button, &QAbstractButton::toggled, this, [this, &row, marks](bool on) {
        project_.Settings.*row.Flag = on;
        if (marks) project_.Modified = true;
      });
    }
  }
}

void TFormMain::ApplySettings(const ProjectSettings& s) {
  std::vector<const SettingRow*> rows;
  for (const SettingRow& row : SettingRows()) rows.push_back(&row);
  std::ranges::sort(rows, {}, &SettingRow::LoadStep);
  for (const SettingRow* row : rows) {
    QWidget* control = ControlOf(*this, row->Id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      edit->setText(Q(s.*row->Text));
    } else if (auto* radio = qobject_cast<QRadioButton*>(control); radio && !(s.*row->Flag)) {
      // A ticked radio button is unticked only by ticking another of its group.
      for (auto* other : radio->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        if (other != radio) other->setChecked(true);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setChecked(s.*row->Flag);
    } else if (auto* choice = qobject_cast<QComboBox*>(control)) {
      QString word = Q(Trim(s.*row->Text)).toLower();
      if (word.isEmpty()) word = Q(row->Default);
      if (const int index = choice->findData(word); index >= 0) {
        choice->setCurrentIndex(index);
      } else {
        // A name this build does not know is kept as it was read, for the
        // build that wrote it; the choice shows the default meanwhile.
        const QSignalBlocker quiet(choice);
        choice->setCurrentIndex(0);
        project_.Settings.*row->Text = s.*row->Text;
      }
    }
  }
  SetUploadMode(s.ToFtpServer);
  ShowHashChoice();
  ShowProtocolNote();
}

void TFormMain::ShowProtocolNote() {
  // Only plain FTP needs a word: the others are encrypted.
  LblProtocolNote->setText(CmbProtocol->currentIndex() == 0 ? "the FTP password travels unencrypted" : "");
  // The key file takes the note's room: only SFTP has one.
  const bool sftp = CmbProtocol->currentData().toString() == QLatin1String("sftp");
  LblProtocolNote->setVisible(!sftp);
  for (QWidget* w : std::initializer_list<QWidget*>{LblKeyFile, EdtKeyFile, BtnKeyFile}) {
    w->setVisible(sftp);
    w->setEnabled(sftp && RdoFtpServer->isChecked());
  }
}

void TFormMain::ShowHashChoice() {
  const HashFormat format = ParseHashFormat(S(CmbPasswordHash->currentData().toString())).value_or(HashFormat::Des);
  const CostRange cost = CostRangeOf(format);
  EdtHashCost->setEnabled(cost.Max > 0);
  EdtHashCost->setPlaceholderText(cost.Max > 0 ? QString::number(cost.Default) : QString());
  // The cost that will be used is the one shown.
  if (ClampHashCost(project_.Settings)) EdtHashCost->setText(Q(project_.Settings.HashCost));
  switch (format) {
    case HashFormat::Des: LblHashNote->setText("DES: Unix only, first 8 characters count"); break;
    case HashFormat::Bcrypt: LblHashNote->setText("bcrypt: every Apache 2.4"); break;
    case HashFormat::Sha512:
    case HashFormat::Sha256: LblHashNote->setText("SHA-crypt: Apache 2.4 on Linux"); break;
    case HashFormat::Apr1: LblHashNote->setText("apr1: every Apache, an old MD5 hash"); break;
  }
}

bool TFormMain::LoadProjectFromFile(const std::string& path, LastState* state) {
  ProjectSettings settings;
  if (!LoadProjectFile(path, project_.Users, settings, state)) return false;
  ApplySettings(settings);
  RefreshUserView();
  return true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery()) event->accept();
  else event->ignore();
}

void TFormMain::SetUploadMode(bool toFtpServer) {
  // The port and passive mode stay editable either way.
  for (QWidget* w :
       std::initializer_list<QWidget*>{EdtHost, EdtUser, EdtPassword, CmbProtocol, EdtWebDirectory, BtnFtpNow})
    w->setEnabled(toFtpServer);
  for (QWidget* w : std::initializer_list<QWidget*>{EdtDirectory, BtnBrowse, BtnSaveNow}) w->setEnabled(!toFtpServer);
  ShowProtocolNote();
}

void TFormMain::RdoFtpServerClick() { SetUploadMode(true); }

void TFormMain::RdoLocalHardDiskClick() { SetUploadMode(false); }

void TFormMain::BtnHelpClick() { prompts_.ShowHelp(HelpFilePath(QCoreApplication::applicationDirPath())); }

void TFormMain::TbnFAQClick() { OpenLink(prompts_, QUrl(kFaqPage)); }

void TFormMain::MIVisitWebsiteClick() { OpenLink(prompts_, QUrl(kWebSite)); }

void TFormMain::MIContactUsClick() { OpenLink(prompts_, QUrl(kSupportMail)); }

void TFormMain::LblFullPathLinkClick() { OpenLink(prompts_, QUrl(kFullPathPage)); }

void TFormMain::MIAboutClick() {
  if (FormAboutBox) FormAboutBox->exec();
}

void TFormMain::BtnExitClick() { close(); }

void TFormMain::BtnViewUsersClick() {
  PopupMenuViewUsers->popup(BtnViewUsers->mapToGlobal(QPoint(0, BtnViewUsers->height())));
}

void TFormMain::ViewFilterChosen(int filter) {
  ViewFilter = filter;
  RefreshUserView();
}

void TFormMain::ListViewUserContextPopup(const QPoint& pos) {
  const QItemSelectionModel* selection = ListViewUser->selectionModel();
  const bool selected = selection && selection->hasSelection();
  MIEditUser->setEnabled(selected);
  MIDeleteUser->setEnabled(selected);
  PopupMenuUser->popup(ListViewUser->viewport()->mapToGlobal(pos));
}

}  // namespace pellora
