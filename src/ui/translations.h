#pragma once

#include <memory>
#include <vector>

#include <QLocale>
#include <QTranslator>

namespace zonkle {

// Installs the application's own translation for `locale` (built into the binary) and
// Qt's translation of its standard dialog texts, for as long as this object lives.
// Labels without a translation are shown as their keys.
class Translations final {
public:
    explicit Translations(const QLocale& locale);
    ~Translations();

    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // Whether a translation of the application's own labels was found for the locale.
    bool translatesApplication() const { return ownFound; }

private:
    std::vector<std::unique_ptr<QTranslator>> installed;
    bool ownFound = false;
};

} // namespace zonkle
