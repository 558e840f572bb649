#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace tolven {

// The reason of a system error in Japanese (UTF-8), for messages a person
// reads: "アクセスが許可されていません" for EACCES. An error the table does not
// know keeps the system's own text after its number.
std::string error_reason(int error);
std::string error_reason(const std::error_code& error);

// The text of a file error: what failed, the file and the reason, as
// "書き込めません：/base/Data/x.User（ディスクの空き容量が足りません）".
std::string file_error_text(const std::string& what, const std::filesystem::path& path,
                            int error);

// The text to show for an error the core reported: a FileError's message as
// it is, a std::filesystem error in the same Japanese form as a FileError
// (the operation, its paths and the reason), anything else as its what().
std::string error_message(const std::exception& error);

}  // namespace tolven
