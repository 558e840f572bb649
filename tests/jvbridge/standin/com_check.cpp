// Drives ComJvLink, the JV-Link component loaded into this program, against
// the stand-in COM server, and prints what it saw, one line a step, for the
// Wine tests to compare (texts in UTF-8):
//
//   com_check read        init, version, open, every record read, close
//   com_check timeout     an open the stand-in holds longer than the 5 s
//                         time-out (TOLVEN_STANDIN_OPEN_DELAY), then a second
//                         open once the first has returned
//   com_check interrupt   an open given up from another thread
//   com_check presence    whether the component loads, or why not
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "jvlink/com_jvlink.hpp"
#include "jvlink/result_text.hpp"
#include "store/cp932.hpp"

using namespace tolven;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTimeoutSeconds = 5;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

DWORD WINAPI interrupt_soon(void* link) {
    Sleep(500);
    static_cast<JvLink*>(link)->interrupt();
    return 0;
}

int open_all(JvLink& link, int& reads, int& downloads) {
    std::string last;
    return link.JVOpen("RACERCVN", "20000101000000", 2, reads, downloads, last);
}

int read_everything(JvLink& link) {
    int reads = 0;
    int downloads = 0;
    int r = open_all(link, reads, downloads);
    std::printf("open %d reads %d downloads %d\n", r, reads, downloads);
    if (r != 0) return 1;
    while (downloads > 0 && link.JVStatus() < downloads) {
    }
    long records = 0;
    long bytes = 0;
    int files = 0;
    int size = jv::kReadBufferSize;
    std::string record;
    std::string file;
    for (;;) {
        r = link.JVRead(record, size, file);
        if (r > 0) {
            ++records;
            bytes += static_cast<long>(record.size());
        } else if (r == jv::kNextFile) {
            ++files;
        } else if (r == 0 || jv::read_failed(r)) {
            break;
        }
    }
    std::printf("records %ld bytes %ld files %d end %d\n", records, bytes, files, r);
    std::printf("close %d\n", link.JVClose());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Lines end in LF, as the tests compare them.
    _setmode(_fileno(stdout), _O_BINARY);
    std::string what = argc > 1 ? argv[1] : "read";
    ComLinkOpening opening = open_com_jvlink(kTimeoutSeconds);
    if (!opening.link) {
        std::printf("refused %s\n", cp932::to_utf8(opening.message).c_str());
        if (!opening.detail.empty()) std::printf("detail %s\n", opening.detail.c_str());
        return 2;
    }
    if (what == "presence") {
        std::printf("loaded\n");
        return 0;
    }
    JvLink& link = *opening.link;
    std::printf("init %d\n", link.JVInit(jvlink_sid()));
    std::printf("version %s\n", link.version().c_str());
    if (what == "read") return read_everything(link);

    int reads = 0;
    int downloads = 0;
    auto start = Clock::now();
    if (what == "interrupt") {
        HANDLE cancel = CreateThread(nullptr, 0, interrupt_soon, &link, 0, nullptr);
        int r = open_all(link, reads, downloads);
        WaitForSingleObject(cancel, INFINITE);
        CloseHandle(cancel);
        std::printf("open %d after %.0f s\n", r, since(start));
        std::printf("detail %s\n", cp932::to_utf8(link.error_detail()).c_str());
        return 0;
    }
    if (what == "timeout") {
        int r = open_all(link, reads, downloads);
        std::printf("open %d after %.0f s\n", r, since(start));
        std::printf("detail %s\n", cp932::to_utf8(link.error_detail()).c_str());
        // While JV-Link has not returned, it takes no other call.
        std::printf("busy %d\n", link.JVClose());
        const char* delay = std::getenv("TOLVEN_STANDIN_OPEN_DELAY");
        int wait_ms = (delay != nullptr ? std::atoi(delay) : 0) + 1000 -
                      static_cast<int>(since(start) * 1000);
        if (wait_ms > 0) Sleep(static_cast<DWORD>(wait_ms));
        // The open that was given up was closed when it returned: the next one
        // is not "still open".
        r = open_all(link, reads, downloads);
        std::printf("reopen %d\n", r);
        std::printf("close %d\n", link.JVClose());
        return 0;
    }
    std::printf("unknown %s\n", what.c_str());
    return 2;
}
