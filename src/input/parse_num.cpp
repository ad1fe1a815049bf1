// The expression parser behind every numeric field. Plain ASCII work on the UTF-8 bytes and
// std::from_chars, so that neither the process locale nor malformed text can change a value.
#include "input/parse_num.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace ivo {
namespace {

// Deeper parentheses are refused: no field needs them, and the recursive descent must stay
// far from the end of the stack whatever is pasted into a field.
constexpr int maxDepth = 200;

// Removes every occurrence of `what`, scanning left to right without overlaps.
void eraseAll(std::string& s, std::string_view what) {
    std::string out;
    out.reserve(s.size());
    size_t from = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, from)) {
        out.append(s, from, at - from);
        from = at + what.size();
    }
    if (from == 0) return;
    out.append(s, from, std::string::npos);
    s.swap(out);
}

// Lower-cases, drops the units "mm", "°", "deg" and the spaces, and reads "," as the decimal
// point. Only ASCII letters change case: no other upper-case character lowers to one of the
// letters this grammar reads, and any character left outside ASCII fails the parse anyway.
std::string prepare(std::string_view text) {
    std::string s(text);
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    eraseAll(s, "mm");
    eraseAll(s, "\u00b0");
    eraseAll(s, "deg");
    eraseAll(s, " ");
    for (char& ch : s)
        if (ch == ',') ch = '.';
    return s;
}

bool isDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// Recursive descent over the prepared text; values are computed while parsing. Unary signs
// are counted in a loop, so only parentheses nest, and never deeper than maxDepth.
class NumParser {
public:
    explicit NumParser(std::string_view text) : c_(prepare(text)) {}

    bool atEnd() const { return i_ == c_.size(); }

    std::optional<double> expr() {
        std::optional<double> v = term();
        while (v && (peek() == '+' || peek() == '-')) {
            const char op = c_[i_++];
            const std::optional<double> rhs = term();
            if (!rhs) return std::nullopt;
            v = op == '+' ? *v + *rhs : *v - *rhs;
        }
        return v;
    }

private:
    char peek() const { return i_ < c_.size() ? c_[i_] : '\0'; }

    std::optional<double> term() {
        std::optional<double> v = factor();
        while (v && (peek() == '*' || peek() == '/' || peek() == 'x')) {
            const char op = c_[i_++];
            const std::optional<double> rhs = factor();
            if (!rhs) return std::nullopt;
            v = op == '/' ? *v / *rhs : *v * *rhs;
        }
        return v;
    }

    std::optional<double> factor() {
        bool negate = false;
        for (; peek() == '-' || peek() == '+'; ++i_)
            if (c_[i_] == '-') negate = !negate;
        std::optional<double> v;
        if (peek() == '(') {
            if (depth_ == maxDepth) return std::nullopt;
            ++i_;
            ++depth_;
            v = expr();
            --depth_;
            if (v && peek() == ')') ++i_;  // a missing closing parenthesis is forgiven
        } else {
            v = number();
        }
        if (v && negate) v = -*v;
        return v;
    }

    // The longest run of digits and points, read as a plain decimal (no sign, no exponent).
    std::optional<double> number() {
        const size_t start = i_;
        while (i_ < c_.size() && (isDigit(c_[i_]) || c_[i_] == '.'))
            ++i_;
        if (i_ == start) return std::nullopt;
        const char* first = c_.data() + start;
        const char* last = c_.data() + i_;
        double v = 0;
        const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::fixed);
        if (end != last) return std::nullopt;  // "1.2.3", or a lone "."
        if (ec == std::errc::result_out_of_range) {
            // Beyond the double range the conversion rounds as usual: to infinity when the
            // integer part is not zero, to zero otherwise (so "1/1000…0" stays a number).
            bool large = false;
            for (const char* p = first; p != last && *p != '.'; ++p)
                large = large || *p != '0';
            return large ? std::numeric_limits<double>::infinity() : 0.0;
        }
        if (ec != std::errc()) return std::nullopt;
        return v;
    }

    std::string c_;
    size_t i_ = 0;
    int depth_ = 0;
};

}  // namespace

std::optional<double> parseNum(std::string_view text) {
    NumParser p(text);
    const std::optional<double> v = p.expr();
    if (!v || !p.atEnd() || !std::isfinite(*v)) return std::nullopt;
    return v;
}

}  // namespace ivo
