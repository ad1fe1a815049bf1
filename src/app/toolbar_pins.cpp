// Pins are decoded strictly: a blob of any other shape is ignored as a whole and the defaults
// are used until the next change overwrites it.
#include "app/toolbar_pins.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace ivo {
namespace {

const std::vector<std::string>* listOf(const PinMap& pins, const std::string& key) {
    const auto it = pins.find(key);
    return it == pins.end() ? nullptr : &it->second;
}

// Position among the commands of the group, separators not counted; unknown ids last.
int catalogPosition(const std::string& id, const std::string& group, bool sketch) {
    if (const CmdGroup* g = findGroup(group, sketch)) {
        int i = 0;
        for (const std::optional<Cmd>& c : g->items) {
            if (!c) continue;
            if (c->id == id) return i;
            ++i;
        }
    }
    return 99;
}

}  // namespace

std::string encodePins(const PinMap& pins) {
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [key, ids] : pins)
        j[key] = ids;
    return j.dump();
}

std::optional<PinMap> decodePins(const std::string& blob) {
    const nlohmann::json j = nlohmann::json::parse(blob, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    PinMap pins;
    for (const auto& [key, value] : j.items()) {
        if (!value.is_array()) return std::nullopt;
        std::vector<std::string>& ids = pins[key];
        for (const nlohmann::json& id : value) {
            if (!id.is_string()) return std::nullopt;
            ids.push_back(id.get<std::string>());
        }
    }
    return pins;
}

void ToolbarPins::load() {
    const std::optional<std::string> blob = store_.pinsBlob();
    std::optional<PinMap> stored = blob ? decodePins(*blob) : std::nullopt;
    if (!stored) {
        store_.setMagnetAdded(true);
        pins_ = defaultPins();
        return;
    }
    pins_ = std::move(stored);
    if (!store_.magnetAdded()) {
        // Pin sets saved before the magnet had a button get it once, second in its group.
        std::vector<std::string>& tools = (*pins_)["sketch.OUTILS"];
        if (std::find(tools.begin(), tools.end(), "magnet") == tools.end())
            tools.insert(tools.begin() + (tools.empty() ? 0 : 1), "magnet");
        store_.setMagnetAdded(true);
        // Written at once: with the flag set and the old map kept, the next start would
        // never see the magnet again.
        save();
    }
}

const PinMap& ToolbarPins::pins() {
    if (!pins_) load();
    return *pins_;
}

std::vector<std::string> ToolbarPins::current(const std::string& key) {
    const std::vector<std::string>* ids = listOf(pins(), key);
    if (!ids) ids = listOf(defaultPins(), key);
    return ids ? *ids : std::vector<std::string>{};
}

bool ToolbarPins::isPinned(const std::string& id, const std::string& group, bool sketch) {
    const std::vector<std::string> ids = current(groupKey(group, sketch));
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::vector<std::string> ToolbarPins::shown(const std::string& group, bool sketch) {
    if (group == kFinishGroup) return {"finish"};
    return current(groupKey(group, sketch));
}

void ToolbarPins::setPinned(const std::string& id, const std::string& group, bool sketch, bool on) {
    const std::string key = groupKey(group, sketch);
    std::vector<std::string> ids = current(key);
    if (on) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
            std::stable_sort(
                ids.begin(), ids.end(), [&](const std::string& a, const std::string& b) {
                    return catalogPosition(a, group, sketch) < catalogPosition(b, group, sketch);
                });
        }
    } else {
        std::erase(ids, id);
    }
    (*pins_)[key] = std::move(ids);
    save();
}

void ToolbarPins::reset() {
    pins_ = defaultPins();
    save();
}

void ToolbarPins::save() {
    store_.setPinsBlob(encodePins(pins()));
}

}  // namespace ivo
