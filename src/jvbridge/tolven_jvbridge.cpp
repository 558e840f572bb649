// tolven-jvbridge: holds the JV-Link COM component for TOLVEN, which may run
// on Linux, and calls it on TOLVEN's behalf. Requests arrive on stdin and
// answers leave on stdout, in the frames of jvlink/bridge_protocol.hpp.
//
// The component is reached through late-bound IDispatch (JvLinkDispatch, the
// same code the in-process ComJvLink uses): strings cross as CP932, so a
// record reaches TOLVEN as the bytes of one JV record with its CR LF.
//
// The main thread is a single-threaded apartment, as an ActiveX control
// expects, and keeps dispatching window messages while it waits for the next
// request (a reader thread waits on stdin), so a component that works through
// its own hidden windows or timers keeps working between calls.
// windows.h comes before the other Windows headers.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "jvlink/bridge_protocol.hpp"
#include "jvlink/jvlink_dispatch.hpp"

namespace {

using namespace tolven::bridge;
using tolven::JvLinkDispatch;

#ifdef _WIN64
const char kBuild[] = "tolven-jvbridge x86_64";
#else
const char kBuild[] = "tolven-jvbridge i686";
#endif

class Server {
  public:
    Answer handle(const std::string& payload, bool& quit) {
        Answer a;
        Request r;
        try {
            r = decode_request_payload(payload);
        } catch (const ProtocolError& e) {
            if (!payload.empty()) a.op = static_cast<Op>(payload[0]);
            a.outcome = Outcome::BadRequest;
            a.detail = e.what();
            return a;
        }
        a.op = r.op;
        switch (r.op) {
            case Op::Hello:
                a.code = kProtocolVersion;
                a.text = kBuild;
                return a;
            case Op::Presence:
                if (!JvLinkDispatch::probe(a.detail)) {
                    a.outcome = Outcome::NotInstalled;
                    return a;
                }
                a.code = 0;
                return a;
            case Op::Quit:
                component_.release();
                quit = true;
                return a;
            default:
                break;
        }
        if (!component_.exists()) {
            // Nothing was created, so nothing is open or initialised: these
            // need no instance, and a missing component was already told.
            switch (r.op) {
                case Op::Cancel:
                    a.code = 0;
                    return a;
                case Op::Close:
                case Op::Status:
                case Op::Read:
                    a.code = -201;
                    return a;
                default:
                    break;
            }
        }
        if (!component_.ensure(a.detail)) {
            a.outcome = Outcome::NotInstalled;
            return a;
        }
        if (!call(r, a)) a.outcome = Outcome::CallFailed;
        return a;
    }

  private:
    bool call(const Request& r, Answer& a) {
        int code = 0;
        bool ok = false;
        switch (r.op) {
            case Op::Init:
                ok = component_.init(r.first, code, a.detail);
                break;
            case Op::SetUIProperties:
                ok = component_.set_ui_properties(code, a.detail);
                break;
            case Op::Open: {
                int read_count = 0;
                int download_count = 0;
                ok = component_.open(r.first, r.second, r.number, code, read_count,
                                     download_count, a.text, a.detail);
                a.read_count = read_count;
                a.download_count = download_count;
                break;
            }
            case Op::RTOpen:
                ok = component_.rt_open(r.first, r.second, code, a.detail);
                break;
            case Op::Status:
                ok = component_.status(code, a.detail);
                break;
            case Op::Read: {
                int size = r.number;
                std::string record;
                ok = component_.read(record, size, a.file_name, code, a.detail);
                a.size = size;
                if (ok && code > 0) a.text = std::move(record);
                break;
            }
            case Op::Cancel:
                ok = component_.cancel(code, a.detail);
                break;
            case Op::Close:
                ok = component_.close(code, a.detail);
                break;
            case Op::Version:
                return component_.version(a.text, a.detail);
            default:
                a.detail = "no such operation";
                return false;
        }
        a.code = code;
        return ok;
    }

    JvLinkDispatch component_;
};

// Requests read from stdin by their own thread, so the main thread can keep
// dispatching window messages while it waits.
struct Inbox {
    CRITICAL_SECTION lock;
    HANDLE arrived = nullptr;
    std::deque<std::string> frames;
    bool closed = false;
};

bool read_exactly(HANDLE in, char* data, DWORD n) {
    while (n > 0) {
        DWORD got = 0;
        if (!ReadFile(in, data, n, &got, nullptr) || got == 0) return false;
        data += got;
        n -= got;
    }
    return true;
}

DWORD WINAPI read_requests(void* context) {
    auto* inbox = static_cast<Inbox*>(context);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        char prefix[4];
        std::string payload;
        bool ok = read_exactly(in, prefix, 4);
        if (ok) {
            try {
                payload.resize(frame_length(prefix));
            } catch (const ProtocolError&) {
                ok = false;  // out of step: nothing after this can be trusted
            }
        }
        if (ok && !payload.empty())
            ok = read_exactly(in, payload.data(), static_cast<DWORD>(payload.size()));
        EnterCriticalSection(&inbox->lock);
        if (ok) {
            inbox->frames.push_back(std::move(payload));
        } else {
            inbox->closed = true;
        }
        LeaveCriticalSection(&inbox->lock);
        SetEvent(inbox->arrived);
        if (!ok) return 0;
    }
}

bool write_all(HANDLE out, const std::string& bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD wrote = 0;
        if (!WriteFile(out, p, static_cast<DWORD>(left), &wrote, nullptr) || wrote == 0) {
            return false;
        }
        p += wrote;
        left -= wrote;
    }
    return true;
}

}  // namespace

int main() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;

    Inbox inbox;
    InitializeCriticalSection(&inbox.lock);
    inbox.arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE reader = CreateThread(nullptr, 0, read_requests, &inbox, 0, nullptr);
    if (inbox.arrived == nullptr || reader == nullptr) return 2;

    int status = 0;
    {
        Server server;
        bool quit = false;
        while (!quit) {
            DWORD woke = MsgWaitForMultipleObjects(1, &inbox.arrived, FALSE, INFINITE, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0 + 1) {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
                continue;
            }
            if (woke != WAIT_OBJECT_0) {
                status = 3;
                break;
            }
            std::deque<std::string> frames;
            bool closed = false;
            EnterCriticalSection(&inbox.lock);
            frames.swap(inbox.frames);
            closed = inbox.closed;
            LeaveCriticalSection(&inbox.lock);
            for (const auto& payload : frames) {
                Answer a = server.handle(payload, quit);
                if (!write_all(out, encode_answer(a))) {
                    quit = true;
                    status = 4;
                }
                if (quit) break;
            }
            if (closed) quit = true;
        }
    }  // the component is released here, before COM ends
    CoUninitialize();
    // The reader may still be blocked on stdin; ending the process ends it.
    ExitProcess(static_cast<UINT>(status));
}
