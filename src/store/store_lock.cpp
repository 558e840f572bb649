#include "store/store_lock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tolven {

StoreLock::StoreLock(const std::filesystem::path& base) : path_(file(base)) {
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) throw_file_error("ロックファイルを開けません", path_, errno);
    int r;
    do {
        r = flock(fd_, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        int error = errno;
        close(fd_);
        fd_ = -1;
        if (error == EWOULDBLOCK) {
            throw StoreBusy("another import or results refresh is running in " + base.string());
        }
        throw_file_error("ロックできません", path_, error);
    }
    char state = 0;
    previous_unfinished_ = !(pread(fd_, &state, 1, 0) == 1 && state == '0');
    unfinished_ = previous_unfinished_;
}

StoreLock::~StoreLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0) close(fd_);
}

void StoreLock::set_unfinished(bool unfinished) {
    if (unfinished == unfinished_) return;
    char state = unfinished ? '1' : '0';
    if (pwrite(fd_, &state, 1, 0) != 1) throw_file_error("書き込めません", path_, errno);
    unfinished_ = unfinished;
}

}  // namespace tolven
