// What a server's first bytes tell of it, fed in the pieces they arrived in.
#include "tools/telnet_scan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using A = TServerAnswer;

// ser2net 4.3.11 at connect (telnet(rfc2217) accepter), and its answer to WILL COM-PORT and a
// request for the signature.
const std::string Ser2netGreeting("\xff\xfb\x03\xff\xfd\x03\xff\xfb\x01\xff\xfe\x01\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c", 21);
const std::string Ser2netSignature = std::string("\xff\xfa\x2c\x6b\x00\xff\xf0", 7) + "\xff\xfa\x2c\x64ser2net\xff\xf0";

TEST(TelnetScan, Findings) {
    const struct {
        const char* what;
        std::vector<std::string> pieces;
        A answer;
        bool asked, isSigned;
        std::string signature;
    } cases[] = {
        {"nothing", {}, A::Raw, false, false, ""},
        {"raw bytes, a doubled IAC among them", {"ok\r\n\xff\xff\xfb\x2c"}, A::Raw, false, false, ""},
        {"IAC WILL COM-PORT", {"\xff\xfb\x2c"}, A::PortControl, false, false, ""},
        {"IAC DO COM-PORT", {"\xff\xfd\x2c"}, A::PortControl, true, false, ""},
        {"telnet without COM-PORT", {"\xff\xfb\x01\xff\xfd\x03"}, A::Telnet, false, false, ""},
        {"COM-PORT refused is no offer", {"\xff\xfc\x2c\xff\xfe\x2c"}, A::Telnet, false, false, ""},
        {"a subnegotiation alone", {std::string("\xff\xfa\x18\x00\xff\xf0", 6)}, A::Telnet, false, false, ""},
        {"ser2net", {Ser2netGreeting, Ser2netSignature}, A::PortControl, true, true, "ser2net"},
        {"a signature with a doubled IAC", {"\xff\xfb\x2c\xff\xfa\x2c\x64" "a\xff\xff" "b\xff\xf0"}, A::PortControl,
         false, true, "a\xff" "b"},
        {"split across reads", {"\xff", "\xfd", "\x2c\xff\xfa\x2c", "\x64Hub\xff", "\xf0"}, A::PortControl, true, true,
         "Hub"},
        {"another option's text is no signature", {"\xff\xfb\x2c\xff\xfa\x2c\x65x\xff\xf0"}, A::PortControl, false,
         false, ""},
    };
    for (const auto& c : cases) {
        TTelnetScan scan;
        for (const std::string& piece : c.pieces) scan.Feed(piece);
        EXPECT_EQ(scan.Answer(), c.answer) << c.what;
        EXPECT_EQ(scan.AskedForPortControl(), c.asked) << c.what;
        EXPECT_EQ(scan.Signed(), c.isSigned) << c.what;
        EXPECT_EQ(scan.Signature(), c.signature) << c.what;
    }
    EXPECT_EQ(SignatureRequest(true), std::string("\xff\xfb\x2c\xff\xfa\x2c\x00\xff\xf0", 9));
    EXPECT_EQ(SignatureRequest(false), std::string("\xff\xfa\x2c\x00\xff\xf0", 6));
    EXPECT_EQ(PortControlOffer(), "\xff\xfb\x2c");
}

TEST(TelnetScan, TheLineNamesTheServerAndShowsOnlyPrintableSignatures) {
    const struct {
        std::string signature, line;
    } cases[] = {
        {"ser2net", "h:1: Connected; speaks RFC 2217 (ser2net)"},
        {"a\r\nb\x1b[2J\xe9", "h:1: Connected; speaks RFC 2217 (a??b?[2J?)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ServerTestLine("h:1", {A::PortControl, c.signature}, true), c.line);
    EXPECT_EQ(ServerTestLine("127.0.0.1:41031", {A::Raw, ""}, false),
              "127.0.0.1:41031: Connected; raw TCP (no telnet negotiation in 1 s)");
}

}  // namespace
