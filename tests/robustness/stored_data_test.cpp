// The program started on broken stored bridges, seed after seed: the main window and the bridge
// dialog created for real in this process, as the program creates them. Bridges\1 to \10 are
// filled with random content of every kind a hand-edited registry can hold. Each start must
// show the bridges the load rules read, a value stored as no text the reason of its slot alone,
// and no box; closing must change nothing; and one add afterwards must write its own section and keep
// every other exactly as it was.
#include "config/bridge_fields.h"
#include "config/number.h"
#include "tools/hub_args.h"
#include "tools/tool_paths.h"
#include "registry_snapshot.h"
#include "support/dialog_ids.h"
#include "support/message_boxes.h"
#include "support/window_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <set>
#include <type_traits>

namespace {

using namespace testreg;

constexpr int kSeedBlocks = 12;
constexpr int kSeedsPerBlock = 20;

// The table's fields in the order the store reads them: the name last.
std::vector<const TBridgeField*> StoredFields() {
    std::vector<const TBridgeField*> fields;
    for (const TBridgeField& field : BridgeFields) fields.push_back(&field);
    std::stable_partition(fields.begin(), fields.end(), [](const TBridgeField* f) { return std::string(f->Name) != "Name"; });
    return fields;
}

std::string Section(int n) { return "Bridges\\" + std::to_string(n); }

// ---- random stored data ----

class Filler {
public:
    explicit Filler(unsigned seed) : rng_(seed) {}

    // Writes the program key's bridges for this seed.
    void Fill() {
        const unsigned badTypes[] = {0, 1, 5, 20};
        badType_ = badTypes[Pick(4)];
        for (int n = 1; n <= 10; ++n) {
            if (Pick(100) < 15) continue;  // no section
            const std::string key = SlotKey(n);
            for (const TBridgeField* field : StoredFields()) {
                const char* name = field->Name;
                if (Pick(100) < 20) continue;  // value missing
                const std::string text = std::string(name) == "Port" && Pick(2) ? Decimal(1 + Pick(65535)) : Text();
                WriteValue(key, name, text);
            }
            if (Pick(100) < 10) WriteValue(key + "\\sub", "Port", Text());
            if (Pick(100) < 5) WriteValue(key + "\\sub\\deeper", "COM", Text());
            if (Pick(100) < 5) WriteValue(key, "Extra", Text());
        }
        // Sections the program neither reads nor removes.
        for (const char* other : {"0", "11", "01"})
            if (Pick(100) < 10) WriteText(std::string(kProgramKey) + "\\Bridges\\" + other, "Port", "9761");
        if (Pick(100) < 30) WriteValue(kProgramKey, "command", Text());
    }

private:
    unsigned Pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }

    std::string Bytes(std::size_t n, int lowest) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(lowest + static_cast<int>(Pick(256 - lowest)));
        return s;
    }

    // A number at or past the limits, a text the number form nearly takes, or random bytes
    // (above 127 too).
    std::string Text() {
        static const char* const numbers[] = {
            "0",           "1",           "-1",         "7",           "300",         "9761",        " 9761",
            "9761 ",       "0x2621",      "$FFFFFFFF",  "$7FFFFFFF",   "x80000000",   "0x100000000", "2147483647",
            "2147483648",  "-2147483648", "-2147483649", "4294967295", "99999999999", "+5",          "-",
            "$",           "abc",         "",           "COM3",        "192.168.0.99"};
        switch (Pick(3)) {
        case 0: return numbers[Pick(std::size(numbers))];
        case 1: return Decimal(static_cast<std::int32_t>(rng_()));
        default: return Bytes(Pick(30), 1);
        }
    }

    // The text stored in one of the forms a value can take: well-formed or not, of any type.
    void WriteValue(const std::string& key, const char* name, const std::string& text) {
        const unsigned form = Pick(100);
        std::string data = text + '\0';
        DWORD type = REG_SZ;
        if (form < 10) {
            data = text;  // no terminating zero
        } else if (form < 18) {
            data = text + '\0' + Bytes(Pick(8), 0) + '\0';  // zero bytes inside
        } else if (form < 24) {
            data.clear();
        } else if (form < 27) {
            data = text + Bytes(65536 - text.size(), 0);  // 64 KB
        } else if (form < 35) {
            type = REG_EXPAND_SZ;
        } else if (form < 35 + badType_) {
            const DWORD types[] = {REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_QWORD, REG_NONE, REG_DWORD_BIG_ENDIAN};
            type = types[Pick(std::size(types))];
            data = type == REG_MULTI_SZ ? text + '\0' + text + '\0' + '\0' : Bytes(Pick(9), 0);
        }
        ASSERT_TRUE(WriteRaw(key, name, type, data)) << key << "\\" << name;
    }

    std::mt19937 rng_;
    unsigned badType_ = 0;  // how often in 100 a value has a type other than text
};

// ---- what the load rules make of it ----

struct BadType {
    std::string name;
};

struct Expected {
    std::vector<std::string> captions;   // the loaded bridges' COM texts
    std::string error;                   // the message that stopped the load, or empty
    std::set<int> loaded, heldBack;      // slots listed; sections kept as stored (unreadable, or after the error)
};

class Loader {
public:
    explicit Loader(const Snapshot& stored) : stored_(stored) {}

    Expected Load() const {
        Expected e;
        for (int n = 1; n <= 10; ++n) {
            if (!stored_.count(Section(n)) || !stored_.at(Section(n)).count("Port")) continue;
            // A value stored as no text counts as missing, and is the reason of its slot.
            bool portNoText = false;
            const char* noText = nullptr;  // the first other value stored as no text
            std::string portText;
            try {
                portText = Raw(n, "Port").value_or("");
            } catch (const BadType&) {
                portNoText = true;
            }
            std::map<std::string, std::string> s;
            for (const TBridgeField* field : StoredFields()) {
                if (std::string(field->Name) == "Port") continue;
                try {
                    s[field->Name] = Loaded(*field, Raw(n, field->Name));
                } catch (const BadType&) {
                    s[field->Name] = Loaded(*field, std::nullopt);
                    if (!noText) noText = field->Name;
                }
            }
            e.loaded.insert(n);
            // The reason in the load's order; the row shows the COM text as stored when it is.
            const bool portBad = portNoText || ParseNumber(portText).value_or(0) < 1;
            const bool comShownEmpty = !portBad && ((noText && std::string(noText) == "COM") || (!noText && s["COM"].empty()));
            e.captions.push_back(comShownEmpty ? "" : s["COM"]);
            // Listed as unreadable, and kept as stored until edited or deleted.
            if (portBad || noText || s["COM"].empty()) e.heldBack.insert(n);
        }
        return e;
    }

private:
    std::optional<std::string> Raw(int n, const char* name) const {
        auto key = stored_.find(Section(n));
        if (key == stored_.end()) return std::nullopt;
        auto value = key->second.find(name);
        if (value == key->second.end()) return std::nullopt;
        const Value& v = value->second;
        if (v.data.empty()) return std::string();
        if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) throw BadType{name};
        return v.data.substr(0, v.data.find('\0'));
    }
    // A field as loaded from its stored text, the default when missing: a number that does not
    // read takes the default too; a text keeps what its field holds.
    static std::string Loaded(const TBridgeField& field, const std::optional<std::string>& stored) {
        return std::visit(
            [&](auto member) -> std::string {
                if constexpr (std::is_same_v<decltype(member), TTextMember>) {
                    return stored.value_or(field.Default).substr(0, member.MaxSize);
                } else {
                    using T = std::remove_reference_t<decltype(std::declval<TBridge&>().*member)>;
                    const std::int32_t number = ParseNumber(stored.value_or("")).value_or(*ParseNumber(field.Default));
                    if constexpr (std::is_same_v<T, bool>) return number != 0 ? "1" : "0";
                    else return Decimal(static_cast<T>(number));
                }
            },
            field.Member);
    }

    const Snapshot& stored_;
};

// ---- the program on it ----

class StoredData : public WindowTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        CopyTool(InDriver(SetupExeName));  // the test tool: every install succeeds
        ToolBehaviour("0");
    }

    // Starts the program, checks what it shows, and closes it.
    void StartAndClose(const Expected& want, const Snapshot& before) {
        MessageBoxWatcher boxes;
        Open();
        std::vector<std::string> rows = Captions(), captions = want.captions;
        std::sort(rows.begin(), rows.end());
        std::sort(captions.begin(), captions.end());
        EXPECT_EQ(rows, captions);
        if (want.error.empty()) {
            EXPECT_EQ(boxes.Texts(), "");
        } else {
            EXPECT_EQ(boxes.Texts(), "[Pontis Manager] " + want.error + "\n");
        }
        DWORD_PTR result = 0;
        EXPECT_TRUE(::SendMessageTimeoutA(form->Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
            << "the window answers";
        EXPECT_TRUE(::IsWindowEnabled(form->Control(IdStartButton))) << "no hub runs";
        Close();
        EXPECT_EQ(FirstDifference(before, Snap(kProgramKey)), "") << "closing changed the registry";
    }

    // Starts the program and adds one bridge: it takes the lowest free slot, and the save keeps
    // every section the load could not read and writes each loaded bridge as loaded. Without a
    // free slot the add is refused and nothing changes.
    void AddOne(const Expected& want, const Snapshot& before) {
        MessageBoxWatcher boxes;
        Open();
        if (!::IsWindowEnabled(form->Control(IdAddButton))) {
            EXPECT_EQ(want.captions.size(), 10u) << "Add is unavailable only with ten rows";
            return;
        }
        int lowestFree = 0;
        for (int n = 10; n >= 1; --n)
            if (!want.heldBack.count(n) && !want.loaded.count(n)) lowestFree = n;
        if (lowestFree == 0) {
            Click(IdAddButton);
            Close();
            ASSERT_FALSE(boxes.Boxes().empty());
            EXPECT_EQ(boxes.Boxes().back().text,
                      "No free bridge slot is left. Bridges that could not be loaded keep their slots.");
            EXPECT_EQ(FirstDifference(before, Snap(kProgramKey)), "") << "a refused add changed the registry";
            return;
        }
        WithDialog(IdAddButton, {Pick(IdPortCombo, "COM20"), Type(IdServerIP, "127.0.0.1"),
                                         Type(IdBridgeName, "added"), Press(IdOkButton)});
        Close();
        const Snapshot after = Snap(kProgramKey);
        SCOPED_TRACE(boxes.Texts());

        int added = 0;
        for (int n = 1; n <= 10; ++n) {
            const std::string s = Section(n);
            SCOPED_TRACE(s);
            if (after.count(s) && after.at(s).count("Name") &&
                after.at(s).at("Name") == Value{REG_SZ, std::string("added", 6)}) {
                added = n;
                EXPECT_EQ(after.at(s).at("Port"), (Value{REG_SZ, std::string("9761", 5)}));
            } else {
                EXPECT_EQ(FirstDifference(Subtree(before, s), Subtree(after, s)), "") << "an add writes no other section";
            }
        }
        EXPECT_EQ(added, lowestFree);
        // Everything outside Bridges\1 to \10 as it was.
        auto outside = [](Snapshot s) {
            for (int n = 1; n <= 10; ++n)
                for (const auto& [key, values] : Subtree(s, Section(n))) s.erase(key);
            return s;
        };
        EXPECT_EQ(FirstDifference(outside(before), outside(after)), "");
    }

};

TEST_P(StoredData, StartsShowsClosesAndAddsWithoutLosingABridge) {
    const int first = GetParam() * kSeedsPerBlock, last = first + kSeedsPerBlock - 1;
    std::size_t rows = 0, errors = 0, heldBack = 0;
    for (int seed = first; seed <= last; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        DeleteProgramKey();
        Filler(static_cast<unsigned>(seed)).Fill();
        const Snapshot before = Snap(kProgramKey);
        const Expected want = Loader(before).Load();
        StartAndClose(want, before);
        AddOne(want, before);
        if (HasFailure()) break;
        rows += want.captions.size();
        errors += !want.error.empty();
        heldBack += want.heldBack.size();
    }
    std::printf("seeds %d to %d: %zu rows loaded, %zu error boxes, %zu sections held back\n", first, last, rows, errors,
                heldBack);
}
INSTANTIATE_TEST_SUITE_P(Seeds, StoredData, testing::Range(0, kSeedBlocks));

// A value of each type other than text in slot 1, slot 2 whole: both listed, slot 1 with the
// warning sign, and a start takes slot 2 alone; no box at the load, nor while a script keeps
// changing the value.
TEST_F(StoredData, AValueStoredAsNoTextLeavesOutItsSlotAlone) {
    CopyTool(InDriver(HubExeName), ExeDir() + "\\..\\bin\\driver\\" + HubExeName);
    const DWORD types[] = {REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_QWORD, REG_NONE, REG_DWORD_BIG_ENDIAN};
    for (DWORD type : types) {
        SCOPED_TRACE("type " + std::to_string(type));
        DeleteProgramKey();
        WriteBridge(1, "COM1", "127.0.0.1");
        WriteRaw(SlotKey(1), "Baud", type, std::string("\x80\x25\0\0\0\0\0\0", 8));
        WriteBridge(2, "COM2", "127.0.0.1");
        MessageBoxWatcher boxes;
        Open();
        EXPECT_EQ(Captions(), (std::vector<std::string>{"COM1", "COM2"}));
        EXPECT_EQ(static_cast<int>(RowState(0)), LinkStateCount) << "the warning sign";
        EXPECT_EQ(form->RowTip(1).rfind("Baud is stored as ", 0), 0u) << form->RowTip(1);
        Click(IdStartButton);
        EXPECT_EQ(ReadText(kProgramKey, "command"), BuildHubArguments({2}));
        Click(IdStopButton);
        for (DWORD again : types) {
            WriteRaw(SlotKey(1), "Baud", again, std::string("\x01\0\0\0\0\0\0\0", 8));
            form->LinksRead();
        }
        EXPECT_EQ(RowCount(), 2);
        Close();
        EXPECT_EQ(boxes.Texts(), "");
    }
}

// ---- the program itself, for a few seeds ----

struct Seen {
    HWND main = nullptr;  // the visible main window
    std::vector<std::string> boxes;
};

// Answers the program's message boxes with OK and finds its main window once no box is open.
Seen Watch(DWORD process) {
    Seen seen;
    for (int i = 0; i < 200 && !seen.main; ++i) {
        ::Sleep(50);
        std::vector<HWND> windows;
        ::EnumWindows(
            [](HWND w, LPARAM list) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows));
        HWND main = nullptr;
        std::vector<HWND> answered;
        for (HWND w : windows) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            char cls[32] = "";
            ::GetClassNameA(w, cls, sizeof cls);
            if (owner != process || !::IsWindowVisible(w)) continue;
            if (std::string(cls) == "#32770") {
                char text[1024] = "";
                ::GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
                seen.boxes.push_back(text);
                ::PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                answered.push_back(w);
            } else if (std::string(cls) == "TForm1") {
                main = w;
            }
        }
        if (answered.empty()) seen.main = main;
        for (HWND box : answered)  // until the box is gone, so that it is not answered twice
            for (int j = 0; j < 100 && ::IsWindow(box); ++j) ::Sleep(50);
    }
    return seen;
}

TEST_F(StoredData, TheProgramStartsAndClosesOnBrokenData) {
    const std::string exe = ExeDir() + "\\..\\bin\\PontisManager.exe";
    for (int seed = 0; seed < 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        DeleteProgramKey();
        Filler(static_cast<unsigned>(seed)).Fill();
        const Snapshot before = Snap(kProgramKey);
        const Expected want = Loader(before).Load();

        HANDLE program = Spawn(exe, "");
        ASSERT_NE(program, nullptr);
        const Seen seen = Watch(::GetProcessId(program));
        ASSERT_NE(seen.main, nullptr) << "no main window";
        EXPECT_EQ(seen.boxes, want.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{want.error});
        DWORD_PTR rows = 0;
        // Neither "abort if hung" nor a short limit: on a busy machine a program just started may
        // take seconds to read its messages.
        ASSERT_TRUE(::SendMessageTimeoutA(::GetDlgItem(seen.main, IdBridgeList), LVM_GETITEMCOUNT, 0, 0,
                                          SMTO_NORMAL, 10000, &rows))
            << "the window answers";
        EXPECT_EQ(rows, want.captions.size());
        ::PostMessageA(seen.main, WM_CLOSE, 0, 0);
        ASSERT_EQ(::WaitForSingleObject(program, 5000), WAIT_OBJECT_0) << "closing ends the program";
        EXPECT_EQ(FirstDifference(before, Snap(kProgramKey)), "") << "closing changed the registry";
    }
}

}  // namespace
