#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/bridge_protocol.hpp"
#include "platform/child_process.hpp"

namespace tolven {

// A child process whose stdin and stdout are pipes to this one, with every
// wait bounded by a time-out. Used for the JV-Link bridge; its stderr goes
// where ours goes.
class BridgeProcess {
  public:
    using Io = platform::ChildProcess::Io;

    BridgeProcess() = default;
    ~BridgeProcess();
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    // Starts argv[0] (looked up in PATH when it holds no "/") with our
    // environment plus the NAME=VALUE entries of `environment`, which replace
    // variables of the same name. False with a reason when it cannot start.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               std::string& error);

    // Started and not yet stopped (it may have ended meanwhile).
    bool running() const { return started_; }
    long pid() const { return started_ ? child_.id() : -1; }

    // Writes the bytes whole. A child that stopped reading gives Closed, never
    // a SIGPIPE.
    Io write_all(std::string_view bytes, int timeout_ms);
    // Reads the next whole frame's payload. Interrupted, within a fifth of a
    // second, once *stop is true (set from another thread).
    Io read_payload(std::string& payload, int timeout_ms,
                    const std::atomic<bool>* stop = nullptr);

    // Closes the child's stdin (which asks it to end) and waits up to
    // timeout_ms for it; then kills it. Reaps it either way.
    void stop(int timeout_ms);
    // Kills the child at once and reaps it.
    void kill_now();
    // How the child ended, for messages ("終了コード 3", "シグナル 9"); it is
    // reaped first, waiting up to timeout_ms. CP932 text.
    std::string exit_description(int timeout_ms);

  private:
    platform::ChildProcess child_;
    bool started_ = false;
    bridge::FrameReader reader_;
};

}  // namespace tolven
