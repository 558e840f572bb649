#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jvlink/JvLink.hpp"

namespace tolven {

// How long each answer of the bridge may take, in milliseconds. A call that
// takes longer ends the bridge and fails; nothing waits for ever.
struct BridgeTimeouts {
    int start = 120000;    // the first answer: Wine may be setting up its prefix
    int call = 60000;      // JVInit, JVStatus, JVRead, JVCancel, JVClose, version
    // JVOpen and JVRTOpen talk to the data service, and JV-Link may hold
    // them up with a window of its own until a person answers it: the
    // [JVLink] OpenTimeout setting (link_source.hpp).
    int open = 1800000;
    int dialog = 3600000;  // JVSetUIProperties waits for the person at the dialog
    int shutdown = 5000;   // the bridge's own end after the last call
};

struct BridgeOptions {
    std::filesystem::path bridge;  // tolven-jvbridge.exe
    // The program that runs it: "wine" (looked up in PATH), a path, or empty
    // to run the bridge directly (on Windows).
    std::string wine = "wine";
    // NAME=VALUE entries added to the bridge's environment (WINEPREFIX).
    std::vector<std::string> environment;
    BridgeTimeouts timeouts;
};

// Whether the component can be created, as the start-up check asks.
struct BridgePresence {
    enum class State { Installed, NotInstalled, BridgeFailed };
    State state = State::BridgeFailed;
    // What to show (CP932): the component's not-installed message, or why the
    // bridge could not answer.
    std::string message;
    std::string detail;  // the bridge's own explanation, when it gave one
};

// The real JV-Link component, reached through tolven-jvbridge.exe: a Windows
// console program that creates the component and calls it, run directly on
// Windows or through Wine. One request per call crosses its stdin and one
// answer comes back on its stdout (bridge_protocol.hpp).
//
// When the bridge fails (it cannot start, it ends, it answers out of
// protocol or too late) the call returns kBridgeFailure, and the failure
// reporter gets a text saying what happened. A bridge that ended is started
// again by the next JVInit, JVOpen, JVRTOpen, JVSetUIProperties or version
// request, and the last successful JVInit is repeated in the new one first.
class BridgeJvLink : public JvLink {
  public:
    // "JV-Link 内部エラーが発生しました。" of the open table: below -3, so every
    // reading loop stops on it.
    static constexpr int kBridgeFailure = jv::kInternalError;

    explicit BridgeJvLink(BridgeOptions options);
    ~BridgeJvLink() override;

    // Receives the text (CP932) of each bridge failure once, when it happens.
    using FailureReporter = std::function<void(const std::string&)>;
    void set_failure_reporter(FailureReporter reporter);
    // The text of the last bridge failure, empty when there was none.
    const std::string& last_failure() const;

    // Starts the bridge if needed and has it create and release the
    // component.
    BridgePresence check_presence();

    // The bridge's process id while it runs, else 0.
    int process_id() const;

    int JVInit(std::string_view sid) override;
    int JVSetUIProperties() override;
    int JVOpen(std::string_view dataspec, std::string_view fromtime, int option, int& read_count,
               int& download_count, std::string& last_file_timestamp) override;
    int JVRTOpen(std::string_view dataspec, std::string_view key) override;
    int JVStatus() override;
    int JVRead(std::string& buffer, int& size, std::string& file_name) override;
    int JVCancel() override;
    int JVClose() override;
    // Empty when the bridge cannot tell it.
    std::string version() const override;
    // Ends the bridge under a call that waits for its answer (the call fails
    // without a report: the user asked for it).
    void interrupt() override;

  private:
    class Session;
    std::unique_ptr<Session> session_;
};

}  // namespace tolven
