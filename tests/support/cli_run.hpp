#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.hpp"

namespace tolven::testing {

// What a run of a command-line program gave.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` with the arguments (UTF-8, quoted by the caller for sh) and
// collects its exit status, standard output and standard error through two
// files in dir, which are removed again. A program ended by a signal gives -1.
inline CliRun run_cli(const std::string& program, const std::filesystem::path& dir,
                      const std::string& arguments) {
    std::filesystem::path out = dir / "cli.out", err = dir / "cli.err";
    std::string command =
        program + " " + arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
    CliRun run;
    int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_bytes(out);
    run.err = read_bytes(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

}  // namespace tolven::testing
