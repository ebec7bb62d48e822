// An exception escaping a button's handler is shown and the program goes on.
// This program makes its own application object, the desktop program's kind.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "support/ScriptedPrompts.h"
#include "ui/Application.h"

namespace {

TEST(Application, AnExceptionFromAHandlerIsShownAndTheProgramGoesOn) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "pellora-test";
  static char* argv[] = {name, nullptr};
  pellora::TApplication app(argc, argv);
  ScriptedPrompts prompts;
  app.SetPrompts(&prompts);

  QPushButton button("Generate");
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] {
    ++clicks;
    if (clicks == 1) throw std::runtime_error("Disk full");
    if (clicks == 2) throw 42;
  });
  button.show();

  prompts.Expect(pellora::Prompts::Kind::ShowException);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(prompts.LastAsked().text, "Disk full");

  prompts.Expect(pellora::Prompts::Kind::ShowException);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(prompts.LastAsked().text, "");

  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(prompts.Asked().size(), 2u);
  app.SetPrompts(nullptr);
}

}  // namespace

// Qt's widget and event code is built without unwinding support, so what its
// frames hold when an exception passes through them (the mouse event's points,
// their strings) is never destroyed. Those leaks are the toolkit's, and only
// this program throws through it; leak checks of the sanitized build skip them.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:QMutableEventPoint::detach\n"
         "leak:QEventPoint::QEventPoint\n"
         "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n"
         "leak:QArrayData::allocate\n";
}
