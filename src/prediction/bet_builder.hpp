#pragma once

#include <string>
#include <vector>

#include "model/race_day.hpp"

namespace tolven {

enum class BetSet { Computer, User };

// Builds the quinella and bracket-quinella bets of race n of one set around
// the axis horse and marks of the computer prediction, from the composite
// ranking (computer) or the user ranking (user).
void build_bets(RaceDay& day, int n, BetSet set);
inline void build_computer_bets(RaceDay& day, int n) {
    build_bets(day, n, BetSet::Computer);
}
inline void build_user_bets(RaceDay& day, int n) {
    build_bets(day, n, BetSet::User);
}

// The working list of quinella bets before de-duplication (for tests and for
// showing how a list came about).
std::vector<Bet> bet_working_list(const RaceDay& day, int n, BetSet set);

// The bets with repeats removed, each kept at its last occurrence.
std::vector<Bet> keep_last_occurrences(const std::vector<Bet>& bets);

// The bracket quinella of a quinella bet in a field of `runners`: the
// brackets of its two horses, in the same order.
Bet bracket_bet(const Bet& quinella, int runners);

// Mirror bracket: 1<->5, 2<->6, 3<->7, 4<->8; 0 for anything else.
int mirror_bracket(int bracket);

}  // namespace tolven
