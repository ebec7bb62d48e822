#include "ui/Icons.h"

#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library are registered only when asked for by name.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace pellora {

namespace {
void EnsureResources() {
  static const bool registered = [] {
    RegisterIconResources();
    return true;
  }();
  (void)registered;
}
}  // namespace

QPixmap SvgPixmap(const char* name, QSize size) {
  EnsureResources();
  QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  if (renderer.isValid()) {
    QPainter painter(&pixmap);
    renderer.render(&painter);
  }
  return pixmap;
}

QIcon SvgIcon(const char* name) {
  QIcon icon;
  for (int side : {16, 24, 32, 48}) icon.addPixmap(SvgPixmap(name, QSize(side, side)));
  return icon;
}

}  // namespace pellora
