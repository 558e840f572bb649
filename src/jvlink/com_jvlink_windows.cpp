// ComJvLink: the JV-Link component loaded into this program (Windows only).
// windows.h comes before the other Windows headers.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include "jvlink/com_jvlink.hpp"
#include "jvlink/jvlink_dispatch.hpp"
#include "jvlink/result_text.hpp"
#include "store/cp932.hpp"

namespace tolven {
namespace {

// Win32's own threads and locks: this file does not depend on the thread
// model the C++ library was built with.
class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

class Locked {
  public:
    explicit Locked(CriticalSection& section) : section_(section) { section_.lock(); }
    ~Locked() { section_.unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    CriticalSection& section_;
};

// Signalled once a posted task has run.
class Done {
  public:
    Done() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Done() { CloseHandle(event_); }
    Done(const Done&) = delete;
    Done& operator=(const Done&) = delete;
    void set() { SetEvent(event_); }
    // True when set within timeout_ms.
    bool wait(DWORD timeout_ms) { return WaitForSingleObject(event_, timeout_ms) == WAIT_OBJECT_0; }

  private:
    HANDLE event_;
};

// One thread in a single-threaded apartment that runs the component's calls
// in turn and dispatches window messages between them, as an ActiveX control
// expects of the thread that created it.
class ApartmentThread {
  public:
    ApartmentThread() : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        thread_ = CreateThread(nullptr, 0, &ApartmentThread::main, this, 0, nullptr);
    }
    ~ApartmentThread() {
        {
            Locked hold(lock_);
            quit_ = true;
        }
        SetEvent(wake_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(wake_);
    }
    ApartmentThread(const ApartmentThread&) = delete;
    ApartmentThread& operator=(const ApartmentThread&) = delete;

    // Runs the task on the thread; the result is set once it has run.
    std::shared_ptr<Done> post(std::function<void()> task) {
        auto done = std::make_shared<Done>();
        {
            Locked hold(lock_);
            tasks_.push_back([task = std::move(task), done] {
                task();
                done->set();
            });
        }
        SetEvent(wake_);
        return done;
    }

  private:
    static DWORD WINAPI main(void* self) {
        static_cast<ApartmentThread*>(self)->run();
        return 0;
    }

    void run() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (;;) {
            std::deque<std::function<void()>> ready;
            {
                Locked hold(lock_);
                if (quit_ && tasks_.empty()) break;
                ready.swap(tasks_);
            }
            for (auto& task : ready) task();
            if (!ready.empty()) continue;
            DWORD woke = MsgWaitForMultipleObjects(1, &wake_, FALSE, INFINITE, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0 + 1) {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
            }
        }
        CoUninitialize();
    }

    HANDLE wake_;
    HANDLE thread_ = nullptr;
    CriticalSection lock_;
    std::deque<std::function<void()>> tasks_;
    bool quit_ = false;
};

// What one call left behind, shared by the caller and the apartment: a caller
// that gave the call up (time-out, cancel) leaves before it ends.
struct CallState {
    CriticalSection lock;
    bool finished = false;
    bool abandoned = false;
    bool called = false;
    int code = 0;
    std::string why;
};

class ComJvLink : public JvLink {
  public:
    explicit ComJvLink(int open_timeout_ms)
        : open_timeout_ms_(open_timeout_ms), apartment_(std::make_unique<ApartmentThread>()) {}

    ~ComJvLink() override {
        if (busy_) {
            // A call JV-Link never returned from (its window still waits for
            // a person): the apartment cannot be ended, and the program's end
            // takes it down.
            static_cast<void>(apartment_.release());
            static_cast<void>(component_.release());
            return;
        }
        apartment_->post([this] { component_->release(); })->wait(INFINITE);
    }

    // Whether the component can be created here; the reason when not.
    bool probe(std::string& why, bool& other_architecture) {
        bool created = false;
        apartment_
            ->post([&] {
                created = JvLinkDispatch::probe(why);
                other_architecture =
                    !created && JvLinkDispatch::registered_only_for_other_architecture();
            })
            ->wait(INFINITE);
        return created;
    }

    int JVInit(std::string_view sid) override {
        std::string text(sid);
        return run("JVInit", false, [this, text](int& code, std::string& why) {
            return component_->init(text, code, why);
        });
    }
    int JVSetUIProperties() override {
        return run("JVSetUIProperties", false, [this](int& code, std::string& why) {
            return component_->set_ui_properties(code, why);
        });
    }
    int JVOpen(std::string_view dataspec, std::string_view fromtime, int option, int& read_count,
               int& download_count, std::string& last_file_timestamp) override {
        read_count = 0;
        download_count = 0;
        last_file_timestamp.clear();
        // The outputs go through the call's own copies: a caller that gave
        // the open up no longer owns its variables when it ends.
        auto outputs = std::make_shared<std::tuple<int, int, std::string>>();
        std::string data_kind(dataspec);
        std::string from(fromtime);
        int r =
            run("JVOpen", true, [this, data_kind, from, option, outputs](int& code, std::string& why) {
                return component_->open(data_kind, from, option, code, std::get<0>(*outputs),
                                        std::get<1>(*outputs), std::get<2>(*outputs), why);
            });
        read_count = std::get<0>(*outputs);
        download_count = std::get<1>(*outputs);
        last_file_timestamp = std::get<2>(*outputs);
        return r;
    }
    int JVRTOpen(std::string_view dataspec, std::string_view key) override {
        std::string data_kind(dataspec);
        std::string k(key);
        return run("JVRTOpen", true, [this, data_kind, k](int& code, std::string& why) {
            return component_->rt_open(data_kind, k, code, why);
        });
    }
    int JVStatus() override {
        return run("JVStatus", false,
                   [this](int& code, std::string& why) { return component_->status(code, why); });
    }
    int JVRead(std::string& buffer, int& size, std::string& file_name) override {
        auto outputs = std::make_shared<std::tuple<std::string, int, std::string>>(
            std::string(), size, std::string());
        int r = run("JVRead", false, [this, outputs](int& code, std::string& why) {
            return component_->read(std::get<0>(*outputs), std::get<1>(*outputs),
                                    std::get<2>(*outputs), code, why);
        });
        if (r > 0) buffer = std::move(std::get<0>(*outputs));
        size = std::get<1>(*outputs);
        file_name = std::move(std::get<2>(*outputs));
        return r;
    }
    int JVCancel() override {
        return run("JVCancel", false,
                   [this](int& code, std::string& why) { return component_->cancel(code, why); });
    }
    int JVClose() override {
        return run("JVClose", false,
                   [this](int& code, std::string& why) { return component_->close(code, why); });
    }
    std::string version() const override {
        auto text = std::make_shared<std::string>();
        auto* self = const_cast<ComJvLink*>(this);
        int r = self->run("m_JVLinkVersion", false, [self, text](int& code, std::string& why) {
            code = 0;
            return self->component_->version(*text, why);
        });
        return r == 0 ? *text : std::string();
    }
    std::string error_detail() const override {
        Locked hold(detail_lock_);
        return detail_;
    }
    void interrupt() override { interrupted_ = true; }

  private:
    using Call = std::function<bool(int& code, std::string& why)>;

    void set_detail(std::string text) {
        Locked hold(detail_lock_);
        detail_ = std::move(text);
    }

    // Runs the call on the apartment. An open waits up to the open time-out
    // and gives up at once when interrupted; the component's call then goes
    // on, and an open that ends up opened is closed, so the next start does
    // not meet "still open".
    int run(const char* name, bool open, Call call) {
        if (busy_) {
            set_detail(
                sj("JV-Link はまだ前の呼び出しから戻っていません（JV-Link のウィンドウが"
                   "答えを待っているかもしれません）。"));
            return jv::kInternalError;
        }
        interrupted_ = false;
        busy_ = true;
        auto state = std::make_shared<CallState>();
        std::shared_ptr<Done> done = apartment_->post([this, state, call, open] {
            std::string why;
            int code = 0;
            bool called = component_->ensure(why) && call(code, why);
            Locked hold(state->lock);
            state->finished = true;
            state->called = called;
            state->code = code;
            state->why = why;
            if (state->abandoned && open && called && code == 0) {
                int closed = 0;
                std::string ignored;
                component_->close(closed, ignored);
            }
            busy_ = false;
        });
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(open_timeout_ms_);
        while (!done->wait(100)) {
            if (!open) continue;
            bool late = std::chrono::steady_clock::now() >= deadline;
            if (!late && !interrupted_) continue;
            Locked hold(state->lock);
            if (state->finished) break;
            state->abandoned = true;
            if (late) {
                set_detail(sj("JV-Link が ") + name + sj(" に ") +
                           std::to_string((open_timeout_ms_ + 999) / 1000) +
                           sj(" 秒以内に応答しませんでした。JV-Link が自分のウィンドウで答えを待っ"
                              "ているかもしれません。待つ時間は設定ファイル tolven.ini の "
                              "[JVLink] OpenTimeout（秒）で変えられます。"));
            } else {
                set_detail(sj("JV-Link の ") + name + sj(" を中止しました。"));
            }
            return jv::kInternalError;
        }
        Locked hold(state->lock);
        if (!state->called) {
            set_detail(sj("JV-Link の ") + name + sj(" を呼び出せませんでした。（") + state->why +
                       sj("）"));
            return jv::kInternalError;
        }
        set_detail({});
        return state->code;
    }

    int open_timeout_ms_;
    // Used on the apartment's thread only.
    std::unique_ptr<JvLinkDispatch> component_ = std::make_unique<JvLinkDispatch>();
    std::unique_ptr<ApartmentThread> apartment_;
    std::atomic<bool> busy_{false};
    std::atomic<bool> interrupted_{false};
    mutable CriticalSection detail_lock_;
    std::string detail_;
};

}  // namespace

ComLinkOpening open_com_jvlink(int open_timeout_seconds) {
    ComLinkOpening result;
    auto link = std::make_unique<ComJvLink>(open_timeout_seconds * 1000);
    bool other_architecture = false;
    if (!link->probe(result.detail, other_architecture)) {
        if (other_architecture) {
            result.message =
                sj("このプログラムは ") + std::to_string(sizeof(void*) * 8) +
                sj(" ビット版で、登録されている JV-Link は ") +
                std::to_string(sizeof(void*) == 8 ? 32 : 64) +
                sj(" ビット版です。JV-Link を直接読み込めるのは同じビット数のプログラムだけです。"
                   "設定ファイル tolven.ini の [JVLink] Source=bridge にして、JV-Link "
                   "と同じビット数の"
                   "中継プログラム（32 ビットの JV-Link 4.x には "
                   "jvbridge/win32/tolven-jvbridge.exe）"
                   "を使ってください。");
        } else {
            result.message = jvlink_not_installed_message();
            result.not_installed = true;
        }
        return result;
    }
    result.link = std::move(link);
    return result;
}

}  // namespace tolven
