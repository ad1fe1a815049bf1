// The display form of numbers in labels and fields, written with std::to_chars so that the
// process locale cannot turn the decimal point into anything else.
#include <charconv>
#include <string>

#include "input/parse_num.h"

namespace ivo {

std::string fmt(double v) {
    // Three decimals of the largest double need 309 + 4 characters.
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    std::string s(buf, ec == std::errc() ? end : buf);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    for (char& ch : s)
        if (ch == '.') ch = ',';
    return s;
}

}  // namespace ivo
