// The one controller of the application: it owns the main window with its regions, the 3-D
// view and the open tabs, and holds the active tab's document, evaluation, history and mode.
// Its operations are split by group: main_controller.cpp (window, layout, evaluation),
// main_controller_modes.cpp (modes, keys, selection), main_controller_tabs.cpp,
// main_controller_history.cpp (undo, autosave, session), main_controller_files.cpp,
// tab_bar.cpp and toolbar.cpp.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "app/dialogs.h"
#include "app/selection.h"
#include "app/tabs.h"
#include "app/undo.h"
#include "app/views.h"
#include "document/evaluator.h"
#include "viewport/viewport_host.h"

class QHBoxLayout;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace ivo {

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

    std::unique_ptr<Dialogs> dialogs;

    // Active tab.
    std::optional<std::string> fileURL;
    bool dirty = false;
    Snapshots undoStack, redoStack;
    std::optional<size_t> editFeature;

    // Values remembered between commands.
    double lastFilletRadius = 2.0, lastChamfer = 1.0, lastOffset = 2.0;
    int patternCount = 6;
    double lastDX = 20.0, lastDY = 0.0, lastNX = 3.0, lastNY = 1.0, lastCopies = 1.0;
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
    bool extrudeHandleHit(ViewPoint) override { return false; }
    void dragExtrude(ViewPoint) override {}
    void featureClick(ViewPoint) override {}
    void modelClick(bool additive, ViewPoint p) override;
    void modelHover(ViewPoint p) override;
    void planeChosen(const SketchPlane& plane) override;
    void startSketch(const SketchPlane& plane) override;
    bool handleKey(QKeyEvent* event) override;
    bool editorMouseDown(ViewPoint, int) override { return false; }
    void editorMouseDragged(ViewPoint) override {}
    void editorMouseUp() override {}
    void editorMouseMoved(ViewPoint) override {}
    void editorDraw() override;
    void drawFeatureOverlay() override {}
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
    void startFeature(const std::string& kind);
    void toggleMagnet();
    void clearSelection();
    void setSelFilter(const std::string& value);
    void rebuildToolbar();
    // The sketch being edited, or none.
    const Sketch* currentSketch() const;

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

    // Files.
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
    void scheduleAutosave();
    void setMode(Mode m);
    void moveSessionAside();

    Doc doc_;
    EvalResult result_;
    Evaluation evaluation_;
    Mode mode_ = Mode::model;
    std::optional<size_t> editSketch_;
    QTimer autosaveTimer_;
    QElapsedTimer autosavePendingSince_;
};

}  // namespace ivo
