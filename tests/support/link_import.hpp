#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "jvlink/JvLink.hpp"
#include "jvlink/import.hpp"
#include "store/date_time.hpp"

namespace tolven::testing {

// Every file of the store areas (Data, SEI, SEIR) of base: its path relative
// to base and its bytes.
std::map<std::string, std::string> store_snapshot(const std::filesystem::path& base);

// The information every start of an import shows first.
std::string import_start_notice();

// A host that shows nothing but keeps each message it was given and the
// number of built-data lines; process_events runs `on_events` when set.
class RecordingImportHost : public SilentImportHost {
  public:
    std::vector<std::string> messages;
    std::function<void()> on_events;

    void show_information(const std::string& text) override { messages.push_back(text); }
    void process_events() override {
        if (on_events) on_events();
    }
};

// "データ取込み開始" through `link` into the store of base, at the time now,
// with the status polled until the download is done. False when the import
// reported a failure.
bool import_through(JvLink& link, const std::filesystem::path& base, const DateTime& now,
                    ImportHost& host);

}  // namespace tolven::testing
