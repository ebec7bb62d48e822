#pragma once
#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace pellora {

// Icons of the program's own set, drawn from the SVG files in the resources
// (":/icons/<name>.svg") without relying on an image plugin.
QIcon SvgIcon(const char* name);
QPixmap SvgPixmap(const char* name, QSize size);

}  // namespace pellora
