#include "jvlink/bridge_process.hpp"

#include <cerrno>
#include <chrono>

#include "store/cp932.hpp"
#include "store/error_text.hpp"

namespace tolven {
namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

BridgeProcess::~BridgeProcess() {
    if (running()) kill_now();
}

bool BridgeProcess::start(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment, std::string& error) {
    if (running()) kill_now();
    reader_ = bridge::FrameReader();
    started_ = child_.start(argv, environment, error);
    if (!started_ && errno != 0) error = error_reason(errno);
    return started_;
}

BridgeProcess::Io BridgeProcess::write_all(std::string_view bytes, int timeout_ms) {
    if (!started_) return Io::Closed;
    return child_.write_all(bytes, timeout_ms);
}

BridgeProcess::Io BridgeProcess::read_payload(std::string& payload, int timeout_ms,
                                              const std::atomic<bool>* stop) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (auto next = reader_.next()) {
            payload = std::move(*next);
            return Io::Done;
        }
        if (!started_) return Io::Closed;
        char buffer[65536];
        if (stop != nullptr && stop->load()) return Io::Interrupted;
        int left = remaining_ms(deadline);
        if (left == 0) return Io::TimedOut;
        // Short slices, so that a stop asked from another thread is seen
        // within a fifth of a second.
        std::size_t got = 0;
        Io io = child_.read_some(buffer, sizeof buffer, got, left < 200 ? left : 200);
        if (io == Io::TimedOut) continue;
        if (io != Io::Done) return io;
        reader_.feed(buffer, got);
    }
}

void BridgeProcess::stop(int timeout_ms) {
    if (!started_) return;
    child_.close_pipes();
    if (!child_.wait(timeout_ms)) child_.kill();
    started_ = false;
}

void BridgeProcess::kill_now() {
    if (!started_) return;
    child_.close_pipes();
    child_.kill();
    started_ = false;
}

std::string BridgeProcess::exit_description(int timeout_ms) {
    if (started_) {
        child_.close_pipes();
        if (!child_.wait(timeout_ms)) return sj("終了を確認できません");
    }
    auto exit = child_.exit_status();
    using Kind = platform::ChildProcess::Exit::Kind;
    if (exit.kind == Kind::exited) return sj("終了コード ") + std::to_string(exit.value);
    if (exit.kind == Kind::signalled) return sj("シグナル ") + std::to_string(exit.value);
    return sj("終了状態 ") + std::to_string(exit.value);
}

}  // namespace tolven
