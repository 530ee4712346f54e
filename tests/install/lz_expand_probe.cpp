// lz_expand_probe IN OUT: expands IN into OUT through the platform's LZ
// service exactly as the plug-in places a control file; exit 0 on success.
// The SZDD interoperability test drives it.
#include <cstdio>

#include "install/control_placement.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: lz_expand_probe IN OUT\n", stderr);
        return 2;
    }
    return install::ExpandLzFile(argv[1], argv[2]) ? 0 : 1;
}
