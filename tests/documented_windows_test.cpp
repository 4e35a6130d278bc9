// The simulated Windows against what documented Windows does where Wine,
// and so the platform contract tests, cannot show it: one row for each
// behaviour the program relies on, with where it is documented (the
// profile calls' conformance tests, dlls/kernel32/tests/profile.c in Wine's
// tree, assert results for Windows) and what Wine does instead.

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated_windows.h"

namespace {

const char kIni[] = "C:\\WINDOWS\\test.ini";

// The section's list as the profile read returns it, up to its closing NUL.
std::string ReadList(SimulatedWindows& sim, const std::string& section, DWORD capacity = 4096) {
  std::string buffer(capacity, '#');
  const DWORD count = sim.ReadProfileSection(section, &buffer[0], capacity, kIni);
  return buffer.substr(0, count);
}

Status Write(SimulatedWindows& sim, const std::string& section, const std::string& list) {
  return sim.WriteProfileSection(section, list, kIni);
}

struct Row {
  const char* behaviour;
  const char* source;
  const char* wine;
  std::function<void(SimulatedWindows&)> check;
};

TEST(DocumentedWindows, EachBehaviourAsDocumented) {
  const Row rows[] = {
      {"a lone carriage return: a line end on NT, either reading on 9x",
       "profile.c, the \"CR only\" file; skipped on 9x", "a line end, as on NT",
       [](SimulatedWindows& sim) {
         sim.files[kIni] = "[s]\r\na=1\rb=2\r\n";
         EXPECT_EQ(std::string("a=1\0b=2\0", 8), ReadList(sim, "s"));
         sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
         sim.lone_cr = LoneCarriageReturn::kPartOfLine;
         EXPECT_EQ(std::string("a=1\rb=2\0", 8), ReadList(sim, "s"));
       }},
      {"another program holding the file: each access and sharing of test_profile_existing",
       "profile.c, test_profile_existing, with its Win9x and NT 4.0 results", "as NT from 2000 on",
       [](SimulatedWindows& sim) {
         struct Holder {
           FileHolder holder;
           bool write_ok;    // the write's result on NT from 2000 on, and on 9x
           bool nt_read_ok;  // the read's on NT; 9x reads only the first
         };
         const Holder cases[] = {
             {{true, false, true, false}, false, true}, {{true, false, false, true}, false, false},
             {{false, true, true, false}, false, true}, {{false, true, false, true}, false, false},
             {{true, true, true, false}, false, true},  {{true, true, false, true}, false, false},
             {{true, false, true, true}, true, true},   {{false, true, true, true}, true, true},
             {{true, true, true, true}, true, true},
         };
         int row = 0;
         for (const auto& c : cases) {
           for (const DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
             SimulatedWindows held;
             held.platform_id = platform;
             held.files[kIni] = "[s]\r\na=1\r\n";
             held.holders[kIni] = c.holder;
             EXPECT_EQ(c.write_ok ? 0u : 32u, Write(held, "s", std::string("b=2\0", 4))) << row;
             held.files[kIni] = "[s]\r\na=1\r\n";
             held.profile_cache.clear();
             const bool read_ok = platform == VER_PLATFORM_WIN32_NT ? c.nt_read_ok : row == 0;
             EXPECT_EQ(read_ok ? std::string("a=1\0", 4) : "", ReadList(held, "s")) << row;
           }
           ++row;
         }
         (void)sim;
       }},
      {"NT 4.0: the write fails while another program holds the file, sharing everything",
       "profile.c, test_profile_existing: broken(ERROR_SHARING_VIOLATION) /* nt4 */",
       "the write succeeds, as on later NT",
       [](SimulatedWindows& sim) {
         sim.major_version = 4;
         sim.files[kIni] = "[s]\r\na=1\r\n";
         sim.holders[kIni] = FileHolder{true, true, true, true};
         EXPECT_EQ(32u, Write(sim, "s", std::string("b=2\0", 4)));
       }},
      {"a section mapped to the registry: the write keeps the entries it does not name",
       "profile.c: \"Unlike with .ini files, it doesn't remove existing entries\"",
       "measured (Wine 8.0): a section the key does not name is read from the file, but its "
       "write does not reach the file",
       [](SimulatedWindows& sim) {
         sim.mapped_sections["s"] = {"a=1", "b=2"};
         EXPECT_EQ(0u, Write(sim, "s", std::string("B=3\0c=4\0", 8)));
         EXPECT_EQ(std::vector<std::string>({"a=1", "B=3", "c=4"}), sim.mapped_sections["s"]);
       }},
      {"the 9x write: a blank line before each later section, no line break at the end",
       "profile.c, test_WritePrivateProfileString: the file Windows 9x writes",
       "Wine writes the whole file anew, every line ended by CR LF, no blank lines",
       [](SimulatedWindows& sim) {
         sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
         sim.profile_write = ProfileWrite::kInPlace;
         sim.files[kIni] = "top=0\r\n[s]\r\na=1\r\n[t]\r\nx=1\r\n";
         EXPECT_EQ(0u, Write(sim, "s", std::string("b=2\0", 4)));
         sim.FlushProfileCache(kIni);
         EXPECT_EQ("top=0\r\n\r\n[s]\r\nb=2\r\n\r\n[t]\r\nx=1", sim.files[kIni]);
       }},
      {"the section read before Windows 7 handles at most 32,767 characters",
       "GetPrivateProfileSection: \"The maximum profile section size is 32,767 characters\"",
       "no limit",
       [](SimulatedWindows& sim) {
         sim.files[kIni] = "[s]\r\na=" + std::string(40000, 'v') + "\r\n";
         for (const DWORD major : {5u, 10u}) {
           sim.major_version = major;
           std::string buffer(50000, '#');
           const DWORD count = sim.ReadProfileSection("s", &buffer[0], 50000, kIni);
           EXPECT_EQ(major == 5 ? 32765u : 40003u, count) << major;
         }
       }},
      {"the section write takes a list of at most 65,535 bytes",
       "WritePrivateProfileSection: \"This string is limited to 65,535 bytes\"", "no limit",
       [](SimulatedWindows& sim) {
         sim.files[kIni] = "[s]\r\n";
         const std::string entry = "a=" + std::string(70000, 'v');
         EXPECT_EQ(0u, Write(sim, "s", entry + '\0'));
         // The entry cut to 65,533 characters, its NUL and the list's.
         EXPECT_EQ(65534u, ReadList(sim, "s", 100000).size());
       }},
      {"a copy carries the source's attributes, and refuses to replace a hidden file",
       "CopyFile: \"File attributes for the existing file are copied to the new file\"; it "
       "fails with ERROR_ACCESS_DENIED onto an existing hidden or read-only file",
       "carries them too, but copies onto a hidden file",
       [](SimulatedWindows& sim) {
         sim.files[kIni] = "x";
         sim.attributes[kIni] = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
         EXPECT_EQ(0u, sim.CopyFileNoOverwrite(kIni, "C:\\WINDOWS\\test.000"));
         DWORD attributes = 0;
         EXPECT_EQ(0u, sim.FileAttributes("C:\\WINDOWS\\test.000", &attributes));
         EXPECT_EQ(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, attributes);
         EXPECT_EQ(5u, sim.CopyFileReplacing("C:\\WINDOWS\\test.000", kIni));
       }},
      {"deleting a read-only file fails with 5",
       "DeleteFile: \"If an application attempts to delete a file that has the read-only "
       "attribute set, the function fails with ERROR_ACCESS_DENIED\"",
       "the same, except when Wine runs as root",
       [](SimulatedWindows& sim) {
         sim.files[kIni] = "x";
         sim.attributes[kIni] = FILE_ATTRIBUTE_READONLY;
         EXPECT_EQ(5u, sim.RemoveFile(kIni));
         EXPECT_EQ(0u, sim.ChangeFileAttributes(kIni, FILE_ATTRIBUTE_NORMAL));
         EXPECT_EQ(0u, sim.RemoveFile(kIni));
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.behaviour) + " [" + row.source + "; Wine: " + row.wine + "]");
    SimulatedWindows sim;
    row.check(sim);
  }
}

// Every undocumented variant changes what the simulated Windows does: a
// file that touches each one, read, written in place, flushed and left at
// the process's end, on 9x and NT, read-only too, and a large section on
// NT 4.0, gives another trace under each variant than under the defaults.
std::string Trace(const std::function<void(SimulatedWindows&)>& variant) {
  std::string trace;
  const auto step = [&](DWORD platform, DWORD major, DWORD attributes, std::string bytes) {
    SimulatedWindows sim;
    sim.platform_id = platform;
    sim.major_version = major;
    sim.profile_write = ProfileWrite::kInPlace;
    sim.files[kIni] = std::move(bytes);
    if (attributes != 0) sim.attributes[kIni] = attributes;
    if (variant) variant(sim);
    trace += ReadList(sim, "s", 50000) + "|" + ReadList(sim, "t") + "|";
    trace += std::to_string(Write(sim, "s", std::string("k=w\0", 4))) + "|";
    sim.FlushProfileCache(kIni);
    trace += sim.files[kIni] + "|";
    sim.EndProcess();
    trace += sim.files[kIni] + "\n";
  };
  const std::string file = "[s]\r\n; c\r\nk = v\r\na=1\rb=2\r\n[t] ; x]\r\ny=1\r\n[o]\r\nn=1" +
                           std::string(1, '\0') + "junk\r\n[s]\r\nz=9\r\n";
  step(VER_PLATFORM_WIN32_WINDOWS, 4, 0, file);
  step(VER_PLATFORM_WIN32_WINDOWS, 4, FILE_ATTRIBUTE_READONLY, file);
  step(VER_PLATFORM_WIN32_NT, 10, FILE_ATTRIBUTE_READONLY, file);
  step(VER_PLATFORM_WIN32_NT, 4, 0, "[s]\r\na=" + std::string(40000, 'v') + "\r\n");
  return trace;
}

TEST(DocumentedWindows, EachUndocumentedVariantChangesWhatItNames) {
  const std::string defaults = Trace(nullptr);
  for (const auto& variant : UndocumentedVariants()) {
    EXPECT_NE(defaults, Trace(variant.apply)) << variant.name;
  }
}

}  // namespace
