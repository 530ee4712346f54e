// The standard library's error helpers, for the DLL only. The library's own
// copies live in one object together with every standard exception class,
// their reference-counted strings and the formatting behind them: the first
// vector or string that can report a length error brought about 80 KB into
// the DLL. Here a length or range error is a fault of the plug-in's own code,
// and every entry point, COM method and window procedure catches it as it
// catches any exception, so a plain std::exception with the library's message
// serves; running out of memory stays std::bad_alloc.
#include <bits/functexcept.h>

#include <exception>
#include <new>

namespace {

class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* what) noexcept : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;  // the library's messages are literals
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char* what) { throw LibraryError(what); }
void __throw_logic_error(const char* what) { throw LibraryError(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }

}  // namespace std
