// The reply reading of the FTP client on text a server may send, found by
// fuzzing or kept because a server could send it.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/LineReader.h"
#include "ftp/ReplyCodes.h"
#include "ftp/SockConnection.h"

using pellora::ParsePasvPort;
using pellora::ReplyContinues;
using pellora::ReplyNumberOf;
using pellora::TakeLine;

TEST(PasvReply, PortFromTheLastTwoNumbers) {
  EXPECT_EQ(ParsePasvPort("227 Entering Passive Mode (127,0,0,1,4,1)\r\n"), 1025);
  EXPECT_EQ(ParsePasvPort("227 =10,9,8,7,+200,17)"), 200 * 256 + 17);  // address fields never read
  EXPECT_EQ(ParsePasvPort("227 (1,2,3,4,5,6),7,8)"), 5 * 256 + 6);
}

TEST(PasvReply, NoPortFromMalformedReplies) {
  EXPECT_EQ(ParsePasvPort(""), std::nullopt);
  EXPECT_EQ(ParsePasvPort("227 Entering Passive Mode with no numbers"), std::nullopt);
  EXPECT_EQ(ParsePasvPort("227 (127,0,0,1,4,1"), std::nullopt);  // no ")"
  EXPECT_EQ(ParsePasvPort("227 (127,0,0,1,4)"), std::nullopt);   // five fields
  EXPECT_EQ(ParsePasvPort("227 (127,0,0,1,x,1)"), std::nullopt);
  EXPECT_EQ(ParsePasvPort("227 (127,0,0,1,4, 1)"), std::nullopt);
  EXPECT_EQ(ParsePasvPort("227 (127,0,0,1,99999999999,1)"), std::nullopt);  // beyond an int
}

// Found by the fuzzer: numbers that fit an int but not its product with 256
// overflowed. They wrap now, and only the low 16 bits ever reach the network.
TEST(PasvReply, HugeNumbersWrapInsteadOfOverflowing) {
  EXPECT_EQ(ParsePasvPort("227 (1,2,3,4,2147483647,2147483647)"),
            static_cast<std::int32_t>(2147483647u * 256u + 2147483647u));
  EXPECT_EQ(ParsePasvPort("227 (1,2,3,4,-1,0)"), -256);
  EXPECT_EQ(ParsePasvPort("227 (1,2,3,4,256,5)").value() & 0xFFFF, 5);
}

TEST(ReplyLines, NumberContinuationAndLineTaking) {
  EXPECT_EQ(ReplyNumberOf("220 Ready\r\n"), 220);
  EXPECT_EQ(ReplyNumberOf("Ready"), 0);
  EXPECT_EQ(ReplyNumberOf("99999999999999 big"), 2147483647);

  std::string received = "220-a\r\n220 b\npart";
  EXPECT_EQ(TakeLine(received), "220-a\r\n");
  EXPECT_EQ(TakeLine(received), "220 b\n");
  EXPECT_EQ(TakeLine(received), std::nullopt);
  EXPECT_EQ(received, "part");
}

TEST(ReplyLines, OnlyTheFirstLinesCodeAndASpaceEndAReplyOfSeveralLines) {
  struct Case {
    const char* first;
    const char* line;
    bool continues;
  };
  const Case cases[] = {
      {"220-Welcome\r\n", "220-Welcome\r\n", true},  // the first line itself
      {"220-Welcome\r\n", " 220 indented\r\n", true},
      {"220-Welcome\r\n", "230 another code\r\n", true},
      {"220-Welcome\r\n", "2200 five digits\r\n", true},
      {"220-Welcome\r\n", "220 Ready\r\n", false},
      {"220-Welcome\r\n", "220\n", false},        // the code alone, its blank trimmed
      {" indented\r\n", " indented\r\n", false},  // only "ddd-" opens a long reply
      {"2a0-x\r\n", "2a0-x\r\n", false},
      {"", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplyContinues(c.first, c.line), c.continues) << c.first << " / " << c.line;
}

TEST(ReplyLines, AnOverlongLineIsDroppedWithAnError) {
  std::string received(65536, 'x');
  EXPECT_THROW(TakeLine(received), pellora::ESockError);
  EXPECT_TRUE(received.empty());

  received = std::string(65535, 'x') + "\n";  // the longest line still taken
  EXPECT_EQ(TakeLine(received)->size(), 65536u);
  received = std::string(65536, 'x') + "\n";
  EXPECT_THROW(TakeLine(received), pellora::ESockError);
}

TEST(ReplyCodes, EachStepRefusesItsOwnRangeOfNumbers) {
  using pellora::FtpStep;
  const int numbers[] = {0, 300, 301, 400, 401, 499, 500, 599, 600, 2147483647};
  const struct {
    FtpStep step;
    const char* refused;  // one mark per number: x refuses
  } cases[] = {
      {FtpStep::Greeting, "....xxxxxx"}, {FtpStep::Login, "....xxxx.."}, {FtpStep::Command, "...xxxxx.."},
      {FtpStep::Pasv, "......xxxx"},     {FtpStep::Port, "..xxxxxx.."},  {FtpStep::Stor, "..xxxxxx.."},
      {FtpStep::Stored, "...xxxxx.."},   {FtpStep::Quit, "..xxxxxx.."},
  };
  for (const auto& c : cases)
    for (std::size_t i = 0; i < std::size(numbers); ++i)
      EXPECT_EQ(pellora::Refuses(c.step, numbers[i]), c.refused[i] == 'x')
          << "step " << int(c.step) << ", reply " << numbers[i];
}
