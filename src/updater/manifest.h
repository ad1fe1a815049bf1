// The update site's description of the latest build ("version.json"), the addresses derived
// from the site address, and the shell script that swaps the application folder. Plain C++:
// the network and the dialogs are in updater.h, the archive checks in bundle.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ivo {

// The content of "version.json".
struct Info {
    std::string version;  // shown to the user
    int64_t build = 0;    // the only value compared
    std::string url;      // absolute when it begins with "http", else relative to the site
    std::optional<std::string> notes;
};

// A description larger than this is refused unread: it is a few lines of JSON.
inline constexpr size_t maxInfoBytes = 1 << 20;

// Decodes "version.json": an object with the strings "version" and "url" (both non-empty),
// the non-negative integer "build" and, when present, the string "notes". Anything else,
// including a text above `maxInfoBytes`, gives none.
std::optional<Info> parseInfo(std::string_view text);

// The build number of a build definition: a decimal integer, else 0.
int64_t parseBuild(std::string_view text);

// The site address without the "/" and " " characters at either end.
std::string trimBase(std::string_view base);

// base + "/version.json?t=" + seconds; `base` already trimmed.
std::string versionAddress(const std::string& base, int64_t secondsSince1970);

// The archive's address: `url` when it begins with "http", else base + "/" + url.
std::string archiveAddress(const std::string& url, const std::string& base);

// `p` as one word for the POSIX shell: between single quotes, each "'" written '\''.
std::string shellQuote(const std::string& p);

// The folders one replacement touches; every path absolute.
struct SwapPaths {
    std::string current;  // the running application folder
    std::string fresh;    // the unpacked new folder, on the same file system as `current`
    std::string work;     // the private working folder holding `fresh`, removed at the end
};

// The script that waits until process `pid` has ended, then checks that the new
// bin/ivorane3d is an executable regular file that answers "--version", moves the running
// folder aside to current + ".ancien", renames the new one into its place, and starts
// bin/ivorane3d of whichever folder stands there in the end. Any failed step puts the old
// folder back; the old folder is deleted only once the new one is in place.
std::string swapScript(int64_t pid, const SwapPaths& paths);

}  // namespace ivo
