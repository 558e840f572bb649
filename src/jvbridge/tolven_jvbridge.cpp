// tolven-jvbridge: holds the JV-Link COM component for TOLVEN, which may run
// on Linux, and calls it on TOLVEN's behalf. Requests arrive on stdin and
// answers leave on stdout, in the frames of jvlink/bridge_protocol.hpp.
//
// The component is reached only through late-bound IDispatch: its ProgID, the
// names of its operations and the kinds of their arguments are all it needs.
// Strings go in as BSTR converted from CP932 and come out converted back to
// CP932 (code page 932), so a record reaches TOLVEN as the bytes of one JV
// record with its CR LF.
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

namespace {

using namespace tolven::bridge;

const wchar_t kProgId[] = L"JVDTLab.JVLink";
constexpr UINT kCodePage = 932;

#ifdef _WIN64
const char kBuild[] = "tolven-jvbridge x86_64";
#else
const char kBuild[] = "tolven-jvbridge i686";
#endif

std::wstring to_wide(const std::string& text) {
    if (text.empty()) return {};
    int n =
        MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string to_cp932(const wchar_t* wide, std::size_t length) {
    if (wide == nullptr || length == 0) return {};
    int n = WideCharToMultiByte(kCodePage, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                                nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(kCodePage, 0, wide, static_cast<int>(length), text.data(), n, nullptr,
                        nullptr);
    return text;
}

std::string from_bstr(BSTR b) {
    return b == nullptr ? std::string() : to_cp932(b, SysStringLen(b));
}

// A record ends in CR LF; NULs after it (a string sized to a buffer rather
// than to the record) are not part of it.
std::string record_text(BSTR b) {
    if (b == nullptr) return {};
    std::size_t n = SysStringLen(b);
    while (n > 0 && b[n - 1] == L'\0') --n;
    return to_cp932(b, n);
}

std::string hresult_text(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    std::string text = code;
    wchar_t* message = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (n > 0 && message != nullptr) {
        std::string said = to_cp932(message, n);
        while (!said.empty() &&
               (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) {
            said.pop_back();
        }
        if (!said.empty()) text += " " + said;
    }
    if (message != nullptr) LocalFree(message);
    return text;
}

// A BSTR owned here; also the target of a by-reference argument.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(const std::string& cp932) {
        std::wstring wide = to_wide(cp932);
        b_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return b_; }
    BSTR* out() { return &b_; }
    std::string text() const { return from_bstr(b_); }

  private:
    BSTR b_ = nullptr;
};

VARIANT in_text(const Bstr& b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = b.get();  // still owned by b: the callee does not free in-arguments
    return v;
}

VARIANT in_long(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

VARIANT out_text(Bstr& b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = b.out();
    return v;
}

VARIANT out_long(LONG* n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_I4;
    v.plVal = n;
    return v;
}

// The one component instance and its dispatch identifiers.
class Component {
  public:
    ~Component() { release(); }

    // Creates an instance by ProgID; false with the reason.
    static bool create_instance(IDispatch** dispatch, std::string& why) {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
        if (FAILED(hr)) {
            why = "JVDTLab.JVLink is not registered (CLSIDFromProgID: " + hresult_text(hr) + ")";
            return false;
        }
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(dispatch));
        if (FAILED(hr)) {
            why =
                "JVDTLab.JVLink could not be created (CoCreateInstance: " + hresult_text(hr) + ")";
            if (hr == REGDB_E_CLASSNOTREG) {
                why += sizeof(void*) == 8
                           ? "; a 32-bit component needs the 32-bit bridge (jvbridge/win32)"
                           : "; a 64-bit component needs the 64-bit bridge (jvbridge/win64)";
            }
            return false;
        }
        return true;
    }

    bool exists() const { return dispatch_ != nullptr; }

    bool ensure(std::string& why) {
        if (dispatch_ != nullptr) return true;
        return create_instance(&dispatch_, why);
    }

    void release() {
        if (dispatch_ != nullptr) dispatch_->Release();
        dispatch_ = nullptr;
        ids_.clear();
    }

    // Calls `name` with the arguments in their declared order. The result is
    // left in *result; false with the reason when the call did not happen.
    bool invoke(const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result,
                std::string& why) {
        DISPID id;
        auto known = ids_.find(name);
        if (known != ids_.end()) {
            id = known->second;
        } else {
            LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
            HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
            if (FAILED(hr)) {
                why = "the component has no " + to_cp932(name, wcslen(name)) + " (" +
                      hresult_text(hr) + ")";
                return false;
            }
            ids_[name] = id;
        }
        // IDispatch takes the arguments last first.
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{};
        params.rgvarg = reversed.empty() ? nullptr : reversed.data();
        params.cArgs = static_cast<UINT>(reversed.size());
        EXCEPINFO exception{};
        UINT bad_argument = 0;
        HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                       &exception, &bad_argument);
        if (SUCCEEDED(hr)) return true;
        why = to_cp932(name, wcslen(name)) + " failed: " + hresult_text(hr);
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
            if (exception.bstrDescription != nullptr) {
                why += " (" + from_bstr(exception.bstrDescription) + ")";
            }
            if (exception.scode != 0) why += " [" + hresult_text(exception.scode) + "]";
        } else if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) {
            // Arguments are counted from the last one.
            why += " (argument " + std::to_string(reversed.size() - bad_argument) + ")";
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        return false;
    }

  private:
    IDispatch* dispatch_ = nullptr;
    std::map<std::wstring, DISPID> ids_;
};

// A method's return value as the status code. A method without one (VT_EMPTY)
// counts as 0.
bool code_of(VARIANT& result, std::int32_t& code, std::string& why) {
    if (result.vt == VT_EMPTY) {
        code = 0;
        return true;
    }
    if (FAILED(VariantChangeType(&result, &result, 0, VT_I4))) {
        why = "the return value is not a number (type " + std::to_string(result.vt) + ")";
        return false;
    }
    code = result.lVal;
    return true;
}

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
            case Op::Presence: {
                IDispatch* probe = nullptr;
                if (!Component::create_instance(&probe, a.detail)) {
                    a.outcome = Outcome::NotInstalled;
                    return a;
                }
                probe->Release();
                a.code = 0;
                return a;
            }
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
    bool method(const wchar_t* name, std::vector<VARIANT> args, Answer& a) {
        VARIANT result;
        VariantInit(&result);
        bool ok = component_.invoke(name, DISPATCH_METHOD, std::move(args), &result, a.detail) &&
                  code_of(result, a.code, a.detail);
        VariantClear(&result);
        return ok;
    }

    bool call(const Request& r, Answer& a) {
        switch (r.op) {
            case Op::Init: {
                Bstr sid(r.first);
                return method(L"JVInit", {in_text(sid)}, a);
            }
            case Op::SetUIProperties:
                return method(L"JVSetUIProperties", {}, a);
            case Op::Open: {
                Bstr dataspec(r.first);
                Bstr fromtime(r.second);
                LONG read_count = 0;
                LONG download_count = 0;
                Bstr last_file_timestamp;
                bool ok = method(
                    L"JVOpen",
                    {in_text(dataspec), in_text(fromtime), in_long(r.number), out_long(&read_count),
                     out_long(&download_count), out_text(last_file_timestamp)},
                    a);
                a.read_count = read_count;
                a.download_count = download_count;
                a.text = last_file_timestamp.text();
                return ok;
            }
            case Op::RTOpen: {
                Bstr dataspec(r.first);
                Bstr key(r.second);
                return method(L"JVRTOpen", {in_text(dataspec), in_text(key)}, a);
            }
            case Op::Status:
                return method(L"JVStatus", {}, a);
            case Op::Read: {
                Bstr buffer;
                LONG size = r.number;
                Bstr file_name;
                bool ok =
                    method(L"JVRead", {out_text(buffer), out_long(&size), out_text(file_name)}, a);
                a.size = size;
                if (ok && a.code > 0) a.text = record_text(buffer.get());
                a.file_name = file_name.text();
                return ok;
            }
            case Op::Cancel:
                return method(L"JVCancel", {}, a);
            case Op::Close:
                return method(L"JVClose", {}, a);
            case Op::Version: {
                VARIANT result;
                VariantInit(&result);
                bool ok = component_.invoke(L"m_JVLinkVersion", DISPATCH_PROPERTYGET, {}, &result,
                                            a.detail);
                if (ok && FAILED(VariantChangeType(&result, &result, 0, VT_BSTR))) {
                    a.detail = "the version is not a text";
                    ok = false;
                }
                if (ok) a.text = from_bstr(result.bstrVal);
                VariantClear(&result);
                return ok;
            }
            default:
                a.detail = "no such operation";
                return false;
        }
    }

    Component component_;
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
