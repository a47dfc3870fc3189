#pragma once
// A bridge's settings, each described once: its registry value and default, the bridge
// dialog's control that shows it, and which values a bridge may hold. The registry store, the
// dialog and the start's check of the rows all work from this table. Pure logic.
#include "config/bridge.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

// How the dialog edits a field: not at all, with a drop-down list whose item is the value's
// text or whose position is the value, a check box, an edit of text, or a narrow edit of a number.
enum class TFieldControl { None, ComboText, ComboPosition, Check, Edit, Number };

// Where the dialog shows it: the row below the two boxes, the serial port's box, the network's.
enum class TFieldGroup { Below, Serial, Network };

struct TFieldItems {
    constexpr TFieldItems() = default;
    template <std::size_t N>
    constexpr TFieldItems(const char* const (&texts)[N]) : Texts(texts), Count(static_cast<int>(N)) {}  // NOLINT: implicit by design
    const char* const* Texts = nullptr;
    int Count = 0;
};

struct TFieldView {
    TFieldControl Control = TFieldControl::None;
    const char* Label = "";  // at the control's left; a check box's own text
    TFieldGroup Group = TFieldGroup::Below;
    int Tab = 0;   // its place in the group's tab order
    int Line = 0;  // the line of its box it stands on; FootLine: the network box's foot, beside the legend
    TFieldItems Items{};  // a drop-down list's
    int Limit = 0;  // an edit's most characters; 0: no limit, a longer text is refused rather than cut
    const char* Widest = "";  // an edit widens, over its label's spare room, until this shows in full
    const char* Unit = "";  // at the control's right
    const char* Hint = "";  // the control's tool tip
};
constexpr int FootLine = -1;

// Whether and how the main window's list shows a field: its column's place, title, and either a
// fixed width (pixels at 96 dots per inch) or a share of what the fixed columns leave.
struct TFieldColumn {
    int Position = -1;  // -1: not shown
    const char* Title = "";
    int Width = 0;
    int Share = 0;
};

// A text member of any length: read, and written cut to its length.
struct TTextMember {
    std::string_view (*Get)(const TBridge&);
    void (*Set)(TBridge&, std::string_view);
    std::size_t MaxSize;
};

template <auto Member>
constexpr TTextMember TextMember() {
    return {[](const TBridge& b) { return (b.*Member).view(); }, [](TBridge& b, std::string_view t) { b.*Member = t; },
            std::remove_reference_t<decltype(std::declval<TBridge&>().*Member)>::max_size};
}

using TBridgeMember = std::variant<std::uint8_t TBridge::*, std::int32_t TBridge::*, bool TBridge::*, TTextMember>;

struct TBridgeField {
    const char* Name;  // the registry value, and the key of the typed text
    TBridgeMember Member;
    const char* Default;  // the stored text a missing value stands for; Port aside, a new bridge's too
    TFieldView View{};  // the dialog binds its control to the field's name
    TFieldColumn Column{};
    // Which values a bridge may hold; null when any goes. What names the value in a refusal
    // ("Bridge 'COM3' has an invalid server port"), Range is what the dialog's refusal adds.
    bool (*Valid)(const TBridge&) = nullptr;
    const char* What = nullptr;
    const char* Range = "";
    // Whether a start refuses a stored bridge against the rule; not for a rule that only keeps
    // what is typed tidy (a Name stored with a tab still starts, and is logged with a blank).
    bool StartRefuses = true;
};

// In the order OK writes them, the index of the pair (which the dialog does not show) first.
extern const TBridgeField BridgeFields[13];

// The field of that registry value's name, which must be one of the table's.
const TBridgeField& FieldNamed(std::string_view name);

// A field's text as the list and the dialog show it: for a value of the bridge in slot that
// could not be read, the text as stored, for the user to mend.
std::string ShownText(const TBridge& bridge, const TBridgeField& field, int slot);

// The list's columns, in their order, with the field each shows.
std::vector<const TBridgeField*> ListColumns();

// The texts a bridge shows in the list's columns; an unreadable value shows as stored.
std::vector<std::string> RowOf(const TBridge& bridge);

// True for a server address that can stand unquoted in a command line and can name a server:
// not empty, at most 253 characters (the longest host name), no blank, double quote, colon or control character, no leading "-" (the hub would
// read an option), and when it is four dotted numbers, none above 255.
bool IsValidServerAddress(std::string_view address);

// What the dialog offers for a new bridge: every field's default, but a server port to keep
// rather than the 0 that stands for a missing Port and a free slot.
TBridge NewBridge();

// A field's value as text: decimal for a number, "1" or "0" for a flag.
std::string FieldText(const TBridge& bridge, const TBridgeField& field);

// Sets a field from text: a number (a flag: any number but 0 sets it) as parse reads it. False,
// and nothing set, when the number does not parse.
bool SetFieldText(TBridge& bridge, const TBridgeField& field, const std::string& text,
                  std::optional<std::int32_t> (*parse)(std::string_view));

// The first field whose value keeps the bridge from a start, or null.
const TBridgeField* InvalidField(const TBridge& bridge);

// What the dialog's controls hold, as OK reads them, by the fields' names: a drop-down list's
// selected item (empty for none) or position (-1 for none), "1" or "0" for a check box.
using TBridgeFields = std::map<std::string, std::string>;

// Text typed into the dialog that cannot be stored; the message is what the user sees, the
// field is where the dialog puts the focus.
class EInvalidInput : public std::runtime_error {
public:
    EInvalidInput(const std::string& message, const TBridgeField& field) : std::runtime_error(message), Field(&field) {}
    const TBridgeField* Field;
};

// Writes the fields into the record in the dialog's order and raises EInvalidInput at the
// first one that cannot be stored: a number that does not parse, or a value the field's rule
// refuses. Fields written before it stay written.
void StoreBridgeFields(const TBridgeFields& fields, TBridge& record);

// Raises EInvalidInput on the COM port when a bridge other than the one in exceptSlot uses the
// record's port (letters compared without case): "COM5 is already used by bridge 'Scale'", or
// "... by the bridge to 192.168.0.98:9761" for one without a name.
void CheckComPortFree(const TBridge& record, int exceptSlot);
