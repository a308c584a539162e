#include "appcast.h"

#include <QXmlStreamReader>

#include "version_comparator.h"

namespace zonkle {

namespace {

// The enclosure an item offers this system: the first marked for it or for no system in
// particular; failing that the first of all, which still carries the item's version.
struct Enclosure {
    QUrl url;
    QString version;
    QString shortVersionString;
    bool forThisSystem = false;
    bool isDelta = false;
};

// The item's parts that decide whether it applies to this system.
struct ItemReading {
    QString version;
    QString shortVersionString;
    AppcastItem item;
    std::optional<Enclosure> enclosure;
    bool onNamedChannel = false;

    bool applies() const {
        return !onNamedChannel && (!enclosure || (enclosure->forThisSystem && !enclosure->isDelta));
    }
};

// RSS elements carry no namespace; the release elements are matched by namespace URI, so
// any prefix the feed chooses works and a look-alike prefix bound elsewhere does not.
bool isRss(const QXmlStreamReader& xml, QLatin1String name) {
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

bool isSparkle(const QXmlStreamReader& xml, QLatin1String name) {
    return xml.namespaceUri() == Appcast::sparkleNamespace && xml.name() == name;
}

QUrl urlFrom(QStringView text) {
    text = text.trimmed();
    return text.size() > Appcast::maxLinkLength ? QUrl() : QUrl(text.toString(), QUrl::StrictMode);
}

QString sparkleAttribute(const QXmlStreamAttributes& attributes, QLatin1String name) {
    return attributes.value(Appcast::sparkleNamespace, name).trimmed().toString();
}

Enclosure readEnclosure(const QXmlStreamAttributes& attributes, const QString& operatingSystem) {
    const QString system = sparkleAttribute(attributes, QLatin1String("os"));
    return {
        .url = urlFrom(attributes.value(QLatin1String("url"))),
        .version = sparkleAttribute(attributes, QLatin1String("version")),
        .shortVersionString = sparkleAttribute(attributes, QLatin1String("shortVersionString")),
        .forThisSystem = system.isEmpty() || system.compare(operatingSystem, Qt::CaseInsensitive) == 0,
        .isDelta = attributes.hasAttribute(Appcast::sparkleNamespace, QLatin1String("deltaFrom")),
    };
}

// A display text cut to a length any dialog can show.
QString bounded(const QString& text) {
    return text.size() > Appcast::maxVersionLength ? text.left(Appcast::maxVersionLength - 1) + u'\u2026' : text;
}

ItemReading readItem(QXmlStreamReader& xml, const QString& operatingSystem) {
    ItemReading reading;
    AppcastItem& item = reading.item;
    while (xml.readNextStartElement()) {
        if (isSparkle(xml, QLatin1String("version"))) {
            reading.version = xml.readElementText().trimmed();
        } else if (isSparkle(xml, QLatin1String("shortVersionString"))) {
            reading.shortVersionString = xml.readElementText().trimmed();
        } else if (isSparkle(xml, QLatin1String("releaseNotesLink"))) {
            const QUrl url = urlFrom(xml.readElementText());
            if (item.releaseNotesLink.isEmpty()) {
                item.releaseNotesLink = url;
            }
        } else if (isSparkle(xml, QLatin1String("channel"))) {
            reading.onNamedChannel = !xml.readElementText().trimmed().isEmpty();
        } else if (isRss(xml, QLatin1String("link"))) {
            item.link = urlFrom(xml.readElementText());
        } else if (isRss(xml, QLatin1String("enclosure"))) {
            if (!reading.enclosure || !reading.enclosure->forThisSystem) {
                const Enclosure enclosure = readEnclosure(xml.attributes(), operatingSystem);
                if (!reading.enclosure || enclosure.forThisSystem) {
                    reading.enclosure = enclosure;
                }
            }
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    // The enclosure's attributes win over the item's elements.
    const Enclosure enclosure = reading.enclosure.value_or(Enclosure{});
    item.version = enclosure.version.isEmpty() ? reading.version : enclosure.version;
    item.shortVersionString =
        bounded(enclosure.shortVersionString.isEmpty() ? reading.shortVersionString : enclosure.shortVersionString);
    item.enclosureUrl = enclosure.url;
    return reading;
}

} // namespace

std::optional<Appcast> Appcast::parse(const QByteArray& document, const QString& operatingSystem, QString* error) {
    QXmlStreamReader xml(document);
    Appcast appcast;
    bool sawChannel = false;
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return std::nullopt;
    };

    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD) {
            return fail(tr("The feed contains a document type declaration, which an appcast never needs."));
        }
        if (xml.tokenType() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (!isRss(xml, QLatin1String("rss"))) {
            return fail(tr("The feed is not an RSS document."));
        }
        while (xml.readNextStartElement()) {
            if (!isRss(xml, QLatin1String("channel"))) {
                xml.skipCurrentElement();
                continue;
            }
            sawChannel = true;
            while (xml.readNextStartElement()) {
                if (!isRss(xml, QLatin1String("item"))) {
                    xml.skipCurrentElement();
                    continue;
                }
                const ItemReading reading = readItem(xml, operatingSystem);
                if (xml.hasError()) {
                    break;
                }
                if (reading.item.version.isEmpty()) {
                    return fail(tr("An item in the feed has no version."));
                }
                if (reading.item.version.size() > maxVersionLength) {
                    return fail(
                        tr("An item in the feed has a version longer than %1 characters.").arg(maxVersionLength));
                }
                if (reading.applies()) {
                    appcast.applicable.append(reading.item);
                }
            }
        }
    }
    if (xml.hasError()) {
        return fail(tr("The feed is not well-formed XML: %1 (line %2).").arg(xml.errorString()).arg(xml.lineNumber()));
    }
    if (!sawChannel) {
        return fail(tr("The feed has no RSS channel."));
    }
    return appcast;
}

std::optional<AppcastItem> Appcast::newestItem() const {
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : applicable) {
        if (!newest || VersionComparator::compare(item.version, newest->version) > 0) {
            newest = item;
        }
    }
    return newest;
}

} // namespace zonkle
