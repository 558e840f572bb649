#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "jvlink/JvLink.hpp"

namespace tolven::testing {

// A scripted JV-Link: each operation returns the next scripted result, so a
// test can produce every return code in any order. Calls are logged.
class FakeJvLink : public JvLink {
  public:
    struct Read {
        int code;
        std::string record;  // for code > 0
        std::string file;
    };

    // JVOpen
    int open_result = 0;
    int read_count = 0;
    int download_count = 0;
    std::string last_file_timestamp;
    // JVRTOpen
    int rt_open_result = 0;
    std::deque<int> statuses;  // JVStatus results in turn (the last one repeats)
    std::deque<Read> reads;    // JVRead results in turn; 0 when exhausted
    int close_result = 0;
    int set_ui_result = 0;
    std::vector<std::string> calls;
    // JVOpen and JVRTOpen take this long, as when JV-Link waits for a person
    // in a window of its own; an interrupt ends the wait and the open
    // returns -401.
    int open_delay_ms = 0;
    std::atomic<int> interrupts{0};

    static Read record(std::string r, std::string file = "feed.txt") {
        int size = static_cast<int>(r.size());
        return Read{size, std::move(r), std::move(file)};
    }

    int JVInit(std::string_view sid) override {
        calls.push_back("JVInit " + std::string(sid));
        return 0;
    }
    int JVSetUIProperties() override {
        calls.push_back("JVSetUIProperties");
        return set_ui_result;
    }
    int JVOpen(std::string_view dataspec, std::string_view fromtime, int option, int& rc, int& dc,
               std::string& last) override {
        calls.push_back("JVOpen " + std::string(dataspec) + " " + std::string(fromtime) + " " +
                        std::to_string(option));
        rc = read_count;
        dc = download_count;
        last = last_file_timestamp;
        return wait_for_open() ? open_result : -401;
    }
    int JVRTOpen(std::string_view dataspec, std::string_view key) override {
        calls.push_back("JVRTOpen " + std::string(dataspec) + " " + std::string(key));
        return wait_for_open() ? rt_open_result : -401;
    }
    void interrupt() override { ++interrupts; }

    // False when interrupted.
    bool wait_for_open() {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(open_delay_ms);
        interrupts = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (interrupts > 0) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    int JVStatus() override {
        calls.push_back("JVStatus");
        if (statuses.empty()) return 0;
        int n = statuses.front();
        if (statuses.size() > 1) statuses.pop_front();
        return n;
    }
    int JVRead(std::string& buffer, int& size, std::string& file) override {
        calls.push_back("JVRead " + std::to_string(size));
        if (reads.empty()) return 0;
        Read r = reads.front();
        reads.pop_front();
        if (r.code > 0) buffer = r.record;
        file = r.file;
        return r.code;
    }
    int JVCancel() override {
        calls.push_back("JVCancel");
        return 0;
    }
    int JVClose() override {
        calls.push_back("JVClose");
        return close_result;
    }
    std::string version() const override { return "0490"; }
    std::string detail;  // what error_detail() says
    std::string error_detail() const override { return detail; }
};

}  // namespace tolven::testing
