// The session file that brings every open tab back at the next start: its records and their
// JSON form, in the current multi-tab form and the older single-document one (read only).
// Plain code without Qt; the controller decides where the file lives and when it is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc.h"

namespace ivo {

struct TabSession {
    Doc doc;                          // including unsaved changes
    std::optional<std::string> file;  // path of the tab's .q3d file, if it has one
    bool dirty = false;
    std::vector<std::string> collapsed = {};  // browser sections folded in this tab
    friend bool operator==(const TabSession&, const TabSession&) = default;
};

struct Session {
    std::vector<TabSession> tabs;  // tab order
    std::int64_t active = 0;       // as written; clamp before use (activeIndex)
    friend bool operator==(const Session&, const Session&) = default;
};

// Compact JSON: {"tabs":[{"doc":…,"file":…,"dirty":…,"collapsed":[…]}],"active":n}, "file"
// omitted when absent and "collapsed" when empty (files without it read as nothing folded).
std::string encodeSession(const Session& session);

// Reads either form; the old one ({"doc","file","dirty"} at the top level) gives one tab with
// active 0. Nothing, with a French reason, when neither form reads or no tab is found.
std::optional<Session> decodeSession(std::string_view text, std::string& reason);

// `active` clamped to the tabs (0 when there are none).
size_t activeIndex(const Session& session);

}  // namespace ivo
