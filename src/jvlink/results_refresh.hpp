#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "jvlink/JvLink.hpp"
#include "jvlink/filing.hpp"
#include "jvlink/import.hpp"

namespace tolven {

// What the results refresh asks of its caller.
struct RefreshHost {
    std::function<void()> beep;
    std::function<void()> process_events;
    // The "結果情報" button: enabled, with the normal cursor, or disabled with
    // the hourglass.
    std::function<void(bool busy)> set_busy;
    // Reloads the selected day from the rewritten files.
    std::function<void()> reload;
    // JVRTOpen has been waiting `seconds` (JV-Link may wait for a person in
    // a window of its own, see open_wait_notice); 0 when it returned after
    // that. May be empty.
    std::function<void(int seconds)> open_waiting = {};
};

struct RefreshResult {
    bool ran = false;       // false when the day had no usable key
    int records_filed = 0;  // records read and filed
    int rejected = 0;       // malformed records not filed
    // CP932: why the open or the reading failed (not "no data"), with the
    // component's detail; empty when it did not fail. The refresh itself
    // shows nothing; a caller that can report it does.
    std::string error;
};

// Fetches the realtime results of the loaded day (its first race record's
// date) and rewrites the day files with them, then reloads the day.
//
// A cancel left over from an earlier import does not block the refresh: the
// flag is cleared when it starts, and only a cancel during the refresh stops
// its reading.
//
// The refresh is the base folder's one writer while it runs: StoreBusy (with
// the folder) when an import or another refresh is running. The files it
// changes are replaced together when the reading ends; an error (FileError)
// leaves the store as it was, and is rethrown after the reload.
RefreshResult refresh_results(JvLink& link, const DataStore& store, CancelFlag& cancel,
                              std::string_view first_race_record, const RefreshHost& host);

}  // namespace tolven
