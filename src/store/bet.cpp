#include "store/bet.hpp"

#include <cstdio>

#include "store/lenient.hpp"

namespace tolven {
namespace {

int number_at(std::string_view text, std::size_t at, std::size_t width) {
    return at < text.size() ? lenient_int(text.substr(at, width)) : 0;
}

}  // namespace

const char* bet_kind_key(BetKind kind) {
    switch (kind) {
        case BetKind::Quinella:
            return "quinella";
        case BetKind::Bracket:
            return "bracket";
        case BetKind::Wide:
            break;
    }
    return "wide";
}

const char* bet_kind_label(BetKind kind) {
    switch (kind) {
        case BetKind::Quinella:
            return "馬連";
        case BetKind::Bracket:
            return "枠連";
        case BetKind::Wide:
            break;
    }
    return "ワイド";
}

const PayoutGroup& payout_group(BetKind kind) {
    switch (kind) {
        case BetKind::Quinella:
            return hr::quinella;
        case BetKind::Bracket:
            return hr::bracket_quinella;
        case BetKind::Wide:
            break;
    }
    return hr::wide;
}

Bet pair_bet(int a, int b) {
    return a <= b ? Bet{a, b, {}} : Bet{b, a, {}};
}

std::string bet_text(const Bet& bet) {
    if (!bet.as_read.empty()) return bet.as_read;
    if (bet.first == 0 && bet.second == 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%2d-%2d", bet.first, bet.second);
    return text;
}

Bet bet_from_text(std::string_view text) {
    if (trim(text).empty()) return {};
    Bet bet{number_at(text, 0, 2), number_at(text, 3, 2), {}};
    if (bet_text(bet) != text) bet.as_read = std::string(text);
    return bet;
}

}  // namespace tolven
