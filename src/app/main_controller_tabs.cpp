// Document tabs: what the active tab keeps in the controller, switching, opening and closing.
#include <algorithm>

#include "app/feature_inspector.h"
#include "app/main_controller.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo {

DocTab MainController::captureTab() const {
    DocTab t;
    t.doc = doc_;
    t.fileURL = fileURL;
    t.dirty = dirty;
    t.undo = undoStack;
    t.redo = redoStack;
    t.target = viewport->target;
    t.dist = viewport->dist;
    t.yaw = viewport->yaw;
    t.pitch = viewport->pitch;
    t.uid = activeTab < tabs.size() ? tabs[activeTab].uid : newTabUid();
    t.collapsed = collapsed;
    return t;
}

void MainController::loadTab(const DocTab& tab) {
    doc_ = tab.doc;
    fileURL = tab.fileURL;
    dirty = tab.dirty;
    undoStack = tab.undo;
    redoStack = tab.redo;
    collapsed = tab.collapsed;

    setMode(Mode::model);
    editSketch_.reset();
    editor->leaveSketch();  // its references name records of the other tab's sketch
    // The panel never outlives the tab whose feature it shows.
    forgetFeature();
    selection.clear();
    hoverSel.reset();
    viewport->showPlanes(false);

    viewport->target = tab.target;
    viewport->dist = tab.dist;
    viewport->yaw = tab.yaw;
    viewport->pitch = tab.pitch;
    viewport->updateCamera();

    updateTitle();
    rebuildAll();
    setStatus("");
}

std::string MainController::tabTitle(size_t i) const {
    if (i == activeTab) return ivo::tabTitle(fileURL, dirty);
    return i < tabs.size() ? ivo::tabTitle(tabs[i].fileURL, tabs[i].dirty) : std::string();
}

void MainController::switchToTab(size_t i) {
    if (i == activeTab || i >= tabs.size()) return;
    leaveEditing();
    tabs[activeTab] = captureTab();
    activeTab = i;
    loadTab(tabs[i]);
    autosaveNow();
}

void MainController::newTab() {
    leaveEditing();
    tabs[activeTab] = captureTab();
    tabs.push_back(DocTab::blank());
    activeTab = tabs.size() - 1;
    loadTab(tabs[activeTab]);
    viewport->setView("iso");
    viewport->fit();
    autosaveNow();
    setStatus("Nouvel onglet : cliquez sur « Esquisse » pour commencer.");
}

bool MainController::closeTab(size_t i) {
    if (i >= tabs.size()) return false;
    if (i != activeTab) switchToTab(i);
    leaveEditing();
    if (!confirmDiscard()) return false;
    if (tabs.size() == 1) {
        tabs = {DocTab::blank()};
        activeTab = 0;
        loadTab(tabs[0]);
        viewport->setView("iso");
        viewport->fit();
    } else {
        tabs.erase(tabs.begin() + static_cast<std::ptrdiff_t>(activeTab));
        activeTab = std::min(activeTab, tabs.size() - 1);
        loadTab(tabs[activeTab]);
    }
    autosaveNow();
    return true;
}

void MainController::closeOthers(size_t keep) {
    if (keep >= tabs.size()) return;
    // Indices shift while tabs close, so the kept tab is followed by its identity.
    const std::uint64_t kept = tabs[keep].uid;
    const auto indexOf = [this](auto pred) -> std::optional<size_t> {
        const auto it = std::find_if(tabs.begin(), tabs.end(), pred);
        if (it == tabs.end()) return std::nullopt;
        return static_cast<size_t>(it - tabs.begin());
    };
    while (const auto other = indexOf([kept](const DocTab& t) { return t.uid != kept; })) {
        if (!closeTab(*other)) break;
    }
    if (const auto back = indexOf([kept](const DocTab& t) { return t.uid == kept; }))
        switchToTab(*back);
}

void MainController::nextTab() {
    if (tabs.size() < 2) return;
    switchToTab((activeTab + 1) % tabs.size());
}

void MainController::previousTab() {
    if (tabs.size() < 2) return;
    switchToTab((activeTab + tabs.size() - 1) % tabs.size());
}

bool MainController::currentIsBlank() const {
    return doc_.features.empty() && !fileURL && !dirty;
}

}  // namespace ivo
