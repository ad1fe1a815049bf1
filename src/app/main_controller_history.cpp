// Undo and redo, the dirty flag, and the session file written shortly after every change so
// that all tabs, saved or not, come back at the next start.
#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "app/session.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

constexpr int kAutosaveDelayMs = 1000;

}  // namespace

void MainController::pushUndo() {
    recordChange(doc_, undoStack, redoStack);
    dirty = true;
    updateTitle();
    scheduleAutosave();
}

void MainController::markDirty() {
    dirty = true;
    updateTitle();
    scheduleAutosave();
}

void MainController::scheduleAutosave() {
    // A burst of changes is written once, but never later than one second after its first
    // change: a crash in the middle of a long burst then loses at most that second.
    if (!autosaveTimer_.isActive()) {
        autosavePendingSince_.start();
        autosaveTimer_.start(kAutosaveDelayMs);
        return;
    }
    const qint64 left = kAutosaveDelayMs - autosavePendingSince_.elapsed();
    autosaveTimer_.start(static_cast<int>(std::max<qint64>(left, 0)));
}

void MainController::undoAction() {
    if (mode_ == Mode::featureEdit) {
        // Undoing while a feature is open takes back the whole edit.
        inspectorCancel();
        return;
    }
    const std::optional<Id> edited = editedSketchId();
    switch (step(doc_, undoStack, redoStack)) {
        case StepResult::empty: dialogs->beep(); return;
        case StepResult::dropped: return;
        case StepResult::done: afterHistoryChange(edited); return;
    }
}

void MainController::redoAction() {
    if (mode_ == Mode::featureEdit) return;
    const std::optional<Id> edited = editedSketchId();
    switch (step(doc_, redoStack, undoStack)) {
        case StepResult::empty: dialogs->beep(); return;
        case StepResult::dropped: return;
        case StepResult::done: afterHistoryChange(edited); return;
    }
}

std::optional<Id> MainController::editedSketchId() const {
    if (!editSketch_ || *editSketch_ >= doc_.features.size()) return std::nullopt;
    return doc_.features[*editSketch_].id;
}

void MainController::afterHistoryChange(std::optional<Id> edited) {
    if (editSketch_) {
        // The edited sketch is found by its id: at the same index there may now be another
        // feature, even another sketch.
        const auto it =
            std::find_if(doc_.features.begin(), doc_.features.end(), [&](const Feature& f) {
                return edited && f.id == *edited && f.kind == fk::sketch && f.sketch;
            });
        if (it != doc_.features.end()) {
            editSketch_ = static_cast<size_t>(it - doc_.features.begin());
        } else {
            editSketch_.reset();
            setMode(Mode::model);
        }
    }
    editor->historyChanged();
    dirty = true;
    updateTitle();
    scheduleAutosave();
    rebuildAll();
}

QString MainController::supportDir() const {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::homePath();
    const QString dir = base + "/Ivorane3D";
    QDir().mkpath(dir);
    return dir;
}

QString MainController::sessionPath() const {
    return supportDir() + "/session.json";
}

void MainController::autosaveNow() {
    autosaveTimer_.stop();
    if (activeTab < tabs.size()) tabs[activeTab] = captureTab();
    Session s;
    for (const DocTab& t : tabs)
        s.tabs.push_back({t.doc, t.fileURL, t.dirty, {t.collapsed.begin(), t.collapsed.end()}});
    s.active = static_cast<std::int64_t>(activeTab);
    const std::string bytes = encodeSession(s);
    // Written beside and renamed over the old file, so a crash never leaves half a session.
    QSaveFile f(sessionPath());
    if (!f.open(QIODevice::WriteOnly)) return;
    // Without commit the temporary file is discarded and the previous session stays whole.
    if (f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
        static_cast<qint64>(bytes.size()))
        f.commit();
}

void MainController::moveSessionAside() {
    const QString path = sessionPath();
    const QString stem =
        path + ".illisible-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString aside = stem;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = stem + "-" + QString::number(n);
    QFile::rename(path, aside);
}

void MainController::restoreSession() {
    QFile f(sessionPath());
    if (!f.exists()) return;
    std::optional<Session> s;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = f.readAll();
        f.close();
        std::string reason;
        s = decodeSession(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                          reason);
    }
    if (!s) {
        // The next autosave would replace the only copy of the unsaved tabs it may hold.
        moveSessionAside();
        return;
    }
    tabs.clear();
    for (TabSession& t : s->tabs) {
        DocTab tab = DocTab::blank();
        tab.doc = std::move(t.doc);
        tab.fileURL = std::move(t.file);
        tab.dirty = t.dirty;
        tab.collapsed = {t.collapsed.begin(), t.collapsed.end()};
        tabs.push_back(std::move(tab));
    }
    activeTab = activeIndex(*s);
    loadTab(tabs[activeTab]);
    viewport->fit();
}

}  // namespace ivo
