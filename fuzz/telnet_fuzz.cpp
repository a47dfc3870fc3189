// The hub's telnet client reading anything a server may send: the same data, answers and notes
// however the bytes are cut, never more data than came, and data it escaped itself read back
// unchanged.
#include "fuzz_support.h"
#include "hub/telnet.h"

namespace {

struct Read {
    std::string data, reply;
    std::vector<std::string> notes;
    bool operator==(const Read& o) const { return data == o.data && reply == o.reply && notes == o.notes; }
};

// The bytes read in pieces of the given size (0: whole).
Read ReadIn(std::string_view in, std::size_t piece) {
    hub::telnet::Client client;
    client.Start({});
    Read r;
    if (piece == 0) piece = in.size() + 1;
    for (std::size_t at = 0; at < in.size(); at += piece) client.Read(in.substr(at, piece), r.data, r.reply, r.notes);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const Read whole = ReadIn(in, 0);
    fuzz::Require(whole.data.size() <= in.size(), "no more data than came", fuzz::Shown(in));
    fuzz::Require(whole.reply.size() % 3 == 0, "answers are whole commands", fuzz::Shown(whole.reply));
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}})
        fuzz::Require(ReadIn(in, piece) == whole, "the same, however the bytes are cut", fuzz::Shown(in));

    std::string escaped;
    hub::telnet::Escape(in, escaped);
    const Read back = ReadIn(escaped, 0);
    fuzz::Require(back.data == in && back.reply.empty() && back.notes.empty(), "escaped data reads back unchanged",
                  fuzz::Shown(in) + "\n" + fuzz::Shown(back.data));
    return 0;
}
