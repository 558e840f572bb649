#include "jvlink/results_refresh.hpp"

#include <optional>

#include "jvlink/open_wait.hpp"
#include "jvlink/result_text.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"

namespace tolven {

RefreshResult refresh_results(JvLink& link, const DataStore& store, CancelFlag& cancel,
                              std::string_view first_race_record, const RefreshHost& host) {
    RefreshResult result;
    host.set_busy(true);
    std::string key = std::string(field_text(first_race_record, header::year)) +
                      std::string(field_text(first_race_record, header::month_day));
    if (lenient_int(key) <= 0) {
        host.set_busy(false);
        return result;
    }
    // The refresh is the base folder's one writer while it runs.
    std::optional<StoreWriter> writer;
    try {
        writer.emplace(store);
    } catch (...) {
        host.set_busy(false);
        throw;
    }
    result.ran = true;
    host.process_events();
    cancel.set = false;

    RecordFiler filer(*writer);
    auto close = [&] {
        if (link.JVClose() == 0) host.beep();
    };
    auto failure = [&](const char* operation, int r) {
        std::string text = sj(operation) + sj("エラー:") + jv_result_text(operation, r);
        std::string detail = link.error_detail();
        return detail.empty() ? text : text + "\r\n" + detail;
    };
    try {
        // The open runs on a thread of its own: JV-Link may wait for a person
        // in a window of its own, and the caller's window stays responsive.
        int opened = run_open(
            link, [&] { return link.JVRTOpen("0B12", key); },
            OpenWaitHost{host.process_events, host.open_waiting, [&cancel] { return cancel.set; }});
        if (opened != jv::kOk && opened != jv::kNothingNewer) result.error = failure("JVRTOpen", opened);
        if (opened == jv::kOk) {
            int size = jv::kReadBufferSize;
            std::string record;
            std::string file_name;
            for (;;) {
                host.process_events();
                if (cancel.set) break;
                int r = link.JVRead(record, size, file_name);
                if (r > 0) {
                    filer.file_refresh(record, file_name);
                    ++result.records_filed;
                } else if (r == 0) {
                    break;
                } else if (jv::read_failed(r)) {
                    result.error = failure("JVRead", r);
                    break;
                }
            }
        }
        close();
        // Every file the refresh changed, replaced together.
        writer->commit();
    } catch (...) {
        // The second close below runs whatever happened; the error itself is
        // reported by the caller after the reload.
        host.process_events();
        close();
        result.rejected = filer.rejected_count();
        host.reload();
        host.set_busy(false);
        throw;
    }
    host.process_events();
    close();
    result.records_filed -= filer.rejected_count();
    result.rejected = filer.rejected_count();
    host.reload();
    host.set_busy(false);
    return result;
}

}  // namespace tolven
