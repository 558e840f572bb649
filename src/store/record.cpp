#include "store/record.hpp"

#include "store/lenient.hpp"

namespace tolven {

std::string_view field_text(std::string_view record, Field f) {
    if (f.offset >= record.size()) return {};
    return record.substr(f.offset, f.width);
}

int field_int(std::string_view record, Field f) {
    return lenient_int(field_text(record, f));
}

std::string_view field_trimmed(std::string_view record, Field f) {
    return trim(field_text(record, f));
}

RecordKind record_kind(std::string_view record) {
    std::string_view kind = field_text(record, header::kind);
    if (kind == "RA") return RecordKind::Race;
    if (kind == "SE") return RecordKind::Runner;
    if (kind == "HR") return RecordKind::Payout;
    return RecordKind::Other;
}

std::size_t record_size(RecordKind kind) {
    switch (kind) {
        case RecordKind::Race:
            return kRaceRecordSize;
        case RecordKind::Runner:
            return kRunnerRecordSize;
        case RecordKind::Payout:
            return kPayoutRecordSize;
        case RecordKind::Other:
            break;
    }
    return 0;
}

const char* record_kind_code(RecordKind kind) {
    switch (kind) {
        case RecordKind::Race:
            return "RA";
        case RecordKind::Runner:
            return "SE";
        case RecordKind::Payout:
            return "HR";
        case RecordKind::Other:
            break;
    }
    return "  ";
}

std::string blank_record(RecordKind kind) {
    return std::string(record_size(kind), ' ');
}

std::string_view store_key(std::string_view record) {
    return field_text(record, header::store_key);
}

std::string race_key(std::string_view record) {
    std::string key;
    key.reserve(12);
    key.append(field_text(record, header::year));
    key.append(field_text(record, header::month_day));
    key.append(field_text(record, header::course));
    key.append(field_text(record, header::race_number));
    return key;
}

int race_date(std::string_view record) {
    return field_int(record, Field{11, 8});
}

bool is_absent(std::string_view record) {
    return field_trimmed(record, header::year).empty();
}

bool PayoutEntry::in_use() const {
    return !trim(combination).empty() && payout > 0;
}

PayoutEntry payout_entry(std::string_view record, const PayoutGroup& group, int k) {
    std::size_t start = group.offset + static_cast<std::size_t>(k) * group.entry_width;
    PayoutEntry entry;
    entry.combination = field_text(record, Field{start, group.combination_width});
    entry.payout = field_int(record, Field{start + group.payout_offset, 9});
    return entry;
}

std::string_view without_line_break(std::string_view record) {
    if (!record.empty() && record.back() == '\n') record.remove_suffix(1);
    if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
    return record;
}

}  // namespace tolven
