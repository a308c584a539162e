#pragma once

#include <optional>

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QUrl>

namespace zonkle {

// One release announced by an appcast. Links are as written in the feed (possibly relative
// or insecure); whoever offers them to the user decides whether they may be opened.
struct AppcastItem {
    QString version;            // the build version that decides the order
    QString shortVersionString; // the version for people, when the feed gives one
    QUrl releaseNotesLink;
    QUrl link;
    QUrl enclosureUrl;

    QString displayVersion() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
};

// An RSS 2.0 appcast with the release-description namespace, reduced to the items meant for
// this operating system on the default channel. Versions are read as the macOS update
// framework reads them: the enclosure's attribute first, then the item's element. Delta
// updates listed as items of their own are skipped, as there. Minimum-autoupdate versions and
// phased rollouts are not applied: this checker only points to a download page, so the
// newest release is always the one to offer.
class Appcast final {
    Q_DECLARE_TR_FUNCTIONS(zonkle::Appcast)

public:
    static constexpr QLatin1String sparkleNamespace{"http://www.andymatuschak.org/xml-namespaces/sparkle"};
    // Far longer than any real version; a longer text is cut (for display) or refused (to order by).
    static constexpr qsizetype maxVersionLength = 100;
    // Far longer than any real address; a longer link is dropped.
    static constexpr qsizetype maxLinkLength = 2048;

    // Fails (nullopt, with a readable reason in `error`) on any XML error, on a document
    // type declaration (an appcast needs none, and refusing it defuses entity expansion
    // attacks), on a document that is not an RSS channel, and on an item without a version
    // or with one longer than maxVersionLength.
    static std::optional<Appcast> parse(const QByteArray& document, const QString& operatingSystem, QString* error);

    // The highest version; of equal versions the first in the feed.
    std::optional<AppcastItem> newestItem() const;

private:
    QList<AppcastItem> applicable;
};

} // namespace zonkle
