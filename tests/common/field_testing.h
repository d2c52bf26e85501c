// Values of an operation's fields other than their defaults, one of each
// field's kind, for tests that check every field comes back.
#pragma once

#include <string>

#include "common/temp_folder.h"
#include "ops/operation.h"

namespace ferro::testing {

inline std::string OtherValue(const ops::Field& f) {
    switch (f.kind) {
        case ops::FieldKind::Flag: return std::string(f.fallback) == "1" ? "0" : "1";
        case ops::FieldKind::Choice:
            return f.choices.back().value == std::string_view(f.fallback) ? f.choices.front().value
                                                                           : f.choices.back().value;
        case ops::FieldKind::Number: return "37";
        case ops::FieldKind::Date: return "2024-02-29";
        case ops::FieldKind::Time: return "23:59:58";
        case ops::FieldKind::Memo: return Gbk("第一行 a\\b\r\n第二行=2");
        case ops::FieldKind::Text: return Gbk("名称_${Sn(1,3)} \\ = ;");
    }
    return {};
}

inline ops::FieldValues EveryFieldChanged(const ops::Operation& op) {
    ops::FieldValues values = op.Defaults();
    for (const ops::Field& f : op.fields()) values.Set(f.name, OtherValue(f));
    return values;
}

}  // namespace ferro::testing
