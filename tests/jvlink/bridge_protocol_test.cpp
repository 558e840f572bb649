#include "jvlink/bridge_protocol.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace tolven::bridge {
namespace {

std::string every_byte() {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
}

// A JV record as the bridge hands it on: CP932 with its CR LF.
const std::string kRecord = std::string("RA7") + "\x92\x86\x8e\x52" + std::string(20, ' ') + "\r\n";

std::string describe(const Request& r) {
    return std::to_string(static_cast<int>(r.op)) + "|" + std::to_string(r.number) + "|" + r.first +
           "|" + r.second;
}

std::string describe(const Answer& a) {
    return std::to_string(static_cast<int>(a.op)) + "|" +
           std::to_string(static_cast<int>(a.outcome)) + "|" + std::to_string(a.code) + "|" +
           std::to_string(a.read_count) + "|" + std::to_string(a.download_count) + "|" +
           std::to_string(a.size) + "|" + a.text + "|" + a.file_name + "|" + a.detail;
}

TEST(BridgeProtocol, RequestsSurviveEncoding) {
    const std::vector<Request> requests = {
        {Op::Hello, kProtocolVersion, "", ""},
        {Op::Presence, 0, "", ""},
        {Op::Init, 0, "TL000130/TL000130/TOLVEN/Ver.1.30", ""},
        {Op::SetUIProperties, 0, "", ""},
        {Op::Open, 2, "RACERCVN", "20261201000000"},
        {Op::RTOpen, 0, "0B12", "20261205"},
        {Op::Status, 0, "", ""},
        {Op::Read, 60000, "", ""},
        {Op::Read, -2147483647 - 1, every_byte(), kRecord},
        {Op::Cancel, 0, "", ""},
        {Op::Close, 0, "", ""},
        {Op::Version, 0, "", ""},
        {Op::Quit, 0, "", ""},
    };
    for (const auto& r : requests) {
        std::string frame = encode_request(r);
        FrameReader reader;
        reader.feed(frame.data(), frame.size());
        auto payload = reader.next();
        ASSERT_TRUE(payload.has_value()) << describe(r);
        EXPECT_EQ(describe(decode_request_payload(*payload)), describe(r));
        EXPECT_EQ(reader.pending(), 0u);
    }
}

TEST(BridgeProtocol, AnswersSurviveEncoding) {
    const std::vector<Answer> answers = {
        {Op::Hello, Outcome::Called, kProtocolVersion, 0, 0, 0, "tolven-jvbridge x86_64", "", ""},
        {Op::Presence, Outcome::NotInstalled, 0, 0, 0, 0, "", "",
         "JVDTLab.JVLink is not registered"},
        {Op::Open, Outcome::Called, 0, 152, 37, 0, "20261205103000", "", ""},
        {Op::Open, Outcome::Called, -1, 0, 0, 0, "00000000000000", "", ""},
        {Op::Read, Outcome::Called, static_cast<std::int32_t>(kRecord.size()), 0, 0, 60000, kRecord,
         "20261201100000_a.txt", ""},
        {Op::Read, Outcome::Called, -3, 0, 0, 60000, "", "", ""},
        {Op::Read, Outcome::CallFailed, 0, 0, 0, 60000, "", "", "JVRead failed: 0x80020005"},
        {Op::Version, Outcome::Called, 0, 0, 0, 0, "0490", "", ""},
        {Op::Close, Outcome::BadRequest, 0, 0, 0, 0, every_byte(), every_byte(), every_byte()},
    };
    for (const auto& a : answers) {
        std::string frame = encode_answer(a);
        FrameReader reader;
        reader.feed(frame.data(), frame.size());
        auto payload = reader.next();
        ASSERT_TRUE(payload.has_value()) << describe(a);
        EXPECT_EQ(describe(decode_answer_payload(*payload)), describe(a));
    }
}

TEST(BridgeProtocol, TheLayoutIsLittleEndianWithCountedTexts) {
    Request r{Op::Open, 2, "AB", "C"};
    EXPECT_EQ(encode_request(r), std::string("\x10\x00\x00\x00"  // payload of 16 bytes
                                             "\x05"              // Open
                                             "\x02\x00\x00\x00"  // option 2
                                             "\x02\x00\x00\x00"
                                             "AB"
                                             "\x01\x00\x00\x00"
                                             "C",
                                             20));
    Answer a;
    a.op = Op::Status;
    a.code = -203;
    std::string frame = encode_answer(a);
    ASSERT_EQ(frame.size(), 4u + 2 + 16 + 12);
    EXPECT_EQ(frame.substr(4, 6), std::string("\x07\x00\x35\xff\xff\xff", 6));
}

TEST(BridgeProtocol, FramesArriveInPiecesAndTogether) {
    std::string stream =
        encode_answer({Op::Read, Outcome::Called, 5, 0, 0, 60000, kRecord, "a.txt", ""}) +
        encode_answer({Op::Read, Outcome::Called, -1, 0, 0, 60000, "", "a.txt", ""}) +
        encode_answer({Op::Read, Outcome::Called, 0, 0, 0, 60000, "", "", ""});
    FrameReader reader;
    std::vector<int> codes;
    for (char c : stream) {
        reader.feed(&c, 1);
        while (auto payload = reader.next()) codes.push_back(decode_answer_payload(*payload).code);
    }
    EXPECT_EQ(codes, (std::vector<int>{5, -1, 0}));
    EXPECT_EQ(reader.pending(), 0u);
}

TEST(BridgeProtocol, BrokenMessagesAreRefused) {
    std::string request = encode_request_payload({Op::Init, 0, "sid", ""});
    std::string answer =
        encode_answer_payload({Op::Read, Outcome::Called, 3, 0, 0, 60000, "abc", "f", ""});
    // Every cut short.
    for (std::size_t n = 0; n < request.size(); ++n) {
        EXPECT_THROW(decode_request_payload(request.substr(0, n)), ProtocolError) << n;
    }
    for (std::size_t n = 0; n < answer.size(); ++n) {
        EXPECT_THROW(decode_answer_payload(answer.substr(0, n)), ProtocolError) << n;
    }
    // A byte too many, an unknown operation or outcome.
    EXPECT_THROW(decode_request_payload(request + "x"), ProtocolError);
    EXPECT_THROW(decode_answer_payload(answer + "x"), ProtocolError);
    std::string unknown_op = request;
    unknown_op[0] = 0;
    EXPECT_THROW(decode_request_payload(unknown_op), ProtocolError);
    unknown_op[0] = 13;
    EXPECT_THROW(decode_request_payload(unknown_op), ProtocolError);
    std::string unknown_outcome = answer;
    unknown_outcome[1] = 4;
    EXPECT_THROW(decode_answer_payload(unknown_outcome), ProtocolError);
    // A text length beyond the message.
    std::string long_text = request;
    long_text[5] = '\x7f';
    EXPECT_THROW(decode_request_payload(long_text), ProtocolError);
    // A frame length beyond the limit means the stream is out of step.
    FrameReader reader;
    std::string huge("\x01\x00\x10\x00", 4);
    reader.feed(huge.data(), huge.size());
    EXPECT_THROW(reader.next(), ProtocolError);
    const char at_limit[4] = {0, 0, 0x10, 0};
    EXPECT_EQ(frame_length(at_limit), kMaxPayload);
}

}  // namespace
}  // namespace tolven::bridge
