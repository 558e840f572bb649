#pragma once

#include <array>
#include <string>
#include <string_view>

#include "store/record.hpp"

// Bets as values: two numbers and a kind. Their five-character text (" 4- 7")
// is made only where a bet is shown, printed or written.
namespace tolven {

// The kinds of bet the system builds, checks and counts, in the order its
// lists show them.
enum class BetKind { Quinella, Bracket, Wide };
inline constexpr BetKind kBetKinds[] = {BetKind::Quinella, BetKind::Bracket, BetKind::Wide};
// "quinella", "bracket", "wide": the keys of the JSON and CSV output.
const char* bet_kind_key(BetKind kind);
// "馬連", "枠連", "ワイド" (UTF-8), as the windows label them.
const char* bet_kind_label(BetKind kind);
// The payout group of the payout record that pays a kind.
const PayoutGroup& payout_group(BetKind kind);

// One bet: horse numbers for a quinella or a wide, bracket numbers for a
// bracket quinella. The bet builder puts the smaller number first; a bet read
// back from a user file keeps the order it was written in. Bet{} is an empty
// slot.
struct Bet {
    int first = 0;
    int second = 0;
    // A user-file field that is not the text of its two numbers (a short
    // "12-1" typed by hand) is kept as it was read: it is shown as it stands
    // and never equals a payout's combination. Empty for every other bet.
    std::string as_read;

    bool empty() const { return first == 0 && second == 0 && as_read.empty(); }
    // The bet names the pair of a payout: both numbers equal, in order, and
    // no text of its own.
    bool names(int a, int b) const { return as_read.empty() && first == a && second == b; }
    friend bool operator==(const Bet&, const Bet&) = default;
};

// Nine bet slots per list, filled from slot 0 without gaps.
inline constexpr int kBetSlots = 9;
using BetList = std::array<Bet, kBetSlots>;

// The bet of two numbers, the smaller first.
Bet pair_bet(int a, int b);

// The text of a bet: the first number "%2d", "-", the second "%2d" (" 4- 7",
// "17-18"); "" for an empty slot; a field kept as read, as it was read. Every
// list, printout, file and JSON that shows a bet makes its text here.
std::string bet_text(const Bet& bet);

// A bet field of the user file (up to five characters): its two numbers when
// it is exactly their text, an empty slot when it is blank, else kept as
// read. Its numbers are always those at characters 1-2 and 4-5 read leniently,
// the way the hit check reads them.
Bet bet_from_text(std::string_view text);

}  // namespace tolven
