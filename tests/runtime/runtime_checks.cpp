// Checks the program's own runtime (platform/runtime/) where only Windows can:
// built with it like DriverRemoval.exe and run under Wine, which reports the
// exit status. Wine's heap would hide a block one byte short or one never
// freed, so the heap itself is asked.
//
//   runtime_checks.exe                  exit status 0 when every check holds
//   runtime_checks.exe library-error    a library error: exit status 3

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

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
  ExitProcess(ran_count == accepted ? kAllHeld : kExitListOrder);
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

// Deleted blocks go back to the heap.
bool DeletedBlocksAreFreed() {
  const int before = BusyBlocks();
  for (int i = 0; i < 20; ++i) {
    delete[] new char[100];
    ::operator delete(::operator new(100));
  }
  return BusyBlocks() < before + 20;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The runtime hands WinMain no command line; the process still has one.
  if (std::string(GetCommandLineA()).find("library-error") != std::string::npos) {
    std::string text;
    text.reserve(text.max_size() + 1);  // the library's length error
    return kAllHeld;                    // never reached
  }
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
