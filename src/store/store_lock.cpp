#include "store/store_lock.hpp"

#include <cerrno>

#include "platform/files.hpp"
#include "platform/utf8_path.hpp"

namespace tolven {

StoreLock::StoreLock(const std::filesystem::path& base) : path_(file(base)) {
    fd_ = platform::open_file(path_.c_str(),
                              platform::open_read | platform::open_write | platform::open_create,
                              0644);
    if (fd_ < 0) throw_file_error("cannot open the lock file", path_, errno);
    int r = platform::try_lock_exclusive(fd_);
    if (r != 0) {
        int error = errno;
        platform::close_file(fd_);
        fd_ = -1;
        if (r == 1) {
            throw StoreBusy("another import or results refresh is running in " + path_utf8(base));
        }
        throw_file_error("cannot lock", path_, error);
    }
    char state = 0;
    previous_unfinished_ = !(platform::read_at(fd_, &state, 1, 0) == 1 && state == '0');
    unfinished_ = previous_unfinished_;
}

StoreLock::~StoreLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0) platform::close_file(fd_);
}

void StoreLock::set_unfinished(bool unfinished) {
    if (unfinished == unfinished_) return;
    char state = unfinished ? '1' : '0';
    if (platform::write_at(fd_, &state, 1, 0) != 1) throw_file_error("cannot write", path_, errno);
    unfinished_ = unfinished;
}

}  // namespace tolven
