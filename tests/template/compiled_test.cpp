// The compiled form against the reference evaluator: every template it is
// given must come out exactly as EvaluateTemplate gives it, on the fuzzing
// seeds, the picker's help examples, the worked examples and the nesting
// cases, for one compiled object run against many subjects in a row.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <sstream>

#include "fuzz/split_input.h"
#include "platform/text.h"
#include "template/catalog.h"
#include "template/functions.h"
#include "template/gbk.h"
#include "template/template.h"

// Every allocation of the test program is counted.
static long long allocations = 0;

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace ferro {
namespace {

using test::Gbk;

DateTime FixedNow() {
    return DateTime{2012, 3, 4, 5, 6, 7, 890};
}

// Date and time read the clock once per item; a fixed clock makes two
// evaluations comparable.
class CompiledTemplateTest : public ::testing::Test {
protected:
    void SetUp() override { detail::SetClockForTesting(FixedNow); }
    void TearDown() override {
        detail::SetClockForTesting(nullptr);
        detail::SetValueLimitForTesting(0);
    }
};

// The reference's value, or "<refused: ...>" when it throws.
std::string Reference(std::string_view subject, std::string_view expression) {
    try {
        return EvaluateTemplate(subject, expression);
    } catch (const TemplateError& e) {
        return std::string("<refused: ") + e.what() + ">";
    }
}

std::string Compiled(CompiledTemplate& t, std::string_view subject) {
    try {
        return std::string(t.Evaluate(subject));
    } catch (const TemplateError& e) {
        return std::string("<refused: ") + e.what() + ">";
    }
}

const std::vector<std::string>& Subjects() {
    static const std::vector<std::string> subjects = {
        "report_2012", "", "a,b", "ABC", "a}b", "{a}", "x${lineorg()}", "${len(a)}",
        "C:\\temp\\new", Gbk(u"中文ab"), Gbk(u"第三章"), "\x81\x7d", "(a,b),c)", "${getleft(1)}",
        std::string(300, 'a'),
    };
    return subjects;
}

// One compiled object against every subject, twice over (the second round
// runs on buffers left by the first), and a fresh compile of the same text.
void ExpectSameAsReference(std::string_view expression,
                           const std::vector<std::string>& subjects = Subjects()) {
    SCOPED_TRACE(testing::Message() << "expression: " << expression);
    CompiledTemplate t(expression);
    for (int round = 0; round < 2; ++round)
        for (const std::string& s : subjects) {
            SCOPED_TRACE(testing::Message() << "subject: " << s);
            ASSERT_EQ(Compiled(t, s), Reference(s, expression));
        }
}

TEST_F(CompiledTemplateTest, WorkedExamplesAndEdges) {
    const char* const expressions[] = {
        "${getleft(6)}", "${getright(4)}", "${delleft(7)}", "${getleft(${pos(_)}-1)}",
        "${getright(${len(${lineorg()})}-7)}", "${repstr(_,-)}", "${xchg(report,2012)}",
        "${addmid2(_,1,v)}", "${getstr2(r,t)}", "${len(abc)}", "abc", "${foo(1)}", "${abc}", "",
        "${", "${}", "${(}", "$", "}", "${GetLeft(3)}", "${ getleft(3)}", "${getleft (3)}",
        "${pos(b)}", "${repstr(b,x)}", "${xchg(a,c)}", "${delstr(b)}", "${delright(20)}",
        "${delmid(3,2)}", "${addmid(99,x)}", "${addleft(\\t)}", "${addright(\\R\\N)}", "x\\ty",
        "${lineorg()}", "${len(${lineorg()})}", "${getmid(2,3,4)}", "${addmid2(a,1,x,y)}",
        "${addleft(${lineorg()})}", "${addleft()}", "${getleft(2*3)}", "${getleft(abc)}",
        "${getleft(1e300*1e300)}", "xyz${getleft(3)}", "${newline(4)}", "${newline(1)}",
        "${delrange(p,_)}", "${getstr(_,3)}", "${getmid2(_,-6,2)}", "${delstrl(t_2)}",
        "${delstrr(_)}", "${chs2num(${lineorg()})}", "${gb2big(x)}", "${big2gb()}",
        "${date(yyyy-mm-dd hh:nn:ss)}", "${time(yyyy-mm-dd hh:nn:ss.zzz)}", "${date()}",
        "${time()}", "${getleft(3)}_x", "${addleft(a}b)}", "${addleft(}}})}",
        "${addleft(${len(ab)}})}", "${addleft(${lineorg()}${lineorg()})}",
        "${len(${lineorg()}", "${addleft(${x)}", "${addleft(${len(a)}${getleft(1",
        "${lineorg(${len(a)})}", "${foo(${len(a)})}", "${addleft(${foo(1)})}",
        "${addleft(${abc})}", "${addleft(${(})}", "${addleft(${ab${lineorg()}})}",
        "${addleft(${getleft${lineorg()}})}", "${addleft(${len(${lineorg()}}",
        "${addleft(${len(a)}${len(a)}${LEN(A)})}", "${addleft(${repstr(a,x)}${REPSTR(A,X)})}",
        "${addleft(${len(${lineorg()})}-${LEN(${lineorg()})})}",
        "${addleft(${repstr(a,${getleft(1)})}${REPSTR(A,${getleft(1)})})}",
        "${addleft(${getleft(1)}|${GETLEFT(1)}|${getleft(${len(a)})})}",
        "${addleft(${addright(${lineorg()})}${ADDRIGHT(${lineorg()})}${addright(${LINEORG()})})}",
        "${addmid2(${getleft(1)},${len(ab)},${lineorg()})}",
        "${addleft(${addright(x${lineorg()})}${ADDRIGHT(X${lineorg()})})}",
        "${addleft(${len(${lineorg()}})}", "${addleft(${addright(${lineorg()}})}",
        "${getleft(${pos(${getright(1)})})}", "${repstr(${getleft(1)},${getright(2)})}",
        "\\t${addleft(\\n)}", "${addleft(\\\\t)}",
        // Text after the call.
        "${getleft(3)}_x", "${getleft(6)}.${getright(4)}", "x${len(a)}y${len(ab)}z",
        "${getleft(3)}}", "${getleft(3)})}", "${getleft(3)}_${len(ab)", "${getleft(3)}_${",
        "${abc}_${def}", "${len(a)}\\t${addleft(\\n)}", "${lineorg()}${lineorg()}",
        "${getleft(${pos(_)}-1)}_${getleft(${pos(_)}-1)}", "${date(yyyy)}_${time(hh)}",
        "${addleft(${len(ab)}})}_${addleft(a}b)}", "${foo(1)}_${getleft(1)}",
    };
    for (const char* e : expressions) ExpectSameAsReference(e);
    // Chinese names and keywords, and braces inside characters.
    for (const char16_t* e : {u"${len(中)}", u"${pos(文)}", u"${delstrl(的)}", u"${len(亇)}",
                              u"${addleft(${len(亇)})}", u"${repstr(ａ,${len(中)})}",
                              u"${chs2num(二十三)}", u"${addleft(${中(})}"})
        ExpectSameAsReference(Gbk(e));
}

TEST_F(CompiledTemplateTest, FuzzSeeds) {
    const std::filesystem::path dir = std::filesystem::path(FERRO_FUZZ_CORPUS_DIR) / "template";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream data;
        data << in.rdbuf();
        const std::string input = data.str();
        const auto c = fuzz::SplitTemplateInput(input);
        std::vector<std::string> subjects = Subjects();
        subjects.emplace_back(c.subject);
        ExpectSameAsReference(c.expression, subjects);
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST_F(CompiledTemplateTest, CatalogEntriesAndHelpExamples) {
    int checked = 0;
    for (const CatalogEntry& e : TemplateCatalog()) {
        ExpectSameAsReference(CatalogTextGbk(e.written));
        // "例：对 <subject> 使用 <template> 得到 <result>"
        const std::string help = e.help, use = " 使用 ", of = "例：对 ", gives = " 得到 ";
        const std::size_t a = help.find(of), b = help.find(use), c = help.find(gives);
        if (a == std::string::npos || b == std::string::npos || c == std::string::npos) continue;
        const std::string subject = CatalogTextGbk(help.substr(a + of.size(), b - a - of.size()).c_str());
        const std::string expression =
            CatalogTextGbk(help.substr(b + use.size(), c - b - use.size()).c_str());
        std::vector<std::string> subjects = Subjects();
        subjects.push_back(subject);
        ExpectSameAsReference(expression, subjects);
        ++checked;
    }
    EXPECT_GE(checked, 20);
}

// Templates put together at random, so that nestings nobody wrote down are
// compared too: calls with nested calls, repeated items in another letter
// case, calls left open or closed short, and plain token soup.
class RandomTemplates {
public:
    explicit RandomTemplates(unsigned seed) : random_(seed) {}

    std::string Next() {
        earlier_.clear();
        if (Chance(10)) return Soup();
        std::string e = Chance(10) ? Token() : "";
        e += Call(0);
        // Text after the call, with calls of its own.
        for (int k = std::uniform_int_distribution<int>(0, 2)(random_); k > 0; --k) {
            if (Chance(50)) e += Token();
            if (Chance(40)) e += Call(0);
        }
        return e;
    }

private:
    bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random_) < percent; }
    template <std::size_t N>
    const char* Pick(const char* const (&list)[N]) {
        return list[std::uniform_int_distribution<std::size_t>(0, N - 1)(random_)];
    }

    std::string Token() {
        static const char* const kTokens[] = {"a", "A", "_", "1", "-1", "2*3", ",", "x", "X",
                                              "\\t", "(", ")", "}", "${", " ", "\xD6\xD0",
                                              "\x81", "\x81\x7d", "\\", "\\}", "\\,", "\\)",
                                              "[a-z]+", "{2\\,3\\}", ".", "(b)", "\\1"};
        return Pick(kTokens);
    }

    std::string Soup() {
        static const char* const kPieces[] = {"${", "}", "(", ")", ")}", ",", "${lineorg()}",
                                              "${len(", "${pos(", "${getleft(", "${REPSTR(",
                                              "${addleft(", "a", "_", "1", "\\t", "\xD6"};
        std::string e;
        for (int k = std::uniform_int_distribution<int>(1, 12)(random_); k > 0; --k)
            e += Pick(kPieces);
        return e;
    }

    std::string Call(int depth) {
        // An item met before, maybe in another letter case.
        if (!earlier_.empty() && Chance(25)) {
            std::string again =
                earlier_[std::uniform_int_distribution<std::size_t>(0, earlier_.size() - 1)(random_)];
            if (Chance(50)) AnsiUpperInPlace(again);
            return again;
        }
        static const char* const kNames[] = {
            "lineorg", "len",    "pos",    "getleft", "getright", "getmid",  "repstr", "xchg",
            "addleft", "addright", "addmid", "addmid2", "delstr",  "delrange", "getstr2", "getmid2",
            "delstrl", "newline", "chs2num", "foo",    "LineOrg", "GETLEFT", " len",   "delleft",
            "regrep", "regget",  "RegRep", "REGGET"};
        std::string e = "${";
        e += Pick(kNames);
        if (!Chance(5)) e += "(";
        for (int k = std::uniform_int_distribution<int>(0, 3)(random_); k > 0; --k)
            e += depth < 3 && Chance(40) ? Call(depth + 1) : Token();
        static const char* const kEnds[] = {")}", ")}", ")}", ")}", ")}", "}", ")", "", ")}}"};
        e += Pick(kEnds);
        earlier_.push_back(e);
        return e;
    }

    std::mt19937 random_;
    std::vector<std::string> earlier_;
};

TEST_F(CompiledTemplateTest, RandomTemplates) {
    RandomTemplates templates(20120304);
    CompiledTemplate reused;
    for (int i = 0; i < 4000; ++i) {
        const std::string e = templates.Next();
        SCOPED_TRACE(testing::Message() << "expression: " << e);
        // One object compiled again and again keeps no trace of the last.
        reused.Compile(e);
        for (const std::string& s : Subjects()) {
            SCOPED_TRACE(testing::Message() << "subject: " << s);
            ASSERT_EQ(Compiled(reused, s), Reference(s, e));
        }
    }
}

TEST_F(CompiledTemplateTest, ASubjectMayBeTheLastValue) {
    CompiledTemplate t("${addleft(x)}");
    std::string_view v = t.Evaluate("a");
    v = t.Evaluate(v);
    v = t.Evaluate(v);
    EXPECT_EQ(v, "xxxa");
}

TEST_F(CompiledTemplateTest, ASubjectMayBeTheLastValueOfATemplateWithTextAfterItsCall) {
    CompiledTemplate t("${addleft(x)}_${len(ab)}");
    std::string_view v = t.Evaluate("a");
    v = t.Evaluate(v);
    EXPECT_EQ(v, "xxa_2_2");
}

TEST_F(CompiledTemplateTest, AffixesTakeLiteralTextAfterTheCall) {
    struct Case {
        const char* expression;
        bool affixes;
        const char* left;
        const char* right;
    };
    const Case cases[] = {
        {"${addleft(x)}_y", true, "x", "_y"},
        {"${addright(x)}_y", true, "", "x_y"},
        {"${lineorg()}.bak", true, "", ".bak"},
        {"${addleft(x)}_${len(a)}", false, "", ""},
        {"${getleft(1)}_y", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        CompiledTemplate t(c.expression);
        std::string left, right;
        ASSERT_EQ(t.Affixes(left, right), c.affixes);
        if (!c.affixes) continue;
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(right, c.right);
        EXPECT_EQ(std::string(t.Evaluate("s")), left + "s" + right);
    }
}

TEST_F(CompiledTemplateTest, CacheKeepsEachTextApart) {
    TemplateCache cache(2);
    const char* const texts[] = {"${getleft(1)}", "${getright(1)}", "${len(abc)}", "${getleft(1)}",
                                 "plain", "${getright(1)}"};
    for (int round = 0; round < 3; ++round)
        for (const char* e : texts) {
            SCOPED_TRACE(e);
            EXPECT_EQ(cache.Evaluate("report", e), EvaluateTemplate("report", e));
        }
}

TEST_F(CompiledTemplateTest, SteadyEvaluationsAllocateNothing) {
    const std::string subject = "abcdefghij_klmnopqrstuvwxyz0123456789ABC";
    for (const char* e :
         {"${getleft(${pos(_)}-1)}", "${addleft(${len(${lineorg()})})}", "${repstr(_,--)}",
          "${xchg(a,_)}", "${addmid2(${getleft(1)},${len(ab)},${lineorg()})}", "${getleft(2 0)}",
          "${addleft(${repstr(a,x)}${REPSTR(A,${getleft(1)})}${len(${lineorg()})})}"}) {
        SCOPED_TRACE(e);
        CompiledTemplate t(e);
        t.Evaluate(subject);
        t.Evaluate(subject);
        const long long before = allocations;
        for (int i = 0; i < 100; ++i) t.Evaluate(subject);
        EXPECT_EQ(allocations - before, 0);
    }
}

}  // namespace
}  // namespace ferro
