#include "platform/child_process.hpp"

#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <windows.h>

namespace tolven::platform {
namespace {

using Clock = std::chrono::steady_clock;

DWORD remaining_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<DWORD>(left.count());
}

std::wstring wide_of(const std::string& utf8) {
    if (utf8.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                   nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

std::string message_of(DWORD error) {
    return "Windows error " + std::to_string(error);
}

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds a space, a tab or a quote, with the backslashes
// before a quote doubled.
void append_argument(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') line.append(backslashes * 2 + 1, L'\\');
        else line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring upper_name(const std::wstring& entry) {
    std::wstring name = entry.substr(0, entry.find(L'=', 1));
    for (auto& c : name) c = static_cast<wchar_t>(std::towupper(c));
    return name;
}

// Our environment with the given entries added or replaced (names compare
// without case, as Windows does), as a block for CreateProcessW.
std::wstring environment_block(const std::vector<std::string>& extra) {
    std::vector<std::wstring> added;
    for (const auto& x : extra) added.push_back(wide_of(x));
    std::wstring block;
    if (wchar_t* env = GetEnvironmentStringsW()) {
        for (const wchar_t* e = env; *e != L'\0'; e += std::wcslen(e) + 1) {
            std::wstring entry(e);
            bool replaced = false;
            for (const auto& x : added) {
                if (upper_name(x) == upper_name(entry)) replaced = true;
            }
            if (!replaced) {
                block += entry;
                block += L'\0';
            }
        }
        FreeEnvironmentStringsW(env);
    }
    for (const auto& x : added) {
        block += x;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

// A pipe whose parent end does overlapped I/O (so every wait has a time-out)
// and whose child end is an ordinary inheritable handle. Anonymous pipes
// cannot do overlapped I/O, so it is a named pipe of a unique name.
bool make_pipe(bool parent_reads, HANDLE& parent, HANDLE& child, std::string& error) {
    static std::atomic<unsigned long> counter{0};
    std::wstring name = L"\\\\.\\pipe\\tolven-child-" + std::to_wstring(GetCurrentProcessId()) +
                        L"-" + std::to_wstring(++counter);
    DWORD direction = parent_reads ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND;
    parent = CreateNamedPipeW(name.c_str(),
                              direction | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0,
                              nullptr);
    if (parent == INVALID_HANDLE_VALUE) {
        error = message_of(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    child = CreateFileW(name.c_str(), parent_reads ? GENERIC_WRITE : GENERIC_READ, 0, &inherit,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (child == INVALID_HANDLE_VALUE) {
        error = message_of(GetLastError());
        CloseHandle(parent);
        parent = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

void close_handle(HANDLE& h) {
    if (h != INVALID_HANDLE_VALUE && h != nullptr) CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
}

}  // namespace

struct ChildProcess::State {
    HANDLE process = INVALID_HANDLE_VALUE;
    HANDLE job = INVALID_HANDLE_VALUE;
    DWORD id = 0;
    HANDLE to_child = INVALID_HANDLE_VALUE;
    HANDLE from_child = INVALID_HANDLE_VALUE;
    HANDLE read_event = nullptr;
    HANDLE write_event = nullptr;
    OVERLAPPED read_op{};
    bool read_pending = false;  // an overlapped read into read_buffer is under way
    char read_buffer[65536];
    DWORD exit_code = 0;
    bool ended = false;

    // Waits for the pending read; true with its byte count when it finished.
    bool finish_read(DWORD wait_ms, DWORD& got, bool& broken) {
        broken = false;
        if (WaitForSingleObject(read_event, wait_ms) != WAIT_OBJECT_0) return false;
        read_pending = false;
        if (!GetOverlappedResult(from_child, &read_op, &got, FALSE)) {
            broken = true;
            return true;
        }
        return true;
    }

    void cancel_read() {
        if (!read_pending) return;
        CancelIo(from_child);
        DWORD ignored = 0;
        GetOverlappedResult(from_child, &read_op, &ignored, TRUE);
        read_pending = false;
    }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {
    state_->read_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->write_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

ChildProcess::~ChildProcess() {
    if (running()) kill();
    close_pipes();
    close_handle(state_->process);
    close_handle(state_->job);
    if (state_->read_event) CloseHandle(state_->read_event);
    if (state_->write_event) CloseHandle(state_->write_event);
}

bool ChildProcess::running() const {
    return state_->process != INVALID_HANDLE_VALUE && !state_->ended;
}

long ChildProcess::id() const {
    return static_cast<long>(state_->id);
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment, std::string& error) {
    // Windows reasons come as text only.
    errno = 0;
    if (running()) kill();
    close_pipes();
    close_handle(state_->process);
    close_handle(state_->job);
    state_->ended = false;
    state_->exit_code = 0;
    state_->id = 0;
    if (argv.empty()) {
        error = "no program";
        return false;
    }
    HANDLE child_in = INVALID_HANDLE_VALUE;
    HANDLE child_out = INVALID_HANDLE_VALUE;
    if (!make_pipe(false, state_->to_child, child_in, error)) return false;
    if (!make_pipe(true, state_->from_child, child_out, error)) {
        close_handle(child_in);
        close_pipes();
        return false;
    }
    HANDLE child_err = INVALID_HANDLE_VALUE;
    HANDLE our_err = GetStdHandle(STD_ERROR_HANDLE);
    if (our_err != nullptr && our_err != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), our_err, GetCurrentProcess(), &child_err, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    }

    std::wstring line;
    for (const auto& a : argv) append_argument(line, wide_of(a));
    std::wstring env = environment_block(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = child_err;
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so nothing it starts escapes the job.
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                             CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | CREATE_NO_WINDOW,
                             env.data(), nullptr, &startup, &info);
    DWORD start_error = GetLastError();
    close_handle(child_in);
    close_handle(child_out);
    close_handle(child_err);
    if (!ok) {
        error = message_of(start_error);
        close_pipes();
        return false;
    }
    // A job that ends the child when this process ends, however it ends: the
    // last handle to the job closes with the process.
    state_->job = CreateJobObjectW(nullptr, nullptr);
    if (state_->job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(state_->job, JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
        AssignProcessToJobObject(state_->job, info.hProcess);
    } else {
        state_->job = INVALID_HANDLE_VALUE;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    state_->process = info.hProcess;
    state_->id = info.dwProcessId;
    return true;
}

ChildProcess::Io ChildProcess::write_all(std::string_view bytes, int timeout_ms) {
    HANDLE pipe = state_->to_child;
    if (pipe == INVALID_HANDLE_VALUE) return Io::Closed;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!bytes.empty()) {
        OVERLAPPED op{};
        op.hEvent = state_->write_event;
        ResetEvent(op.hEvent);
        DWORD size = bytes.size() > 65536 ? 65536 : static_cast<DWORD>(bytes.size());
        DWORD done = 0;
        if (!WriteFile(pipe, bytes.data(), size, &done, &op)) {
            DWORD error = GetLastError();
            if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE) return Io::Closed;
            if (error != ERROR_IO_PENDING) return Io::Failed;
            if (WaitForSingleObject(op.hEvent, remaining_ms(deadline)) != WAIT_OBJECT_0) {
                CancelIo(pipe);
                GetOverlappedResult(pipe, &op, &done, TRUE);
                return Io::TimedOut;
            }
            if (!GetOverlappedResult(pipe, &op, &done, FALSE)) {
                error = GetLastError();
                return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ? Io::Closed
                                                                            : Io::Failed;
            }
        }
        bytes.remove_prefix(done);
    }
    return Io::Done;
}

ChildProcess::Io ChildProcess::read_some(char* buffer, std::size_t size, std::size_t& got,
                                         int timeout_ms) {
    got = 0;
    State& s = *state_;
    if (s.from_child == INVALID_HANDLE_VALUE) return Io::Closed;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (!s.read_pending) {
            s.read_op = OVERLAPPED{};
            s.read_op.hEvent = s.read_event;
            ResetEvent(s.read_event);
            DWORD want = size < sizeof s.read_buffer ? static_cast<DWORD>(size)
                                                      : static_cast<DWORD>(sizeof s.read_buffer);
            DWORD done = 0;
            if (ReadFile(s.from_child, s.read_buffer, want, &done, &s.read_op)) {
                // Finished at once; the event is set too, but the count is here.
                if (done == 0) continue;
                std::memcpy(buffer, s.read_buffer, done);
                got = done;
                return Io::Done;
            }
            DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE) return Io::Closed;
            if (error != ERROR_IO_PENDING) return Io::Failed;
            s.read_pending = true;
        }
        // Short slices: a process the child started may hold the pipe open
        // after the child itself ended, so its end is checked directly.
        DWORD left = remaining_ms(deadline);
        DWORD got_now = 0;
        bool broken = false;
        if (s.finish_read(left < 200 ? left : 200, got_now, broken)) {
            if (broken) {
                return GetLastError() == ERROR_BROKEN_PIPE ? Io::Closed : Io::Failed;
            }
            if (got_now == 0) continue;
            std::memcpy(buffer, s.read_buffer, got_now);
            got = got_now;
            return Io::Done;
        }
        if (wait(0)) {
            // Ended: whatever it wrote is in the pipe already.
            DWORD available = 0;
            if (!PeekNamedPipe(s.from_child, nullptr, 0, nullptr, &available, nullptr) ||
                available == 0) {
                if (s.finish_read(0, got_now, broken) && !broken && got_now > 0) {
                    std::memcpy(buffer, s.read_buffer, got_now);
                    got = got_now;
                    return Io::Done;
                }
                return Io::Closed;
            }
        }
        if (remaining_ms(deadline) == 0) return Io::TimedOut;
    }
}

void ChildProcess::close_pipes() {
    state_->cancel_read();
    close_handle(state_->to_child);
    close_handle(state_->from_child);
}

bool ChildProcess::wait(int timeout_ms) {
    State& s = *state_;
    if (s.process == INVALID_HANDLE_VALUE || s.ended) return true;
    if (WaitForSingleObject(s.process, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
        return false;
    }
    GetExitCodeProcess(s.process, &s.exit_code);
    s.ended = true;
    return true;
}

void ChildProcess::kill() {
    State& s = *state_;
    if (s.process == INVALID_HANDLE_VALUE || s.ended) return;
    // The job holds whatever the child started too.
    if (s.job != INVALID_HANDLE_VALUE) TerminateJobObject(s.job, 1);
    TerminateProcess(s.process, 1);
    wait(5000);
}

ChildProcess::Exit ChildProcess::exit_status() const {
    Exit exit;
    if (!state_->ended) return exit;
    exit.kind = Exit::Kind::exited;
    exit.value = static_cast<int>(state_->exit_code);
    return exit;
}

}  // namespace tolven::platform
