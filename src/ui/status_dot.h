#pragma once

#include <QColor>
#include <QWidget>

namespace zonkle {

// A filled circle in a fixed square frame.
class StatusDot final : public QWidget {
    Q_OBJECT

public:
    explicit StatusDot(int diameter, QWidget* parent = nullptr);

    QColor color() const { return fill; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill;
};

} // namespace zonkle
