// lz_expand_probe IN OUT: expands IN into OUT through the platform's LZ
// service exactly as the plug-in places a control file; exit 0 on success.
// The SZDD interoperability test drives it.
#include <cstdio>
#include <string>

#include "install/control_placement.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: lz_expand_probe IN OUT\n", stderr);
        return 2;
    }
    const auto wide = [](const char* text) {
        wchar_t buffer[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, MAX_PATH);
        return std::wstring(buffer);
    };
    return install::ExpandLzFile(wide(argv[1]), wide(argv[2])) ? 0 : 1;
}
