// The one controller of the application: it owns the main window with its regions, the 3-D
// view and the open tabs, and holds the active tab's document, evaluation, history and mode.
// Its operations are split by group: main_controller.cpp (window, layout, evaluation),
// main_controller_modes.cpp (modes, keys), main_controller_selection.cpp (picking and the
// selection in the model), main_controller_tabs.cpp,
// main_controller_history.cpp (undo, autosave, session), main_controller_files.cpp,
// main_controller_sketch_tools.cpp (the sketch editor's events and tools), tab_bar.cpp,
// toolbar.cpp, toolbar_menus.cpp and main_controller_run_tool.cpp.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include "app/dialogs.h"
#include "app/selection.h"
#include "app/tabs.h"
#include "app/toolbar_pins.h"
#include "app/undo.h"
#include "app/undo_store.h"
#include "app/views.h"
#include "document/evaluator.h"
#include "document/features.h"
#include "editor/editor_host.h"
#include "export/three_mf.h"
#include "geometry/overhang.h"
#include "updater/updater.h"
#include "viewport/viewport_host.h"

class QDialog;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QMenu;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace ivo {

class FeatureInspector;
class SketchEditor;
class SketchHost;
class Viewport;

class MainController : public QObject, public ViewportHost {
public:
    // Builds the window, its regions and one blank tab. Questions go to `dialogs`; without
    // one, to the toolkit's message boxes over the main window.
    explicit MainController(std::unique_ptr<Dialogs> dialogs = nullptr);
    ~MainController() override;
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    // Window and regions (owned by the window).
    std::unique_ptr<MainWindow> window;
    FlippedView* root = nullptr;
    FlippedView* toolbarBox = nullptr;
    QWidget* toolbarStack = nullptr;  // horizontal: command groups
    QScrollArea* browserScroll = nullptr;
    QWidget* browserStack = nullptr;  // vertical: rows of the browser
    FlippedView* timelineBox = nullptr;
    QScrollArea* timelineScroll = nullptr;
    QWidget* timelineStack = nullptr;     // horizontal: timeline markers
    QWidget* timelineControls = nullptr;  // horizontal: marker buttons
    Viewport* viewport = nullptr;
    FlippedView* inspector = nullptr;
    ElidedLabel* statusLabel = nullptr;
    FlippedView* docTabBar = nullptr;
    FlippedView* tabRow = nullptr;
    QWidget* toolbarLine = nullptr;
    std::vector<QWidget*> docTabViews;  // tab items, then the "+" button
    std::map<std::string, QToolButton*> toolButtons;
    std::map<std::string, QColor> toolColors;
    QScrollArea* toolbarScroll = nullptr;  // inside toolbarStack, scrolls the command groups
    QPointer<QDialog> customizePanel;

    std::unique_ptr<Dialogs> dialogs;
    // The update checks and installs, created at launch; its host is its way to the window.
    std::unique_ptr<UpdaterHost> updaterHost;
    std::unique_ptr<Updater> updater;

    // Active tab.
    std::optional<std::string> fileURL;
    bool dirty = false;
    Snapshots undoStack, redoStack;
    std::optional<size_t> editFeature;

    // Values remembered between commands.
    EditorMemory memory;
    double lastDZ = 10.0;

    static constexpr int tbH = 100;
    static constexpr int tabH = 34;
    static constexpr int tlH = 56;
    static constexpr int brW = 230;

    std::set<std::string> collapsed;
    std::map<std::string, std::string> lastVariant{{"rect", "rect"},
                                                   {"circle", "circle"},
                                                   {"arc", "arc3"},
                                                   {"poly", "polyC"},
                                                   {"slot", "slotCC"}};

    std::vector<DocTab> tabs{DocTab::blank()};
    size_t activeTab = 0;

    std::vector<SelItem> selection;
    std::optional<SelItem> hoverSel;
    std::string selFilter;  // "face" or "body"
    bool opManual = false;
    // Snapping of the sketch tools; kept in the preference "magnet".
    bool magnet = true;

    // ViewportHost.
    Mode mode() const override { return mode_; }
    const Doc& doc() const override { return doc_; }
    const EvalResult& result() const override { return result_; }
    std::optional<size_t> editSketch() const override { return editSketch_; }
    void setStatus(const std::string& text) override;
    QMenu* contextMenu(ViewPoint p) override;
    bool extrudeHandleHit(ViewPoint p) override;
    void dragExtrude(ViewPoint p) override;
    void featureClick(ViewPoint p) override;
    void modelClick(bool additive, ViewPoint p) override;
    void modelHover(ViewPoint p) override;
    void planeChosen(const SketchPlane& plane) override;
    void startSketch(const SketchPlane& plane) override;
    bool handleKey(QKeyEvent* event) override;
    bool editorMouseDown(ViewPoint p, int clickCount) override;
    void editorMouseDragged(ViewPoint p) override;
    void editorMouseUp() override;
    void editorMouseMoved(ViewPoint p) override;
    void editorDraw() override;
    void drawFeatureOverlay() override;
    // The selection is drawn in the 3-D pass (showSelection), not in the overlay.
    void drawSelection() override {}

    // Window, layout and evaluation.
    void buildViews();
    void layoutAll();
    void layoutInspector();
    void updateTitle();
    void rebuildAll();
    void evaluate();
    QString statusText() const;

    // Modes.
    void leaveEditing();
    void beginChoosePlane();
    void cancelChoosePlane();
    void enterSketch(size_t index);
    void finishSketch();

    // Features: creation, the open feature and its panel (main_controller_features.cpp,
    // main_controller_inspector.cpp, main_controller_feature_view.cpp).
    // kind "extrude", "revolve", "fillet", "chamfer" or "combine"; refusals are alerts.
    void startFeature(const std::string& kind);
    // "box", "cyl" or "sphere".
    void createPrimitive(const std::string& kind);
    // The push/pull of the selected faces: their outline as a fixed sketch and a 5 mm join.
    void extrudeFaces(const std::vector<PlanarFace>& faces, const std::vector<Body>& before);
    // Opens feature `index` (a sketch is entered); the open feature is committed first.
    void editFeatureAt(size_t index);
    void inspectorOK();
    void inspectorCancel();
    // The automatic operation of a new extrusion; the status to show when it changed.
    std::optional<std::string> applyAutoOp();
    void buildInspector();
    // Writes the panel into the open feature; the reason a value was refused, or "".
    std::string readInspector();
    void inspectorChanged(bool rebuild);
    void inspectorChangedAction(const std::string& key);
    void updateFeatureStatus();
    // The open feature, or nullptr.
    Feature* openFeature();
    const Feature* openFeature() const;
    std::optional<ExtrudeHandle> currentExtrudeHandle() const;
    bool editIsNew = false;
    std::optional<Feature> editBackup;
    std::vector<Body> editBodiesBefore;
    // "Jusqu'à une face" was chosen and no face has been clicked yet.
    bool awaitingFace = false;
    std::unique_ptr<FeatureInspector> featureInspector;
    void toggleMagnet();
    void clearSelection();
    // What lies under a view point in the model: a sketch region, a face or a body.
    std::optional<SelItem> pick(ViewPoint p) const;
    // Hands the hover and the selection to the view as highlights (none outside the model).
    void showSelection();
    void setSelFilter(const std::string& value);
    void rebuildToolbar();
    // The sketch being edited, or none.
    const Sketch* currentSketch() const;
    // Writes `sketch` over the sketch being edited (no evaluation); nothing outside a sketch.
    void storeSketch(const Sketch& sketch);

    // Sketch tools: selects a drawing or constraint tool of the editor, or runs one of its
    // commands ("delete", "construction", "copyAll", "magnet", "escape").
    void runSketchTool(const std::string& id);
    // A key of the view in sketch mode, for the editor.
    bool sketchKey(QKeyEvent* event);
    std::unique_ptr<SketchHost> editorHost;
    std::unique_ptr<SketchEditor> editor;

    // Toolbar: pins, the command groups for the current mode and the one dispatcher of
    // every toolbar and group-menu command.
    ToolbarPins& pins();
    void savePins();
    bool isPinned(const std::string& id, const std::string& group, bool sketch);
    void setPinned(const std::string& id, const std::string& group, bool sketch, bool on);
    void refreshToolbarState();
    void showGroupMenu(QToolButton* header);
    void customizeToolbar();
    void resetPins();
    void closeCustomize();
    void runTool(const std::string& id);
    // The editor's current tool, which the toolbar and the group menus highlight.
    std::string activeSketchTool() const;

    // Timeline (timeline_view.cpp): the marker buttons, built once, and the feature strip,
    // rebuilt after every evaluation.
    void buildTimelineControls();
    // Both strips are rebuilt from the event loop, once for a burst of changes: a rebuild may
    // start in the handler of one of their own buttons, and widgets made without the loop
    // running pile up events that make every later widget slower to delete.
    void scheduleStripRebuild();
    void rebuildTimeline();
    // Every move of the marker, clamped to the timeline; not an undo step.
    void moveMarker(std::int64_t to);
    void toggleSuppressed(size_t index);
    // The context menu of the timeline item of the feature at `index`.
    QMenu* timelineMenu(size_t index);

    // Browser (browser_view.cpp); row ids: "doc", "plane:XY", "sketch:" + index, "body:" + id.
    void rebuildBrowser();
    void toggleSection(const std::string& key);
    void browserClick(const std::string& id);
    void browserEye(const std::string& id);
    // The context menu of a browser row; none for a row without one.
    QMenu* browserMenu(const std::string& id);
    void addSketchMenu(QMenu* menu, size_t index);
    void addBodyMenu(QMenu* menu, Id body);
    // How many handlers of the timeline's and browser's own buttons are running. Inside one,
    // a rebuild must not delete the button whose signal is being handled, so the old widgets
    // are left to the event loop; outside, they go at once (thousands of deferred deletions
    // would pile up in the event queue during a burst of changes).
    int stripHandlerDepth = 0;
    bool stripRebuildPending = false;
    // The tab and marker position of the last timeline rebuild: the strip scrolls to the
    // marker only when one of them changed.
    std::pair<size_t, std::int64_t> timelineMarkerShown{0, -1};
    // Scrolls the timeline strip just enough to show the marker.
    void revealTimelineMarker();
    template <class F>
    auto inStrip(F f) {
        return [this, f] {
            ++stripHandlerDepth;
            f();
            --stripHandlerDepth;
        };
    }

    // Operations of these menus (main_controller_timeline_ops.cpp). Indices and ids that no
    // longer exist do nothing.
    void deleteFeature(size_t index);
    void renameFeature(size_t index);
    void renameBody(Id body);
    void deleteBody(Id body);
    // Visibility changes are no undo steps, but they are changes of the tab.
    void toggleSketchVisibility(size_t index);
    void toggleBodyVisibility(Id body);
    void duplicateSketch(size_t index);
    // Selects every region of the sketch at `index` and starts an extrusion of them.
    void extrudeSketch(size_t index);

    // Export (main_controller_export.cpp).
    // The visible bodies as committed (an open feature is closed first, so that no file holds
    // its live preview); none, after saying so, when nothing is visible.
    std::vector<NamedMesh> bodiesToWrite();
    void exportSTL();
    void export3MF();
    void exportBodies(const std::vector<Id>& ids, const std::string& format);

    // Printing aids (main_controller_print.cpp): the overhang tint of the view, kept in the
    // preferences "overhangs" and "overhangAngle", and the visible bodies sent to the slicer,
    // whose program the preference "slicerPath" names when the user chose one.
    bool overhangsShown = false;
    double overhangAngle = kDefaultOverhangAngle;
    void loadPrintPreferences();
    void setOverhangsShown(bool on);
    // Asks for the threshold (degrees); refuses, with an alert, angles beyond 0…90.
    void askOverhangAngle();
    void sendToSlicer();
    // Shows the slicer in use and lets the user pick a program or go back to detection.
    void chooseSlicer();
    // The file chooser for the slicer's program; true when an executable one was picked.
    bool pickSlicerFile();
    // The program to start: the chosen one, else the first known slicer on the PATH, looked
    // for once; empty when there is none.
    QString slicerProgram();
    std::optional<QString> detectedSlicer;
    // Private folder of the files handed to the slicer, removed with the controller.
    std::unique_ptr<QTemporaryDir> slicerFolder;

    // Tabs.
    DocTab captureTab() const;
    void loadTab(const DocTab& tab);
    std::string tabTitle(size_t i) const;
    void switchToTab(size_t i);
    void newTab();
    bool closeTab(size_t i);
    void closeCurrentTab() { closeTab(activeTab); }
    void closeOthers(size_t keep);
    void nextTab();
    void previousTab();
    bool currentIsBlank() const;
    void rebuildDocTabs();
    void layoutDocTabs();

    // History and session.
    void pushUndo();
    void markDirty();
    void undoAction();
    void redoAction();
    // After an undo or redo step: `edited` is the id of the sketch that was being edited.
    void afterHistoryChange(std::optional<Id> edited);
    std::optional<Id> editedSketchId() const;
    void autosaveNow();
    void restoreSession();
    QString supportDir() const;
    QString sessionPath() const;
    // The undo and redo stacks of every tab, beside the session file.
    QString historyPath() const;
    // Writes the stacks of `tabs` to the history file (part of autosaveNow): what changed is
    // appended, or the file is written whole.
    void writeHistory();

    // Files.
    // Where the file dialogs start: the document's folder, else the home folder.
    QString dialogFolder() const;
    void openDocument();
    bool open(const std::string& path);
    bool saveDocument();
    bool saveDocumentAs();
    bool write(const std::string& path);
    bool confirmDiscard();

    // Size and place of the window: as the user left it, else 1280 × 800 of content, centred.
    // Called once the menu bar exists.
    void placeWindow();
    // Called when the main window closes: the session keeps every tab.
    void windowWillClose();

private:
    // After the open feature was written (by the panel, a click or a drag): the automatic
    // operation, the evaluation and the bodies, the panel (rebuilt from the feature when
    // `rebuild`), then the status with `notes` after the routine one so they are seen.
    void featureWritten(bool rebuild, std::vector<std::string> notes);
    // Opens the new feature at `index` over the bodies that exist before it.
    void openNewFeature(size_t index, std::vector<Body> before);
    // Drops the open feature's state and hides its panel, in whatever mode.
    void forgetFeature();
    void closeFeature();
    // What the automatic operation said during the current handle drag: later steps of the
    // same drag keep it on the status line instead of the routine text.
    std::string dragNote_;
    bool featureKey(QKeyEvent* event);
    void scheduleAutosave();
    void setMode(Mode m);
    void moveSessionAside();
    // Renames an unreadable file to "<name>.illisible-<date>", so no later write replaces it.
    static void moveAside(const QString& path);
    // Gives the restored tabs their stored stacks; a file that does not read or match them
    // is set aside.
    void readHistory();
    // Asks for the file and writes `meshes` in `format`; `status` precedes the file name in
    // the status line on success.
    void writeExport(const std::vector<NamedMesh>& meshes, const std::string& format,
                     const std::string& status);

    Doc doc_;
    EvalResult result_;
    Evaluation evaluation_;
    Mode mode_ = Mode::model;
    std::optional<size_t> editSketch_;
    QTimer autosaveTimer_;
    std::unique_ptr<PinStore> pinStore_;
    std::unique_ptr<ToolbarPins> pins_;
    QElapsedTimer autosavePendingSince_;
    HistoryJournal historyJournal_;
};

}  // namespace ivo
