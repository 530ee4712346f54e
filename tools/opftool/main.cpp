// opftool: makes and inspects object property files for page authors.
#include <exception>
#include <iostream>

#include "framework/unique_resource.h"
#include "opftool/commands.h"

int main(int argc, char** argv) {
    fw::ScopedCoInitialize com;
    if (!com.succeeded()) {
        std::cerr << "opftool: COM could not be initialised\n";
        return opftool::kExitFailure;
    }
    try {
        return opftool::RunOpftool(opftool::Arguments(argv + 1, argv + argc), std::cout,
                                   std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "opftool: " << error.what() << "\n";
        return opftool::kExitFailure;
    }
}
