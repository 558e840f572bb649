// A native stand-in for tolven-jvbridge.exe: it speaks the bridge protocol on
// stdin/stdout and serves a feed folder through FeedLink, so BridgeJvLink is
// tested without Wine. Faults are asked for through the environment:
//
//   FAKE_BRIDGE_FEED, FAKE_BRIDGE_CACHE   FeedLink's folders
//   FAKE_BRIDGE_LOG                       a file that gets one line per request
//   FAKE_BRIDGE_FAULT                     one of
//       exit-at-start              ends with status 3 before reading anything
//       protocol:N                 answers Hello with protocol version N
//       not-installed              the component cannot be created
//       die:OP:N                   ends with status 3 at the N-th request OP
//       hang:OP:N                  never answers the N-th request OP
//       sleep:OP:N:MS              answers the N-th request OP after MS ms, as
//                                  when JV-Link waits for a person in its own
//                                  window
//       garbage:OP:N               answers the N-th request OP out of protocol
//       wrong-op:OP:N              answers the N-th request OP as another op
//       call-failed:OP:N           the N-th call OP fails in the dispatch
//       code:OP:N:CODE             the N-th call OP returns CODE
// OP is the operation's name as in op_name ("JVRead").
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define read _read
#define write _write
#else
#include <unistd.h>
#endif

#include "jvlink/bridge_protocol.hpp"
#include "jvlink/feed_link.hpp"

using namespace tolven;
using namespace tolven::bridge;

namespace {

struct Fault {
    std::string kind;
    std::string op;
    int nth = 0;
    int value = 0;
};

Fault parse_fault(const char* text) {
    Fault f;
    if (text == nullptr) return f;
    std::string s(text);
    std::size_t a = s.find(':');
    f.kind = s.substr(0, a);
    if (a == std::string::npos) return f;
    std::size_t b = s.find(':', a + 1);
    if (f.kind == "protocol") {
        f.value = std::atoi(s.c_str() + a + 1);
        return f;
    }
    f.op = s.substr(a + 1, b - a - 1);
    if (b == std::string::npos) return f;
    f.nth = std::atoi(s.c_str() + b + 1);
    std::size_t c = s.find(':', b + 1);
    if (c != std::string::npos) f.value = std::atoi(s.c_str() + c + 1);
    return f;
}

bool read_exactly(char* data, std::size_t n) {
    while (n > 0) {
        ssize_t got = ::read(0, data, n);
        if (got <= 0) return false;
        data += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

void write_all(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::exit(4);
        done += static_cast<std::size_t>(n);
    }
}

void call(FeedLink& link, const Request& r, Answer& a) {
    switch (r.op) {
        case Op::Init:
            a.code = link.JVInit(r.first);
            break;
        case Op::SetUIProperties:
            a.code = link.JVSetUIProperties();
            break;
        case Op::Open: {
            int read_count = 0;
            int download_count = 0;
            a.code = link.JVOpen(r.first, r.second, r.number, read_count, download_count, a.text);
            a.read_count = read_count;
            a.download_count = download_count;
            break;
        }
        case Op::RTOpen:
            a.code = link.JVRTOpen(r.first, r.second);
            break;
        case Op::Status:
            a.code = link.JVStatus();
            break;
        case Op::Read: {
            int size = r.number;
            std::string record;
            a.code = link.JVRead(record, size, a.file_name);
            a.size = size;
            if (a.code > 0) a.text = std::move(record);
            break;
        }
        case Op::Cancel:
            a.code = link.JVCancel();
            break;
        case Op::Close:
            a.code = link.JVClose();
            break;
        case Op::Version:
            a.text = link.version();
            break;
        default:
            break;
    }
}

}  // namespace

int main() {
#ifdef _WIN32
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
#endif
    Fault fault = parse_fault(std::getenv("FAKE_BRIDGE_FAULT"));
    if (fault.kind == "exit-at-start") return 3;
    const char* feed = std::getenv("FAKE_BRIDGE_FEED");
    const char* cache = std::getenv("FAKE_BRIDGE_CACHE");
    const char* log_path = std::getenv("FAKE_BRIDGE_LOG");
    FeedLink link(feed != nullptr ? feed : "feed", cache != nullptr ? cache : "cache");
    std::map<std::string, int> seen;

    for (;;) {
        char prefix[4];
        if (!read_exactly(prefix, 4)) return 0;
        std::string payload(frame_length(prefix), '\0');
        if (!payload.empty() && !read_exactly(payload.data(), payload.size())) return 0;
        Answer a;
        Request r;
        try {
            r = decode_request_payload(payload);
        } catch (const ProtocolError& e) {
            a.outcome = Outcome::BadRequest;
            a.detail = e.what();
            write_all(encode_answer(a));
            continue;
        }
        std::string name = op_name(r.op);
        if (log_path != nullptr) {
            std::ofstream(log_path, std::ios::app)
                << name << " " << r.number << " " << r.first << " " << r.second << "\n";
        }
        bool hit = fault.op == name && ++seen[name] == fault.nth;
        a.op = r.op;
        if (hit && fault.kind == "die") return 3;
        if (hit && fault.kind == "hang") {
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        if (hit && fault.kind == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(fault.value));
        }
        if (hit && fault.kind == "garbage") {
            write_all(
                std::string("\x05\x00\x00\x00"
                            "abcde",
                            9));
            continue;
        }
        if (hit && fault.kind == "wrong-op") a.op = r.op == Op::Status ? Op::Read : Op::Status;

        if (r.op == Op::Hello) {
            a.code = fault.kind == "protocol" ? fault.value : kProtocolVersion;
            a.text = "fake bridge";
        } else if (r.op == Op::Quit) {
            write_all(encode_answer(a));
            return 0;
        } else if (fault.kind == "not-installed") {
            a.outcome = Outcome::NotInstalled;
            a.detail = "JVDTLab.JVLink is not registered";
        } else if (r.op == Op::Presence) {
            a.code = 0;
        } else if (hit && fault.kind == "call-failed") {
            a.outcome = Outcome::CallFailed;
            a.detail = name + " failed: 0x80020005";
        } else {
            call(link, r, a);
            if (hit && fault.kind == "code") a.code = fault.value;
        }
        write_all(encode_answer(a));
    }
}
