#pragma once

// What the fuzz targets share: a scratch base folder reset for every input,
// and the checks that turn a quiet fault into a finding (an abort the fuzzer
// reports with the input that caused it).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tolven::fuzz {

// Reports a finding and stops the run.
[[noreturn]] inline void finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// A base folder inside a folder of its own, on a memory file system when
// there is one. The enclosing folder must hold nothing but the base, so a
// write outside the base shows.
class ScratchBase {
  public:
    ScratchBase();
    ~ScratchBase();
    ScratchBase(const ScratchBase&) = delete;
    ScratchBase& operator=(const ScratchBase&) = delete;

    const std::filesystem::path& base() const { return base_; }
    // Empties the base and creates Data, SEI and SEIR.
    void reset() const;
    // A finding when anything but the base appeared beside it or in "/".
    void check_nothing_outside() const;

  private:
    std::filesystem::path outer_;
    std::filesystem::path base_;
    std::vector<std::string> root_entries_;
};

// A finding when a file under base is not what the program writes: a store
// file named by a day key, pedigree number or meeting key, whose every line
// has its record's length and key fields that may name files, ended by CR LF
// with no other line break; a runner file of exactly 216 lines; a user file
// of 300 lines; hit lists; nothing else (no temporary file left behind).
// Files listed in inputs (written by the fuzz target itself) are passed over.
void check_written_files(const std::filesystem::path& base,
                         const std::set<std::filesystem::path>& inputs = {});

// A finding when the text has a line break that is not a CR LF ending a line,
// or does not end with one.
void check_crlf_text(const std::filesystem::path& file, std::string_view content);

// Splits an input at each occurrence of the marker, into at most max_parts
// parts (the last one takes the rest).
std::vector<std::string_view> split_parts(std::string_view input, std::string_view marker,
                                          std::size_t max_parts);

// The marker between the files of a day-load input.
inline constexpr std::string_view kPartMarker = "\n#TOLVEN-FILE#\n";

}  // namespace tolven::fuzz
