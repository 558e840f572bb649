#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tolven::testing {

// The files of a store's areas (Data, SEI, SEIR), temporaries included: path
// relative to the base folder → bytes.
using StoreFiles = std::map<std::string, std::string>;
StoreFiles read_store(const std::filesystem::path& base);

// Replaces the store areas of base by the files listed.
void write_store(const std::filesystem::path& base, const StoreFiles& files);

// Hidden temporary files (".name.XXXXXX") among the files.
std::vector<std::string> temporaries(const StoreFiles& files);

// What is wrong with `after`, the store an interrupted run left when it
// started from `before`, where `complete` is what the run gives when it is not
// interrupted: a file written torn (a line of the wrong length, no final CR
// LF, a runner file without 216 slots), a file or a record of `before`
// missing, a line of a race, payout or horse file neither as before nor as
// complete, a runner slot emptied or holding a record created before the one
// it held. Empty when nothing is wrong.
std::vector<std::string> interrupted_store_problems(const StoreFiles& before,
                                                    const StoreFiles& after,
                                                    const StoreFiles& complete);

}  // namespace tolven::testing
