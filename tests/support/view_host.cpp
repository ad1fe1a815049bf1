#include "support/view_host.h"

#include <QKeyEvent>
#include <QMenu>

#include "document/doc_json.h"
#include "document/file_io.h"

namespace ivo::testing {

bool ViewHost::load(const std::string& path) {
    std::string reason;
    const auto text = readFile(path, kMaxDocumentBytes, reason);
    if (!text) return false;
    auto doc = decodeDoc(*text, reason);
    if (!doc) return false;
    setDocument(std::move(*doc));
    return true;
}

void ViewHost::setDocument(Doc doc) {
    document = std::move(doc);
    evaluation = Evaluator::run(document);
}

QMenu* ViewHost::contextMenu(ViewPoint p) {
    menuRequests.push_back(p);
    if (!offerMenu) return nullptr;
    auto* menu = new QMenu;
    menu->addAction("Esquisse");
    return menu;
}

bool ViewHost::handleKey(QKeyEvent* event) {
    keys.push_back(event->key());
    return event->key() == Qt::Key_Escape;
}

bool ViewHost::editorMouseDown(ViewPoint, int) {
    editorCalls.push_back("down");
    return editorTakes;
}

}  // namespace ivo::testing
