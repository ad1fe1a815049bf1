// The window and its fixed regions, the title, the status line and the evaluation that
// every change of the document ends with.
#include "app/main_controller.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QVBoxLayout>

#include "app/feature_inspector.h"
#include "app/qt_conv.h"
#include "app/sketch_host.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

const char* const kFrameKey = "Ivorane3DMain";

}  // namespace

MainController::MainController(std::unique_ptr<Dialogs> d) : dialogs(std::move(d)) {
    QSettings settings;
    selFilter = fromQt(settings.value("selFilter", "face").toString());
    magnet = settings.value("magnet", true).toBool();

    window = std::make_unique<MainWindow>();
    if (!dialogs) dialogs = std::make_unique<QtDialogs>(window.get());
    root = new FlippedView;
    window->setCentralWidget(root);
    root->setMinimumSize(900, 560);
    window->resize(1280, 800);
    window->onClose = [this] { windowWillClose(); };

    autosaveTimer_.setSingleShot(true);
    connect(&autosaveTimer_, &QTimer::timeout, this, [this] { autosaveNow(); });

    editorHost = std::make_unique<SketchHost>(*this);
    editor = std::make_unique<SketchEditor>(editorHost.get());
    buildViews();
    loadPrintPreferences();
    root->onLayout = [this] { layoutAll(); };

    layoutAll();
    updateTitle();
    rebuildAll();
    setStatus("Bienvenue ! Cliquez sur « Esquisse » pour commencer, puis choisissez un plan.");
}

MainController::~MainController() {
    autosaveTimer_.stop();
    // The view calls back into this controller while it is torn down with the window.
    root->onLayout = nullptr;
    window.reset();
}

void MainController::buildViews() {
    docTabBar = new FlippedView(root);
    docTabBar->setBackground(grey(0.88));

    toolbarBox = new FlippedView(root);
    toolbarBox->setBackground(grey(0.985));
    tabRow = new FlippedView(toolbarBox);
    toolbarStack = new QWidget(toolbarBox);
    auto* toolbarLayout = new QHBoxLayout(toolbarStack);
    toolbarLayout->setSpacing(6);
    toolbarLayout->setContentsMargins(10, 6, 10, 4);
    toolbarLayout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    toolbarLine = new QWidget(toolbarBox);
    toolbarLine->setAutoFillBackground(true);
    toolbarLine->setPalette(QPalette(grey(0.82)));

    browserScroll = new QScrollArea(root);
    browserScroll->setFrameShape(QFrame::NoFrame);
    browserScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    browserScroll->setWidgetResizable(true);  // the document view is as wide as the scroller
    auto* browserDoc = new FlippedView;
    browserDoc->setBackground(grey(0.985));
    auto* browserDocLayout = new QVBoxLayout(browserDoc);
    browserDocLayout->setContentsMargins(8, 8, 4, 8);
    browserStack = new QWidget;
    auto* browserLayout = new QVBoxLayout(browserStack);
    browserLayout->setSpacing(1);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    browserLayout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    browserDocLayout->addWidget(browserStack);
    browserDocLayout->addStretch(1);
    browserScroll->setWidget(browserDoc);
    QPalette browserPalette = browserScroll->palette();
    browserPalette.setColor(QPalette::Window, grey(0.985));
    browserScroll->setPalette(browserPalette);

    viewport = new Viewport(this, root);
    viewport->resize(800, 600);
    const DocTab& start = tabs[activeTab];
    viewport->target = start.target;
    viewport->dist = start.dist;
    viewport->yaw = start.yaw;
    viewport->pitch = start.pitch;
    viewport->updateCamera();

    timelineBox = new FlippedView(root);
    timelineBox->setBackground(grey(0.94));
    timelineControls = new QWidget(timelineBox);
    auto* controlsLayout = new QHBoxLayout(timelineControls);
    controlsLayout->setSpacing(2);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    timelineScroll = new QScrollArea(timelineBox);
    timelineScroll->setFrameShape(QFrame::NoFrame);
    timelineScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    timelineScroll->setAttribute(Qt::WA_TranslucentBackground);
    timelineScroll->viewport()->setAutoFillBackground(false);
    timelineStack = new QWidget;
    timelineStack->setAutoFillBackground(false);
    auto* stackLayout = new QHBoxLayout(timelineStack);
    stackLayout->setSpacing(3);
    stackLayout->setContentsMargins(0, 0, 0, 0);
    stackLayout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    timelineScroll->setWidget(timelineStack);
    timelineScroll->setWidgetResizable(true);
    buildTimelineControls();

    statusLabel = new ElidedLabel(root);
    QFont statusFont = statusLabel->font();
    statusFont.setPixelSize(12);
    statusLabel->setFont(statusFont);
    QPalette statusPalette = statusLabel->palette();
    statusPalette.setColor(QPalette::WindowText, grey(0.25));
    statusLabel->setPalette(statusPalette);
    statusLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    inspector = new FlippedView(root);
    inspector->setBackground(grey(1, 0.97));
    inspector->setCorners(8);
    inspector->setBorder(grey(0.75), 1);
    inspector->resize(300, 200);
    inspector->hide();
    featureInspector = std::make_unique<FeatureInspector>(inspector);
    featureInspector->onChanged = [this](const std::string& key) { inspectorChangedAction(key); };
    featureInspector->onEdited = [this](const std::string&) { inspectorChanged(false); };
    featureInspector->onOK = [this] { inspectorOK(); };
    featureInspector->onCancel = [this] { inspectorCancel(); };

    // Over the 3-D view: the status line and the floating inspector.
    statusLabel->raise();
    inspector->raise();
}

void MainController::layoutAll() {
    const int W = root->width(), H = root->height();
    const auto nn = [](int v) { return std::max(v, 0); };
    docTabBar->setGeometry(0, 0, nn(W), tabH);
    layoutDocTabs();
    toolbarBox->setGeometry(0, tabH, nn(W), tbH);
    tabRow->setGeometry(0, 0, nn(W), 28);
    toolbarStack->setGeometry(0, 28, nn(W), 71);
    toolbarLine->setGeometry(0, 99, nn(W), 1);
    browserScroll->setGeometry(0, tabH + tbH, brW, nn(H - tabH - tbH - tlH));
    timelineBox->setGeometry(0, nn(H - tlH), nn(W), tlH);
    const QSize fit = timelineControls->sizeHint().expandedTo(QSize(0, 0));
    timelineControls->setGeometry(8, (tlH - fit.height()) / 2, fit.width(), fit.height());
    const QRect strip(fit.width() + 16, 2, nn(W - fit.width() - 24), 52);
    const bool stripResized = strip.size() != timelineScroll->size();
    timelineScroll->setGeometry(strip);
    // A narrower window must not hide the marker, the place where the next feature goes.
    if (stripResized) revealTimelineMarker();
    viewport->setGeometry(brW, tabH + tbH, nn(W - brW), nn(H - 190));
    statusLabel->setGeometry(242, H - tlH - 24, nn(W - brW - 24), 18);
    layoutInspector();
}

void MainController::layoutInspector() {
    inspector->move(root->width() - inspector->width() - 14, 146);
}

void MainController::updateTitle() {
    window->setWindowTitle(toQt("Ivorane 3D — " + documentName(fileURL)) + "[*]");
    bool anyDirty = dirty;
    for (size_t i = 0; i < tabs.size(); ++i)
        if (i != activeTab && tabs[i].dirty) anyDirty = true;
    window->setWindowModified(anyDirty);
    window->setWindowFilePath(fileURL ? toQt(*fileURL) : QString());
    rebuildDocTabs();
}

void MainController::setStatus(const std::string& text) {
    statusLabel->setText(toQt(text));
    statusLabel->update();
}

QString MainController::statusText() const {
    return statusLabel->text();
}

void MainController::evaluate() {
    result_ = evaluation_.run(doc_);
}

void MainController::rebuildAll() {
    evaluate();
    viewport->rebuildBodies();
    showSelection();
    rebuildToolbar();
    scheduleStripRebuild();
    viewport->redrawOverlay();
}

const Sketch* MainController::currentSketch() const {
    if (!editSketch_ || *editSketch_ >= doc_.features.size()) return nullptr;
    const Feature& f = doc_.features[*editSketch_];
    return f.sketch ? &*f.sketch : nullptr;
}

void MainController::placeWindow() {
    const QByteArray frame = QSettings().value(kFrameKey).toByteArray();
    if (!frame.isEmpty() && window->restoreGeometry(frame)) return;
    // The content (below the menu bar, which Linux puts inside the window) is 1280 × 800.
    const int bar = window->menuWidget() ? window->menuWidget()->sizeHint().height() : 0;
    window->resize(1280, 800 + bar);
    if (const QScreen* screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void MainController::windowWillClose() {
    QSettings().setValue(kFrameKey, window->saveGeometry());
    autosaveNow();
}

}  // namespace ivo
