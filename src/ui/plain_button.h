#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

namespace zonkle {

// A borderless button: a symbol and a text side by side, both in one colour (dimmed
// while disabled). The symbol is an SVG drawn as a mask at the text's size.
class PlainButton final : public QAbstractButton {
    Q_OBJECT

public:
    PlainButton(const QString& symbolPath, const QString& text, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor currentColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSize() const;

    QString symbolPath;
    QColor color;
};

} // namespace zonkle
