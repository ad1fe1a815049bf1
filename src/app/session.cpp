// JSON form of the session file, read with the document reader of the file format.
#include "app/session.h"

#include <algorithm>

#include "document/doc_json.h"

namespace ivo {
namespace {

bool readTab(JsonReader& r, const Json& v, TabSession& out) {
    if (!r.object(v)) return false;
    const Json* doc = r.member(v, "doc");
    if (!doc) return false;
    {
        JsonReader::Step s = r.key("doc");
        if (!readDoc(r, *doc, out.doc)) return false;
    }
    std::optional<std::vector<std::string>> collapsed;
    if (!r.optField(v, "file", out.file) || !r.field(v, "dirty", out.dirty) ||
        !r.optField(v, "collapsed", collapsed))
        return false;
    out.collapsed = std::move(collapsed).value_or(std::vector<std::string>{});
    return true;
}

std::optional<Session> readMultiTab(const Json& tree, std::string& reason) {
    JsonReader r;
    Session s;
    const Json* tabs = r.object(tree) ? r.member(tree, "tabs") : nullptr;
    const bool ok = tabs && [&] {
        JsonReader::Step at = r.key("tabs");
        return r.list(*tabs, s.tabs,
                      [&r](const Json& e, TabSession& t) { return readTab(r, e, t); });
    }() && r.field(tree, "active", s.active);
    if (!ok) {
        reason = r.error();
        return std::nullopt;
    }
    if (s.tabs.empty()) {
        reason = "aucun onglet";
        return std::nullopt;
    }
    return s;
}

std::optional<Session> readSingleDocument(const Json& tree, std::string& reason) {
    JsonReader r;
    TabSession tab;
    if (!readTab(r, tree, tab)) {
        reason = r.error();
        return std::nullopt;
    }
    return Session{{std::move(tab)}, 0};
}

}  // namespace

std::string encodeSession(const Session& session) {
    Json tabs = Json::array();
    for (const TabSession& t : session.tabs) {
        Json j = Json::object();
        j["doc"] = toJson(t.doc);
        if (t.file) j["file"] = *t.file;
        j["dirty"] = t.dirty;
        if (!t.collapsed.empty()) j["collapsed"] = t.collapsed;
        tabs.push_back(std::move(j));
    }
    Json root = Json::object();
    root["tabs"] = std::move(tabs);
    root["active"] = session.active;
    // Replacement of invalid UTF-8 keeps a name typed in a foreign encoding from making the
    // whole session unwritable.
    return root.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Session> decodeSession(std::string_view text, std::string& reason) {
    const std::optional<Json> tree = parseJson(text, reason);
    if (!tree) return std::nullopt;
    std::string multiReason;
    if (auto s = readMultiTab(*tree, multiReason)) return s;
    std::string singleReason;
    if (auto s = readSingleDocument(*tree, singleReason)) return s;
    // The multi-tab reason names the fault of a current file; an old file has no "tabs".
    reason = tree->is_object() && tree->contains("tabs") ? multiReason : singleReason;
    return std::nullopt;
}

size_t activeIndex(const Session& session) {
    if (session.tabs.empty()) return 0;
    const std::int64_t last = static_cast<std::int64_t>(session.tabs.size()) - 1;
    return static_cast<size_t>(std::clamp<std::int64_t>(session.active, 0, last));
}

}  // namespace ivo
