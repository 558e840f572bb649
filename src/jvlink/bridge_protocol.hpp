#pragma once

// The protocol between BridgeJvLink (the core, on Linux or Windows) and
// tolven-jvbridge.exe (a Windows console program that holds the JV-Link COM
// component). This header is shared by both sides: plain C++ over the
// standard library, so MinGW and the native compiler build it alike.
//
// Transport: the bridge's stdin carries requests, its stdout answers, both in
// binary mode. Every message is one frame:
//
//     u32 payload length, then the payload
//
// All integers are little-endian; u32 is unsigned, i32 two's complement. A
// text is a u32 byte count followed by the bytes, so a record with CR LF (or
// any byte) travels unchanged. Texts are CP932 bytes: the bridge converts the
// component's wide strings with code page 932 and the caller's texts back.
//
// Request payload:  u8 op, i32 number, text first, text second
// Answer payload:   u8 op, u8 outcome, i32 code, i32 read_count,
//                   i32 download_count, i32 size, text text, text file_name,
//                   text detail
//
// The bridge answers every request exactly once, in order, with the op of
// the request. What the fields mean per op (unused fields are 0 or empty):
//
//   op               request                       answer
//   Hello            number = protocol version     code = the bridge's protocol
//                                                   version, text = its build
//                                                   ("tolven-jvbridge x86_64")
//   Presence         -                             code 0 when the component can
//                                                   be created (it is created and
//                                                   released at once)
//   Init             first = sid                   code
//   SetUIProperties  -                             code
//   Open             first = dataspec, second =    code, read_count,
//                    fromtime, number = option     download_count, text = last
//                                                   file timestamp
//   RTOpen           first = dataspec, second = key  code
//   Status           -                             code
//   Read             number = size variable        code, size (as the component
//                                                   left it), text = record,
//                                                   file_name
//   Cancel, Close    -                             code
//   Version          -                             text = the version property
//   Quit             -                             code 0; then the bridge
//                                                   releases the component and
//                                                   exits
//
// outcome tells whether the call reached the component: Called (code is the
// component's own return value), NotInstalled (the component could not be
// created), CallFailed (the dispatch call itself failed), BadRequest (the
// bridge did not understand the request). detail says why, for a person.
//
// The bridge creates the component when a request first needs it and keeps
// that one instance until Quit or the end of its stdin. Closing the bridge's
// stdin makes it release the component and exit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolven::bridge {

inline constexpr std::int32_t kProtocolVersion = 1;
// Far above any record (the caller's buffer is 60000 bytes); a length beyond
// it means the stream is out of step.
inline constexpr std::uint32_t kMaxPayload = 1u << 20;

enum class Op : std::uint8_t {
    Hello = 1,
    Presence = 2,
    Init = 3,
    SetUIProperties = 4,
    Open = 5,
    RTOpen = 6,
    Status = 7,
    Read = 8,
    Cancel = 9,
    Close = 10,
    Version = 11,
    Quit = 12,
};

enum class Outcome : std::uint8_t {
    Called = 0,
    NotInstalled = 1,
    CallFailed = 2,
    BadRequest = 3,
};

// The component operation an op stands for, as shown in messages.
inline const char* op_name(Op op) {
    switch (op) {
        case Op::Hello:
            return "Hello";
        case Op::Presence:
            return "Presence";
        case Op::Init:
            return "JVInit";
        case Op::SetUIProperties:
            return "JVSetUIProperties";
        case Op::Open:
            return "JVOpen";
        case Op::RTOpen:
            return "JVRTOpen";
        case Op::Status:
            return "JVStatus";
        case Op::Read:
            return "JVRead";
        case Op::Cancel:
            return "JVCancel";
        case Op::Close:
            return "JVClose";
        case Op::Version:
            return "version";
        case Op::Quit:
            return "Quit";
    }
    return "?";
}

struct Request {
    Op op = Op::Hello;
    std::int32_t number = 0;
    std::string first;
    std::string second;
};

struct Answer {
    Op op = Op::Hello;
    Outcome outcome = Outcome::Called;
    std::int32_t code = 0;
    std::int32_t read_count = 0;
    std::int32_t download_count = 0;
    std::int32_t size = 0;
    std::string text;
    std::string file_name;
    std::string detail;
};

// A message that does not follow the protocol.
class ProtocolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace detail {

inline void put_u32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFFu);
}

inline void put_i32(std::string& out, std::int32_t v) {
    put_u32(out, static_cast<std::uint32_t>(v));
}

inline void put_text(std::string& out, std::string_view text) {
    if (text.size() > kMaxPayload) throw ProtocolError("text too long");
    put_u32(out, static_cast<std::uint32_t>(text.size()));
    out.append(text.data(), text.size());
}

inline std::uint32_t get_u32_at(const char* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    }
    return v;
}

// Reads the fields of one payload in order and checks every length.
class Cursor {
  public:
    explicit Cursor(std::string_view payload) : rest_(payload) {}

    std::uint8_t u8() {
        need(1);
        auto v = static_cast<std::uint8_t>(rest_[0]);
        rest_.remove_prefix(1);
        return v;
    }
    std::uint32_t u32() {
        need(4);
        std::uint32_t v = get_u32_at(rest_.data());
        rest_.remove_prefix(4);
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::string text() {
        std::uint32_t n = u32();
        need(n);
        std::string v(rest_.substr(0, n));
        rest_.remove_prefix(n);
        return v;
    }
    void finish() const {
        if (!rest_.empty()) throw ProtocolError("trailing bytes in a message");
    }

  private:
    void need(std::size_t n) const {
        if (rest_.size() < n) throw ProtocolError("message cut short");
    }
    std::string_view rest_;
};

inline Op checked_op(std::uint8_t v) {
    if (v < static_cast<std::uint8_t>(Op::Hello) || v > static_cast<std::uint8_t>(Op::Quit)) {
        throw ProtocolError("unknown operation " + std::to_string(v));
    }
    return static_cast<Op>(v);
}

inline Outcome checked_outcome(std::uint8_t v) {
    if (v > static_cast<std::uint8_t>(Outcome::BadRequest)) {
        throw ProtocolError("unknown outcome " + std::to_string(v));
    }
    return static_cast<Outcome>(v);
}

inline std::string framed(const std::string& payload) {
    if (payload.size() > kMaxPayload) throw ProtocolError("message too long");
    std::string frame;
    frame.reserve(4 + payload.size());
    put_u32(frame, static_cast<std::uint32_t>(payload.size()));
    frame += payload;
    return frame;
}

}  // namespace detail

// Payloads without their length prefix.
inline std::string encode_request_payload(const Request& r) {
    std::string out;
    out += static_cast<char>(r.op);
    detail::put_i32(out, r.number);
    detail::put_text(out, r.first);
    detail::put_text(out, r.second);
    return out;
}

inline Request decode_request_payload(std::string_view payload) {
    detail::Cursor c(payload);
    Request r;
    r.op = detail::checked_op(c.u8());
    r.number = c.i32();
    r.first = c.text();
    r.second = c.text();
    c.finish();
    return r;
}

inline std::string encode_answer_payload(const Answer& a) {
    std::string out;
    out += static_cast<char>(a.op);
    out += static_cast<char>(a.outcome);
    detail::put_i32(out, a.code);
    detail::put_i32(out, a.read_count);
    detail::put_i32(out, a.download_count);
    detail::put_i32(out, a.size);
    detail::put_text(out, a.text);
    detail::put_text(out, a.file_name);
    detail::put_text(out, a.detail);
    return out;
}

inline Answer decode_answer_payload(std::string_view payload) {
    detail::Cursor c(payload);
    Answer a;
    a.op = detail::checked_op(c.u8());
    a.outcome = detail::checked_outcome(c.u8());
    a.code = c.i32();
    a.read_count = c.i32();
    a.download_count = c.i32();
    a.size = c.i32();
    a.text = c.text();
    a.file_name = c.text();
    a.detail = c.text();
    c.finish();
    return a;
}

// Whole frames, ready to write.
inline std::string encode_request(const Request& r) {
    return detail::framed(encode_request_payload(r));
}
inline std::string encode_answer(const Answer& a) {
    return detail::framed(encode_answer_payload(a));
}

// The payload length in a frame's first four bytes; throws when it is beyond
// kMaxPayload.
inline std::uint32_t frame_length(const char (&prefix)[4]) {
    std::uint32_t n = detail::get_u32_at(prefix);
    if (n > kMaxPayload) throw ProtocolError("message length " + std::to_string(n) + " too large");
    return n;
}

// Collects bytes as they arrive from a stream and hands out whole payloads.
class FrameReader {
  public:
    void feed(const char* data, std::size_t n) { buffer_.append(data, n); }

    // The next complete payload, or nothing while it is still incomplete.
    std::optional<std::string> next() {
        if (buffer_.size() < 4) return std::nullopt;
        char prefix[4] = {buffer_[0], buffer_[1], buffer_[2], buffer_[3]};
        std::uint32_t n = frame_length(prefix);
        if (buffer_.size() < 4 + static_cast<std::size_t>(n)) return std::nullopt;
        std::string payload = buffer_.substr(4, n);
        buffer_.erase(0, 4 + static_cast<std::size_t>(n));
        return payload;
    }

    // Bytes received that do not yet make a whole frame.
    std::size_t pending() const { return buffer_.size(); }

  private:
    std::string buffer_;
};

}  // namespace tolven::bridge
