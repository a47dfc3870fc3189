// The hub's telnet client reading anything a server may send: the same data, answers and verdict
// however the bytes are cut, never more data than came, and data it coded itself read back
// unchanged, binary or with NVT's line ends.
#include "fuzz_support.h"
#include "hub/telnet.h"

namespace {

struct Read {
    std::string data, reply;
    hub::telnet::Verdict verdict;
    bool operator==(const Read& o) const { return data == o.data && reply == o.reply && verdict == o.verdict; }
};

// Binary data refused both ways: NVT's line ends.
const std::string kNoBinary("\xff\xfe\x00\xff\xfc\x00", 6);

// The bytes read in pieces of the given size (0: whole), after what opens the connection.
Read ReadIn(std::string_view in, std::size_t piece, std::string_view opening = "") {
    hub::telnet::Client client;
    client.Start({}, 0, 0);
    Read r;
    client.Read(opening, r.data, r.reply);
    if (piece == 0) piece = in.size() + 1;
    for (std::size_t at = 0; at < in.size(); at += piece) client.Read(in.substr(at, piece), r.data, r.reply);
    r.verdict = client.Judge(hub::telnet::AnswerMs);
    return r;
}

// Data coded by a client with that opening.
std::string Coded(std::string_view data, std::string_view opening) {
    hub::telnet::Client client;
    client.Start({}, 0, 0);
    std::string ignored, out;
    client.Read(opening, ignored, ignored);
    client.Code(data, out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const Read whole = ReadIn(in, 0);
    fuzz::Require(whole.data.size() <= in.size(), "no more data than came", fuzz::Shown(in));
    fuzz::Require(whole.reply.size() % 3 == 0, "answers are whole commands", fuzz::Shown(whole.reply));
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}})
        fuzz::Require(ReadIn(in, piece) == whole, "the same, however the bytes are cut", fuzz::Shown(in));

    for (const std::string& opening : {std::string(), kNoBinary}) {
        const Read back = ReadIn(Coded(in, opening), 0, opening);
        fuzz::Require(back.data == in && back.reply.empty(), "coded data reads back unchanged",
                      fuzz::Shown(in) + "\n" + fuzz::Shown(back.data));
    }
    return 0;
}
