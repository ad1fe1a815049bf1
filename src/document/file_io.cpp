// POSIX file access for documents and exports.
#include "document/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace ivo {
namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Read without changing it: umask(2) can only be queried by setting it, which would race
// with other threads creating files.
mode_t currentUmask() {
    std::string reason;
    if (const auto status = readFile("/proc/self/status", 1 << 20, reason)) {
        const size_t at = status->find("Umask:");
        if (at != std::string::npos)
            return static_cast<mode_t>(std::strtoul(status->c_str() + at + 6, nullptr, 8));
    }
    return 022;
}

}  // namespace

std::string describeErrno(int err) {
    switch (err) {
        case ENOENT: return "fichier ou dossier introuvable";
        case EACCES:
        case EPERM: return "permission refusée";
        case EISDIR: return "c'est un dossier";
        case ENOTDIR: return "un élément du chemin n'est pas un dossier";
        case ENOSPC: return "plus de place sur le disque";
        case EDQUOT: return "quota de disque dépassé";
        case EROFS: return "système de fichiers en lecture seule";
        case ENAMETOOLONG: return "nom de fichier trop long";
        case EFBIG: return "fichier trop volumineux";
        case EIO: return "erreur d'entrée-sortie";
        default: return std::strerror(err);
    }
}

std::optional<std::string> readFile(const std::string& path, size_t maxBytes, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = describeErrno(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? describeErrno(EISDIR) : describeErrno(errno);
        ::close(fd);
        return std::nullopt;
    }
    auto tooBig = [&] {
        reason = "fichier trop volumineux (plus de " + std::to_string(maxBytes >> 20) + " Mo)";
        ::close(fd);
        return std::nullopt;
    };
    if (S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) > maxBytes) return tooBig();
    std::string data;
    if (S_ISREG(st.st_mode)) data.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = describeErrno(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        // Pipes and growing files have no reliable size: keep checking while reading.
        if (data.size() + static_cast<size_t>(n) > maxBytes) return tooBig();
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

bool writeFileAtomic(const std::string& path, std::string_view data, std::string& reason) {
    std::string target = path;
    mode_t mode = 0666;
    bool keepMode = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            reason = describeErrno(EISDIR);
            return false;
        }
        // Write through a symbolic link rather than replacing the link by a file.
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    const std::string folder = folderOf(target);
    std::string tmp = target + ".tmp-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        reason = describeErrno(errno);
        return false;
    }
    if (!keepMode) mode &= ~currentUmask();
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        reason = describeErrno(err);
        return false;
    };
    if (::fchmod(fd, mode) != 0 && errno != EPERM) return abandon(errno);
    if (!writeAll(fd, data)) return abandon(errno);
    if (::fsync(fd) != 0) return abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        reason = describeErrno(err);
        return false;
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        reason = describeErrno(err);
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace ivo
