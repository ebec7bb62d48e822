#include <gtest/gtest.h>

#include <string>

#include "platform/IniFile.h"

using namespace pellora;

TEST(IniFile, WritesSectionsAndKeysInOrderWithCrLf) {
  IniFile ini;
  ini.WriteString("USER0", "USERNAME", "bob");
  ini.WriteString("GENERAL", "USERCOUNT", "1");
  ini.WriteString("USER0", "PASSWORD", "");
  ini.WriteString("user0", "username", "alice");  // an existing key keeps its place
  EXPECT_EQ(ini.Text(), "[USER0]\r\nUSERNAME=alice\r\nPASSWORD=\r\n[GENERAL]\r\nUSERCOUNT=1\r\n");
}

TEST(IniFile, ReadsNamesWithoutRegardToCaseAndIgnoresBlanks) {
  IniFile ini;
  ini.Parse("\xEF\xBB\xBF  [ General ]  \r\n  UserCount \t=\t 3  \r\n\r\nname=a b \n[other]\rKEY=x\r\n");
  EXPECT_EQ(ini.ReadString("GENERAL", "USERCOUNT", "?"), "3");
  EXPECT_EQ(ini.ReadString("general", "NAME", "?"), "a b");
  EXPECT_EQ(ini.ReadString("OTHER", "key", "?"), "x");
  EXPECT_EQ(ini.ReadString("GENERAL", "KEY", "?"), "?");
  EXPECT_EQ(ini.ReadString("MISSING", "KEY", "dflt"), "dflt");
  EXPECT_TRUE(ini.HasSection("other"));
  EXPECT_FALSE(ini.HasSection("othe"));
}

TEST(IniFile, StrayLinesDuplicatesAndOddHeaders) {
  IniFile ini;
  ini.Parse(
      "KEY=before any section\r\n"
      "[A]\r\n"
      "just text\r\n"
      "=no key\r\n"
      "KEY=first\r\n"
      "key=second\r\n"
      "EQ=a=b\r\n"
      "[B\r\n"
      "X=1\r\n"
      "[a]\r\n"
      "LATE=yes\r\n"
      "KEY=third\r\n");
  EXPECT_EQ(ini.SectionCount(), 2u);
  EXPECT_EQ(ini.ReadString("A", "KEY", ""), "first");
  EXPECT_EQ(ini.ReadString("A", "EQ", ""), "a=b");
  EXPECT_EQ(ini.ReadString("A", "LATE", ""), "yes");
  EXPECT_EQ(ini.ReadString("B", "X", ""), "1");
  EXPECT_EQ(ini.Text(), "[A]\r\nKEY=first\r\nEQ=a=b\r\nLATE=yes\r\n[B]\r\nX=1\r\n");
}

TEST(IniFile, ValuesAreCutTo2047CharactersOnARead) {
  IniFile ini;
  ini.WriteString("S", "LONG", std::string(3000, 'x'));
  EXPECT_EQ(ini.ReadString("S", "LONG", ""), std::string(2047, 'x'));
  // The value held stays whole; only what is read is cut.
  EXPECT_NE(ini.Text().find(std::string(3000, 'x')), std::string::npos);
  // A two-byte character counts once and is never split.
  std::string accents;
  for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";
  ini.WriteString("S", "UTF8", accents);
  std::string read = ini.ReadString("S", "UTF8", "");
  EXPECT_EQ(read.size(), 2 * 1500u);
  ini.WriteString("S", "UTF8", "a" + accents + accents);
  read = ini.ReadString("S", "UTF8", "");
  EXPECT_EQ(read, "a" + (accents + accents).substr(0, 2 * 2046));
}

TEST(IniFile, ALineBreakOrNulInAValueCannotBreakTheFile) {
  IniFile ini;
  ini.WriteString("USER0", "USERNAME", "bob\r\n[GENERAL]\r\nUSERCOUNT=99");
  ini.WriteString("USER0", "NOTES", std::string("a\0b", 3));
  ini.WriteString("USER1", "USERNAME", "carl");
  IniFile back;
  back.Parse(ini.Text());
  EXPECT_FALSE(back.HasSection("GENERAL"));
  EXPECT_EQ(back.ReadString("USER0", "USERNAME", ""), "bob  [GENERAL]  USERCOUNT=99");
  EXPECT_EQ(back.ReadString("USER0", "NOTES", ""), "a b");
  EXPECT_EQ(back.ReadString("USER1", "USERNAME", ""), "carl");
  // Replacing a value by a shorter or a longer one.
  ini.WriteString("USER0", "USERNAME", "x\ny");
  EXPECT_EQ(ini.ReadString("USER0", "USERNAME", ""), "x y");
  ini.WriteString("USER0", "USERNAME", std::string(100, 'z'));
  EXPECT_EQ(ini.ReadString("USER0", "USERNAME", ""), std::string(100, 'z'));
}

TEST(IniFile, NulEndsTheText) {
  IniFile ini;
  ini.Parse(std::string("[A]\r\nK=v\0al\r\nL=1\r\n", 18));
  EXPECT_EQ(ini.ReadString("A", "K", "?"), "v");
  EXPECT_EQ(ini.ReadString("A", "L", "?"), "?");
}

TEST(IniFile, LargeSectionsKeepFirstWinsAndReplaceInPlace) {
  // Past a few keys a section looks its keys up by hash; the rules stay.
  IniFile ini;
  std::string text = "[BIG]\r\n";
  for (int i = 0; i < 50; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  text += "KEY7=dup\r\n";
  ini.Parse(text);
  EXPECT_EQ(ini.ReadString("big", "KEY7", ""), "7");
  EXPECT_EQ(ini.ReadString("BIG", "key49", ""), "49");
  ini.WriteString("BIG", "KEY20", "twenty");
  ini.WriteString("BIG", "NEW", "n");
  std::string out = ini.Text();
  EXPECT_NE(out.find("Key19=19\r\nKey20=twenty\r\nKey21=21\r\n"), std::string::npos);
  EXPECT_TRUE(out.ends_with("Key49=49\r\nNEW=n\r\n"));
}

TEST(IniFile, ParseTextRoundTrip) {
  IniFile ini;
  for (int s = 0; s < 300; ++s)
    for (const char* key : {"USERNAME", "PASSWORD", "NOTES"})
      ini.WriteString("USER" + std::to_string(s), key, std::string(key) + std::to_string(s) + " =x");
  std::string text = ini.Text();
  IniFile back;
  back.Parse(text);
  EXPECT_EQ(back.Text(), text);
  EXPECT_EQ(back.ReadString("user299", "notes", ""), "NOTES299 =x");
}
