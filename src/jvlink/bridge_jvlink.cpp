#include "jvlink/bridge_jvlink.hpp"

#include <atomic>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "platform/utf8_path.hpp"
#include "jvlink/bridge_process.hpp"
#include "jvlink/bridge_protocol.hpp"
#include "jvlink/result_text.hpp"
#include "store/cp932.hpp"

namespace fs = std::filesystem;

namespace tolven {

using bridge::Answer;
using bridge::Op;
using bridge::Outcome;
using bridge::Request;

namespace {

std::string path_text(const fs::path& p) {
    return cp932::from_utf8(path_utf8(p));
}

std::string seconds_text(int ms) {
    return std::to_string((ms + 999) / 1000);
}

bool has_variable(const std::vector<std::string>& entries, const std::string& name) {
    for (const auto& e : entries) {
        if (e.compare(0, name.size() + 1, name + "=") == 0) return true;
    }
    return false;
}

}  // namespace

class BridgeJvLink::Session {
  public:
    explicit Session(BridgeOptions options) : options_(std::move(options)) {}
    ~Session() { shut_down(); }

    FailureReporter reporter;
    std::string last_failure;
    // Set by interrupt() from another thread; cleared when a call begins.
    std::atomic<bool> interrupted{false};

    int pid() const { return started_ && process_.running() ? process_.pid() : 0; }

    BridgePresence presence() {
        BridgePresence result;
        last_failure.clear();
        // The start-up check shows its own message; the reporter is not
        // called for it.
        FailureReporter quiet;
        std::swap(quiet, reporter);
        std::optional<Answer> a;
        if (start() == 0) a = exchange(Request{Op::Presence, 0, {}, {}}, options_.timeouts.call);
        std::swap(quiet, reporter);
        if (a && a->outcome == Outcome::Called && a->code == 0) {
            result.state = BridgePresence::State::Installed;
        } else if (a && a->outcome == Outcome::NotInstalled) {
            result.state = BridgePresence::State::NotInstalled;
            result.message = jvlink_not_installed_message();
            result.detail = a->detail;
        } else if (a) {
            // The bridge answered, but not that the component is there.
            result.message = call_failed_text(Op::Presence, *a);
            result.detail = a->detail;
        } else {
            result.message = last_failure;
        }
        return result;
    }

    // A call of the component; the answer when the component was called,
    // nullopt after a reported failure.
    std::optional<Answer> call(const Request& r, int timeout) {
        std::optional<Answer> a = exchange(r, timeout);
        if (!a) return std::nullopt;
        switch (a->outcome) {
            case Outcome::Called:
                return a;
            case Outcome::NotInstalled:
                fail(jvlink_not_installed_message() + detail_suffix(*a));
                return std::nullopt;
            case Outcome::CallFailed:
                fail(call_failed_text(r.op, *a));
                return std::nullopt;
            case Outcome::BadRequest:
                end_bridge();
                fail(protocol_text(r.op, a->detail));
                return std::nullopt;
        }
        return std::nullopt;
    }

    // Starts the bridge when it is not running, repeating the last successful
    // JVInit in a new one when asked to. 0, the repeated JVInit's code, or
    // kBridgeFailure after a report.
    int start(bool repeat_init = false) {
        if (started_ && process_.running()) return 0;
        end_bridge();
        open_ = false;
        std::error_code error;
        if (!fs::is_regular_file(options_.bridge, error)) {
            fail(sj("JV-Link 中継プログラムが見つかりません：") + path_text(options_.bridge) +
                 sj("\r\n設定ファイル tolven.ini の [JVLink] BridgePath を確かめてください。"));
            return kBridgeFailure;
        }
        std::vector<std::string> argv;
        std::vector<std::string> environment = options_.environment;
        if (!options_.wine.empty()) {
            argv.push_back(options_.wine);
            // Wine's own diagnostics would bury the bridge's messages.
            if (!has_variable(environment, "WINEDEBUG") && std::getenv("WINEDEBUG") == nullptr) {
                environment.push_back("WINEDEBUG=-all");
            }
        }
        argv.push_back(path_utf8(options_.bridge));
        std::string reason;
        if (!process_.start(argv, environment, reason)) {
            std::string key = options_.wine.empty() ? "BridgePath" : "WinePath";
            fail(sj("JV-Link 中継プログラムを起動できません：") + cp932::from_utf8(argv[0]) +
                 sj("（") + cp932::from_utf8(reason) +
                 sj("）\r\n設定ファイル tolven.ini の [JVLink] ") + key +
                 sj(" を確かめてください。"));
            return kBridgeFailure;
        }
        started_ = true;
        std::optional<Answer> hello =
            exchange(Request{Op::Hello, bridge::kProtocolVersion, {}, {}}, options_.timeouts.start);
        if (!hello) return kBridgeFailure;
        if (hello->code != bridge::kProtocolVersion) {
            end_bridge();
            fail(sj("JV-Link 中継プログラムの版が合いません（") + path_text(options_.bridge) +
                 sj("：通信の版 ") + std::to_string(hello->code) + sj("、必要な版 ") +
                 std::to_string(bridge::kProtocolVersion) +
                 sj("）。本ソフトと同じ版の中継プログラムを使ってください。"));
            return kBridgeFailure;
        }
        if (repeat_init && sid_) {
            std::optional<Answer> init =
                call(Request{Op::Init, 0, *sid_, {}}, options_.timeouts.call);
            if (!init) return kBridgeFailure;
            return init->code;
        }
        return 0;
    }

    bool running() const { return started_ && process_.running(); }
    bool open() const { return open_; }
    void set_open(bool open) { open_ = open; }
    const std::optional<std::string>& sid() const { return sid_; }
    void set_sid(std::string sid) { sid_ = std::move(sid); }
    const BridgeTimeouts& timeouts() const { return options_.timeouts; }

    void shut_down() {
        if (!running()) return;
        exchange_quietly(Request{Op::Quit, 0, {}, {}});
        process_.stop(options_.timeouts.shutdown);
        started_ = false;
    }

  private:
    void fail(std::string text) {
        last_failure = text;
        if (reporter) reporter(text);
    }

    void end_bridge() {
        if (process_.running()) process_.kill_now();
        started_ = false;
    }

    static std::string detail_suffix(const Answer& a) {
        if (a.detail.empty()) return {};
        return sj("\r\n（") + a.detail + sj("）");
    }

    static std::string call_failed_text(Op op, const Answer& a) {
        return sj("JV-Link の ") + bridge::op_name(op) + sj(" を呼び出せませんでした。") +
               detail_suffix(a);
    }

    static std::string protocol_text(Op op, const std::string& what) {
        return sj("JV-Link 中継プログラムとの通信が不正です（") + bridge::op_name(op) + sj("：") +
               cp932::from_utf8(what) +
               sj("）。中継プログラムを終了しました。次の取得開始時に起動し直します。");
    }

    // One request and its answer, whatever the outcome; nullopt after a
    // reported failure of the bridge, which is ended then.
    std::optional<Answer> exchange(const Request& r, int timeout) {
        if (!running()) return std::nullopt;
        using Io = BridgeProcess::Io;
        std::string payload;
        Io io;
        try {
            io = process_.write_all(bridge::encode_request(r), timeout);
            if (io == Io::Done) io = process_.read_payload(payload, timeout, &interrupted);
        } catch (const bridge::ProtocolError& e) {
            end_bridge();
            fail(protocol_text(r.op, e.what()));
            return std::nullopt;
        }
        if (io == Io::Interrupted) {
            // The user cancelled the call; that needs no report.
            end_bridge();
            last_failure = sj("JV-Link の ") + bridge::op_name(r.op) +
                           sj(" を中止しました。中継プログラムを終了しました。次の取得開始時に"
                              "起動し直します。");
            return std::nullopt;
        }
        if (io == Io::TimedOut && (r.op == Op::Open || r.op == Op::RTOpen)) {
            end_bridge();
            fail(sj("JV-Link が ") + bridge::op_name(r.op) + sj(" に ") + seconds_text(timeout) +
                 sj(" 秒以内に応答しませんでした。JV-Link が自分のウィンドウで答えを待っていた"
                    "かもしれません。中継プログラムを終了しました。待つ時間は設定ファイル "
                    "tolven.ini の [JVLink] OpenTimeout（秒）で変えられます。"));
            return std::nullopt;
        }
        if (io == Io::TimedOut) {
            end_bridge();
            fail(sj("JV-Link 中継プログラムが ") + bridge::op_name(r.op) + sj(" に ") +
                 seconds_text(timeout) +
                 sj(" 秒以内に応答しませんでした。中継プログラムを終了しました。次の取得開始時に"
                    "起動し直します。"));
            return std::nullopt;
        }
        if (io != Io::Done) {
            std::string how = process_.exit_description(2000);
            end_bridge();
            if (r.op == Op::Hello) {
                fail(sj("JV-Link 中継プログラムが起動直後に終了しました（") + how + sj("）：") +
                     path_text(options_.bridge) +
                     (options_.wine.empty()
                          ? std::string()
                          : sj("\r\nWine とその設定（WINEPREFIX）を確かめてください。")));
            } else {
                fail(sj("JV-Link 中継プログラムが ") + bridge::op_name(r.op) +
                     sj(" の途中で終了しました（") + how +
                     sj("）。次の取得開始時に起動し直します。"));
            }
            return std::nullopt;
        }
        Answer a;
        try {
            a = bridge::decode_answer_payload(payload);
        } catch (const bridge::ProtocolError& e) {
            end_bridge();
            fail(protocol_text(r.op, e.what()));
            return std::nullopt;
        }
        if (a.op != r.op) {
            end_bridge();
            fail(protocol_text(r.op, std::string("answer to ") + bridge::op_name(a.op)));
            return std::nullopt;
        }
        return a;
    }

    void exchange_quietly(const Request& r) {
        FailureReporter quiet;
        std::swap(quiet, reporter);
        std::string failure = last_failure;
        exchange(r, options_.timeouts.shutdown);
        last_failure = failure;
        std::swap(quiet, reporter);
    }

    BridgeOptions options_;
    BridgeProcess process_;
    bool started_ = false;
    bool open_ = false;
    std::optional<std::string> sid_;
};

BridgeJvLink::BridgeJvLink(BridgeOptions options)
    : session_(std::make_unique<Session>(std::move(options))) {}

BridgeJvLink::~BridgeJvLink() = default;

void BridgeJvLink::set_failure_reporter(FailureReporter reporter) {
    session_->reporter = std::move(reporter);
}

const std::string& BridgeJvLink::last_failure() const {
    return session_->last_failure;
}

BridgePresence BridgeJvLink::check_presence() {
    session_->interrupted = false;
    return session_->presence();
}

int BridgeJvLink::process_id() const {
    return session_->pid();
}

int BridgeJvLink::JVInit(std::string_view sid) {
    session_->interrupted = false;
    if (session_->start() != 0) return kBridgeFailure;
    auto a = session_->call(Request{Op::Init, 0, std::string(sid), {}}, session_->timeouts().call);
    if (!a) return kBridgeFailure;
    if (a->code == 0) session_->set_sid(std::string(sid));
    return a->code;
}

int BridgeJvLink::JVSetUIProperties() {
    session_->interrupted = false;
    int started = session_->start(true);
    if (started != 0) return started;
    auto a = session_->call(Request{Op::SetUIProperties, 0, {}, {}}, session_->timeouts().dialog);
    return a ? a->code : kBridgeFailure;
}

int BridgeJvLink::JVOpen(std::string_view dataspec, std::string_view fromtime, int option,
                         int& read_count, int& download_count, std::string& last_file_timestamp) {
    session_->interrupted = false;
    read_count = 0;
    download_count = 0;
    last_file_timestamp.clear();
    int started = session_->start(true);
    if (started != 0) return started;
    auto a = session_->call(Request{Op::Open, option, std::string(dataspec), std::string(fromtime)},
                            session_->timeouts().open);
    if (!a) return kBridgeFailure;
    read_count = a->read_count;
    download_count = a->download_count;
    last_file_timestamp = a->text;
    if (a->code == 0) session_->set_open(true);
    return a->code;
}

int BridgeJvLink::JVRTOpen(std::string_view dataspec, std::string_view key) {
    session_->interrupted = false;
    int started = session_->start(true);
    if (started != 0) return started;
    auto a = session_->call(Request{Op::RTOpen, 0, std::string(dataspec), std::string(key)},
                            session_->timeouts().open);
    if (!a) return kBridgeFailure;
    if (a->code == 0) session_->set_open(true);
    return a->code;
}

namespace {

// What a reading call returns when no bridge runs: the component's own codes
// when nothing was opened, a failure when the bridge ended while open (that
// was reported when it happened).
int without_bridge(bool initialised, bool open) {
    if (open) return BridgeJvLink::kBridgeFailure;
    return initialised ? jv::kNotOpened : jv::kNotInitialised;
}

}  // namespace

int BridgeJvLink::JVStatus() {
    session_->interrupted = false;
    if (!session_->running()) return without_bridge(session_->sid().has_value(), session_->open());
    auto a = session_->call(Request{Op::Status, 0, {}, {}}, session_->timeouts().call);
    return a ? a->code : kBridgeFailure;
}

int BridgeJvLink::JVRead(std::string& buffer, int& size, std::string& file_name) {
    session_->interrupted = false;
    if (!session_->running()) return without_bridge(session_->sid().has_value(), session_->open());
    auto a = session_->call(Request{Op::Read, size, {}, {}}, session_->timeouts().call);
    if (!a) return kBridgeFailure;
    size = a->size;
    if (a->code > 0) buffer = std::move(a->text);
    file_name = std::move(a->file_name);
    return a->code;
}

int BridgeJvLink::JVCancel() {
    session_->interrupted = false;
    if (!session_->running()) return 0;
    auto a = session_->call(Request{Op::Cancel, 0, {}, {}}, session_->timeouts().call);
    return a ? a->code : kBridgeFailure;
}

int BridgeJvLink::JVClose() {
    session_->interrupted = false;
    if (!session_->running()) {
        // The component that was open ended with its bridge: nothing is left
        // to close.
        session_->set_open(false);
        return session_->sid() ? jv::kOk : jv::kNotInitialised;
    }
    auto a = session_->call(Request{Op::Close, 0, {}, {}}, session_->timeouts().call);
    session_->set_open(false);
    return a ? a->code : kBridgeFailure;
}

std::string BridgeJvLink::version() const {
    session_->interrupted = false;
    if (session_->start(true) != 0) return {};
    auto a = session_->call(Request{Op::Version, 0, {}, {}}, session_->timeouts().call);
    return a ? a->text : std::string();
}

void BridgeJvLink::interrupt() {
    session_->interrupted = true;
}

}  // namespace tolven
