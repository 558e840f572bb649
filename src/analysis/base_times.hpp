#pragma once

#include <string>
#include <string_view>

namespace tolven {

// The base time in seconds that a standard horse needs for a key
// "CC DDDD S G" (racecourse code, distance, surface 1 turf / 2 dirt, going
// class 1 good / 2 heavy). Exactly 1.0 means there is no base time.
double base_time(std::string_view key);

// The key of a racecourse, a distance text and surface and going classes.
std::string base_time_key(std::string_view course, std::string_view distance, char surface,
                          char going);

}  // namespace tolven
