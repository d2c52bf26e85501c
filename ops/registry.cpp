#include "ops/registry.h"

namespace ferro::ops {

// Each operation's unit gives its one instance.
const Operation& ExtensionOp();
const Operation& RenameOp();
const Operation& DatesOp();
const Operation& AttributesOp();
const Operation& StatisticsOp();
const Operation& KeyMergeOp();
const Operation& LineCutOp();
const Operation& LineInsertOp();
const Operation& PatternReplaceOp();
const Operation& LineDeleteOp();
const Operation& LineExtractOp();
const Operation& LineSyncOp();
const Operation& NewLinesOp();
const Operation& CombineOp();
const Operation& ConvertOp();

std::span<const Operation* const> Operations() {
    static const Operation* const list[] = {
        &ExtensionOp(),  &RenameOp(),         &DatesOp(),
        &AttributesOp(), &StatisticsOp(),     &KeyMergeOp(),
        &LineCutOp(),    &LineInsertOp(),     &PatternReplaceOp(),
        &LineDeleteOp(), &LineExtractOp(),    &LineSyncOp(),
        &NewLinesOp(),   &CombineOp(),        &ConvertOp(),
    };
    return list;
}

const Operation* FindOperation(std::string_view name) {
    for (const Operation* op : Operations())
        if (name == op->info().name) return op;
    return nullptr;
}

}  // namespace ferro::ops
