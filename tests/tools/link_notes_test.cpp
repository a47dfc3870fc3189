// What the icon shows of the links: its tip and colour, and its notes.
#include "tools/link_notes.h"

#include <gtest/gtest.h>

namespace {

using S = TLinkState;

TEST(LinkNotes, TheIconsTipAndColourAndTheNotesLimit) {
    const S c = S::Connected, w = S::Waiting;
    EXPECT_EQ(TrayTip({c, c, w, c}, true), "Pontis Manager: 3 of 4 bridges connected");
    EXPECT_EQ(TrayTip({c, c}, false), "Pontis Manager: bridges stopped");
    EXPECT_EQ(TrayState({c, w}, true), w);
    EXPECT_EQ(TrayState({c, c}, true), c);
    EXPECT_EQ(TrayState({c}, false), S::Stopped);
    EXPECT_EQ(TrayState({c, S::Off}, true), c) << "a bridge that is off does not count";
    EXPECT_EQ(TrayTip({c, S::Off, w}, true), "Pontis Manager: 1 of 2 bridges connected");
    EXPECT_EQ(TrayState({w, S::NotAnswering, c}, true), S::NotAnswering);
    EXPECT_EQ(TrayTip({c, S::NotAnswering, w}, true), "Pontis Manager: 1 of 3 bridges connected, 1 not answering");
    EXPECT_EQ(TrayState({c, S::Mismatched, w}, true), S::Mismatched);
    EXPECT_EQ(TrayTip({c, S::Refused, S::Mismatched}, true), "Pontis Manager: 1 of 3 bridges connected, 1 port control refused, 1 mismatched");
    EXPECT_EQ(LinkTip(S::NotAnswering, "192.168.0.99", 9761, "14:02:11"), "192.168.0.99:9761 is not answering (since 14:02:11)");
    EXPECT_EQ(OutageText(130999) + ", " + OutageText(3900000) + ", " + OutageText(0), "2 min 10 s, 1 h 5 min, 0 s");
    // Ten lost at once: ten Names do not fit a note, ten COM texts do; longer ones end in "and N more".
    for (const std::string& com : {std::string("COM"), std::string(40, 'C')}) {
        std::vector<TLinkSeen> seen;
        for (int n = 1; n <= 10; ++n) seen.push_back({n, com + std::to_string(n), "h:1", c, false, 0, std::string(20, 'N')});
        TLinks ten;
        const std::string text = Notes(ten.Look(0, seen), ten).at(0).Text;
        EXPECT_EQ(com == "COM" ? text : text.substr(text.size() - 32),
                  com == "COM" ? "COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, COM9 and COM10 lost their servers"
                               : "C5 and 5 more lost their servers");
        EXPECT_LE(text.size(), NoteTextLimit);
        EXPECT_EQ(text.find(" and "), text.rfind(" and ")) << "one \"and\"";
    }
    const TLinkEvent echoesRefused{TEventKind::ChecksRefused, 0, S::Stopped, S::Stopped, -1, "Access denied"};
    const std::vector<TNote> checks = Notes({echoesRefused, {TEventKind::ChecksWork}}, {});
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ((checks[0].Warning ? "! " : "") + checks[0].Text + "|" + checks[1].Text,
              "! Servers cannot be checked: Access denied|Servers can be checked again");
}

}  // namespace
