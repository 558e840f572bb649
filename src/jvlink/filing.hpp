#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_store.hpp"
#include "store/store_writer.hpp"

namespace tolven {

// Files the records that JV-Link delivers into the store, by the filing rules
// of the import and of the results refresh.
class RecordFiler {
  public:
    using Sink = std::function<StoreOutcome(StoreFile, std::string_view)>;

    // Files record by record, straight into the store's files.
    explicit RecordFiler(const DataStore& store)
        : sink_([&store](StoreFile where, std::string_view record) {
              return store.store(where, record);
          }) {}
    // Files through the import's writer.
    explicit RecordFiler(StoreWriter& writer)
        : sink_([&writer](StoreFile where, std::string_view record) {
              return writer.store(where, record);
          }) {}
    explicit RecordFiler(Sink sink) : sink_(std::move(sink)) {}

    // The import's filing of one record (CP932, with its CR LF) read from
    // feed_file, with threshold date T (YYYYMMDD). Returns the lines for the
    // built-data list ("作成済み:..." per store write, "取込み不可:..." for a
    // malformed record, which is not filed). Throws FileError on a file error.
    std::vector<std::string> file_import(std::string_view record, int threshold_date,
                                         std::string_view feed_file);

    // The results refresh's filing of one record: payouts, races and runners
    // into the day files, without category or date filter. Returns the lines
    // of malformed records that were not filed.
    std::vector<std::string> file_refresh(std::string_view record, std::string_view feed_file);

    // Records not filed because they were malformed, since construction.
    int rejected_count() const { return rejected_; }
    // For each line the last file_import returned: true when its change was
    // held by the writer (StoreOutcome::held), so that it is done only once
    // the run ends complete.
    const std::vector<bool>& held() const { return held_; }

  private:
    // Why a delivered record cannot be filed at all (length, line breaks, key
    // fields), or "" when it can.
    std::string problem(std::string_view record) const;
    std::string rejection_line(const std::string& reason, std::string_view feed_file);
    // Stores and returns the built-data line, or the rejection line.
    std::string store(StoreFile where, std::string_view record, const std::string& label,
                      std::string_view feed_file);

    Sink sink_;
    int rejected_ = 0;
    std::vector<bool> held_;
};

}  // namespace tolven
