#pragma once
#include <QWidget>

#include "core/ProjectSettings.h"

namespace pellora {

class TFormMain;

// Where the main window shows a field: its wizard page, and the object name
// of the control on that page (nullptr: the page alone).
struct FieldPlace {
  int Step;
  const char* Control;
};
FieldPlace PlaceOf(Field field);

// The control of a field on its page of form; nullptr for a field without one.
QWidget* ControlOf(const TFormMain& form, Field field);

}  // namespace pellora
