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

constexpr const char* kNotRegular = "ce n'est pas un fichier ordinaire";

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
        case ELOOP: return "trop de liens symboliques en chaîne";
        default: return std::strerror(err);
    }
}

std::optional<std::string> readFile(const std::string& path, size_t maxBytes, std::string& reason) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer forever; a regular file ignores it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = describeErrno(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno;
        reason = st.st_mode == 0       ? describeErrno(err)
                 : S_ISDIR(st.st_mode) ? describeErrno(EISDIR)
                                       : kNotRegular;
        ::close(fd);
        return std::nullopt;
    }
    auto tooBig = [&] {
        reason = "fichier trop volumineux (plus de " + std::to_string(maxBytes >> 20) + " Mo)";
        ::close(fd);
        return std::nullopt;
    };
    if (static_cast<size_t>(st.st_size) > maxBytes) return tooBig();
    std::string data;
    data.reserve(static_cast<size_t>(st.st_size));
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
        // A growing file (and /proc, which reports a size of 0) is checked while reading.
        if (data.size() + static_cast<size_t>(n) > maxBytes) return tooBig();
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

bool writeFileAtomic(const std::string& path, std::string_view data, std::string& reason) {
    // Write through symbolic links, dangling ones included, rather than replacing the link.
    std::string target = path;
    struct stat st {};
    for (int hops = 0; ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
        std::string to(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), to.data(), to.size());
        if (hops == 40 || n < 0 || static_cast<size_t>(n) >= to.size()) {
            reason = describeErrno(hops == 40 ? ELOOP : n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        to.resize(static_cast<size_t>(n));
        target = to.front() == '/' ? to : folderOf(target) + "/" + to;
    }
    mode_t mode = 0666;
    bool keepMode = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            // Renaming over a device or a FIFO would replace it, not write to it.
            reason = S_ISDIR(st.st_mode) ? describeErrno(EISDIR) : kNotRegular;
            return false;
        }
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    // A short name of its own, not the target's name plus a suffix, so that any name that
    // fits the folder can be written.
    const std::string folder = folderOf(target);
    std::string tmp = folder + "/.ivorane-XXXXXX";
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
