// The C library's memory and string functions that the compiler and the
// library's headers call, in place of msvcrt.dll's (which Windows 95 as
// first shipped lacks). Plain byte loops: the program's strings are small.
// This file is compiled with -fno-builtin and without loop-pattern
// detection, so that the compiler does not turn these loops back into calls
// to the functions they define.

#include <cstddef>

extern "C" {

void* memcpy(void* to, const void* from, std::size_t count) {
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  while (count-- != 0) *out++ = *in++;
  return to;
}

void* memmove(void* to, const void* from, std::size_t count) {
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  if (out < in) {
    while (count-- != 0) *out++ = *in++;
  } else {
    // Backwards, so that an overlapping source is read before it is written.
    while (count-- != 0) out[count] = in[count];
  }
  return to;
}

void* memset(void* to, int value, std::size_t count) {
  auto* out = static_cast<unsigned char*>(to);
  while (count-- != 0) *out++ = static_cast<unsigned char>(value);
  return to;
}

int memcmp(const void* a, const void* b, std::size_t count) {
  const auto* left = static_cast<const unsigned char*>(a);
  const auto* right = static_cast<const unsigned char*>(b);
  for (; count != 0; --count, ++left, ++right) {
    if (*left != *right) return *left < *right ? -1 : 1;
  }
  return 0;
}

void* memchr(const void* text, int value, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(text);
  for (; count != 0; --count, ++in) {
    if (*in == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(in);
  }
  return nullptr;
}

std::size_t strlen(const char* text) {
  const char* end = text;
  while (*end != '\0') ++end;
  return static_cast<std::size_t>(end - text);
}

}  // extern "C"
