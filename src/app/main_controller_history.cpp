// Undo and redo, the dirty flag, and the session and history files written shortly after
// every change so that all tabs, saved or not, come back at the next start with their undo
// steps.
#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "app/session.h"
#include "document/file_io.h"
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

QString MainController::historyPath() const {
    return supportDir() + "/undo-history.bin";
}

void MainController::writeHistory() {
    std::vector<TabHistory> stored;
    stored.reserve(tabs.size());
    for (const DocTab& t : tabs)
        stored.push_back({docFingerprint(t.doc), t.undo, t.redo});
    boundHistory(stored);
    const QString path = historyPath();
    // Two tries: an append finds the file changed behind this journal's back (another copy of
    // the application, a failed earlier write), and the second try writes it whole.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const HistoryJournal::Write w = historyJournal_.prepare(stored);
        if (w.bytes.empty()) return;
        const auto size = static_cast<qint64>(w.bytes.size());
        bool ok = false;
        if (w.rewrite) {
            QSaveFile f(path);
            ok =
                f.open(QIODevice::WriteOnly) && f.write(w.bytes.data(), size) == size && f.commit();
        } else {
            // A record cut short by a crash is skipped by the reader, so appending keeps the
            // previous state readable as a rename would, without writing every step again.
            QFile f(path);
            ok = f.open(QIODevice::WriteOnly | QIODevice::Append) &&
                 static_cast<std::uint64_t>(f.size()) == historyJournal_.fileBytes() &&
                 f.write(w.bytes.data(), size) == size && f.flush();
        }
        if (ok) {
            historyJournal_.written(w);
            return;
        }
        historyJournal_.forget();
        if (w.rewrite) return;  // the write itself fails: ignored, as for the session
    }
}

void MainController::autosaveNow() {
    autosaveTimer_.stop();
    if (activeTab < tabs.size()) tabs[activeTab] = captureTab();
    writeHistory();
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
    moveAside(sessionPath());
}

void MainController::moveAside(const QString& path) {
    const QString stem =
        path + ".illisible-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString aside = stem;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = stem + "-" + QString::number(n);
    QFile::rename(path, aside);
}

void MainController::readHistory() {
    const QString path = historyPath();
    if (!QFileInfo::exists(path)) return;
    std::string reason;
    // Only a regular file is read, and never more than the budget allows it to grow to.
    const std::optional<std::string> bytes = readFile(fromQt(path), kMaxHistoryFileBytes, reason);
    bool whole = false;
    std::optional<std::vector<TabHistory>> stored;
    if (bytes) stored = decodeHistory(*bytes, reason, &whole);
    const std::vector<TabHistory> read = stored.value_or(std::vector<TabHistory>{});
    // A history that is not read is kept for whoever wants to look at it; the next
    // autosave starts a new file in its place.
    if (!stored || !restoreHistory(std::move(*stored), tabs)) {
        moveAside(path);
        return;
    }
    // Whole and matching: the next change appends to it rather than writing every step again.
    if (whole) historyJournal_.adopt(read, bytes->size());
}

void MainController::restoreSession() {
    historyJournal_.forget();
    QFile f(sessionPath());
    if (!f.exists()) {
        // Stacks without the documents they lead back from fit no tab.
        if (QFile::exists(historyPath())) moveAside(historyPath());
        return;
    }
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
        if (QFile::exists(historyPath())) moveAside(historyPath());
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
    readHistory();
    activeTab = activeIndex(*s);
    loadTab(tabs[activeTab]);
    viewport->fit();
}

}  // namespace ivo
