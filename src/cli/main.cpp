// Entry point of q3d.
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return ivo::runQ3d(args, std::cout, std::cerr);
}
