// The table of every box (docs/boxes.md), held against the boxes the program shows:
// each box a run can show matches exactly one row, with the row's icon and
// buttons, and every row is shown by some run.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "app/driver_removal_app.h"
#include "section/system_backup.h"
#include "services/service_start.h"
#include "tests/test_support.h"

namespace {

struct Row {
  std::string text;
  std::regex pattern;
  UINT style;
};

// "N" stands for a number, "NNN" for a backup's digits, "<br>" for a line
// feed.
std::regex PatternOf(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (std::string(".^$|()[]{}*+?\\").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  escaped = std::regex_replace(escaped, std::regex("<br>"), "\n");
  escaped = std::regex_replace(escaped, std::regex("\xE2\x80\xA6"), ".*");  // "…": any text
  escaped = std::regex_replace(escaped, std::regex("\\bNNN\\b"), "[0-9]{3}");
  escaped = std::regex_replace(escaped, std::regex("\\bN\\b"), "[0-9]+");
  return std::regex(escaped);
}

// The rows of the table under `heading`; a row's second column is the
// box's icon and buttons where `styled`.
std::vector<Row> ReadmeRows(const std::string& heading, bool styled) {
  std::ifstream in(DR_BOXES_PATH);
  std::stringstream text;
  text << in.rdbuf();
  const std::string readme = text.str();
  const auto start = readme.find("\n## " + heading + "\n");
  EXPECT_NE(std::string::npos, start) << "no \"" << heading << "\" section in " << DR_BOXES_PATH;
  const std::map<std::string, UINT> styles = {{"question, Yes and No", MB_YESNO | MB_ICONQUESTION},
                                              {"none, OK", MB_OK},
                                              {"warning, OK", MB_ICONWARNING},
                                              {"error, OK", MB_ICONERROR}};
  std::vector<Row> rows;
  std::istringstream lines(readme.substr(start == std::string::npos ? 0 : start + 1));
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line) && line.rfind("#", 0) != 0) {
    if (line.rfind("| ", 0) != 0 || line.rfind("| Text |", 0) == 0) continue;
    const auto first = line.find(" | ");
    const auto second = line.find(" | ", first + 3);
    const std::string box_text = line.substr(2, first - 2);
    const auto style = styles.find(line.substr(first + 3, second - first - 3));
    EXPECT_TRUE(!styled || style != styles.end()) << line;
    rows.push_back(Row{box_text, PatternOf(box_text), style == styles.end() ? 0u : style->second});
  }
  return rows;
}

using Arrange = std::function<void(SimulatedWindows&)>;

// Windows NT with the driver service at automatic start and Serial at
// demand start, then `more`.
Arrange Nt(const Arrange& more) {
  return [more](SimulatedWindows& sim) {
    ActiveDriverService(sim);
    if (more) more(sim);
  };
}

// The same, with one registry call on `key` failing with `status`.
Arrange NtFailing(SimOp op, const char* key, Status status, REGSAM access = 0) {
  return Nt([=](SimulatedWindows& sim) { sim.Fail(op, key, status, 0, access); });
}

TEST(ReadmeBoxes, EveryBoxTheProgramShowsIsARowAndEveryRowIsShown) {
  const std::string ini = "C:\\WINDOWS\\system.ini";
  const std::string backup = "C:\\WINDOWS\\system.000";
  const Arrange nothing = nullptr;
  const std::vector<std::pair<Arrange, int>> runs = {
      {nothing, IDYES},
      {nothing, IDNO},
      {[](SimulatedWindows& sim) {
         sim.PutWindowsFile("system.ini",
                            SystemIniWith({"a=" + std::string(40000, 'v'), "device=kvtncdrv.386"}));
         sim.major_version = 6;
       },
       IDYES},
      {[&](SimulatedWindows& sim) { sim.holders[ini] = FileHolder{}; }, IDYES},
      {[](SimulatedWindows& sim) {
         sim.PutWindowsFile("system.ini",
                            SystemIniWith({}) + "[386Enh]\r\ndevice=kvtncdrv.386\r\n");
       },
       IDYES},
      {[](SimulatedWindows& sim) {
         for (int n = 0; n < kBackupNameCount; ++n) {
           char name[16];
           (void)std::snprintf(name, sizeof name, "system.%03d", n);
           sim.PutWindowsFile(name, "old");
         }
       },
       IDYES},
      {[](SimulatedWindows& sim) {
         sim.PutWindowsFile("system.ini", "[386Enh]\r\na=1\rdevice=kvtncdrv.386\r\n");
       },
       IDYES},
      {[&](SimulatedWindows& sim) {
         sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
         sim.attributes[ini] = FILE_ATTRIBUTE_READONLY;
       },
       IDYES},
      {[&](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kCopyFile, backup, 112, 0); }, IDYES},
      {[](SimulatedWindows& sim) { sim.Fail(SimOp::kWriteProfile, "", 32); }, IDYES},
      {[](SimulatedWindows& sim) { sim.Fail(SimOp::kWriteProfile, "", 5); }, IDYES},
      {[](SimulatedWindows& sim) {
         sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
         sim.Fail(SimOp::kWriteProfile, "", 5);
       },
       IDYES},
      {[](SimulatedWindows& sim) {
         sim.while_shown = [](SimulatedWindows& shown) {
           shown.PutWindowsFile("system.ini", SystemIniWith({"device=kvtncdrv.386", "a=1"}));
         };
       },
       IDYES},
      {[](SimulatedWindows& sim) {
         sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
         sim.Fail(SimOp::kFlushProfile, "", 112);
       },
       IDYES},
      {[](SimulatedWindows& sim) {
         sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
         sim.undocumented.nine_x_flush = NineXFlush::kStoresPart;
       },
       IDYES},
      {[](SimulatedWindows& sim) {
         sim.PutWindowsFile("system.ini", "[386Enh] ; see [notes]\r\ndevice=kvtncdrv.386\r\n");
       },
       IDYES},
      {[](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kWriteProfile, "", 112, 40); }, IDYES},
      {[&](SimulatedWindows& sim) {
         sim.FailPartWay(SimOp::kWriteProfile, "", 112, 40);
         sim.Fail(SimOp::kCopyFile, ini, 5);
       },
       IDYES},
      {Nt([](SimulatedWindows& sim) { sim.registry.erase(kSerialServiceKey); }), IDYES},
      {NtFailing(SimOp::kOpenKey, kDriverServiceKey, 5), IDYES},
      {NtFailing(SimOp::kOpenKey, kDriverServiceKey, 1234), IDYES},
      {NtFailing(SimOp::kQueryValue, kDriverServiceKey, 1234), IDYES},
      {NtFailing(SimOp::kOpenKey, kDriverServiceKey, 5, KEY_ALL_ACCESS), IDYES},
      {Nt([](SimulatedWindows& sim) { sim.writes_ignored.insert(kDriverServiceKey); }), IDYES},
      {NtFailing(SimOp::kOpenKey, kSerialServiceKey, 5, KEY_QUERY_VALUE), IDYES},
      {NtFailing(SimOp::kOpenKey, kSerialServiceKey, 1234), IDYES},
      {NtFailing(SimOp::kQueryValue, kSerialServiceKey, 1234), IDYES},
      {NtFailing(SimOp::kOpenKey, kSerialServiceKey, 5, KEY_ALL_ACCESS), IDYES},
      {NtFailing(SimOp::kSetValue, kSerialServiceKey, 1234), IDYES},
      {Nt([](SimulatedWindows& sim) { sim.writes_ignored.insert(kSerialServiceKey); }), IDYES},
  };
  const std::vector<Row> rows = ReadmeRows("Every box", true);
  const std::vector<Row> last_lines = ReadmeRows("Lines a box may end with", false);
  ASSERT_FALSE(rows.empty());
  ASSERT_FALSE(last_lines.empty());
  std::vector<bool> shown(rows.size(), false);
  std::vector<bool> last_line_shown(last_lines.size(), false);
  // The rows `text` matches, marked as shown.
  const auto matching = [](const std::string& text, const std::vector<Row>& table,
                           std::vector<bool>& marks) {
    std::vector<size_t> found;
    for (size_t i = 0; i < table.size(); ++i) {
      if (!std::regex_match(text, table[i].pattern)) continue;
      found.push_back(i);
      marks[i] = true;
    }
    return found;
  };
  for (const auto& [set_up, answer] : runs) {
    SimulatedWindows sim;
    sim.PutWindowsFile("system.ini", SystemIniWith({"device=kvtncdrv.386"}));
    if (set_up) set_up(sim);
    sim.answers = {answer};
    DisableObsoleteDriver(sim);
    for (const auto& box : sim.boxes) {
      // A box of no row may be one that ends with lines of the other table.
      std::string text = box.text;
      std::vector<size_t> found = matching(text, rows, shown);
      for (size_t cut = text.rfind('\n'); found.empty() && cut != std::string::npos;
           cut = text.rfind('\n')) {
        if (matching(text.substr(cut + 1), last_lines, last_line_shown).size() != 1) break;
        text.resize(cut);
        found = matching(text, rows, shown);
      }
      EXPECT_EQ(1u, found.size()) << "rows for the box \"" << box.text << "\"";
      for (const size_t i : found) EXPECT_EQ(rows[i].style, box.style) << box.text;
    }
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_TRUE(shown[i]) << "no run shows the row \"" << rows[i].text << "\"";
  }
  for (size_t i = 0; i < last_lines.size(); ++i) {
    EXPECT_TRUE(last_line_shown[i]) << "no run shows the line \"" << last_lines[i].text << "\"";
  }
}

}  // namespace
