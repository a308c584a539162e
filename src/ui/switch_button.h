#pragma once

#include <QAbstractButton>
#include <QSize>

namespace zonkle {

// An on/off switch in the small ("mini") size: a rounded track that fills with the
// accent colour when on, and a round knob that sits at the left (off) or right (on).
// Checkable; click or Space toggles it.
class SwitchButton final : public QAbstractButton {
    Q_OBJECT

public:
    explicit SwitchButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace zonkle
