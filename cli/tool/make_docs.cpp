// Writes one of the texts the build installs beside the program:
// make_docs bash|zsh|man FILE.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "cli/docs.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_docs bash|zsh|man FILE\n");
        return 2;
    }
    std::string text;
    if (std::strcmp(argv[1], "bash") == 0) text = ferro::cli::BashCompletion();
    else if (std::strcmp(argv[1], "zsh") == 0) text = ferro::cli::ZshCompletion();
    else if (std::strcmp(argv[1], "man") == 0) text = ferro::cli::ManPage();
    else return 2;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    return out.good() ? 0 : 1;
}
