#include "platform/child_process.hpp"

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

extern char** environ;

namespace tolven::platform {
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

struct ChildProcess::State {
    pid_t pid = -1;
    int to_child = -1;
    int from_child = -1;
    int status = 0;
    bool reaped = false;
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
    if (running()) kill();
    close_pipes();
}

bool ChildProcess::running() const {
    return state_->pid > 0 && !state_->reaped;
}

long ChildProcess::id() const {
    return state_->pid;
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment, std::string& error) {
    if (running()) kill();
    close_pipes();
    *state_ = State{};
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
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
        error = std::strerror(rc);
        errno = rc;
        ::close(in[1]);
        ::close(out[0]);
        return false;
    }
    state_->pid = pid;
    state_->to_child = in[1];
    state_->from_child = out[0];
    fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
    fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
    return true;
}

ChildProcess::Io ChildProcess::write_all(std::string_view bytes, int timeout_ms) {
    int fd = state_->to_child;
    if (fd < 0) return Io::Closed;
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
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
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
        pollfd p{fd, POLLOUT, 0};
        int ready = ::poll(&p, 1, remaining_ms(deadline));
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

ChildProcess::Io ChildProcess::read_some(char* buffer, std::size_t size, std::size_t& got,
                                         int timeout_ms) {
    got = 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int fd = state_->from_child;
        if (fd < 0) return Io::Closed;
        ssize_t n = ::read(fd, buffer, size);
        if (n > 0) {
            got = static_cast<std::size_t>(n);
            return Io::Done;
        }
        if (n == 0) return Io::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return Io::Failed;
        if (state_->reaped) return Io::Closed;  // gone, and everything it wrote is read
        int left = remaining_ms(deadline);
        if (left == 0) return Io::TimedOut;
        // Short slices: a process the child started (such as a server of
        // Wine) may hold the pipe open after the child itself died, so the end
        // of the child is also checked directly.
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, left < 200 ? left : 200);
        if (ready < 0 && errno != EINTR) return Io::Failed;
        if (ready == 0) wait(0);
    }
}

void ChildProcess::close_pipes() {
    if (state_->to_child >= 0) ::close(state_->to_child);
    if (state_->from_child >= 0) ::close(state_->from_child);
    state_->to_child = -1;
    state_->from_child = -1;
}

bool ChildProcess::wait(int timeout_ms) {
    if (state_->pid <= 0 || state_->reaped) return true;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(state_->pid, &status, WNOHANG);
        if (r == state_->pid || (r < 0 && errno == ECHILD)) {
            state_->status = status;
            state_->reaped = true;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::kill() {
    if (state_->pid <= 0 || state_->reaped) return;
    ::kill(state_->pid, SIGKILL);
    wait(5000);
}

ChildProcess::Exit ChildProcess::exit_status() const {
    Exit exit;
    if (!state_->reaped) return exit;
    int status = state_->status;
    if (WIFEXITED(status)) {
        exit.kind = Exit::Kind::exited;
        exit.value = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exit.kind = Exit::Kind::signalled;
        exit.value = WTERMSIG(status);
    } else {
        exit.value = status;
    }
    return exit;
}

}  // namespace tolven::platform
