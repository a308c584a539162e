#include "menu_bar_icon.h"

#include "ui/template_image.h"

#include <QString>

namespace zonkle {

namespace {

constexpr const char* menuBarIconResource = ":/zonkle/MenuBarIcon.svg";

} // namespace

QIcon menuBarIcon(const QColor& color) {
    QIcon icon = templateIcon(QString::fromLatin1(menuBarIconResource), menuBarIconBox, color);
    icon.setIsMask(true);
    return icon;
}

} // namespace zonkle
