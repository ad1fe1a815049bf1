// Whole-file reading with a size limit and atomic replacement of files (temporary file in
// the same folder, flushed to disk, then renamed over the target), with French reasons.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ivo {

// The file's bytes, or nothing with a reason ("fichier introuvable", "fichier trop
// volumineux…") when it cannot be read or is larger than `maxBytes`. Only regular files are
// read: a FIFO or a device is refused at once ("ce n'est pas un fichier ordinaire").
std::optional<std::string> readFile(const std::string& path, size_t maxBytes, std::string& reason);

// Replaces `path` by `data` so that readers see either the old or the new content, never a
// truncated file. An existing file keeps its permissions; symbolic links are followed, a
// dangling one to the file it names; anything but a regular file is refused. On failure
// the target is untouched, no temporary file is left, and `reason` says why.
bool writeFileAtomic(const std::string& path, std::string_view data, std::string& reason);

// A short French description of an errno value.
std::string describeErrno(int err);

}  // namespace ivo
