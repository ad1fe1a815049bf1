// The sketch editor: the current tool and its partial state, the selection and the drags in
// the sketch open for editing. Pointer events arrive in view points; every change of the
// sketch goes through the host as exactly one undo step. Drawing tools live in
// draw_tools.cpp, editing and constraint tools in edit_tools.cpp and constraint_tools.cpp,
// the drawing of the sketch in sketch_drawing.cpp.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor/editor_host.h"
#include "editor/snap.h"

namespace ivo {

// A key press as the editor sees it; `text` is the typed character, if any.
struct EditorKey {
    enum class Code { escape, backspace, forwardDelete, tab, enter, other };
    Code code = Code::other;
    std::string text;
    bool command = false;  // Ctrl held
    bool shift = false;    // with tab: backwards
};

// Overlay rectangle, view points, origin bottom-left.
struct LabelRect {
    double x = 0, y = 0, w = 0, h = 0;
    bool contains(ScreenPoint p, double grow = 0) const {
        return p.x >= x - grow && p.x <= x + w + grow && p.y >= y - grow && p.y <= y + h + grow;
    }
    friend bool operator==(const LabelRect&, const LabelRect&) = default;
};

class SketchEditor {
public:
    // A reference clicked by a multi-click tool: the existing point (id) or a plane position.
    struct Ref {
        std::optional<Id> id;
        V2 pt;
    };
    struct LabelBox {
        Id id = 0;
        LabelRect rect;
    };
    struct PieceRef {
        Id id = 0;
        V2 q;
    };
    // An entry box of the current tool and stage.
    struct FieldSpec {
        std::string key, label;
    };
    // The value of a dimension being edited in the view, in a box over its label.
    struct DimEdit {
        Id id = 0;
        std::string label;  // "Diamètre (mm)", "Rayon (mm)" or "Distance (mm)"
        std::string text;
        bool replaceOnType = true;  // the text is selected: the first character replaces it
        LabelRect over;             // the label it covers, as last painted
    };

    explicit SketchEditor(EditorHost* host);
    SketchEditor(const SketchEditor&) = delete;
    SketchEditor& operator=(const SketchEditor&) = delete;

    EditorHost* ctl;  // owner, outlives the editor
    std::optional<Ref> firstRef, secondRef;
    std::optional<Id> pendingEntity;
    std::optional<V2> hover;
    std::optional<Id> hoverSnap;
    std::optional<Id> selected;
    int polygonSides = 6;
    std::optional<Id> dragging;
    bool dragUndoPushed = false;
    std::vector<LabelBox> labelRects;
    std::optional<std::vector<Id>> draggingEntity;
    V2 dragStart;
    std::vector<V2> dragOrig;
    std::optional<V2> selectedPieceAt;
    std::optional<PieceRef> hoverPiece;
    std::map<std::string, double> typed, stage1Typed;
    int activeField = 0;
    ScreenPoint mouseScreen;
    std::optional<SnapInfo> hoverInfo;
    std::vector<SnapInfo> snapRecords;
    std::vector<V2> foreign;
    // The box being typed into and its text; its text is selected right after it got focus.
    std::optional<std::string> editingKey;
    std::string editText;
    bool replaceOnType = false;
    std::optional<DimEdit> dimEdit;

    const std::string& tool() const { return tool_; }
    // Selects a tool by id (the polygons first ask for their number of sides).
    void setTool(const std::string& id);
    // Drops the partial state of the current tool.
    void resetPending();
    // The sketch was closed: nothing pending, selected or dragged.
    void leaveSketch();
    // Undo or redo replaced the sketch: pending state and drags go, and so does a selection
    // whose record is gone.
    void historyChanged();

    // True when the editor takes the gesture (the view then sends the drag and release).
    bool mouseDown(ScreenPoint point, int clickCount);
    void mouseDragged(ScreenPoint point);
    void mouseUp();
    void mouseMoved(ScreenPoint point);
    // True when the key was used.
    bool key(const EditorKey& k);
    void deleteSelection();
    void toggleConstruction();
    // The copy/move prompt for every curve of the sketch.
    void copyAll();
    // The same prompt for the contour joined to `curve`.
    void copyContour(Id curve);

    // Queries on the open sketch, in view points.
    std::optional<Id> pointAt(ScreenPoint point, double radius = 9) const;
    std::optional<Id> entityAt(ScreenPoint point) const;
    std::optional<Id> labelAt(ScreenPoint point) const;
    bool isLine(Id id) const;
    bool isRound(Id id) const;
    std::optional<Id> centerOf(Id id) const;
    std::optional<V2> currentPos(Id id) const;
    std::optional<V2> spt(ScreenPoint point) const;
    std::optional<ScreenPoint> scr(V2 p) const;

    // The snap for a pointer position: an existing point; with the magnet and a drawing
    // tool also a midpoint, quadrant, foreign point, curve or alignment. Nothing when none
    // applies (the raw plane position is then used).
    std::optional<SnapInfo> findSnap(ScreenPoint point) const;
    // Constrains the points from `firstNewId` on that were created at the snaps recorded by
    // the clicks of the current operation, and forgets the records. Runs inside the creating
    // click's edit, before its solve, so that the click stays one undo step and the solve
    // cannot move a new point off the snap it was made at.
    void applySnapConstraints(Sketch& s, Id firstNewId);
    // The snap points from outside the sketch, from the host; when a sketch is opened.
    void rebuildForeign();

    // Dimension entry while drawing. The boxes of the tool's current stage (none before its
    // first click), the live size under the pointer, and the text a box shows.
    std::vector<FieldSpec> fieldKeys() const;
    double liveValue(const std::string& key) const;
    std::string fieldText(const std::string& key) const;
    // A box's text was edited: a value that parses (positive, or any angle) is typed.
    void textChanged(const std::string& key, const std::string& text);
    // Moves the keyboard to the box `delta` places on, wrapping both ways.
    void focusField(int delta);
    void leaveField();
    // The position a click uses when values are typed.
    V2 computeTarget(V2 p) const;
    // The click the typed values describe, without the mouse (Return).
    void commitTyped();
    // Dimension constraints of the typed values on the entities from `firstNewId` on.
    void applyDims(Sketch& s, Id firstNewId) const;

    // One undo step: `body` edits a copy of the sketch and answers whether it changed it;
    // only then the undo step is pushed, the copy solved, stored and re-evaluated. False when
    // nothing changed.
    bool modify(const std::function<bool(Sketch&)>& body);
    // The same for a sketch already edited by a sketch operation.
    void commit(Sketch sketch);
    // Opens the in-view edit of a dimension constraint's value over its label (nothing for a
    // constraint without a value). Typed keys go into it; Return applies, Escape or a click
    // elsewhere leaves it.
    void editDimension(Id id);
    // Applies the edited value as one undo step. A text that is no positive number, or a value
    // the other constraints cannot meet, changes nothing: the edit stays open with the reason
    // on the status line, and the answer is false.
    bool commitDimension();
    // Paints the open sketch over the view and refreshes labelRects.
    void draw();

    // Statuses: a warning stays on the status line until the next click, key or tool change,
    // whatever routine text the same action produces afterwards.
    void warn(const std::string& text);
    void routineStatus(const std::string& text);

    static const std::string& hint(const std::string& toolId);
    static constexpr const char* contradiction =
        "⚠️ Les contraintes se contredisent : supprimez-en une (sélection + Suppr) ou annulez "
        "(Ctrl+Z).";

private:
    bool runClick(std::optional<Id> snap, V2 snapPos, V2 p, ScreenPoint at, int clickCount);
    bool fieldKey(const EditorKey& k);
    bool dimEditKey(const EditorKey& k);
    void drawDimEdit();
    bool handleClick(int clickCount, std::optional<Id> snap, V2 snapPos, V2 p, ScreenPoint at);
    bool selectClick(int clickCount, std::optional<Id> snap, V2 p, ScreenPoint at);
    bool drawingClick(std::optional<Id> snap, V2 snapPos);
    bool editingClick(std::optional<Id> snap, V2 p, ScreenPoint at);
    bool constraintClick(std::optional<Id> snap, ScreenPoint at);
    void dimClick(std::optional<Id> snap, ScreenPoint at);
    void copyMoveDialog(const std::vector<Id>& what, const std::string& label);
    void patternR(Id curve);
    bool solveAndStore(Sketch& s, const std::vector<Id>& hold);
    void clearDrag();
    void drawPreview();
    void drawFields();

    std::string tool_ = "select";
    bool warningShown_ = false;
    bool created_ = false;   // the running click created entities
    bool clicking_ = false;  // inside a creating click, whose edit takes the snap constraints
};

}  // namespace ivo
