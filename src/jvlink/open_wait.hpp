#pragma once

#include <functional>
#include <string>

#include "jvlink/JvLink.hpp"

namespace tolven {

// JV-Link may show windows of its own during an open (a new version to
// install, notices, terms to accept) and not return until a person answers
// them, which can take many minutes. An open therefore runs on a thread of
// its own while the caller's thread keeps its events going, so its window
// stays responsive and its cancel button works. TOLVEN never answers those
// windows for the user.

// After this many seconds of waiting the caller says that JV-Link may be
// waiting for an answer in its own window.
inline constexpr int kOpenNoticeSeconds = 3;

// What the caller's thread does while the open runs.
struct OpenWaitHost {
    // Lets pending events run; called about every 20 ms.
    std::function<void()> process_events;
    // The open has run `seconds` (kOpenNoticeSeconds or more, once a second);
    // 0 when it returned after a notice. May be empty.
    std::function<void(int seconds)> waiting;
    // True once the user cancelled; the component is then asked to give the
    // open up (JvLink::interrupt) until it returns.
    std::function<bool()> cancelled;
};

// Runs `open` (a JVOpen or JVRTOpen of `link`) on a thread of its own and
// waits for it as above; its return code. An exception of the open is
// rethrown here. While it runs, link.open_pending() is true: nothing else may
// call the component then.
int run_open(JvLink& link, const std::function<int()>& open, const OpenWaitHost& host);

// The notice of an open that has been waiting `seconds` (CP932).
std::string open_wait_notice(int seconds);

}  // namespace tolven
