#include "ui/FormHelp.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/Prompts.h"

namespace pellora {

// Read beside the main window, so a window of its own rather than a dialog over it.
TFormHelp::TFormHelp(Prompts& prompts, QWidget* owner) : QDialog(owner, Qt::Window), prompts_(prompts) {
  setObjectName("FormHelp");
  resize(760, 560);

  BrowserHelp = new QTextBrowser(this);
  BrowserHelp->setObjectName("BrowserHelp");
  // Every link comes here first: the browser itself would try to load web
  // pages as documents of its own.
  BrowserHelp->setOpenLinks(false);
  connect(BrowserHelp, &QTextBrowser::anchorClicked, this, &TFormHelp::FollowLink);
  connect(BrowserHelp, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = BrowserHelp->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
  });

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(BrowserHelp);
}

bool TFormHelp::Open(const QString& path) {
  if (!QFileInfo(path).isReadable()) return false;
  BrowserHelp->setSource(QUrl::fromLocalFile(path));
  return true;
}

void TFormHelp::FollowLink(const QUrl& link) {
  const QUrl target = BrowserHelp->source().resolved(link);
  if (target.isLocalFile()) BrowserHelp->setSource(target);
  else OpenLink(prompts_, target);
}

}  // namespace pellora
