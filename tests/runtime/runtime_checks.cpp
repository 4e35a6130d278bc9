// Checks the program's own runtime (platform/runtime/) where only Windows can:
// built with it like DriverRemoval.exe and run under Wine, which reports the
// exit status. Wine's heap would hide a block one byte short or one never
// freed, so the heap itself is asked.
//
//   runtime_checks.exe                     exit status 0 when every check holds
//   runtime_checks.exe library-error NAME  a library error (see kLibraryErrors): exit status 3
//   runtime_checks.exe allocation-failure  an allocation that fails: exit status 3

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>

// A class whose constructor calls its own pure virtual function, as a
// derived class's constructor would reach it through its base.
struct Base {
  Base() { CallRun(); }
  virtual ~Base() = default;
  virtual void Run() = 0;
  void CallRun();
};
struct Derived : Base {
  void Run() override {}
};
// Out of line and opaque, so that the call stays virtual; outside the
// anonymous namespace, where the compiler would know every class derived
// from Base and call Derived::Run directly.
__attribute__((noinline)) void Base::CallRun() {
  Base* volatile self = this;
  self->Run();
}

namespace {

// Exit statuses, one per failed check; kExitListNeverRan is what WinMain
// returns, so that only the exit list's own last function can end well.
enum : UINT {
  kAllHeld = 0,
  kLibraryError = 3,  // what the runtime itself ends with
  kBlockTooSmall = 10,
  kZeroBytesShared = 11,
  kExitListOrder = 12,
  kExitListSize = 13,
  kExitListNeverRan = 14,
  kBlocksNotFreed = 15,
  kFailedAllocationReturned = 16,
  kNothrowAllocationNotNull = 17,
};

// The exit list holds 32 functions; libgcc's walk over the static
// destructors takes one before WinMain starts.
constexpr int kFreeExitSlots = 31;

int accepted = 0;
int ran[kFreeExitSlots + 1];
int ran_count = 0;

template <int N>
void Record() {
  ran[ran_count++] = N;
  if (N != 0) return;
  // Registered first, so run last: the others ran in the opposite order.
  for (int i = 0; i < ran_count; ++i) {
    if (ran[i] != accepted - 1 - i) ExitProcess(kExitListOrder);
  }
  if (ran_count != accepted) ExitProcess(kExitListOrder);
  // WinMain's own result never reaches the exit status, so the list's size
  // is checked here.
  ExitProcess(accepted == kFreeExitSlots ? kAllHeld : kExitListSize);
}

template <size_t... N>
constexpr std::array<void (*)(), sizeof...(N)> Recorders(std::index_sequence<N...>) {
  return {Record<static_cast<int>(N)>...};
}
// One more than the list can take.
constexpr auto kRecorders = Recorders(std::make_index_sequence<kFreeExitSlots + 1>());

bool BlocksHoldWhatWasAsked() {
  const size_t sizes[] = {0, 1, 2, 7, 8, 15, 16, 100, 4095, 65537};
  for (const size_t size : sizes) {
    char* block = new char[size];
    void* single = ::operator new(size);
    const SIZE_T held = HeapSize(GetProcessHeap(), 0, block);
    const SIZE_T single_held = HeapSize(GetProcessHeap(), 0, single);
    delete[] block;
    ::operator delete(single);
    if (held == static_cast<SIZE_T>(-1) || held < size || single_held < size) return false;
  }
  return true;
}

// The blocks of the process heap in use, as the heap itself counts them.
int BusyBlocks() {
  const HANDLE heap = GetProcessHeap();
  int busy = 0;
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(heap, &entry)) busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0 ? 1 : 0;
  HeapUnlock(heap);
  return busy;
}

// Every form of delete gives its block back to the heap. Called through
// pointers the optimiser cannot see through, so that no pair of new and
// delete is left out.
bool DeletedBlocksAreFreed() {
  using New = void* (*)(std::size_t);
  using Delete = void (*)(void*);
  using SizedDelete = void (*)(void*, std::size_t);
  New volatile allocate = static_cast<New>(::operator new);
  New volatile allocate_array = static_cast<New>(::operator new[]);
  Delete volatile release = static_cast<Delete>(::operator delete);
  Delete volatile release_array = static_cast<Delete>(::operator delete[]);
  SizedDelete volatile release_sized = static_cast<SizedDelete>(::operator delete);
  SizedDelete volatile release_array_sized = static_cast<SizedDelete>(::operator delete[]);
  const auto freed = [](auto allocate_and_delete) {
    const int before = BusyBlocks();
    for (int i = 0; i < 20; ++i) allocate_and_delete();
    return BusyBlocks() < before + 20;
  };
  return freed([&] { release(allocate(100)); }) &&
         freed([&] { release_array(allocate_array(100)); }) &&
         freed([&] { release_sized(allocate(100), 100); }) &&
         freed([&] { release_array_sized(allocate_array(100), 100); });
}

std::size_t volatile no_more_than_max = std::numeric_limits<std::size_t>::max();
const char* volatile no_string = nullptr;

// Each error the C++ library hands to the runtime's hooks, by the name the
// harness passes.
const std::pair<const char*, void (*)()> kLibraryErrors[] = {
    {"length", [] { std::string().reserve(std::string().max_size() + 1); }},
    {"out-of-range", [] { (void)std::string("x").at(no_more_than_max); }},
    {"logic", [] { (void)std::string(no_string); }},
    {"bad-alloc", [] { (void)std::allocator<int>().allocate(no_more_than_max / 8 + 1); }},
    {"bad-array-new-length", [] { (void)std::allocator<int>().allocate(no_more_than_max / 2); }},
    {"pure-virtual", [] { Derived derived; }},
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The runtime hands WinMain no command line; the process still has one.
  const std::string command_line = GetCommandLineA();
  if (command_line.find("library-error") != std::string::npos) {
    for (const auto& [name, error] : kLibraryErrors) {
      if (command_line.find(std::string("library-error ") + name) != std::string::npos) error();
    }
    return kAllHeld;  // never reached
  }
  if (command_line.find("allocation-failure") != std::string::npos) {
    // More than any heap gives: the runtime ends the process instead of
    // handing back a null pointer.
    const std::size_t volatile too_much = static_cast<std::size_t>(-1) / 2;
    void* volatile block = ::operator new(too_much);
    return block == nullptr ? kFailedAllocationReturned : kAllHeld + 1;
  }
  // The nothrow form hands back null instead of ending the process: the
  // library's temporary buffer (a stable merge's) asks for less on null.
  const std::size_t volatile too_much = static_cast<std::size_t>(-1) / 2;
  if (::operator new(too_much, std::nothrow) != nullptr) return kNothrowAllocationNotNull;
  if (!BlocksHoldWhatWasAsked()) return kBlockTooSmall;
  if (!DeletedBlocksAreFreed()) return kBlocksNotFreed;
  char* first = new char[0];
  char* second = new char[0];
  const bool distinct = first != second;
  delete[] first;
  delete[] second;
  if (!distinct) return kZeroBytesShared;

  for (const auto record : kRecorders) {
    if (atexit(record) != 0) break;
    ++accepted;
  }
  if (accepted != kFreeExitSlots) return kExitListSize;
  return kExitListNeverRan;
}
