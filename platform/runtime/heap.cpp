// operator new and delete on the process heap, in place of the C++ runtime's
// (which go through msvcrt's malloc). The program's code never checks for a
// null pointer, so an allocation that fails ends the process instead of
// returning one; only the nothrow form, which the library checks, returns
// null.

#include <cstddef>
#include <new>

#include "platform/runtime/runtime.h"
#include "platform/win32_values.h"

namespace {

void* Allocate(std::size_t size) {
  // A zero-byte request must still give a distinct pointer.
  return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void Release(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void* AllocateOrEnd(std::size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) RuntimeFailure();
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrEnd(size); }
void* operator new[](std::size_t size) { return AllocateOrEnd(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
