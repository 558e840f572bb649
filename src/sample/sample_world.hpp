#pragma once

// The fixed world the sample feed races in: the courses with the distances
// they really run, standard times, track codes, the meeting schedule by
// month, jockeys and the words horse and race names are made of. Only the
// sample feed uses it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolven::sample {

// A small deterministic generator (splitmix64) with its own distributions, so
// a seed gives the same feed with any standard library.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 0x1234567ULL) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double real() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(double p) { return real() < p; }
    double normal(double mean, double sd) {
        double u = std::max(real(), 1e-12);
        double v = real();
        return mean + sd * std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

  private:
    std::uint64_t state_;
};

struct Course {
    const char* code;
    bool left_handed;
    std::vector<int> turf;  // distances the course really runs
    std::vector<int> dirt;
    double speed;  // multiplier on the standard time (Hokkaido tracks run slower)
};

const Course& course(std::string_view code);

// The courses that race on a weekend of the month: two every race day and a
// third on alternate weeks.
std::vector<std::string> courses_of(int month, int week_number);

// Standard time in seconds on good going of a middle-of-the-road track.
double standard_time(int distance, bool turf);

// Track codes of a flat race at the course.
int turf_track(const Course& c, int distance);
int dirt_track(const Course& c);

struct Jockey {
    std::string name;  // CP932
    char apprentice;   // '1'..'3' for apprentices, ' ' otherwise
    double skill;
};
const std::vector<Jockey>& jockeys();

// Katakana words two of which make a horse name, and syllables for the rare
// name that needs more.
const std::vector<std::string>& name_words();
const std::vector<std::string>& name_syllables();
// Words special races are named after.
const std::vector<std::string>& special_names();

// Characters (not bytes) of a UTF-8 text.
std::size_t characters(std::string_view utf8);

}  // namespace tolven::sample
