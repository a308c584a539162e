#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>

namespace zonkle {

namespace {

// Where the build embeds the compiled zonkle_<language>.qm files.
constexpr const char* embeddedTranslationsDir = ":/i18n";

} // namespace

Translations::Translations(const QLocale& locale) {
    auto own = std::make_unique<QTranslator>();
    if (own->load(locale, QStringLiteral("zonkle"), QStringLiteral("_"),
                  QString::fromLatin1(embeddedTranslationsDir))) {
        QCoreApplication::installTranslator(own.get());
        installed.push_back(std::move(own));
        ownFound = true;
    }

    auto qt = std::make_unique<QTranslator>();
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        installed.push_back(std::move(qt));
    }
}

Translations::~Translations() {
    for (const auto& translator : installed) {
        QCoreApplication::removeTranslator(translator.get());
    }
}

} // namespace zonkle
