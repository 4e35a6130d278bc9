#include "section/profile_file.h"

#include <gtest/gtest.h>

namespace {

// The rewrite of a file whose first [386Enh] held "a=1" and "device=x.386",
// checked against the kept entry "a=1".
TEST(OnlySectionRewritten, SetsAsideOnlyWhatARewriteMayChange) {
  const std::string original =
      "top=0\r\n[boot]\r\nshell = Explorer.exe\r\n; boot comment = on\r\n"
      "[386Enh]\r\na=1\r\n; enh comment\r\ndevice=x.386\r\n[Other]\r\nx=1\r\n";
  struct Case {
    const char* name;
    std::string rewritten;
    bool accepted;
  };
  const Case cases[] = {
      {"the platform's own rewrite",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\na=1\r\n"
       "[Other]\r\nx=1\r\n",
       true},
      {"line feeds, blank lines, blanks and an end-of-file mark",
       "top=0\n\n[ boot ]\nshell\t=  Explorer.exe \v\n; boot comment =on\n[386Enh]\na=1\n\n"
       "[Other]\nx=1\f\r\r\n\x1a",
       true},
      {"the documented write, in place: comments and blank lines stay",
       "top=0\r\n[boot]\r\nshell = Explorer.exe\r\n; boot comment = on\r\n"
       "[386Enh]\r\na=1\r\n; enh comment\r\n\r\n[Other]\r\nx=1\r\n",
       true},
      {"the file as it was: no rewrite", original, false},
      {"a comment outside [386Enh] changed past its blanks",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=off\r\n[386Enh]\r\na=1\r\n"
       "[Other]\r\nx=1\r\n",
       false},
      {"a comment outside [386Enh] dropped",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\na=1\r\n[Other]\r\nx=1\r\n", false},
      {"the file cut short", "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386E",
       false},
      {"an entry of another section changed",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\na=1\r\n"
       "[Other]\r\nx=2\r\n",
       false},
      {"the section holding as many entries, another one",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\na=2\r\n"
       "[Other]\r\nx=1\r\n",
       false},
      {"a section added at the end",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\na=1\r\n"
       "[Other]\r\nx=1\r\n[New]\r\ny=1\r\n",
       false},
      {"the section holding something else",
       "top=0\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\n"
       "[Other]\r\nx=1\r\n",
       false},
      {"sections in another order",
       "top=0\r\n[386Enh]\r\na=1\r\n[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n"
       "[Other]\r\nx=1\r\n",
       false},
      {"a section name's letter case changed",
       "top=0\r\n[BOOT]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\na=1\r\n"
       "[Other]\r\nx=1\r\n",
       false},
      {"a line before the first section lost",
       "[boot]\r\nshell=Explorer.exe\r\n; boot comment=on\r\n[386Enh]\r\na=1\r\n[Other]\r\nx=1\r\n",
       false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.accepted, OnlySectionRewritten(ParseIniFile(original), ParseIniFile(c.rewritten),
                                               "386ENH", {"a=1"}))
        << c.name;
  }
}

TEST(FindIniSection, FindsTheFirstOfThatNameOrNone) {
  // [Config] has as many letters as [386Enh].
  // [386Enx] differs only in its last letter.
  const auto sections = ParseIniFile(
      "[boot]\r\na=1\r\n[Config]\r\n[386Enx]\r\n[386ENH]\r\nb=2\r\n[386Enh]\r\n[ZRQ]\r\n");
  EXPECT_EQ(4, FindIniSection(sections, "386Enh"));
  EXPECT_EQ(5, FindIniSection(sections, "386Enh", 5));
  EXPECT_EQ(6, FindIniSection(sections, "zrq"));
  EXPECT_EQ(-1, FindIniSection(sections, "Other"));
}

TEST(OnlySectionRewritten, ALaterSectionOfTheSameNameKeepsItsEntries) {
  const auto original = ParseIniFile("[386Enh]\r\nd=x.386\r\n[386Enh]\r\nv=1\r\n");
  EXPECT_TRUE(OnlySectionRewritten(original, ParseIniFile("[386Enh]\r\n[386Enh]\r\nv=1\r\n"),
                                   "386Enh", {}));
  EXPECT_FALSE(
      OnlySectionRewritten(original, ParseIniFile("[386Enh]\r\n[386Enh]\r\n"), "386Enh", {}));
}

TEST(ParseIniFile, ACarriageReturnInsideALineStaysInItAByteOrderMarkGoes) {
  const auto sections = ParseIniFile("\xEF\xBB\xBF[s]\r\nx=1\ry=2\r\n[t]v\n[no header\n[u]w]\n");
  ASSERT_EQ(4u, sections.size());
  EXPECT_TRUE(sections[0].lines.empty());
  EXPECT_EQ("s", sections[1].name);
  EXPECT_EQ(std::vector<std::string>({"x=1\ry=2"}), sections[1].lines);
  EXPECT_EQ("t", sections[2].name);
  // A line without "]" is no header.
  EXPECT_EQ(std::vector<std::string>({"[no header"}), sections[2].lines);
  // The name runs up to the last "]".
  EXPECT_EQ("u]w", sections[3].name);
  // A last line of one character without a line break.
  EXPECT_EQ(std::vector<std::string>({"x"}), ParseIniFile("[s]\r\nx")[1].lines);
}

}  // namespace
