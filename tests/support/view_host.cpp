#include "support/view_host.h"

#include "document/doc_json.h"
#include "document/file_io.h"

namespace ivo::testing {

bool ViewHost::load(const std::string& path) {
    std::string reason;
    const auto text = readFile(path, kMaxDocumentBytes, reason);
    auto doc = text ? decodeDoc(*text, reason) : std::nullopt;
    if (!doc) return false;
    document = std::move(*doc);
    evaluation = Evaluator::run(document);
    return true;
}

}  // namespace ivo::testing
