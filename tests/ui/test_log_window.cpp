// The log window's line rules decide how every report of generation, local
// save and upload reads, so they are checked on the real text area.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "support/QtTestApp.h"
#include "ui/FormLog.h"

namespace {

using pellora::TFormLog;

class LogWindow : public ::testing::Test {
 protected:
  int app_ = (TestApp(), 0);  // the application must exist before the window
  TFormLog log;
};

TEST_F(LogWindow, LooksAsDesignedAndStartsEmpty) {
  EXPECT_EQ(log.windowTitle(), "View Log File");
  EXPECT_EQ(log.size(), QSize(550, 242));
  EXPECT_EQ(log.MemoLog->geometry(), QRect(8, 8, 537, 197));
  EXPECT_EQ(log.BtnStop->geometry(), QRect(372, 210, 81, 29));
  EXPECT_EQ(log.BtnOk->geometry(), QRect(462, 210, 81, 29));
  EXPECT_EQ(log.BtnStop->text(), "Stop");
  EXPECT_EQ(log.BtnOk->text(), "Close");
  EXPECT_TRUE(log.MemoLog->isReadOnly());
  EXPECT_EQ(log.MemoLog->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(log.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(log.windowType(), Qt::Tool);
  EXPECT_EQ(log.windowModality(), Qt::NonModal);
  EXPECT_TRUE(log.Text().isEmpty());
  EXPECT_FALSE(log.isVisible());
}

TEST_F(LogWindow, ALineEndingInCrLfIsFollowedByAnEmptyLine) {
  log.AddLine("* Generate .htaccess file ... OK!\r\n");
  EXPECT_EQ(log.Lines(), (QStringList{"* Generate .htaccess file ... OK!", ""}));
  log.AddLine("* Generate .htpasswd file ... OK!");
  EXPECT_EQ(log.Lines(), (QStringList{"* Generate .htaccess file ... OK!", "", "* Generate .htpasswd file ... OK!"}));
}

TEST_F(LogWindow, ALeadingOrInnerCrLfBreaksTheLineThere) {
  log.AddLine("226 Transfer complete");
  log.AddLine("\r\n* Disconnected");
  EXPECT_EQ(log.Lines(), (QStringList{"226 Transfer complete", "", "* Disconnected"}));
  log.Clear();
  log.AddLine("first\r\nsecond");
  log.AddLine("");
  log.AddLine("third");
  EXPECT_EQ(log.Lines(), (QStringList{"first", "second", "", "third"}));
}

TEST_F(LogWindow, AppendedTextContinuesTheLastLine) {
  log.AppendText("Save .htaccess file to /web/.htaccess ... OK!\r\n\r\n");
  log.AppendText("Save .htpasswd file to /web/.htpasswd ... ");
  log.AppendText("Failed!\r\n\r\n");
  EXPECT_EQ(log.Lines(), (QStringList{"Save .htaccess file to /web/.htaccess ... OK!", "",
                                      "Save .htpasswd file to /web/.htpasswd ... Failed!", ""}));
  log.Clear();
  log.AppendText("partial");
  log.AddLine("next");  // a line added after text without a break starts on its own line
  log.AddLine("last");
  EXPECT_EQ(log.Lines(), (QStringList{"partial", "next", "last"}));
}

TEST_F(LogWindow, LinesReachTheTextAreaWhenTheEventLoopTurns) {
  // An upload's waits turn the event loop; each turn must show what came before.
  log.AddLine("* Connecting ...\r\n");
  QCoreApplication::processEvents();
  EXPECT_EQ(log.MemoLog->toPlainText(), "* Connecting ...\n\n");
  log.AddLine("220 ready");
  QCoreApplication::processEvents();
  log.AppendText("Save ... ");
  QCoreApplication::processEvents();
  log.AddLine("after");
  QCoreApplication::processEvents();
  EXPECT_EQ(log.MemoLog->toPlainText(), "* Connecting ...\n\n220 ready\nSave ... \nafter");
  log.Clear();
  log.AddLine("dropped by the clear that follows");
  log.Clear();
  QCoreApplication::processEvents();
  EXPECT_TRUE(log.MemoLog->toPlainText().isEmpty());
}

TEST_F(LogWindow, TheLogSinkInterfaceTakesUtf8) {
  pellora::LogSink& sink = log;
  sink.AddLine(std::string_view("* Logged in as j\xC3\xBCrgen"));
  sink.AppendText(std::string_view("..."));
  EXPECT_EQ(log.Lines(), (QStringList{QString::fromUtf8("* Logged in as j\xC3\xBCrgen"), "..."}));
  sink.Clear();
  EXPECT_TRUE(log.Text().isEmpty());
}

TEST_F(LogWindow, TheFrameCloseButtonHidesAndKeepsTheText) {
  log.AddLine("before");
  log.ShowLog();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
  EXPECT_TRUE(log.close() == false || !log.isVisible());
  EXPECT_FALSE(log.isVisible());
  log.AddLine("while hidden");
  log.ShowLog();
  EXPECT_TRUE(log.isVisible());
  EXPECT_EQ(log.Lines(), (QStringList{"before", "while hidden"}));
  QTest::mouseClick(log.BtnOk, Qt::LeftButton);
  EXPECT_FALSE(log.isVisible());
  EXPECT_EQ(log.Lines().size(), 2);
}

TEST_F(LogWindow, StopTurnsTheButtonsBeforeAskingTheUploadToStop) {
  log.SetStopEnabled(true);
  log.SetCloseEnabled(false);
  log.ShowLog();
  int calls = 0;
  bool stopEnabled = true, closeEnabled = false;
  log.SetStopHandler([&] {
    ++calls;
    stopEnabled = log.BtnStop->isEnabled();
    closeEnabled = log.BtnOk->isEnabled();
  });
  QTest::mouseClick(log.BtnStop, Qt::LeftButton);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(stopEnabled);
  EXPECT_TRUE(closeEnabled);
  EXPECT_TRUE(log.isVisible());
  QTest::mouseClick(log.BtnStop, Qt::LeftButton);  // disabled now
  EXPECT_EQ(calls, 1);

  log.SetStopHandler({});
  log.SetStopEnabled(true);
  log.SetCloseEnabled(false);
  QTest::keyClick(log.MemoLog, Qt::Key_Escape);  // an upload runs: Escape, like Close, does nothing
  EXPECT_TRUE(log.isVisible());
  QTest::mouseClick(log.BtnStop, Qt::LeftButton);  // no upload running: only the buttons turn
  EXPECT_FALSE(log.BtnStop->isEnabled());
  QTest::keyClick(log.MemoLog, Qt::Key_Escape);
  EXPECT_FALSE(log.isVisible());
}

TEST_F(LogWindow, ALongReportKeepsEveryLine) {
  for (int i = 0; i < 20000; ++i) log.AddLine(QString("line %1").arg(i));
  const QStringList lines = log.Lines();
  ASSERT_EQ(lines.size(), 20000);
  EXPECT_EQ(lines.first(), "line 0");
  EXPECT_EQ(lines.last(), "line 19999");
}

}  // namespace
