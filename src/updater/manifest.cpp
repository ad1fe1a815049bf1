// Decoding "version.json", site addresses and the swap script.
#include "updater/manifest.h"

#include <charconv>
#include <limits>

#include <nlohmann/json.hpp>

namespace ivo {

std::optional<Info> parseInfo(std::string_view text) {
    if (text.size() > maxInfoBytes) return std::nullopt;
    const auto j = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    const auto str = [&j](const char* key) -> const nlohmann::json* {
        const auto it = j.find(key);
        return it != j.end() && it->is_string() ? &*it : nullptr;
    };
    const auto* version = str("version");
    const auto* url = str("url");
    const auto b = j.find("build");
    if (!version || !url || b == j.end()) return std::nullopt;
    Info info;
    // Booleans and fractions are not build numbers; neither is anything beyond 64 bits.
    if (b->is_number_unsigned()) {
        const auto u = b->get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
        info.build = static_cast<int64_t>(u);
    } else if (b->is_number_integer()) {
        info.build = b->get<int64_t>();
        if (info.build < 0) return std::nullopt;
    } else {
        return std::nullopt;
    }
    info.version = version->get<std::string>();
    info.url = url->get<std::string>();
    if (info.version.empty() || info.url.empty()) return std::nullopt;
    if (const auto n = j.find("notes"); n != j.end()) {
        if (n->is_string())
            info.notes = n->get<std::string>();
        else if (!n->is_null())
            return std::nullopt;
    }
    return info;
}

int64_t parseBuild(std::string_view text) {
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
    return v;
}

std::string trimBase(std::string_view base) {
    const auto cut = [](char c) { return c == '/' || c == ' '; };
    while (!base.empty() && cut(base.front()))
        base.remove_prefix(1);
    while (!base.empty() && cut(base.back()))
        base.remove_suffix(1);
    return std::string(base);
}

std::string versionAddress(const std::string& base, int64_t secondsSince1970) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, secondsSince1970);
    return base + "/version.json?t=" + std::string(digits, r.ptr);
}

std::string archiveAddress(const std::string& url, const std::string& base) {
    if (url.rfind("http", 0) == 0) return url;
    return base + "/" + url;
}

std::string shellQuote(const std::string& p) {
    std::string out = "'";
    for (char c : p) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string swapScript(int64_t pid, const SwapPaths& paths) {
    const std::string cur = shellQuote(paths.current);
    const std::string old = shellQuote(paths.current + ".ancien");
    const std::string fresh = shellQuote(paths.fresh);
    const std::string freshBin = shellQuote(paths.fresh + "/bin/ivorane3d");
    const std::string curBin = shellQuote(paths.current + "/bin/ivorane3d");
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, pid);
    const std::string lines[] = {
        "while kill -0 " + std::string(digits, r.ptr) + " 2>/dev/null; do sleep 0.3; done",
        "rm -rf " + old,
        // The new program must run before anything moves: a build that cannot even load its
        // libraries never replaces one that works.
        "if [ -f " + freshBin + " ] && [ ! -L " + freshBin + " ] && [ -x " + freshBin +
            " ] && timeout 60 " + freshBin + " --version >/dev/null 2>&1 </dev/null && mv " + cur +
            " " + old + "; then",
        "  if mv " + fresh + " " + cur + "; then rm -rf " + old + "; else mv " + old + " " + cur +
            "; fi",
        "fi",
        "if [ ! -d " + cur + " ] && [ -d " + old + " ]; then mv " + old + " " + cur + "; fi",
        "rm -rf " + shellQuote(paths.work),
        "cd / && exec setsid " + curBin + " >/dev/null 2>&1 </dev/null",
    };
    std::string script;
    for (const std::string& l : lines)
        script += (script.empty() ? "" : "\n") + l;
    return script;
}

}  // namespace ivo
