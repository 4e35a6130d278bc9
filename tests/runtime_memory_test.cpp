// The executables' own memory functions (platform/runtime/), built here
// under other names, held against the C library's.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

extern "C" {
void* runtime_memcpy(void* to, const void* from, std::size_t count);
void* runtime_memmove(void* to, const void* from, std::size_t count);
void* runtime_memset(void* to, int value, std::size_t count);
int runtime_memcmp(const void* a, const void* b, std::size_t count);
void* runtime_memchr(const void* text, int value, std::size_t count);
std::size_t runtime_strlen(const char* text);
}

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(RuntimeMemoryFunctions, CompareAndSearchAsTheCLibraryDoes) {
  struct Case {
    std::string a;
    std::string b;
  };
  // Equal, a difference in the first, a middle and the last byte, bytes
  // above 0x7F (compared unsigned), embedded NULs, and nothing at all.
  const Case cases[] = {
      {"system.ini", "system.ini"},
      {"aystem.ini", "system.ini"},
      {"sysxem.ini", "system.ini"},
      {"system.inj", "system.ini"},
      {"system.inh", "system.ini"},
      {"\x80", "\x7f"},
      {std::string("a\0b", 3), std::string("a\0c", 3)},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(std::memcmp(c.a.data(), c.b.data(), c.a.size())),
              Sign(runtime_memcmp(c.a.data(), c.b.data(), c.a.size())))
        << c.a << " / " << c.b;
    EXPECT_EQ(Sign(std::memcmp(c.b.data(), c.a.data(), c.a.size())),
              Sign(runtime_memcmp(c.b.data(), c.a.data(), c.a.size())))
        << c.b << " / " << c.a;
    for (const char wanted : {'i', 'm', '\0', '\x7f', '\x80', 'z'}) {
      EXPECT_EQ(std::memchr(c.a.data(), wanted, c.a.size()),
                runtime_memchr(c.a.data(), wanted, c.a.size()))
          << c.a << " holding " << static_cast<int>(wanted);
    }
  }
  for (const char* text : {"", "a", "system.ini", "\xff\x80"}) {
    EXPECT_EQ(std::strlen(text), runtime_strlen(text)) << text;
  }
}

TEST(RuntimeMemoryFunctions, CopyMoveAndFillAsTheCLibraryDoes) {
  const std::string original = "0123456789abcdefghij";
  struct Case {
    size_t to;
    size_t from;
    size_t count;
  };
  // Apart, overlapping forwards and backwards, in place, and nothing.
  const Case moves[] = {{10, 0, 5}, {2, 0, 10}, {0, 2, 10}, {4, 4, 6}, {3, 7, 0}, {1, 0, 19}};
  for (const auto& c : moves) {
    std::string expected = original;
    std::memmove(&expected[c.to], &expected[c.from], c.count);
    std::string moved = original;
    EXPECT_EQ(&moved[c.to], runtime_memmove(&moved[c.to], &moved[c.from], c.count));
    EXPECT_EQ(expected, moved) << c.to << " " << c.from << " " << c.count;
  }
  std::string copied(original.size(), '.');
  EXPECT_EQ(&copied[0], runtime_memcpy(&copied[0], original.data(), original.size()));
  EXPECT_EQ(original, copied);
  std::string filled = original;
  EXPECT_EQ(&filled[3], runtime_memset(&filled[3], 0x1a5, 4));
  EXPECT_EQ(
      "012\xa5\xa5\xa5\xa5"
      "789abcdefghij",
      filled);
}

}  // namespace
