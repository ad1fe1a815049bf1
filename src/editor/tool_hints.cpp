// The status hint of every tool, shown when it is selected.
#include <map>

#include "editor/sketch_editor.h"

namespace ivo {
namespace {

const std::map<std::string, std::string>& hints() {
    static const std::map<std::string, std::string> table = {
        {"select",
         "Sélection : cliquez sur un élément, glissez un point pour le déplacer. Suppr pour "
         "effacer."},
        {"line", "Ligne (L) : cliquez pour chaque point. Échap pour terminer la chaîne."},
        {"rect", "Rectangle (R) : cliquez deux coins opposés."},
        {"rect3", "Rectangle 3 points : deux points pour le premier côté, puis la largeur."},
        {"rectC", "Rectangle centre : cliquez le centre puis un coin."},
        {"circle", "Cercle (C) : cliquez le centre puis un point du cercle."},
        {"circle2", "Cercle 2 points : cliquez les deux extrémités d'un diamètre."},
        {"circle3", "Cercle 3 points : cliquez trois points du cercle."},
        // The A key selects "arc3"; this hint's "(A)" is kept until the text is corrected.
        {"arc", "Arc (A) : centre, point de départ, puis point d'arrivée (sens antihoraire)."},
        {"arc3", "Arc 3 points : départ, arrivée, puis un point de l'arc."},
        {"polyI", "Polygone inscrit : centre puis un sommet."},
        {"polyC", "Polygone circonscrit : centre puis le milieu d'un côté."},
        {"slotCC", "Rainure centre à centre : deux centres puis la largeur."},
        {"slotO", "Rainure globale : deux extrémités puis la largeur."},
        {"point", "Point : cliquez pour placer un point."},
        {"fillet", "Congé (F) : cliquez sur le coin entre deux lignes."},
        {"chamferS", "Chanfrein : cliquez le coin entre deux lignes."},
        {"trim", "Ajuster (T) : cliquez le morceau de trait à supprimer (entre deux croisements)."},
        {"extend",
         "Prolonger : cliquez près du bout d'une ligne pour l'allonger jusqu'au prochain "
         "élément."},
        {"split", "Scinder : cliquez un élément pour le couper à tous ses croisements."},
        {"offset",
         "Décaler (O) : cliquez un cercle, un arc ou un contour de lignes, puis la distance."},
        {"mirror",
         "Miroir : cliquez d'abord la ligne qui sert d'axe, puis chaque élément à copier."},
        {"patternC", "Réseau circulaire : cliquez le centre (un point), puis l'élément à répéter."},
        {"patternR",
         "Réseau rectangulaire : cliquez le contour à répéter, puis indiquez nombres et "
         "espacements."},
        {"copyMove",
         "Copier / déplacer : cliquez le contour à copier, puis indiquez le décalage X / Y et "
         "le nombre de copies."},
        {"dim",
         "Cote (D) : cliquez une ligne, un cercle, un arc, ou deux points. Double-clic sur une "
         "cote pour la modifier."},
        {"coincident", "Coïncidence : cliquez deux points (ou un point puis une ligne)."},
        {"hv", "Horizontale / verticale : cliquez une ligne."},
        {"parallel", "Parallèle : cliquez deux lignes."},
        {"perpendicular", "Perpendiculaire : cliquez deux lignes."},
        {"equal", "Égal : cliquez deux lignes ou deux cercles."},
        {"tangent", "Tangente : cliquez une ligne puis un cercle ou un arc."},
        {"fixed", "Fixe : cliquez un point pour le bloquer ou le débloquer."},
        {"midpoint", "Milieu : cliquez un point puis une ligne."},
        {"concentric", "Concentrique : cliquez deux cercles ou arcs."},
    };
    return table;
}

}  // namespace

const std::string& SketchEditor::hint(const std::string& toolId) {
    static const std::string none;
    const auto it = hints().find(toolId);
    return it == hints().end() ? none : it->second;
}

}  // namespace ivo
