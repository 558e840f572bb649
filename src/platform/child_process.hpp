#pragma once

// A child process whose standard input and output are pipes to this one, with
// every wait bounded by a time-out; its standard error goes where ours goes.
// One POSIX side (posix_spawn, poll) and one Windows side (CreateProcessW,
// overlapped pipes, a job object that ends the child with this process).

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolven::platform {

class ChildProcess {
  public:
    enum class Io { Done, TimedOut, Closed, Failed, Interrupted };
    // How the child ended.
    struct Exit {
        enum class Kind { exited, signalled, unknown } kind = Kind::unknown;
        int value = 0;  // the exit code or the signal
    };

    ChildProcess();
    ~ChildProcess();  // kills a running child
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (looked up in PATH when it names no folder) with our
    // environment plus the NAME=VALUE entries of `environment`, which replace
    // variables of the same name. False with a reason when it cannot start,
    // and errno the POSIX error number of it (0 where there is none).
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               std::string& error);
    bool running() const;
    long id() const;

    // Writes the bytes whole. A child that stopped reading gives Closed (never
    // a SIGPIPE).
    Io write_all(std::string_view bytes, int timeout_ms);
    // Reads what the child wrote, at least one byte (Done, with `got`); Closed
    // once the child closed its output or ended and everything is read.
    Io read_some(char* buffer, std::size_t size, std::size_t& got, int timeout_ms);

    // Closes both pipes; closing its input asks a well-behaved child to end.
    void close_pipes();
    // Waits up to timeout_ms for the child to end (and reaps it): true when
    // it has ended.
    bool wait(int timeout_ms);
    // Ends the child at once and reaps it.
    void kill();
    // Valid once wait() returned true.
    Exit exit_status() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tolven::platform
