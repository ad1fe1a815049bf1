// Command dispatch, usage and the document commands of q3d.
#include "cli/cli.h"

#include <optional>

#include "document/doc_json.h"
#include "document/file_io.h"

#ifndef IVORANE_VERSION
#define IVORANE_VERSION "0.0.0"
#endif

namespace ivo {
namespace {

constexpr const char* kUsage =
    "Utilisation : q3d COMMANDE [OPTIONS] FICHIER…\n"
    "\n"
    "Outil en ligne de commande d'Ivorane 3D pour les modèles .q3d.\n"
    "\n"
    "Commandes :\n"
    "  check FICHIER…            vérifie que chaque fichier est un modèle valide\n"
    "  fmt FICHIER [-o SORTIE]   réécrit le modèle sous sa forme canonique (indentée),\n"
    "                            sur la sortie standard ou dans SORTIE\n"
    "\n"
    "Options :\n"
    "  -h, --help                affiche cette aide\n"
    "  --version                 affiche la version\n";

constexpr const char* kNotAModel = "Ce n'est pas un modèle Ivorane 3D valide.";
constexpr const char* kCannotOpen = "Impossible d'ouvrir ce fichier";

int usage(std::ostream& err, const std::string& problem) {
    err << "q3d : " << problem << "\n\n" << kUsage;
    return 2;
}

std::string plural(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n >= 2 ? many : one);
}

// Reads and decodes a model, reporting a refusal on `err` under the file's name.
std::optional<Doc> loadModel(const std::string& path, std::ostream& err) {
    std::string reason;
    const auto text = readFile(path, kMaxDocumentBytes, reason);
    if (!text) {
        err << path << " : " << kCannotOpen << " (" << reason << ").\n";
        return std::nullopt;
    }
    auto doc = decodeDoc(*text, reason);
    if (!doc) {
        err << path << " : " << kNotAModel << "\n  " << reason << "\n";
        return std::nullopt;
    }
    return doc;
}

int check(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
    if (files.empty()) return usage(err, "check attend au moins un fichier.");
    int status = 0;
    for (const std::string& path : files) {
        const auto doc = loadModel(path, err);
        if (!doc) {
            status = 1;
            continue;
        }
        out << path << " : "
            << plural(static_cast<long>(doc->features.size()), "fonction", "fonctions") << ", "
            << plural(doc->count("sketch"), "esquisse", "esquisses") << "\n";
    }
    return status;
}

int fmt(const std::vector<std::string>& files, const std::optional<std::string>& output,
        std::ostream& out, std::ostream& err) {
    if (files.size() != 1) return usage(err, "fmt attend exactement un fichier.");
    const auto doc = loadModel(files[0], err);
    if (!doc) return 1;
    const std::string text = encodeDoc(*doc, true);
    if (!output) {
        out << text;
        return 0;
    }
    std::string reason;
    if (!writeFileAtomic(*output, text, reason)) {
        err << *output << " : Enregistrement impossible (" << reason << ").\n";
        return 1;
    }
    return 0;
}

}  // namespace

int runQ3d(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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

    std::vector<std::string> files;
    std::optional<std::string> output;
    bool optionsDone = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsDone || a.empty() || a[0] != '-' || a == "-") {
            files.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "-h" || a == "--help") {
            out << kUsage;
            return 0;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return usage(err, "l'option " + a + " attend un fichier.");
            output = args[++i];
        } else {
            return usage(err, "option inconnue : " + a);
        }
    }

    if (command == "check") {
        if (output) return usage(err, "check n'accepte pas -o.");
        return check(files, out, err);
    }
    if (command == "fmt") return fmt(files, output, out, err);
    return usage(err, "commande inconnue : " + command);
}

}  // namespace ivo
