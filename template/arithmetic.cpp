// EvaluateArithmetic: the number arguments of the template functions. Two
// stacks, left to right, with the sign and parenthesis rules users rely on
// (a sign after an operator belongs to the number, a sign in front of "("
// is lost, unbalanced parentheses are no error).
#include "template/arithmetic.h"

#include <charconv>

#include "template/small_stack.h"

namespace ferro {
namespace {

constexpr int kParenthesis = 10;

int Precedence(char c) {
    switch (c) {
        case '(':
            return 11;
        case ')':
            return 12;
        case '*':
        case '/':
            return 2;
        case '+':
        case '-':
            return 1;
        default:
            return 0;
    }
}

double Apply(char op, double left, double right) {
    switch (op) {
        case '+':
            return left + right;
        case '-':
            return left - right;
        case '*':
            return left * right;
        // A zero or negative divisor gives 0 rather than an error.
        case '/':
            return right >= 0.000001 ? left / right : 0;
        default:
            return 0;
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The whole text must be a decimal number: optional sign, digits with an
// optional fraction, optional exponent.
bool ParseNumber(std::string_view s, double& value) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::size_t mantissa = i;
    std::size_t digits = 0;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < n && IsDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    double v = 0;
    if (digits == n - mantissa && digits <= 15) {
        // Whole numbers (nearly every argument) are exact in a double; no
        // need for the general conversion.
        long long whole = 0;
        for (std::size_t k = mantissa; k < n; ++k) whole = whole * 10 + (s[k] - '0');
        v = static_cast<double>(whole);
        value = negative ? -v : v;
        return true;
    }
    auto [end, ec] = std::from_chars(s.data() + mantissa, s.data() + n, v);
    if (ec != std::errc() || end != s.data() + n) return false;
    value = negative ? -v : v;
    return true;
}

class Evaluator {
public:
    explicit Evaluator(std::size_t length) : values_(length), operators_(length) {}

    void PushOperand(std::string_view operand) {
        double v;
        if (ParseNumber(operand, v)) values_.push(v);
    }

    // Applies stacked operators that bind at least as tightly as op (or all
    // up to the nearest parenthesis when op is ")").
    void Reduce(char op) {
        while (!operators_.empty() && values_.size() >= 2) {
            const char t = operators_.top();
            if (Precedence(t) < Precedence(op) && op != ')') break;
            if (Precedence(t) >= kParenthesis) break;
            ReduceTop();
        }
    }

    void Operator(char op) {
        if (operators_.empty()) {
            operators_.push(op);
            return;
        }
        Reduce(op);
        if (!operators_.empty() && operators_.top() == '(' && op == ')') {
            operators_.pop();
        } else {
            operators_.push(op);
        }
    }

    void PushOperator(char op) { operators_.push(op); }

    double Finish() {
        while (values_.size() >= 2 && !operators_.empty() &&
               Precedence(operators_.top()) < kParenthesis)
            ReduceTop();
        return values_.empty() ? 0 : values_.top();
    }

private:
    void ReduceTop() {
        const double right = values_.pop();
        const double left = values_.pop();
        values_.push(Apply(operators_.pop(), left, right));
    }

    SmallStack<double> values_;
    SmallStack<char> operators_;
};

double Evaluate(std::string_view s) {
    const std::size_t n = s.size();
    Evaluator ev(n);
    std::size_t start = 0;  // 0-based start of the operand being read
    for (std::size_t i = 0; i < n; ++i) {
        const char c = s[i];
        if (Precedence(c) == 0) {
            if (i == n - 1) ev.PushOperand(s.substr(start, i + 1 - start));
            continue;
        }
        if (i == 0) {
            // A leading sign stays part of the first number.
            if (c == '+' || c == '-') continue;
            ev.PushOperator(c);
            start = 1;
            continue;
        }
        const char prev = s[i - 1];
        if ((c == '+' || c == '-') && Precedence(prev) != 0 && prev != ')') continue;
        if (i > start) ev.PushOperand(s.substr(start, i - start));
        start = i + 1;
        ev.Operator(c);
    }
    return ev.Finish();
}

// Up to 15 digits from i (exact in a double); false when there are none
// or more.
bool WholeNumber(std::string_view s, std::size_t& i, double& value) {
    const std::size_t from = i;
    long long whole = 0;
    while (i < s.size() && IsDigit(s[i]) && i - from < 16) whole = whole * 10 + (s[i++] - '0');
    value = static_cast<double>(whole);
    return i > from && i - from <= 15;
}

// "12" and "12-1" (nearly every argument: a position, a position and a
// step) without the stacks; the same value the evaluator gives them.
bool Simple(std::string_view s, double& value) {
    std::size_t i = 0;
    double left = 0, right = 0;
    if (!WholeNumber(s, i, left)) return false;
    if (i == s.size()) {
        value = left;
        return true;
    }
    const char op = s[i++];
    if (Precedence(op) != 1 && Precedence(op) != 2) return false;
    if (!WholeNumber(s, i, right) || i != s.size()) return false;
    value = Apply(op, left, right);
    return true;
}

}  // namespace

double EvaluateArithmetic(std::string_view text) {
    if (double v; Simple(text, v)) return v;
    // Blanks and thousands separators carry no meaning: "1 000" is 1000.
    if (text.find_first_of(" ,") == std::string_view::npos) {
        return text.empty() ? 0 : Evaluate(text);
    }
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != ',') compact.push_back(c);
    return compact.empty() ? 0 : Evaluate(compact);
}

}  // namespace ferro
