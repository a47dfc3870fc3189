#pragma once
// Values for every field of the bridge table, so that a test that sets them all cannot miss a
// field added later.
#include "config/bridge_fields.h"
#include "config/number.h"

#include <string>
#include <type_traits>

// The field's value moved on: a list's next item (the first after the last), a flag turned
// over, a number plus one, a text's last digit counted on (else a "1" added).
inline void MoveOn(TBridge& bridge, const TBridgeField& field) {
    const TFieldItems& items = field.View.Items;
    if (field.View.Control == TFieldControl::ComboText && items.Count > 0) {
        int at = 0;
        while (at < items.Count && FieldText(bridge, field) != items.Texts[at]) ++at;
        SetFieldText(bridge, field, items.Texts[(at + 1) % items.Count], ParseDecimal);
        return;
    }
    std::visit(
        [&bridge, &items](auto member) {
            if constexpr (std::is_same_v<decltype(member), TTextMember>) {
                std::string text(member.Get(bridge));
                if (!text.empty() && text.back() >= '0' && text.back() <= '9')
                    text.back() = static_cast<char>('0' + (text.back() - '0' + 1) % 10);
                else
                    text += '1';
                member.Set(bridge, text);
            } else {
                auto& value = bridge.*member;
                using T = std::remove_reference_t<decltype(value)>;
                if constexpr (std::is_same_v<T, bool>) value = !value;
                else value = static_cast<T>(items.Count > 0 ? (value + 1) % items.Count : value + 1);
            }
        },
        field.Member);
}

// Every field moved on from its default until its rule takes it: a bridge that starts, each of
// whose values differs from the default, and which the dialog can show.
inline TBridge EveryFieldSet() {
    TBridge bridge;
    for (const TBridgeField& field : BridgeFields) {
        SetFieldText(bridge, field, field.Default, ParseDecimal);
        MoveOn(bridge, field);
        for (int i = 0; i < 10 && field.Valid && !field.Valid(bridge); ++i) MoveOn(bridge, field);
    }
    return bridge;
}
