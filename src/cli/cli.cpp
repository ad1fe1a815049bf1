// Command-line parsing, usage text and dispatch of q3d.
#include "cli/cli.h"

#include <charconv>

#include "cli/commands.h"

#ifndef IVORANE_VERSION
#define IVORANE_VERSION "0.0.0"
#endif

namespace ivo {
namespace cli {

constexpr const char* kUsage =
    "Utilisation : q3d COMMANDE [OPTIONS] FICHIER…\n"
    "\n"
    "Outil en ligne de commande d'Ivorane 3D pour les modèles .q3d.\n"
    "\n"
    "Commandes :\n"
    "  check FICHIER…            vérifie que chaque fichier est un modèle valide\n"
    "  fmt FICHIER [-o SORTIE]   réécrit le modèle sous sa forme canonique (indentée),\n"
    "                            sur la sortie standard ou dans SORTIE\n"
    "  info FICHIER [--upto N] [--json]\n"
    "                            calcule le modèle et décrit ses corps (polygones,\n"
    "                            volume, boîte englobante) et les fonctions en échec ;\n"
    "                            --upto N ne calcule que les N premières fonctions\n"
    "  export FICHIER -o SORTIE.stl|SORTIE.3mf [--upto N] [--body ID…]\n"
    "                            exporte les corps visibles (ou ceux choisis par\n"
    "                            --body) en STL binaire ou en 3MF\n"
    "\n"
    "Options :\n"
    "  -h, --help                affiche cette aide\n"
    "  --version                 affiche la version\n";

int usage(std::ostream& err, const std::string& problem) {
    err << "q3d : " << shown(problem) << "\n\n" << kUsage;
    return 2;
}

std::string shown(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto escape = [&](unsigned code) {
        constexpr char kHex[] = "0123456789abcdef";
        out += "\\u00";
        out += kHex[code >> 4];
        out += kHex[code & 15];
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20 || b == 0x7F) {
            escape(b);
        } else if (b == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F in UTF-8: the C1 controls, CSI among them.
            escape(static_cast<unsigned char>(text[++i]));
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

namespace {

std::optional<std::int64_t> integer(const std::string& s) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace
}  // namespace cli

int runQ3d(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    using namespace cli;
    if (args.empty()) return usage(err, "commande manquante.");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "--version") {
        out << "q3d (Ivorane 3D) " << IVORANE_VERSION << "\n";
        return 0;
    }

    Options o;
    bool optionsDone = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (optionsDone || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "-h" || a == "--help") {
            out << kUsage;
            return 0;
        } else if (a == "-o" || a == "--output") {
            const std::string* v = value();
            if (!v) return usage(err, "l'option " + a + " attend un fichier.");
            o.output = *v;
        } else if (a == "--upto") {
            const std::string* v = value();
            const auto n = v ? integer(*v) : std::nullopt;
            if (!n || *n < 0) return usage(err, "--upto attend un nombre entier positif.");
            o.upTo = n;
        } else if (a == "--body") {
            const std::string* v = value();
            const auto id = v ? integer(*v) : std::nullopt;
            if (!id) return usage(err, "--body attend l'identifiant d'un corps.");
            o.bodies.push_back(*id);
        } else if (a == "--json") {
            o.json = true;
        } else {
            return usage(err, "option inconnue : " + a);
        }
    }

    // Each command accepts only its own options.
    const bool extra = o.output || o.upTo || !o.bodies.empty() || o.json;
    if (command == "check") {
        if (extra) return usage(err, "check n'accepte pas d'option.");
        return check(o, out, err);
    }
    if (command == "fmt") {
        if (o.upTo || !o.bodies.empty() || o.json) return usage(err, "fmt n'accepte que -o.");
        return format(o, out, err);
    }
    if (command == "info") {
        if (o.output || !o.bodies.empty())
            return usage(err, "info n'accepte que --upto et --json.");
        return info(o, out, err);
    }
    if (command == "export") {
        if (o.json) return usage(err, "export n'accepte pas --json.");
        return exportModel(o, out, err);
    }
    return usage(err, "commande inconnue : " + command);
}

}  // namespace ivo
