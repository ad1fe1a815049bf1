// The browser's first row names the document: it follows the file the user saves to.
#include <QPushButton>

#include "app/app_fixture.h"

namespace ivo::testing {
namespace {

struct BrowserDocumentRowTest : AppFixture {
    QString documentRow() {
        QApplication::processEvents();
        auto* b = delegate->ctl->browserStack->findChild<QPushButton*>("doc");
        return b ? b->text().trimmed() : QString("(pas de ligne)");
    }
    bool saveAs(const std::string& name) {
        dialogs->savePath = toQt(tmp.path() + "/" + name + ".q3d");
        return delegate->ctl->saveDocumentAs();
    }
};

TEST_F(BrowserDocumentRowTest, NamesTheFileTheDocumentWasLastSavedTo) {
    MainController& c = launch();
    EXPECT_EQ(documentRow(), "Sans titre");
    ASSERT_TRUE(saveAs("piece"));
    EXPECT_EQ(documentRow(), "piece");
    ASSERT_TRUE(saveAs("support"));
    EXPECT_EQ(documentRow(), "support");
    ASSERT_TRUE(c.saveDocument());
    EXPECT_EQ(documentRow(), "support");
    EXPECT_EQ(c.fileURL, tmp.path() + "/support.q3d");
}

}  // namespace
}  // namespace ivo::testing
