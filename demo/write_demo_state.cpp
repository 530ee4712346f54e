// write_demo_state OUT CAPTION START_URL: writes the demo control's saved
// state (the test controls' state format) to OUT, for "opftool create
// --contents". Arguments are taken as ANSI text. Exit status 0 on success,
// 1 when OUT cannot be written, 2 on wrong usage.
#include <cstdio>
#include <fstream>
#include <string>

#include <windows.h>

#include "test_control_state.h"

namespace {

std::wstring Widen(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_demo_state OUT CAPTION START_URL\n");
        return 2;
    }
    test_controls::ControlState state;
    state.caption = Widen(argv[2]);
    state.startRequestUrl = Widen(argv[3]);
    state.startRequestId = 1;
    const std::string bytes = test_controls::EncodeControlState(state);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "write_demo_state: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
