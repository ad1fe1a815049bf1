// The catalog tables. Separators only shape the group menus; pins and sorting ignore them.
#include "app/command_catalog.h"

#include <algorithm>
#include <array>

namespace ivo {
namespace {

std::optional<Cmd> cmd(const char* id, const char* title, const char* shortLabel,
                       const char* symbol, CmdColor color) {
    return Cmd{id, title, shortLabel, symbol, color};
}

const std::optional<Cmd> sep = std::nullopt;

const std::vector<CmdGroup>& sketchCatalog() {
    static const std::vector<CmdGroup> groups{
        {"CRÉER",
         {cmd("line", "Ligne (L)", "Ligne", "line.diagonal", cBlue),
          sep,
          cmd("rect", "Rectangle 2 points (R)", "Rectangle", "rectangle", cBlue),
          cmd("rect3", "Rectangle 3 points", "Rect. 3 pts", "rectangle.portrait.rotate", cBlue),
          cmd("rectC", "Rectangle centre", "Rect. centre", "rectangle.center.inset.filled", cBlue),
          sep,
          cmd("circle", "Cercle centre-diamètre (C)", "Cercle", "circle", cBlue),
          cmd("circle2", "Cercle 2 points", "Cercle 2 pts", "circle.and.line.horizontal", cBlue),
          cmd("circle3", "Cercle 3 points", "Cercle 3 pts", "circle.dotted", cBlue),
          sep,
          cmd("arc3", "Arc 3 points (A)", "Arc", "circle.bottomhalf.filled", cBlue),
          cmd("arc", "Arc centre", "Arc centre", "circle.lefthalf.filled", cBlue),
          sep,
          cmd("polyC", "Polygone circonscrit", "Polygone", "hexagon", cBlue),
          cmd("polyI", "Polygone inscrit", "Poly. inscrit", "hexagon.fill", cBlue),
          sep,
          cmd("slotCC", "Rainure centre à centre", "Rainure", "capsule", cBlue),
          cmd("slotO", "Rainure globale", "Rain. globale", "capsule.fill", cBlue),
          sep,
          cmd("point", "Point", "Point", "smallcircle.filled.circle", cBlue)}},
        {"MODIFIER",
         {cmd("fillet", "Congé (F) : arrondir un coin", "Congé", "rectangle.roundedtop", cBlue),
          cmd("chamferS", "Chanfrein : biseauter un coin", "Chanfrein", "triangle", cBlue), sep,
          cmd("trim", "Ajuster (T) : couper un trait aux croisements", "Ajuster", "scissors", cRed),
          cmd("extend", "Prolonger : allonger une ligne jusqu'au prochain élément", "Prolonger",
              "arrow.right.to.line", cBlue),
          cmd("split", "Scinder : couper un élément à ses croisements", "Scinder",
              "line.diagonal.arrow", cBlue),
          sep,
          cmd("copyMove", "Copier / déplacer avec décalage", "Copier", "plus.square.on.square",
              cBlue),
          cmd("copyAll", "Copier toute l'esquisse avec décalage…", "Tout copier", "doc.on.doc",
              cBlue),
          cmd("offset", "Décaler (O) : copie parallèle", "Décaler", "square.on.square.dashed",
              cBlue),
          cmd("mirror", "Miroir : copie symétrique", "Miroir",
              "arrow.left.and.right.righttriangle.left.righttriangle.right", cBlue),
          cmd("patternC", "Réseau circulaire", "Rés. circ.", "circle.grid.cross", cBlue),
          cmd("patternR", "Réseau rectangulaire", "Rés. rect.", "square.grid.3x3", cBlue)}},
        {"CONTRAINTES",
         {cmd("dim", "Cote (D)", "Cote", "ruler", cPurple), sep,
          cmd("coincident", "Coïncidence", "Coïncid.", "record.circle", cOrange),
          cmd("hv", "Horizontale / verticale", "Hor./Vert.", "arrow.left.and.right", cOrange),
          cmd("parallel", "Parallèle", "Parallèle", "line.3.horizontal", cOrange),
          cmd("perpendicular", "Perpendiculaire", "Perpend.", "l.square", cOrange),
          cmd("equal", "Égal", "Égal", "equal", cOrange),
          cmd("tangent", "Tangente", "Tangente", "circle.dashed", cOrange),
          cmd("midpoint", "Milieu", "Milieu", "triangle.lefthalf.filled", cOrange),
          cmd("concentric", "Concentrique", "Concentr.", "circle.circle", cOrange),
          cmd("fixed", "Fixe / libre", "Fixe", "lock", cRed)}},
        {"OUTILS",
         {cmd("select", "Sélection (Échap)", "Sélection", "cursorarrow", cGrey),
          cmd("magnet", "Aimant : accrochage automatique (M)", "Aimant", "scope", cGreen),
          cmd("construction", "Construction (X)", "Construct.", "line.diagonal.arrow", cOrange),
          cmd("delete", "Supprimer (Suppr)", "Supprimer", "trash", cRed)}},
        {kFinishGroup,
         {cmd("finish", "Terminer l'esquisse", "Terminer l'esquisse", "checkmark.circle.fill",
              cGreen)}},
    };
    return groups;
}

const std::vector<CmdGroup>& solidCatalog() {
    static const std::vector<CmdGroup> groups{
        {"CRÉER",
         {cmd("sketch", "Esquisse", "Esquisse", "pencil.and.outline", cGreen),
          cmd("extrude", "Extrusion (E)", "Extruder", "square.stack.3d.up.fill", cBlue),
          cmd("revolve", "Révolution", "Révolution", "arrow.triangle.2.circlepath", cBlue), sep,
          cmd("box", "Boîte", "Boîte", "cube", cBlue),
          cmd("cyl", "Cylindre", "Cylindre", "cylinder", cBlue),
          cmd("sphere", "Sphère", "Sphère", "circle.circle.fill", cBlue)}},
        {"MODIFIER",
         {cmd("filletF", "Congé (F)", "Congé", "rectangle.roundedtop.fill", cOrange),
          cmd("chamfer", "Chanfrein", "Chanfrein", "triangle.fill", cOrange),
          cmd("combine", "Combiner", "Combiner", "square.on.square", cPurple)}},
        {"EXPORTER",
         {cmd("stl", "Exporter en STL…", "STL", "square.and.arrow.up", cGrey),
          cmd("3mf", "Exporter en 3MF… (Bambu Studio)", "3MF", "shippingbox.fill", cGreen)}},
        {"VUE",
         {cmd("viso", "Vue d'accueil", "Accueil", "house", cGrey),
          cmd("vfit", "Ajuster à la fenêtre", "Ajuster", "arrow.up.left.and.arrow.down.right",
              cGrey),
          cmd("vtop", "Vue de dessus", "Dessus", "square.tophalf.filled", cGrey),
          cmd("vfront", "Vue de face", "Face", "square", cGrey),
          cmd("vright", "Vue de droite", "Droite", "square.righthalf.filled", cGrey)}},
        {"SÉLECTIONNER",
         {cmd("select3d", "Sélection (Échap pour tout désélectionner)", "Sélection", "cursorarrow",
              cGrey),
          cmd("selmode", "Priorité : faces ou corps entier", "Faces", "square.on.square.dashed",
              cBlue),
          sep, cmd("selFace", "Priorité de sélection : faces", "Faces", "square.fill", cBlue),
          cmd("selBody", "Priorité de sélection : corps", "Corps", "cube.fill", cBlue)}},
    };
    return groups;
}

}  // namespace

const std::vector<CmdGroup>& catalog(bool sketch) {
    return sketch ? sketchCatalog() : solidCatalog();
}

const CmdGroup* findGroup(const std::string& name, bool sketch) {
    for (const CmdGroup& g : catalog(sketch))
        if (g.group == name) return &g;
    return nullptr;
}

const Cmd* findCmd(const CmdGroup& group, const std::string& id) {
    for (const std::optional<Cmd>& c : group.items)
        if (c && c->id == id) return &*c;
    return nullptr;
}

std::string family(const std::string& id) {
    static const std::map<std::string, std::string> families{
        {"rect", "rect"},      {"rect3", "rect"},     {"rectC", "rect"},  {"circle", "circle"},
        {"circle2", "circle"}, {"circle3", "circle"}, {"arc", "arc"},     {"arc3", "arc"},
        {"polyC", "poly"},     {"polyI", "poly"},     {"slotCC", "slot"}, {"slotO", "slot"}};
    const auto it = families.find(id);
    return it == families.end() ? id : it->second;
}

bool isSketchTool(const std::string& id) {
    static const std::array<const char*, 35> tools{
        "line",    "rect",     "rect3",      "rectC",  "circle",   "circle2",       "circle3",
        "arc",     "arc3",     "polyI",      "polyC",  "slotCC",   "slotO",         "point",
        "fillet",  "dim",      "coincident", "hv",     "parallel", "perpendicular", "equal",
        "tangent", "midpoint", "concentric", "fixed",  "select",   "trim",          "chamferS",
        "extend",  "split",    "offset",     "mirror", "patternC", "patternR",      "copyMove"};
    return std::find(tools.begin(), tools.end(), id) != tools.end();
}

bool isSketchCommand(const std::string& id) {
    return id == "construction" || id == "copyAll" || id == "delete";
}

std::string groupKey(const std::string& group, bool sketch) {
    return (sketch ? "sketch." : "solid.") + group;
}

const PinMap& defaultPins() {
    static const PinMap pins{
        {"sketch.CRÉER", {"line", "rect", "circle", "arc3", "polyC", "slotCC", "point"}},
        {"sketch.CONTRAINTES",
         {"dim", "coincident", "hv", "parallel", "perpendicular", "equal", "tangent", "midpoint",
          "concentric", "fixed"}},
        {"sketch.MODIFIER",
         {"fillet", "chamferS", "trim", "extend", "copyMove", "offset", "mirror", "patternC",
          "patternR"}},
        {"sketch.OUTILS", {"select", "magnet", "construction", "delete"}},
        {"sketch.TERMINER", {"finish"}},
        {"solid.CRÉER", {"sketch", "extrude", "revolve"}},
        {"solid.MODIFIER", {"filletF", "chamfer", "combine"}},
        {"solid.EXPORTER", {"stl", "3mf"}},
        {"solid.VUE", {"viso", "vfit"}},
        {"solid.SÉLECTIONNER", {"select3d", "selmode"}},
    };
    return pins;
}

}  // namespace ivo
