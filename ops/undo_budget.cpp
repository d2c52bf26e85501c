#include "ops/undo_budget.h"

#include <cstdio>
#include <cstdlib>

#include "journal/journal.h"
#include "ops/operation.h"
#include "platform/error.h"

namespace ferro::ops {

std::unique_ptr<Journal> OpenRunJournal() {
    auto journal = std::make_unique<Journal>();
    const char* budget = std::getenv("FERRO_UNDO_BUDGET");
    if (budget && *budget >= '0' && *budget <= '9') {
        char* end = nullptr;
        const unsigned long long bytes = std::strtoull(budget, &end, 10);
        if (end != budget && *end == '\0') journal->SetBudget(bytes);
    }
    return journal;
}

std::string SizeText(uint64_t bytes) {
    char text[32];
    if (bytes >= (uint64_t{1} << 30))
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / double(uint64_t{1} << 30));
    else if (bytes >= (uint64_t{1} << 20))
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / double(1 << 20));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 1023) / 1024));
    else
        return std::to_string(bytes) + FromUtf8(" 字节");
    return text;
}

UndoRoom MakeUndoRoom(Journal& journal, const std::vector<BatchFile>& rewritten) {
    UndoRoom room;
    room.bytes = EstimateOldContentBytes(rewritten);
    room.budget = journal.budget();
    room.fits = room.bytes == 0 || journal.MakeRoom(room.bytes);
    return room;
}

UndoRoom CheckUndoRoom(const Journal& journal, const std::vector<BatchFile>& rewritten) {
    UndoRoom room;
    room.bytes = EstimateOldContentBytes(rewritten);
    room.budget = journal.budget();
    room.fits = room.bytes == 0 || journal.HasRoomFor(room.bytes);
    return room;
}

namespace {

std::string BeyondBudget(const UndoRoom& room) {
    return FromUtf8("这些文件的原内容共 ") + SizeText(room.bytes) + FromUtf8("，超出撤销记录的上限 ") +
           SizeText(room.budget) + FromUtf8("，处理后将无法撤销。\n");
}

}  // namespace

std::string UndoRoomQuestion(const UndoRoom& room) {
    return BeyondBudget(room) + FromUtf8("是否继续处理（不保留撤销记录）？");
}

std::string UndoRoomRefusal(const UndoRoom& room) {
    return BeyondBudget(room) + FromUtf8("如果不需要撤销，请加上 --no-undo 再试。");
}

}  // namespace ferro::ops
