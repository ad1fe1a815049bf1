// Small widgets of the main window: containers laid out by hand with a painted background,
// the window that reports its closing, and a one-line label that elides its text.
#pragma once

#include <functional>

#include <QColor>
#include <QLabel>
#include <QMainWindow>
#include <QWidget>

namespace ivo {

// A label in a pixel size, weight and colour of its own, for the toolbar and its dialogs.
QLabel* styledLabel(QWidget* parent, const QString& text, int px, QFont::Weight weight,
                    QColor color);

// A container whose children are placed by `onLayout` on every resize (Qt's y axis already
// points down), painted with an optional rounded, bordered background.
class FlippedView : public QWidget {
public:
    explicit FlippedView(QWidget* parent = nullptr);

    std::function<void()> onLayout;

    void setBackground(QColor color) {
        background_ = color;
        update();
    }
    // Radius of the rounded corners; `topOnly` keeps the bottom corners square.
    void setCorners(double radius, bool topOnly = false) {
        radius_ = radius;
        topOnly_ = topOnly;
        update();
    }
    void setBorder(QColor color, double width) {
        border_ = color;
        borderWidth_ = width;
        update();
    }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background_ = Qt::transparent;
    QColor border_ = Qt::transparent;
    double radius_ = 0, borderWidth_ = 0;
    bool topOnly_ = false;
};

// The main window; `onClose` runs before it closes.
class MainWindow : public QMainWindow {
public:
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// A one-line label truncated at the tail with an ellipsis.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr) : QLabel(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ivo
