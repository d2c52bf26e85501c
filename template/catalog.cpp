#include "template/catalog.h"

#include <unicode/unistr.h>

#include "platform/codec.h"

namespace ferro {
namespace {

using K = CatalogKind;

// Help examples that evaluate a function follow one form, "例：对 <subject>
// 使用 <template> 得到 <result>", so that the tests can check them against
// the engine.
constexpr CatalogEntry kCatalog[] = {
    {"${Ext}: 原扩展名", "${Ext}", "ext", K::kVariable,
     "更改扩展名时代表原扩展名（不含点）。例：对 a.txt 使用 ${Ext}.bak 得到 a.txt.bak"},
    {"${Filename}: 原文件名", "${Filename}", "filename", K::kVariable,
     "原文件名（不含扩展名），保留原来的大小写。例：对 Report.txt 使用 New_${Filename} 得到 "
     "new_Report.txt"},
    {"${Fullname}: 原完整文件名", "${Fullname}", "fullname", K::kVariable,
     "原完整文件名（含扩展名）。"},
    {"${Date(yyyymmdd)}: 日期格式", "${Date(yyyy-mmm-dd)}", "date", K::kFunction,
     "当前日期，括号内为日期格式：yyyy 年、mm 月、mmm 中文月份、dd 日。例：2012年5月1日使用 "
     "${Date(yyyymmdd)} 得到20120501"},
    {"${Time(hhnnss)}: 时间格式", "${Time(hh:nn:ss)}", "time", K::kFunction,
     "当前时间，括号内为时间格式：hh 时、nn 分、ss 秒、zzz 毫秒。例：15点05分09秒使用 "
     "${Time(hhnnss)} 得到150509"},
    {"${Sn(10,n)}: 从10开始的序号", "${Sn(开始序号,长度)}", "sn", K::kVariable,
     "从开始序号起逐个加1的序号，不足长度时前面补0。例：${Sn(10,3)} 依次得到010、011、012"},
    {"${LastDir}: 最后一级目录名", "${LastDir}", "lastdir", K::kVariable,
     "文件所在的最后一级目录名。例：D:\\photos\\2012 中的文件使用 ${LastDir}_${Sn(1,2)} "
     "得到2012_01"},
    {"${DelStr(s)}: 删除设定字符", "${DelStr(要删除的字符)}", "delstr", K::kFunction,
     "删除所有设定的字符（不区分大小写）。例：对 report_2012 使用 ${DelStr(_)} 得到 report2012"},
    {"${DelRange(s1,s2)}: 删除字符范围", "${DelRange(要删除的开始字符,要删除的结束字符)}",
     "delrange", K::kFunction,
     "删除从开始字符到其后第一个结束字符的内容（含这两个字符）。例：对 report_2012 使用 "
     "${DelRange(p,_)} 得到 re2012"},
    {"${DelLeft(n)}: 删除左边字符", "${DelLeft(从左边开始删除的字符数量)}", "delleft", K::kFunction,
     "从左边删除指定数量的字符，中文字符算两个。例：对 report_2012 使用 ${DelLeft(7)} 得到 2012"},
    {"${DelRight(n)}: 删除右边字符", "${DelRight(从右边开始删除的字符数量)}", "delright",
     K::kFunction, "从右边删除指定数量的字符。例：对 report_2012 使用 ${DelRight(5)} 得到 report"},
    {"${DelMid(n1,n2)}: 删除中间字符", "${DelMid(要删除的字符开始位置,要删除的字符数量)}", "delmid",
     K::kFunction,
     "从开始位置起删除指定数量的字符。例：对 report_2012 使用 ${DelMid(7,1)} 得到 report2012"},
    {"${RepStr(s1,s2)}: 替换字符", "${RepStr(要替换的原字符,替换的新字符)}", "repstr", K::kFunction,
     "把所有原字符替换为新字符（不区分大小写）。例：对 report_2012 使用 ${RepStr(_,-)} 得到 "
     "report-2012"},
    {"${AddLeft(s)}: 左边添加字符", "${AddLeft(从左边开始添加的字符)}", "addleft", K::kFunction,
     "在左边添加字符。例：对 report_2012 使用 ${AddLeft(new_)} 得到 new_report_2012"},
    {"${AddRight(s)}: 右边添加字符", "${AddRight(从右边开始添加的字符)}", "addright", K::kFunction,
     "在右边添加字符。例：对 report_2012 使用 ${AddRight(_v2)} 得到 report_2012_v2"},
    {"${AddMid(n,s)}: 中间添加字符", "${AddMid(要添加的字符开始位置,要添加的字符)}", "addmid",
     K::kFunction,
     "在指定位置添加字符，添加的字符从该位置开始。例：对 report_2012 使用 ${AddMid(7,v)} 得到 "
     "reportv_2012"},
    {"${File(s)}: 文件中字符命名", "${File(文本文件名称)}", "file", K::kVariable,
     "用文本文件中的行依次作为新文件名，第1行给列表第1行的文件。例：${File(names.txt)}"},
    {"${File2(s)}: 文件中字符替换命名", "${File2(文本文件名称)}", "file2", K::kVariable,
     "文本文件每行一组“原字符;新字符”，在文件名中逐个替换。例：${File2(rep.txt)}"},
    {"${GetLeft(n)}: 从左边获取字符", "${GetLeft(从左边开始获取的字符数量)}", "getleft",
     K::kFunction, "从左边获取指定数量的字符。例：对 report_2012 使用 ${GetLeft(6)} 得到 report"},
    {"${GetRight(n)}: 从右边获取字符", "${GetRight(从右边开始获取的字符数量)}", "getright",
     K::kFunction, "从右边获取指定数量的字符。例：对 report_2012 使用 ${GetRight(4)} 得到 2012"},
    {"${GetMid(n1,n2)}: 从中间获取字符", "${GetMid(要获取的字符开始位置,要获取的字符数量)}",
     "getmid", K::kFunction,
     "从开始位置起获取指定数量的字符。例：对 report_2012 使用 ${GetMid(8,2)} 得到 20"},
    {"${GetStr(s,n)}: 单关键字获取字符", "${GetStr(要获取的字符关键字,要获取的字符数量)}", "getstr",
     K::kFunction,
     "从关键字起（含关键字）获取指定数量的字符，关键字区分大小写。例：对 report_2012 使用 "
     "${GetStr(_,3)} 得到 _20"},
    {"${GetStr2(s1,s2)}: 双关键字获取字符", "${GetStr2(要获取的开始字符,要获取的结束字符)}",
     "getstr2", K::kFunction,
     "获取从开始字符到其后第一个结束字符的内容（含这两个字符）。例：对 report_2012 使用 "
     "${GetStr2(r,t)} 得到 report"},
    {"${AddMid2(s1,n,s2)}: 关键字位置添加字符",
     "${AddMid2(要添加的字符关键字,偏移量,要添加的字符)}", "addmid2", K::kFunction,
     "在关键字位置加偏移量处添加字符，偏移量可为0或负数。例：对 report_2012 使用 "
     "${AddMid2(_,1,v)} 得到 report_v2012"},
    {"${NewLine(n)}: 按位置换行", "${NewLine(要换行的字符数量)}", "newline", K::kFunction,
     "每隔指定数量的字符换一行，不会拆开中文字符。例：对 abcdefghij 使用 ${NewLine(4)} "
     "得到三行：abcd、efgh、ij"},
    {"${LineStr(n)}: 指定行的字符", "${LineStr(获取字符行的行号)}", "linestr", K::kOperationItem,
     "插入新行时代表文件中指定行号的行。例：${LineStr(2)} 取每个文件的第2行"},
    {"${LineStr2(s)}: 指定关键字行的字符", "${LineStr2(获取字符行的关键字)}", "linestr2",
     K::kOperationItem,
     "插入新行时代表文件中第一个含有关键字的行。例：${LineStr2(标题)} 取第一个含“标题”的行"},
    {"${Xchg(s1,s2)}: 交换字符", "${Xchg(要交换的字符1,要交换的字符2)}", "xchg", K::kFunction,
     "交换两组字符的位置（不区分大小写）。例：对 report_2012 使用 ${Xchg(report,2012)} 得到 "
     "2012_report"},
    {"${LineRandStr()}: 随机行的字符", "${LineRandStr()}", "linerandstr", K::kOperationItem,
     "插入新行时代表文件中随机的一行。"},
    {"${DelStrL(s)}: 删除关键字左边字符", "${DelStrL(要删除左边字符的关键字)}", "delstrl",
     K::kFunction, "删除关键字及其左边的所有字符。例：对 report_2012 使用 ${DelStrL(_)} 得到 2012"},
    {"${DelStrR(s)}: 删除关键字右边字符", "${DelStrR(要删除右边字符的关键字)}", "delstrr",
     K::kFunction,
     "删除关键字及其右边的所有字符。例：对 report_2012 使用 ${DelStrR(_)} 得到 report"},
    {"${Pos(s)}: 获取关键字的位置", "${Pos(要获取位置的关键字)}", "pos", K::kFunction,
     "关键字第一次出现的位置，找不到时为0，常用于嵌套。例：对 report_2012 使用 "
     "${GetLeft(${Pos(_)}-1)} 得到 report"},
    {"${GetMid2(s,n1,n2)}: 关键字位置获取字符",
     "${GetMid2(要获取位置的关键字,偏移量,要获取的字符数量)}", "getmid2", K::kFunction,
     "从关键字位置加偏移量处获取指定数量的字符。例：对 report_2012 使用 ${GetMid2(_,1,2)} 得到 "
     "20"},
    {"${XlsTo(s)}: Excel转换为", "${XlsTo(新的扩展名)}", "xlsto", K::kConversion,
     "把Excel文件转换为新扩展名的格式。例：对 book.xls 使用 ${XlsTo(csv)} 得到 book.csv"},
    {"${CsvTo(s)}: Csv转换为", "${CsvTo(新的扩展名)}", "csvto", K::kConversion,
     "把Csv文件转换为新扩展名的格式。例：对 data.csv 使用 ${CsvTo(xls)} 得到 data.xls"},
    {"${TxtTo(s)}: Text转换为", "${TxtTo(新的扩展名)}", "txtto", K::kConversion,
     "把以Tab分隔的文本转换为逗号分隔。例：对 data.txt 使用 ${TxtTo(csv)} 得到 data.csv"},
    {"${VcfTo(s)}: Vcf转换为", "${VcfTo(新的扩展名)}", "vcfto", K::kConversion,
     "把vCard联系人文件转换为表格。例：对 contacts.vcf 使用 ${VcfTo(csv)} 得到 contacts.csv"},
    {"${Len(s)}: 获取字符的长度", "${Len(要获取长度的字符)}", "len", K::kFunction,
     "字符的长度，中文字符算两个，常用于嵌套。例：对 report_2012 使用 ${Len(${LineOrg()})} 得到 "
     "11"},
    {"${LineOrg()}: 当前行的字符", "${LineOrg()}", "lineorg", K::kFunction,
     "当前处理的原字符（文件名或当前行），常用于嵌套。例：对 report_2012 使用 "
     "${AddLeft(${LineOrg()}_)} 得到 report_2012_report_2012"},
    {"${Chs2Num(s)}: 中文数字转阿拉伯数字", "${Chs2Num(需要转换的字符)}", "chs2num", K::kFunction,
     "把中文数字逐字转为阿拉伯数字。例：对 第三章 使用 ${Chs2Num(${LineOrg()})} 得到 第3章"},
};

static_assert(std::size(kCatalog) == 40);

// Examples name a file and what it holds: "例：<file> 使用 <item> 得到 <text>".
constexpr CatalogEntry kFileItems[] = {
    {"${ModTime(yyyymmdd)}: 文件修改时间", "${ModTime(日期时间格式)}", "modtime", K::kFileItem,
     "文件的修改时间（本地时间，与文件列表相同），格式同 ${Date}：yyyy 年、mm 月、mmm 中文月份、"
     "dd 日、hh 时、nn 分、ss 秒。例：2024年5月1日修改的文件使用 ${ModTime(yyyy-mm-dd)} 得到 "
     "2024-05-01"},
    {"${CreTime(yyyymmdd)}: 文件创建时间", "${CreTime(日期时间格式)}", "cretime", K::kFileItem,
     "文件的创建时间（本地时间，与文件列表相同），格式同 ${ModTime}。例：2023年1月2日创建的文件使用 "
     "${CreTime(yyyymmdd)} 得到 20230102"},
    {"${TakenTime(yyyymmdd)}: 拍摄时间", "${TakenTime(日期时间格式)}", "takentime", K::kFileItem,
     "照片的拍摄时间（EXIF 中的拍摄时间，没有时用数字化时间），视频的创建时间（换算为本地时间）；"
     "写成 ${TakenTime(格式,1)} 时没有拍摄时间的文件用修改时间，否则不处理该文件。"
     "例：2024年5月1日10:20:30拍摄的照片使用 ${TakenTime(yyyymmdd_hhnnss)} 得到 20240501_102030"},
    {"${Camera}: 相机型号", "${Camera}", "camera", K::kFileItem,
     "照片的相机厂商和型号（厂商只写一次）。例：佳能 EOS 80D 拍摄的照片使用 ${Camera} 得到 Canon "
     "EOS 80D"},
    {"${Width}: 图像宽度", "${Width}", "width", K::kFileItem,
     "图片或视频的宽度（像素）。例：1920x1080 的图片使用 ${Width}x${Height} 得到 1920x1080"},
    {"${Height}: 图像高度", "${Height}", "height", K::kFileItem,
     "图片或视频的高度（像素）。例：1920x1080 的视频使用 ${Height}p 得到 1080p"},
    {"${Artist}: 艺术家", "${Artist}", "artist", K::kFileItem,
     "音乐文件的艺术家（ID3、Vorbis、FLAC、MP4、WMA 标签）。例：周杰伦的歌曲使用 ${Artist} 得到 "
     "周杰伦"},
    {"${Title}: 标题", "${Title}", "title", K::kFileItem,
     "音乐文件的标题。例：歌曲《晴天》使用 ${Artist} - ${Title} 得到 周杰伦 - 晴天"},
    {"${Album}: 专辑", "${Album}", "album", K::kFileItem,
     "音乐文件的专辑名。例：专辑《叶惠美》中的歌曲使用 ${Album} 得到 叶惠美"},
    {"${Year}: 年份", "${Year}", "year", K::kFileItem,
     "音乐文件标签中的年份。例：2003年的歌曲使用 ${Year} 得到 2003"},
    {"${Track(n)}: 音轨号", "${Track(位数)}", "track", K::kFileItem,
     "音乐文件的音轨号，不足位数时前面补0。例：第3首歌曲使用 ${Track(2)} 得到 03"},
    {"${Duration(hhnnss)}: 时长", "${Duration(时长格式)}", "duration", K::kFileItem,
     "音乐或视频的时长，格式代码 hh 时、nn 分、ss 秒，最大的单位包含全部时长。"
     "例：时长1小时2分3秒的视频使用 ${Duration(hh-nn-ss)} 得到 01-02-03"},
    {"${DocTitle}: 文档标题", "${DocTitle}", "doctitle", K::kFileItem,
     "PDF、Word/Excel/PowerPoint（docx、xlsx、pptx）和 OpenDocument 文档属性中的标题。"
     "例：标题为“年度报告”的文档使用 ${DocTitle} 得到 年度报告"},
    {"${Author}: 作者", "${Author}", "author", K::kFileItem,
     "文档属性中的作者。例：张三写的文档使用 ${Author}_${DocTitle} 得到 张三_年度报告"},
    {"${Pages}: 页数", "${Pages}", "pages", K::kFileItem,
     "文档的页数（文档中记录了页数时；演示文稿为幻灯片数）。例：3页的文档使用 ${Pages}页 得到 3页"},
    {"${MD5}: MD5校验值", "${MD5}", "md5", K::kFileItem,
     "文件内容的 MD5 校验值（小写十六进制）。例：内容为 abc 的文件使用 ${MD5} 得到 "
     "900150983cd24fb0d6963f7d28e17f72"},
    {"${CRC32}: CRC32校验值", "${CRC32}", "crc32", K::kFileItem,
     "文件内容的 CRC32 校验值（小写十六进制）。例：内容为 abc 的文件使用 ${CRC32} 得到 352441c2"},
};

// The renamer's own, after what files hold.
constexpr CatalogEntry kNameItems[] = {
    {"${SnDir(1,n)}: 每个目录重新开始的序号", "${SnDir(开始序号,长度)}", "sndir", K::kVariable,
     "与 ${Sn} 相同，但在每个目录中从开始序号重新编号（按列表中的顺序）。例：两个目录中的文件使用 "
     "${LastDir}_${SnDir(1,2)} 分别得到 a_01、a_02 和 b_01、b_02"},
    {"${Pinyin}: 原文件名的拼音", "${Pinyin}", "pinyin", K::kVariable,
     "原文件名（不含扩展名）中的汉字换成不带声调的拼音，连在一起，其他字符不变。例：对 张三 使用 "
     "${Pinyin} 得到 zhangsan"},
    {"${PinyinInitials}: 拼音首字母", "${PinyinInitials}", "pinyininitials", K::kVariable,
     "原文件名中每个汉字拼音的首字母。例：对 张三 使用 ${PinyinInitials} 得到 zs"},
    {"${PinyinSpaced}: 空格分开的拼音", "${PinyinSpaced}", "pinyinspaced", K::kVariable,
     "原文件名中的汉字换成拼音，每个字之间用空格分开。例：对 张三 使用 ${PinyinSpaced} 得到 zhang san"},
    {"${RegRep(s1,s2)}: 正则表达式替换", "${RegRep(正则表达式,替换为)}", "regrep", K::kFunction,
     "把正则表达式的每个匹配替换为新字符，\\1 到 \\9 为分组，\\0 为整个匹配；参数中逗号写作 \\,，"
     "右花括号写作 \\}。例：对 IMG_2024-05 使用 ${RegRep(([0-9]+)-([0-9]+),\\2-\\1)} 得到 IMG_05-2024"},
    {"${RegGet(s,n)}: 正则表达式获取", "${RegGet(正则表达式,分组)}", "regget", K::kFunction,
     "第一个匹配的第几个分组（0 为整个匹配），没有匹配时为空；[0-9]{2,4} 写作 [0-9]{2\\,4\\}。"
     "例：对 报告2024年 使用 ${RegGet([0-9]{4\\},0)} 得到 2024"},
};

}  // namespace

std::span<const CatalogEntry> NameItemCatalog() {
    return kNameItems;
}

std::span<const CatalogEntry> TemplateCatalog() {
    return kCatalog;
}

std::span<const CatalogEntry> FileItemCatalog() {
    return kFileItems;
}

std::string CatalogTextGbk(const char* utf8) {
    const icu::UnicodeString u = icu::UnicodeString::fromUTF8(utf8);
    return Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(u.getBuffer()),
                                          static_cast<std::size_t>(u.length())));
}

}  // namespace ferro
