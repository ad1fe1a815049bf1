// Which commands have a button in the toolbar: the pins of every group, loaded once from the
// preferences (with the one-time insertion of the magnet into older pin sets) and written back
// on every change. Plain code over a small store; the controller's store is QSettings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/command_catalog.h"

namespace ivo {

// The two preferences behind the pins: "toolbarPins" (a JSON blob) and "pinMagnetAdded".
class PinStore {
public:
    virtual ~PinStore() = default;
    virtual std::optional<std::string> pinsBlob() const = 0;
    virtual void setPinsBlob(const std::string& blob) = 0;
    virtual bool magnetAdded() const = 0;
    virtual void setMagnetAdded(bool added) = 0;
};

// The map as a JSON object from group key to an array of ids.
std::string encodePins(const PinMap& pins);
// None unless `blob` is a JSON object whose every value is an array of strings.
std::optional<PinMap> decodePins(const std::string& blob);

class ToolbarPins {
public:
    explicit ToolbarPins(PinStore& store) : store_(store) {}

    // Loaded from the store on first use.
    const PinMap& pins();
    bool isPinned(const std::string& id, const std::string& group, bool sketch);
    // The ids the toolbar shows for `group`, in order; ids the catalog lacks are kept here and
    // skipped by the toolbar.
    std::vector<std::string> shown(const std::string& group, bool sketch);
    // Pins (kept in catalog order) or unpins one command, and saves.
    void setPinned(const std::string& id, const std::string& group, bool sketch, bool on);
    // Back to the default pins, saved.
    void reset();
    void save();

private:
    void load();
    // The stored list of the key, else its default, else empty.
    std::vector<std::string> current(const std::string& key);

    PinStore& store_;
    std::optional<PinMap> pins_;
};

}  // namespace ivo
