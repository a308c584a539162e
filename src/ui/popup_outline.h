#pragma once

#include <QWidget>

namespace zonkle {

// A hairline around its parent while the parent is shown as a popup, which no window
// manager frames; lies over the parent's children and lets every click through.
class PopupOutline final : public QWidget {
    Q_OBJECT

public:
    explicit PopupOutline(QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zonkle
