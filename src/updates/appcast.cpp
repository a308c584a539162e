#include "appcast.h"

#include <QXmlStreamReader>

#include "version_comparator.h"

namespace zonkle {

namespace {

// The item's parts that decide whether it applies to this system.
struct ItemReading {
    AppcastItem item;
    bool onNamedChannel = false;
    bool hasEnclosure = false;
    bool hasEnclosureForThisSystem = false;

    bool applies() const { return !onNamedChannel && (!hasEnclosure || hasEnclosureForThisSystem); }
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
    return QUrl(text.trimmed().toString(), QUrl::StrictMode);
}

ItemReading readItem(QXmlStreamReader& xml, const QString& operatingSystem) {
    ItemReading reading;
    AppcastItem& item = reading.item;
    while (xml.readNextStartElement()) {
        if (isSparkle(xml, QLatin1String("version"))) {
            item.version = xml.readElementText().trimmed();
        } else if (isSparkle(xml, QLatin1String("shortVersionString"))) {
            item.shortVersionString = xml.readElementText().trimmed();
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
            const QXmlStreamAttributes attributes = xml.attributes();
            const QStringView system = attributes.value(Appcast::sparkleNamespace, QLatin1String("os"));
            reading.hasEnclosure = true;
            if (!reading.hasEnclosureForThisSystem &&
                (system.isEmpty() || system.compare(operatingSystem, Qt::CaseInsensitive) == 0)) {
                reading.hasEnclosureForThisSystem = true;
                item.enclosureUrl = urlFrom(attributes.value(QLatin1String("url")));
            }
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
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
