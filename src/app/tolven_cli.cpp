// tolven-cli: the core of TOLVEN without windows, for scripting and checks.
#include <cstdio>
#include <cstring>
#include <string>

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: tolven-cli [--base DIR] [--feed DIR] COMMAND ...\n"
        "commands:\n"
        "  version            print the program version\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    std::string command = argv[1];
    if (command == "version") {
        std::puts("TOLVEN Ver.1.30");
        return 0;
    }
    if (command == "--help" || command == "help") {
        usage(stdout);
        return 0;
    }
    std::fprintf(stderr, "tolven-cli: unknown command \"%s\"\n", command.c_str());
    usage(stderr);
    return 2;
}
