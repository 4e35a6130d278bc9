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
    for (const LineBreaks breaks : kEveryReading) {
      EXPECT_EQ(c.accepted,
                OnlySectionRewritten(ParseIniFile(original, breaks),
                                     ParseIniFile(c.rewritten, breaks), "386ENH", {"a=1"}))
          << c.name;
    }
  }
}

// What a header carries after its "]" counts as it stands: Wine's write
// drops it. A lone carriage return splits a line in one reading only.
TEST(OnlySectionRewritten, HeaderTextAndLoneCarriageReturnsInBothReadings) {
  struct Case {
    const char* name;
    std::string original;
    std::string rewritten;
    bool accepted_line_feed;
    bool accepted_any_break;
  };
  const Case cases[] = {
      {"text after a header's ] dropped", "[boot] ; keep me\r\n[386Enh]\r\nd=x.386\r\n",
       "[boot]\r\n[386Enh]\r\n", false, false},
      {"text after a header's ] kept, blanks aside", "[boot] ; keep me\r\n[386Enh]\r\nd=x.386\r\n",
       "[boot]  ; keep me\r\n[386Enh]\r\n", true, true},
      {"a later [386Enh] after a lone carriage return emptied",
       "[386Enh]\r\nd=x.386\r\n[boot]\r\n[386Enh]\rv=1\rw=2\r\n",
       "[386Enh]\r\n[boot]\r\n[386Enh]\r\n", false, false},
      {"a line split at its lone carriage return", "[386Enh]\r\nd=x.386\r\n[Other]\r\nx=1\ry=2\r\n",
       "[386Enh]\r\n[Other]\r\nx=1\r\ny=2\r\n", false, true},
  };
  for (const auto& c : cases) {
    for (const LineBreaks breaks : kEveryReading) {
      const bool want =
          breaks == LineBreaks::kLineFeed ? c.accepted_line_feed : c.accepted_any_break;
      EXPECT_EQ(want, OnlySectionRewritten(ParseIniFile(c.original, breaks),
                                           ParseIniFile(c.rewritten, breaks), "386Enh", {}))
          << c.name;
    }
  }
}

TEST(FindIniSection, FindsTheFirstOfThatNameOrNone) {
  // [Config] has as many letters as [386Enh].
  // [386Enx] differs only in its last letter.
  const auto sections = ParseIniFile(
      "[boot]\r\na=1\r\n[Config]\r\n[386Enx]\r\n[386ENH]\r\nb=2\r\n[386Enh]\r\n[ZRQ]\r\n"
      "[A]\r\n",
      LineBreaks::kLineFeed);
  EXPECT_EQ(4, FindIniSection(sections, "386Enh"));
  EXPECT_EQ(5, FindIniSection(sections, "386Enh", 5));
  EXPECT_EQ(6, FindIniSection(sections, "zrq"));
  EXPECT_EQ(7, FindIniSection(sections, "a"));  // letter case folded from A to Z
  EXPECT_EQ(-1, FindIniSection(sections, "Other"));
}

TEST(OnlySectionRewritten, ALaterSectionOfTheSameNameKeepsItsEntries) {
  const auto parse = [](std::string_view bytes) {
    return ParseIniFile(bytes, LineBreaks::kAnyBreak);
  };
  const auto original = parse("[386Enh]\r\nd=x.386\r\n[386Enh]\r\nv=1\r\n");
  EXPECT_TRUE(
      OnlySectionRewritten(original, parse("[386Enh]\r\n[386Enh]\r\nv=1\r\n"), "386Enh", {}));
  EXPECT_FALSE(OnlySectionRewritten(original, parse("[386Enh]\r\n[386Enh]\r\n"), "386Enh", {}));
}

// The same bytes in both readings: a lone carriage return is part of the
// line, or ends it.
TEST(ParseIniFile, ALoneCarriageReturnInEachReadingAByteOrderMarkGoes) {
  const std::string bytes = "\xEF\xBB\xBF[s]\r\nx=1\ry=2\r\n[t]v\n[no header\n[u]w]\n";
  const auto line_feed = ParseIniFile(bytes, LineBreaks::kLineFeed);
  const auto any_break = ParseIniFile(bytes, LineBreaks::kAnyBreak);
  for (const auto* sections : {&line_feed, &any_break}) {
    ASSERT_EQ(4u, sections->size());
    EXPECT_TRUE((*sections)[0].lines.empty());
    EXPECT_EQ("s", (*sections)[1].name);
    EXPECT_EQ("t", (*sections)[2].name);
    EXPECT_EQ("v", (*sections)[2].after_header);
    // A line without "]" is no header.
    EXPECT_EQ(std::vector<std::string>({"[no header"}), (*sections)[2].lines);
    // The name runs up to the last "]".
    EXPECT_EQ("u]w", (*sections)[3].name);
  }
  EXPECT_EQ(std::vector<std::string>({"x=1\ry=2"}), line_feed[1].lines);
  // Blanks go around the first "=" only.
  EXPECT_EQ(std::vector<std::string>({"a=b = c"}),
            ParseIniFile("[s]\r\n a = b = c \r\n", LineBreaks::kLineFeed)[1].lines);
  EXPECT_EQ(std::vector<std::string>({"x=1", "y=2"}), any_break[1].lines);
  // A header after a lone carriage return is a header in one reading only.
  EXPECT_EQ(2u, ParseIniFile("[s]\r[t]\r\n", LineBreaks::kLineFeed).size());
  EXPECT_EQ(3u, ParseIniFile("[s]\r[t]\r\n", LineBreaks::kAnyBreak).size());
  // A last line of one character without a line break.
  EXPECT_EQ(std::vector<std::string>({"x"}),
            ParseIniFile("[s]\r\nx", LineBreaks::kLineFeed)[1].lines);
}

}  // namespace
