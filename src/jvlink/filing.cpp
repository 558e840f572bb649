#include "jvlink/filing.hpp"

#include "platform/utf8_path.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"

namespace tolven {
namespace {

bool is_final(std::string_view category) {
    return category == "7" || category == "A" || category == "B";
}

// A UTF-8 byte order mark before a record hides its kind; JV-Data is CP932
// and has none, so such a record is reported instead of passed over.
bool behind_a_bom(std::string_view record) {
    return record.substr(0, 3) == "\xEF\xBB\xBF";
}

}  // namespace

std::string RecordFiler::problem(std::string_view record) const {
    RecordKind kind = record_kind(record);
    if (behind_a_bom(record)) return sj("レコードの先頭にBOM(EF BB BF)があります");
    std::size_t size = record_size(kind);
    if (record.size() != size) {
        return sj("レコード長が不正です(") + std::to_string(record.size()) + "/" +
               std::to_string(size) + sj("バイト)");
    }
    if (record.substr(size - 2) != "\r\n") return sj("レコードが改行(CR LF)で終わっていません");
    // A line break inside would split the record's line in the store file.
    std::size_t inner = find_line_break(record.substr(0, size - 2));
    if (inner != std::string_view::npos) {
        return sj("レコードの途中に改行文字(") + (record[inner] == '\r' ? "CR" : "LF") +
               sj(")があります(オフセット") + std::to_string(inner) + ")";
    }
    // A runner's pedigree number names its horse file: a record whose number
    // cannot is refused whole, so that none of it is stored (not even in the
    // day's runner file) when it is reported as not filed.
    if (auto key_problem = path_key_problem(record, kind == RecordKind::Runner)) {
        return *key_problem;
    }
    return {};
}

std::string RecordFiler::rejection_line(const std::string& reason, std::string_view feed_file) {
    ++rejected_;
    // The reason quotes record bytes: a NUL or another control byte in them
    // would cut the line or reach a terminal, so each shows as "?".
    std::string shown = reason;
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return sj("取込み不可:") + shown + "/" + std::string(feed_file);
}

std::string RecordFiler::store(StoreFile where, std::string_view record, const std::string& label,
                               std::string_view feed_file) {
    StoreOutcome outcome = sink_(where, record);
    held_.push_back(outcome.held);
    if (outcome.status == StoreOutcome::Status::Rejected) {
        return rejection_line(outcome.reason, feed_file);
    }
    return sj("作成済み:") + label + cp932::from_utf8(path_utf8(outcome.file.filename()));
}

std::vector<std::string> RecordFiler::file_import(std::string_view record, int threshold_date,
                                                  std::string_view feed_file) {
    std::vector<std::string> lines;
    held_.clear();
    RecordKind kind = record_kind(record);
    // Kinds the system does not keep are passed over.
    if (kind == RecordKind::Other && !behind_a_bom(record)) return lines;
    if (std::string reason = problem(record); !reason.empty()) {
        held_.push_back(false);
        lines.push_back(rejection_line(reason, feed_file));
        return lines;
    }
    std::string_view category = field_text(record, header::category);
    int cv = field_int(record, header::category);
    int date = race_date(record);
    int race = field_int(record, header::race_number);
    std::string race_label = std::string(field_text(record, header::race_number)) + "R/";

    switch (kind) {
        case RecordKind::Race:
            if (((cv >= 1 && cv <= 6) || (date > threshold_date && cv != 0)) && race >= 1) {
                lines.push_back(store(StoreFile::DayRaces, record, race_label, feed_file));
            }
            if (is_final(category)) {
                lines.push_back(store(StoreFile::MeetingRaces, record, race_label, feed_file));
            }
            break;
        case RecordKind::Runner: {
            int horse = field_int(record, se::horse_number);
            if (((cv >= 1 && cv <= 6) || date > threshold_date) && race >= 1 &&
                race <= kMaxRaces && horse >= 1 && horse <= kMaxRunners) {
                std::string label =
                    race_label + std::string(field_text(record, se::horse_number)) + sj("番/");
                lines.push_back(store(StoreFile::DayRunners, record, label, feed_file));
            }
            if (is_final(category)) {
                std::string_view month_day = field_text(record, header::month_day);
                std::string label = std::string(field_text(record, header::year)) + sj("年") +
                                    std::string(month_day.substr(0, 2)) + sj("月") +
                                    std::string(month_day.substr(2, 2)) + sj("日") +
                                    racecourse_name(field_text(record, header::course)) +
                                    race_label;
                lines.push_back(store(StoreFile::HorseRuns, record, label, feed_file));
            }
            break;
        }
        case RecordKind::Payout:
            if (race >= 1)
                lines.push_back(store(StoreFile::DayPayouts, record, race_label, feed_file));
            break;
        case RecordKind::Other:
            break;
    }
    return lines;
}

std::vector<std::string> RecordFiler::file_refresh(std::string_view record,
                                                   std::string_view feed_file) {
    std::vector<std::string> lines;
    RecordKind kind = record_kind(record);
    if (kind == RecordKind::Other && !behind_a_bom(record)) return lines;
    if (std::string reason = problem(record); !reason.empty()) {
        lines.push_back(rejection_line(reason, feed_file));
        return lines;
    }
    int race = field_int(record, header::race_number);
    StoreOutcome outcome;
    switch (kind) {
        case RecordKind::Payout:
            if (race >= 1) outcome = sink_(StoreFile::DayPayouts, record);
            break;
        case RecordKind::Race:
            if (race >= 1) outcome = sink_(StoreFile::DayRaces, record);
            break;
        case RecordKind::Runner: {
            int horse = field_int(record, se::horse_number);
            if (race >= 1 && race <= kMaxRaces && horse >= 1 && horse <= kMaxRunners) {
                outcome = sink_(StoreFile::DayRunners, record);
            }
            break;
        }
        case RecordKind::Other:
            break;
    }
    if (outcome.status == StoreOutcome::Status::Rejected) {
        lines.push_back(rejection_line(outcome.reason, feed_file));
    }
    return lines;
}

}  // namespace tolven
