#include "ui/FormAbout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/Icons.h"

namespace pellora {

TFormAboutBox::TFormAboutBox(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("TFormAboutBox");
  setModal(true);

  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setPixmap(SvgPixmap("app", QSize(48, 48)));
  ProgramIcon->setFixedSize(48, 48);
  ProductName = new QLabel(this);
  ProductName->setObjectName("ProductName");
  QFont big = ProductName->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  ProductName->setFont(big);
  Version = new QLabel(this);
  Version->setObjectName("Version");
  Copyright = new QLabel(this);
  Copyright->setObjectName("Copyright");
  Copyright->setWordWrap(true);
  Comments = new QLabel(this);
  Comments->setObjectName("Comments");
  Comments->setWordWrap(true);
  BtnClose = new QPushButton(this);
  BtnClose->setObjectName("BtnClose");
  BtnClose->setDefault(true);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  texts->addSpacing(6);
  texts->addWidget(Copyright);
  texts->addSpacing(6);
  texts->addWidget(Comments);
  auto* top = new QHBoxLayout;
  top->setSpacing(14);
  top->addWidget(ProgramIcon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(BtnClose);
  bottom->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(14, 14, 14, 10);
  column->addLayout(top);
  column->addStretch(1);
  column->addLayout(bottom);
  setFixedSize(360, 230);

  connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);
  FormCreate();
}

void TFormAboutBox::FormCreate() {
  setWindowTitle("About");
  ProductName->setText("Pellora");
  Version->setText("Version " PELLORA_VERSION);
  Copyright->setText("Copyright \u00A9 Quarnet Software. All rights reserved.");
  Comments->setText(
      "This program is protected by copyright law. You may not copy, sell or hand on this program, or any part "
      "of it, without the written permission of its maker.");
  BtnClose->setText("Close");
}

}  // namespace pellora
