#include "jvlink/bridge_process.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "store/cp932.hpp"
#include "store/error_text.hpp"

extern char** environ;

namespace tolven {
namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::string variable_name(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// Our environment with the given entries added or replaced.
std::vector<std::string> child_environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const auto& x : extra) {
            if (variable_name(x) == variable_name(entry)) replaced = true;
        }
        if (!replaced) env.push_back(std::move(entry));
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

BridgeProcess::~BridgeProcess() {
    if (running()) kill_now();
}

bool BridgeProcess::start(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment, std::string& error) {
    if (running()) kill_now();
    reader_ = bridge::FrameReader();
    reaped_ = false;
    exit_status_ = 0;
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        error = error_reason(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = error_reason(errno);
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    // The child starts with default signal handling, whatever ours is.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    // A process group of its own: Ctrl-C at the terminal is the user's
    // cancel of the import, meant for this program, not the end of the child.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = child_environment(environment);
    std::vector<char*> c_args = c_strings(args);
    std::vector<char*> c_env = c_strings(env);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, c_args[0], &actions, &attributes, c_args.data(), c_env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    if (rc != 0) {
        error = error_reason(rc);
        ::close(in[1]);
        ::close(out[0]);
        return false;
    }
    pid_ = pid;
    to_child_ = in[1];
    from_child_ = out[0];
    fcntl(to_child_, F_SETFL, fcntl(to_child_, F_GETFL) | O_NONBLOCK);
    fcntl(from_child_, F_SETFL, fcntl(from_child_, F_GETFL) | O_NONBLOCK);
    return true;
}

BridgeProcess::Io BridgeProcess::write_all(std::string_view bytes, int timeout_ms) {
    if (to_child_ < 0) return Io::Closed;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    // A write to a pipe nobody reads raises SIGPIPE, which would end this
    // program; blocked here, it turns into EPIPE, and a SIGPIPE left pending
    // by the write is taken back before the mask is restored.
    sigset_t pipe_signal;
    sigset_t old_mask;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &old_mask);
    Io result = Io::Done;
    while (!bytes.empty()) {
        ssize_t n = ::write(to_child_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EPIPE) {
            struct timespec zero {};
            sigtimedwait(&pipe_signal, nullptr, &zero);
            result = Io::Closed;
            break;
        }
        if (n < 0 && errno != EAGAIN) {
            result = Io::Failed;
            break;
        }
        pollfd p{to_child_, POLLOUT, 0};
        int left = remaining_ms(deadline);
        int ready = ::poll(&p, 1, left);
        if (ready == 0) {
            result = Io::TimedOut;
            break;
        }
        if (ready < 0 && errno != EINTR) {
            result = Io::Failed;
            break;
        }
    }
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    return result;
}

BridgeProcess::Io BridgeProcess::read_payload(std::string& payload, int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (auto next = reader_.next()) {
            payload = std::move(*next);
            return Io::Done;
        }
        if (from_child_ < 0) return Io::Closed;
        char buffer[65536];
        ssize_t n = ::read(from_child_, buffer, sizeof buffer);
        if (n > 0) {
            reader_.feed(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) return Io::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return Io::Failed;
        if (reaped_) return Io::Closed;  // gone, and everything it wrote is read
        pollfd p{from_child_, POLLIN, 0};
        int left = remaining_ms(deadline);
        if (left == 0) return Io::TimedOut;
        // Short slices: a process the child started (such as a server of
        // Wine) may hold the pipe open after the child itself died, so the end
        // of the child is also checked directly.
        int ready = ::poll(&p, 1, left < 200 ? left : 200);
        if (ready < 0 && errno != EINTR) return Io::Failed;
        if (ready == 0) reap(0);
    }
}

void BridgeProcess::close_pipes() {
    if (to_child_ >= 0) ::close(to_child_);
    if (from_child_ >= 0) ::close(from_child_);
    to_child_ = -1;
    from_child_ = -1;
}

bool BridgeProcess::reap(int timeout_ms) {
    if (pid_ <= 0 || reaped_) return true;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            exit_status_ = status;
            reaped_ = true;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void BridgeProcess::stop(int timeout_ms) {
    if (pid_ <= 0) return;
    close_pipes();
    if (!reap(timeout_ms)) {
        ::kill(pid_, SIGKILL);
        reap(5000);
    }
    pid_ = -1;
}

void BridgeProcess::kill_now() {
    if (pid_ <= 0) return;
    close_pipes();
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        reap(5000);
    }
    pid_ = -1;
}

std::string BridgeProcess::exit_description(int timeout_ms) {
    if (pid_ > 0 && !reaped_) {
        close_pipes();
        if (!reap(timeout_ms)) return sj("終了を確認できません");
    }
    if (WIFEXITED(exit_status_))
        return sj("終了コード ") + std::to_string(WEXITSTATUS(exit_status_));
    if (WIFSIGNALED(exit_status_)) return sj("シグナル ") + std::to_string(WTERMSIG(exit_status_));
    return sj("終了状態 ") + std::to_string(exit_status_);
}

}  // namespace tolven
