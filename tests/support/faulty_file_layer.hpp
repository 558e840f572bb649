#pragma once

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "store/file_layer.hpp"

namespace tolven::testing {

// A file layer that fails (or kills the process at) the nth call of one
// kind of operation; every other call goes to the system.
class FaultyFileLayer : public FileLayer {
  public:
    enum Op { MakeTemporary, Open, Write, Close, Rename, Unlink, Mkdir, Sync, SyncFolder, kOps };
    static constexpr std::array<const char*, kOps> kNames = {
        "make_temporary", "open",  "write", "close",      "rename",
        "unlink",         "mkdir", "sync",  "sync_folder"};

    // The nth call (1-based) of op fails with error; with lasting, every call
    // of op after it too (a disk that stays full).
    void fail(Op op, long nth, int error, bool lasting = false) {
        op_ = op;
        nth_ = nth;
        error_ = error;
        lasting_ = lasting;
        kill_ = false;
    }
    // The process is killed (SIGKILL) at the nth call of op, before it runs.
    void kill_at(Op op, long nth) {
        op_ = op;
        nth_ = nth;
        kill_ = true;
    }
    long calls(Op op) const { return calls_[op]; }
    bool failed() const { return failures_ > 0; }

    int make_temporary(PathChar* pattern) override {
        return strike(MakeTemporary) ? -1 : FileLayer::make_temporary(pattern);
    }
    int open(const PathChar* path, int flags, mode_t mode) override {
        return strike(Open) ? -1 : FileLayer::open(path, flags, mode);
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        return strike(Write) ? -1 : FileLayer::write(fd, data, size);
    }
    int close(int fd) override {
        if (strike(Close)) {
            // A failing close still releases the descriptor.
            FileLayer::close(fd);
            errno = error_;
            return -1;
        }
        return FileLayer::close(fd);
    }
    int rename(const PathChar* from, const PathChar* to) override {
        return strike(Rename) ? -1 : FileLayer::rename(from, to);
    }
    int unlink(const PathChar* path) override { return strike(Unlink) ? -1 : FileLayer::unlink(path); }
    int mkdir(const PathChar* path, mode_t mode) override {
        return strike(Mkdir) ? -1 : FileLayer::mkdir(path, mode);
    }
    int sync(int fd) override { return strike(Sync) ? -1 : FileLayer::sync(fd); }
    int sync_folder(const PathChar* path) override {
        return strike(SyncFolder) ? -1 : FileLayer::sync_folder(path);
    }

  private:
    bool strike(Op op) {
        long n = ++calls_[op];
        if (op != op_ || nth_ <= 0 || (n != nth_ && !(lasting_ && n > nth_))) return false;
#ifdef SIGKILL
        if (kill_) std::raise(SIGKILL);
#else
        if (kill_) std::abort();  // only the tests that fork kill, and they skip on Windows
#endif
        ++failures_;
        errno = error_;
        return true;
    }

    std::array<long, kOps> calls_{};
    Op op_ = kOps;
    long nth_ = 0;
    int error_ = EIO;
    bool lasting_ = false;
    bool kill_ = false;
    int failures_ = 0;
};

// A layer that does not flush: for reference stores filed record by record,
// whose durability no test looks at (a flush per record makes them slow).
class UnflushedFileLayer : public FileLayer {
  public:
    int sync(int) override { return 0; }
    int sync_folder(const PathChar*) override { return 0; }
};

}  // namespace tolven::testing
