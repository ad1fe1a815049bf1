// Signature checks, unpacking and the application folder's marker.
#include "updater/bundle.h"

#include <archive.h>
#include <archive_entry.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

namespace ivo {
namespace fs = std::filesystem;

namespace {

constexpr const char* messagePrefix = "ivorane3d-archive-sha256:";

// Splits a relative path into its components, dropping "." and empty ones.
std::vector<std::string> components(std::string_view p) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= p.size()) {
        const size_t j = std::min(p.find('/', i), p.size());
        const std::string_view c = p.substr(i, j - i);
        if (!c.empty() && c != ".") out.emplace_back(c);
        i = j + 1;
    }
    return out;
}

bool hasDotDot(const std::vector<std::string>& parts) {
    for (const std::string& c : parts)
        if (c == "..") return true;
    return false;
}

// Whether a symbolic link at `linkParts` with `target` stays inside the top-level folder,
// reading the target lexically as the system will once the folder is in place.
bool linkStaysInside(const std::vector<std::string>& linkParts, std::string_view target) {
    if (target.empty() || target.front() == '/') return false;
    std::vector<std::string> at(linkParts.begin(), linkParts.end() - 1);
    for (const std::string& c : components(target)) {
        if (c == "..") {
            if (at.size() <= 1) return false;  // would leave the top-level folder
            at.pop_back();
        } else {
            at.push_back(c);
        }
    }
    return !at.empty();
}

struct ReadCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};

}  // namespace

std::optional<std::string> signedMessage(const std::string& archivePath) {
    if (sodium_init() < 0) return std::nullopt;
    std::ifstream in(archivePath, std::ios::binary);
    if (!in) return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<char> buf(1 << 16);
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const auto got = in.gcount();
        if (got > 0)
            crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buf.data()),
                                      static_cast<unsigned long long>(got));
    }
    if (in.bad()) return std::nullopt;
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    char hex[2 * crypto_hash_sha256_BYTES + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return std::string(messagePrefix) + hex;
}

bool verifyArchive(const std::string& archivePath, std::string_view signature,
                   std::string_view publicKey) {
    if (signature.size() != signatureBytes || publicKey.size() != publicKeyBytes) return false;
    const auto message = signedMessage(archivePath);
    if (!message) return false;
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char*>(signature.data()),
               reinterpret_cast<const unsigned char*>(message->data()), message->size(),
               reinterpret_cast<const unsigned char*>(publicKey.data())) == 0;
}

Unpacked unpackArchive(const std::string& archivePath, const std::string& dest,
                       UnpackLimits limits) {
    const auto fail = [](std::string why) { return Unpacked{{}, std::move(why)}; };
    std::error_code ec;
    // A link among the destination's own folders would trip the symlink guard below.
    const fs::path root = fs::canonical(dest, ec);
    if (ec) return fail("Le dossier de travail est inaccessible.");

    std::unique_ptr<archive, ReadCloser> in(archive_read_new());
    archive_read_support_filter_xz(in.get());
    archive_read_support_filter_gzip(in.get());
    archive_read_support_format_tar(in.get());
    if (archive_read_open_filename(in.get(), archivePath.c_str(), 1 << 16) != ARCHIVE_OK)
        return fail("L'archive téléchargée est illisible.");

    std::unique_ptr<archive, WriteCloser> out(archive_write_disk_new());
    // No owners, permissions beyond the mode, ACLs or attributes; never through a link.
    archive_write_disk_set_options(
        out.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT);

    std::string top;
    std::set<std::string> links;
    uint64_t entries = 0, bytes = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int r = archive_read_next_header(in.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) return fail("L'archive téléchargée est illisible.");
        if (++entries > limits.maxEntries) return fail("L'archive contient trop de fichiers.");

        const char* name = archive_entry_pathname(entry);
        if (!name || !*name) return fail("L'archive contient un nom de fichier vide.");
        const std::string_view path(name);
        if (path.front() == '/') return fail("L'archive contient un chemin absolu.");
        const std::vector<std::string> parts = components(path);
        if (hasDotDot(parts)) return fail("L'archive contient un chemin qui en sort (« .. »).");
        if (parts.empty()) continue;  // "./" itself

        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry)) return fail("L'archive contient un lien physique.");
        if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
            return fail("L'archive contient un fichier spécial (périphérique, tube ou socket).");
        if ((parts.size() == 1 && type != AE_IFDIR) || (!top.empty() && parts.front() != top))
            return fail("L'archive doit contenir un seul dossier.");
        top = parts.front();
        // Links are read lexically below, which holds only while no entry goes through one.
        std::string prefix;
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            prefix += (i ? "/" : "") + parts[i];
            if (links.count(prefix))
                return fail("L'archive contient un lien qui mène hors de son dossier.");
        }
        const std::string joined = prefix + (prefix.empty() ? "" : "/") + parts.back();
        if (type == AE_IFLNK) {
            const char* target = archive_entry_symlink(entry);
            if (!target || !linkStaysInside(parts, target))
                return fail("L'archive contient un lien qui mène hors de son dossier.");
            links.insert(joined);
        } else {
            links.erase(joined);
        }
        if (type == AE_IFREG) {
            const la_int64_t size = archive_entry_size(entry);
            if (size < 0 || uint64_t(size) > limits.maxBytes - bytes)
                return fail("L'archive dépasse la taille permise (1 Gio).");
            bytes += uint64_t(size);
        }

        std::string full = (root / fs::path(path)).string();
        archive_entry_set_pathname(entry, full.c_str());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        if (archive_write_header(out.get(), entry) != ARCHIVE_OK)
            return fail("L'archive n'a pas pu être dépaquetée.");
        if (type == AE_IFREG && archive_entry_size(entry) > 0) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            int d;
            while ((d = archive_read_data_block(in.get(), &block, &size, &offset)) == ARCHIVE_OK) {
                if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK)
                    return fail("L'archive n'a pas pu être dépaquetée.");
            }
            if (d != ARCHIVE_EOF) return fail("L'archive téléchargée est illisible.");
        }
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
            return fail("L'archive n'a pas pu être dépaquetée.");
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return fail("L'archive n'a pas pu être dépaquetée.");
    if (top.empty()) return fail("L'archive est vide.");
    const std::string folder = (root / top).string();
    if (!isExecutableFile(folder + "/bin/ivorane3d"))
        return fail("Le fichier téléchargé ne contient pas Ivorane 3D.");
    return {folder, {}};
}

std::optional<BundleMark> readMarker(const std::string& folder) {
    const std::string path = folder + "/" + bundleMarker;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 65536)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    const auto b = j.find("build");
    const auto v = j.find("version");
    if (b == j.end() || !b->is_number_integer() || v == j.end() || !v->is_string())
        return std::nullopt;
    BundleMark m{b->get<int64_t>(), v->get<std::string>()};
    if (m.build < 0) return std::nullopt;
    return m;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR);
}

std::optional<std::string> replaceRefusal(const std::string& root) {
    struct stat st {};
    const std::string marker = root + "/" + bundleMarker;
    const bool marked = ::lstat(marker.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                        st.st_uid == ::geteuid() && readMarker(root);
    if (!marked)
        return "Ivorane 3D est installé dans « " + root +
               " », un dossier qu'il partage avec d'autres programmes. Mettez-le à jour par le "
               "moyen qui a servi à l'installer (gestionnaire de paquets ou installateur).";
    const std::string parent = fs::path(root).parent_path().string();
    if (::access(parent.c_str(), W_OK) != 0)
        return "Le dossier « " + parent +
               " » n'est pas modifiable. Placez le dossier d'Ivorane 3D dans un dossier qui vous "
               "appartient, par exemple votre dossier personnel.";
    return std::nullopt;
}

}  // namespace ivo
