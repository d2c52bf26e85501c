#include "ops/operation.h"

namespace ferro::ops {

std::string FromUtf8(std::string_view utf8) { return DiskToGbk(utf8); }

std::string FilesClosing(int done) {
    return Utf16ToGbk(u"成功处理文件总数量：") + std::to_string(done);
}

std::string TextClosing(int done) {
    return Utf16ToGbk(u"成功处理完成,共处理 ") + std::to_string(done) + Utf16ToGbk(u" 个文件!");
}

std::string RecordsClosing(int done) {
    return Utf16ToGbk(u"成功处理完成,共处理 ") + std::to_string(done) + Utf16ToGbk(u" 条记录!");
}

}  // namespace ferro::ops
