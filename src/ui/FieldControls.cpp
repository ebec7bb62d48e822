#include "ui/FieldControls.h"

#include <QTabWidget>

#include "ui/FormMain.h"

namespace pellora {

FieldPlace PlaceOf(Field field) {
  switch (field) {
    case Field::Users: return {0, nullptr};
    case Field::AuthUserFile: return {1, "EdtAuthUserFile"};
    case Field::FtpServerPath: return {1, "EdtFtpServerPath"};
    case Field::AuthName: return {1, "EdtAuthName"};
    case Field::RedirectError: return {1, "chkRedirectErrPage"};
    case Field::RedirectErrorPage: return {1, "edtErrPage"};
    case Field::Generate: return {2, "BtnGenerate"};
    case Field::ToFtpServer: return {3, "RdoFtpServer"};
    case Field::FtpHost: return {3, "EdtHost"};
    case Field::FtpPort: return {3, "EdtPort"};
    case Field::FtpUser: return {3, "EdtUser"};
    case Field::FtpPassword: return {3, "EdtPassword"};
    case Field::FtpWebDirectory: return {3, "EdtWebDirectory"};
    case Field::LocalDirectory: return {3, "EdtDirectory"};
    case Field::FtpPassive: return {3, "chkFTPPassive"};
    case Field::PasswordHash: return {1, "CmbPasswordHash"};
    case Field::HashCost: return {1, "EdtHashCost"};
    case Field::FtpProtocol: return {3, "CmbProtocol"};
    case Field::CheckUrl: return {3, "EdtCheckUrl"};
    case Field::SftpKeyFile: return {3, "EdtKeyFile"};
  }
  return {0, nullptr};
}

QWidget* ControlOf(const TFormMain& form, Field field) {
  const FieldPlace place = PlaceOf(field);
  QWidget* page = form.PageControlMain->widget(place.Step);
  // Searched on its page only: the user dialog has controls of the same names.
  return place.Control && page ? page->findChild<QWidget*>(QString::fromLatin1(place.Control)) : nullptr;
}

}  // namespace pellora
