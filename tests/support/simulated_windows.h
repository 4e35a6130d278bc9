#pragma once
// A simulated Windows for the tests: an in-memory
// registry below HKEY_LOCAL_MACHINE, a Windows directory of in-memory files
// whose profile reads and writes follow the Win32 rules the program relies
// on (with the profile cache of the 9x family), and message boxes answered
// from a script and recorded. Its state is
// public so that a test sets it up and inspects it in a few lines.

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct RegistryValue {
  DWORD type = REG_DWORD;
  std::string bytes;
};

struct ShownBox {
  std::string text;
  std::string caption;
  UINT style = 0;
  int registry_sets = 0;  // registry writes made before the box was shown
};

enum class SimOp {
  kOpenKey,
  kQueryValue,
  kSetValue,
  kCopyFile,
  kWriteProfile,
  kReadFile,
  kFindFile,
  kFlushProfile
};

// Makes matching calls fail with `status`. Every fault counts every call it
// matches, whether or not another fault fired on it, so two faults can name
// the 2nd and the 3rd read. `target` is the registry subkey
// for key operations, the destination path for kCopyFile (either copy), the
// file name for kWriteProfile and kFlushProfile, the path for kReadFile and
// kFindFile (which then finds no file, whatever the status), or empty for
// any;
// `access` limits kOpenKey to one access mask (0: any); `occurrence` picks
// the n-th matching call, counted from 1 (0: every one).
//
// With `stored_bytes` set, a copy, profile write or flush stores that many
// bytes of what it would have written, as a full disk leaves a file, before
// it returns `status` (which may then be 0: a copy that comes up short
// silently). A flush reports nothing; with a status it did not finish, and
// the file stays in the profile cache.
struct SimFault {
  SimOp op;
  std::string target;
  REGSAM access = 0;
  int occurrence = 0;
  Status status = 0;
  int stored_bytes = -1;
  int seen = 0;
};

// Another program's open handle on a file: what it opened the file for and
// what it lets others do. The conformance tests of the profile calls
// (test_profile_existing) open one with each access and sharing:
// - the profile write fails with 32 unless the holder shares both reading
//   and writing; on NT 4.0 it fails with 32 even then;
// - the profile read returns nothing on NT unless the holder shares
//   reading, and on Windows 95, 98 and ME unless the holder only reads and
//   shares reading only. The 9x read sets no error here; one case of an
//   older version of that test shows 9x setting 32, so the program never
//   relies on the error, only on the file's bytes.
// File opens follow the sharing rules: reading the bytes (sharing reading
// and writing) needs a holder that shares reading; a copy reads its source
// sharing reading only and writes its destination sharing nothing.
struct FileHolder {
  bool reads = true;
  bool writes = false;
  bool shares_reading = false;
  bool shares_writing = false;
};

// What a lone carriage return (one not followed by a line feed) is to the
// profile calls. Wine and the NT family end a line there (the conformance
// tests read a "CR only" file as separate lines on NT); what Windows 95, 98
// and ME do is not documented ("Win9x and WinME don't handle 'CR only'
// correctly"): a test may take either reading.
enum class LoneCarriageReturn { kEndsLine, kPartOfLine };

// How a profile section write changes the file.
enum class ProfileWrite {
  // Wine's: the whole file is written anew from what the profile code
  // parsed. Every section of that name loses its lines (comments and lines
  // without "=" included) and the first one takes the new entries; entries
  // without "=" are not written; every other line holding "=", a comment
  // too, loses the blanks around its first "="; blank lines and NUL bytes
  // are lost.
  kRewriteFile,
  // Documented Windows: the entry lines of the first section of that name
  // are replaced by the new entries, written as given right after its
  // header; every other byte stays: its comment and blank lines, the other
  // sections, a second section of the same name, spacing and NUL bytes.
  // Windows 95, 98 and ME write the file in their own layout besides: a
  // blank line before every section but the first, and no line break after
  // the last line (the conformance tests: "there is always a newline before
  // a section start (except for the first one)", and the file they expect
  // from Windows 9x ends without CR LF).
  kInPlace,
};

// Behaviours of the profile calls that Windows does not document, each with
// every variant a Windows may plausibly show; the first is the default
// (Wine's, where Wine shows one). A run must be right under each: tests
// take them from UndocumentedVariants().
//
// Where a header's name ends: Wine ends it at the last "]"; undocumented.
enum class HeaderNameEnd { kLastBracket, kFirstBracket };
// Which of two sections of the same name the read returns: Wine's is the
// first; undocumented.
enum class SameNamedSectionRead { kFirst, kLast };
// Whether the read gives an entry without the blanks around its key and
// value (Wine's), or as the line holds them; undocumented.
enum class EntryBlanks { kTrimmed, kKept };
// Where the documented write, in place, leaves the comment lines of the
// section it rewrites: after the new entries, before them, or nowhere. The
// documentation says only that comments "will probably be associated with
// incorrect keys".
enum class RewrittenSectionComments { kAfterEntries, kBeforeEntries, kDropped };
// Whether the documented write keeps the bytes after a NUL in a line of
// another section, or cuts the line there; undocumented.
enum class NulOutsideSection { kKept, kCut };
// Whether the documented write leaves a later section of the same name
// alone, or empties it of entries as Wine does; undocumented.
enum class LaterSameNamedSection { kLeftAlone, kEmptied };
// A profile write onto a read-only file; undocumented. By family: the NT
// family fails with 5; Windows 95, 98 and ME write into the cache, and the
// flush, which reports nothing, stores nothing. Or it fails with 5
// everywhere; or it reports success and stores nothing (NT) as the 9x
// family does; or it is written (Wine run as root, measured).
enum class ReadOnlyProfileWrite { kByFamily, kFails, kStoresNothing, kWritten };
// The section read of NT 4.0 and 2000: MSDN of 1998 and 2000 say "Windows
// NT/2000: The specified profile section has no size limit"; today's page
// says earlier versions had the 32,767-character limit.
enum class OldNtSectionRead { kLimited, kUnlimited };
// The 9x profile cache's flush, which reports nothing: it completes;
// stores part of the file now and the rest later; stores nothing and
// forgets the write; or stores nothing now and all of it later (when the
// process ends). Undocumented.
enum class NineXFlush { kCompletes, kStoresPart, kStoresNothing, kCompletesLater };

struct Undocumented {
  HeaderNameEnd header_name_end = HeaderNameEnd::kLastBracket;
  SameNamedSectionRead same_named_read = SameNamedSectionRead::kFirst;
  EntryBlanks entry_blanks = EntryBlanks::kTrimmed;
  RewrittenSectionComments rewritten_comments = RewrittenSectionComments::kAfterEntries;
  NulOutsideSection nul_outside_section = NulOutsideSection::kKept;
  LaterSameNamedSection later_same_named = LaterSameNamedSection::kLeftAlone;
  ReadOnlyProfileWrite read_only_write = ReadOnlyProfileWrite::kByFamily;
  OldNtSectionRead old_nt_read = OldNtSectionRead::kLimited;
  NineXFlush nine_x_flush = NineXFlush::kCompletes;
};

// Documented limits, on every simulated Windows (Wine has neither):
// the section read of Windows 95, 98, ME and of the NT family before
// Windows 7 handles at most this many characters ("32,767 characters" in
// GetPrivateProfileSection's documentation, before Windows 7), and cuts a
// larger section as it would with that capacity.
constexpr unsigned long kOldSectionReadLimit = 32767;
// The list a section write takes ("This string is limited to 65,535
// bytes", with no version named). What Windows does with a longer one is
// not documented; the simulated write keeps only that many bytes of it and
// reports success, the worst a caller can meet.
constexpr unsigned long kSectionWriteLimit = 65535;
// Windows 95, 98 and ME: "limited to just under 32KB per read and per
// write"; "2 bytes less than 32KB" (Q230194).
constexpr unsigned long kNineXSectionWriteLimit = 32766;

class SimulatedWindows;

// Each undocumented variant apart from the defaults (Undocumented, and the
// lone carriage return read as part of a line), by name.
struct UndocumentedVariant {
  const char* name;
  std::function<void(SimulatedWindows&)> apply;
};
std::vector<UndocumentedVariant> UndocumentedVariants();

class SimulatedWindows : public Platform {
 public:
  DWORD platform_id = VER_PLATFORM_WIN32_NT;
  DWORD major_version = 10;
  DWORD minor_version = 0;
  std::string module_file_name = "C:\\Program Files\\DriverRemoval\\DriverRemoval.exe";
  std::string windows_directory = "C:\\WINDOWS";

  // Files by full path, letter case ignored: what the disk holds.
  std::map<std::string, std::string, CaseInsensitiveLess> files;
  // The profile cache of the 9x family (platform id 1): a profile file as
  // the profile calls see it, by full path, when that differs from the disk.
  // Profile writes land here; file reads and copies see the disk until the
  // file is flushed. A test may put another program's pending write here.
  std::map<std::string, std::string, CaseInsensitiveLess> profile_cache;
  // Registry below HKEY_LOCAL_MACHINE: subkey -> value name -> value.
  std::map<std::string, std::map<std::string, RegistryValue, CaseInsensitiveLess>,
           CaseInsensitiveLess>
      registry;
  std::vector<SimFault> faults;
  // Wine's write by default, so that the contract tests hold here as they
  // do under Wine.
  ProfileWrite profile_write = ProfileWrite::kRewriteFile;
  // Files another program holds open, by full path (see FileHolder).
  std::map<std::string, FileHolder, CaseInsensitiveLess> holders;
  LoneCarriageReturn lone_cr = LoneCarriageReturn::kEndsLine;
  Undocumented undocumented;
  // File attributes (FILE_ATTRIBUTE_*) of files that have any, by full path.
  // As documented: a copy gives the new file its source's attributes ("File
  // attributes for the existing file are copied to the new file"); a
  // replacing copy onto a hidden or read-only file fails with 5; deleting a
  // read-only file fails with 5. A profile write onto a read-only file fails
  // with 5 on the NT family; on the 9x family it succeeds into the cache and
  // the flush, which reports nothing, stores nothing. (Wine run as root
  // ignores read-only files.)
  std::map<std::string, DWORD, CaseInsensitiveLess> attributes;
  // Sections the profile calls keep elsewhere, by section name, as their
  // entries: a mapping to the registry (IniFileMapping) on the NT family.
  // The profile read and write of such a section use these, not the file;
  // a write there sets the entries it is given and, unlike a write to the
  // file, keeps the other entries (the conformance tests: "Unlike with .ini
  // files, it doesn't remove existing entries").
  std::map<std::string, std::vector<std::string>, CaseInsensitiveLess> mapped_sections;
  // Keys whose writes report success but store nothing, as a redirected or
  // policy-reverted write would look to the program.
  std::set<std::string, CaseInsensitiveLess> writes_ignored;

  // Button pressed for each box in turn; once used up, OK boxes answer IDOK
  // and Yes/No boxes IDNO.
  std::deque<int> answers;
  std::vector<ShownBox> boxes;
  // Runs while each box is shown (it is in `boxes` already), as another
  // program may act while a box stands.
  std::function<void(SimulatedWindows&)> while_shown;

  // Every registry call, as "open <subkey> <access>", "query <subkey> <name>",
  // "set <subkey> <name>", "close <subkey>".
  std::vector<std::string> registry_calls;
  int profile_writes = 0;
  // Every file call that changes something, as "copy <from> <to>", "replace
  // <from> <to>", "remove <path>", "write <file>" and "flush <file>".
  std::vector<std::string> file_calls;
  // With take_snapshots, what the disk holds (not the 9x cache) after every
  // change to it, and half-way through every write of a file, as a power
  // cut there would leave it.
  bool take_snapshots = false;
  std::vector<std::map<std::string, std::string, CaseInsensitiveLess>> snapshots;

  // Set-up helpers.
  std::string WindowsPath(const std::string& name) const;
  void PutWindowsFile(const std::string& name, const std::string& bytes);
  std::string WindowsFile(const std::string& name) const;  // "" when absent
  void SetDword(const std::string& subkey, const std::string& name, DWORD value);
  void Fail(SimOp op, const std::string& target, Status status, int occurrence = 0,
            REGSAM access = 0);
  // A copy or profile write that stores only the first `stored_bytes` bytes.
  void FailPartWay(SimOp op, const std::string& target, Status status, int stored_bytes,
                   int occurrence = 0);
  int open_keys() const { return static_cast<int>(open_.size()); }
  // What happens to the cache when the process ends: it is written out, so
  // the files then hold what the disk would hold afterwards.
  void EndProcess();

  // Platform.
  WindowsVersion Version() override {
    return WindowsVersion{platform_id, major_version, minor_version};
  }
  std::string ModuleFileName() override { return module_file_name; }
  Status OpenKey(const std::string& subkey, REGSAM access, RegKeyHandle* key) override;
  Status QueryValue(RegKeyHandle key, const std::string& name, DWORD* type, BYTE* data,
                    DWORD* size) override;
  Status SetValue(RegKeyHandle key, const std::string& name, DWORD type, const BYTE* data,
                  DWORD size) override;
  void CloseKey(RegKeyHandle key) override;
  DWORD ReadProfileSection(const std::string& section, char* buffer, DWORD capacity,
                           const std::string& file) override;
  Status WriteProfileSection(const std::string& section, const std::string& entries,
                             const std::string& file) override;
  std::string WindowsDirectory() override { return windows_directory; }
  bool FileExists(const std::string& path) override;
  Status CopyFileNoOverwrite(const std::string& from, const std::string& to) override;
  Status CopyFileReplacing(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status FileAttributes(const std::string& path, DWORD* attributes) override;
  Status ChangeFileAttributes(const std::string& path, DWORD attributes) override;
  Status ReadFileBytes(const std::string& path, std::string* bytes) override;
  void FlushProfileCache(const std::string& file) override;
  int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) override;

 private:
  struct OpenKeyState {
    std::string subkey;
    REGSAM access;
  };
  const SimFault* Injected(SimOp op, const std::string& target, REGSAM access = 0);
  Status InjectedStatus(SimOp op, const std::string& target, REGSAM access = 0);
  // Stores `bytes` at `path` in `store`, cut short as a matching fault says;
  // returns the status to report.
  Status Store(SimOp op, const std::string& target, const std::string& path, std::string bytes,
               std::map<std::string, std::string, CaseInsensitiveLess>& store);
  // Puts `bytes` on the disk at `path`, taking snapshots (with `cut`, one
  // half-way through).
  void WriteToDisk(const std::string& path, std::string bytes, bool cut = true);
  void TakeSnapshot();
  bool StoresOntoReadOnly(const std::string& path) const;
  // The profile file as the profile calls see it.
  std::string ProfileBytes(const std::string& path) const;
  Status Copy(const std::string& from, const std::string& to, bool replace);
  std::string ProfilePath(const std::string& file) const;
  bool HasAttribute(const std::string& path, DWORD attribute) const;
  const FileHolder* Holder(const std::string& path) const;

  std::map<RegKeyHandle, OpenKeyState> open_;
  RegKeyHandle next_handle_ = 0x100;
};
