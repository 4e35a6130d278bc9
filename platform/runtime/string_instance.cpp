// std::string's members that the library's headers leave to the C++
// runtime (declared there as an extern template), compiled here with the
// program's own flags instead: no exceptions, and for the 32-bit program
// only 80386 instructions.

#include <string>

template class std::basic_string<char>;
