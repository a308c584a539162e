#include "menu_bar_view_model.h"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

#include <QMetaObject>
#include <QPointer>
#include <QSettings>

#include "daemon_link/child_process.h"
#include "daemon_link/ipc_client.h"
#include "main_thread_poster.h"

namespace zonkle {

namespace {

// Magnitudes outside [1e-4, 1e16) are written in exponent notation ("1e-05", "1e+16"), as
// the usual console form of a double does; everything else in plain decimals.
constexpr double smallestPlainMagnitude = 1e-4;
constexpr double plainMagnitudeLimit = 1e16;
// Room for the longest shortest form of a double: sign, 17 digits, point, exponent.
constexpr std::size_t numberTextCapacity = 64;

constexpr char hexDigits[] = "0123456789abcdef";
constexpr unsigned char lastControlCharacter = 0x1f;
constexpr unsigned char deleteCharacter = 0x7f;

// The shortest decimal that reads back as the same double, always with a decimal point.
std::string sensitivityText(double sensitivity) {
    std::array<char, numberTextCapacity> buffer{};
    const double magnitude = std::fabs(sensitivity);
    const bool plain = magnitude == 0.0 || (magnitude >= smallestPlainMagnitude && magnitude < plainMagnitudeLimit);
    const auto [end, error] =
        plain ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), sensitivity, std::chars_format::fixed)
              : std::to_chars(buffer.data(), buffer.data() + buffer.size(), sensitivity);
    std::string text(buffer.data(), error == std::errc() ? end : buffer.data());
    if (plain && text.find('.') == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string debugOptionalText(const std::optional<std::string>& text) {
    if (!text) {
        return "nil";
    }
    std::string out = "Optional(\"";
    out.reserve(out.size() + text->size() + 2);
    for (const char c : *text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            // Other control characters would reach the terminal raw; write them as code points.
            if (byte <= lastControlCharacter || byte == deleteCharacter) {
                out += "\\u{";
                out += hexDigits[byte >> 4];
                out += hexDigits[byte & 0xf];
                out += '}';
            } else {
                out += c;
            }
        }
    }
    out += "\")";
    return out;
}

} // namespace

MenuBarViewModel& MenuBarViewModel::shared() {
    // Never deleted: the destructor would stop the daemon, which should instead see the end
    // of its input when the process ends. Function-local statics are initialised once, safely.
    static MenuBarViewModel* const instance =
        new MenuBarViewModel(IpcClient::create({qtMainThreadPoster(), locateDaemonExecutable, writeLogLine}), [] {
            // The application's SettingsStore, made before the panel, has logged any problem.
            const auto settings = SettingsStore::openDefaultFile([](std::string_view) {});
            return settings ? SettingsStore::readDirect(*settings) : SettingsValues{};
        });
    return *instance;
}

MenuBarViewModel::MenuBarViewModel(std::shared_ptr<DaemonClient> client, SettingsSource readSettings, LogSink log,
                                   QObject* parent)
    : QObject(parent), client(std::move(client)), log(std::move(log)) {
    // The callback must not keep the view model alive, and every event takes one more turn
    // of the main event loop before it is handled.
    this->client->onEventReceived = [self = QPointer<MenuBarViewModel>(this)](const InboundEvent& event) {
        if (!self) {
            return;
        }
        // A queued call to a destroyed context object is discarded, so `target` cannot dangle.
        QMetaObject::invokeMethod(
            self.data(), [target = self.data(), event] { target->handleEvent(event); }, Qt::QueuedConnection);
    };
    // A launch failure arrives inside start, before any event; an exit arrives after the
    // detector's last event and takes the same extra loop turn, so it stays behind them.
    this->client->onDetectorFailed = [self = QPointer<MenuBarViewModel>(this)](const DetectorFailure& failure) {
        if (!self) {
            return;
        }
        if (failure.kind == DetectorFailure::Kind::NotStarted) {
            self->handleFailure(failure);
            return;
        }
        QMetaObject::invokeMethod(
            self.data(), [target = self.data(), failure] { target->handleFailure(failure); }, Qt::QueuedConnection);
    };
    this->client->start();
    const SettingsValues initial = readSettings();
    syncConfig(initial.sensitivity, initial.sound, initial.paused);
}

MenuBarViewModel::MenuBarViewModel(std::shared_ptr<DaemonClient> client, const SettingsValues& initial, LogSink log,
                                   QObject* parent)
    : MenuBarViewModel(std::move(client), SettingsSource([initial] { return initial; }), std::move(log), parent) {}

MenuBarViewModel::~MenuBarViewModel() {
    client->stop();
}

void MenuBarViewModel::syncConfig(double sensitivity, const QString& sound, bool paused) {
    const std::string soundName = sound.toStdString();
    log("Syncing Config -> Sensitivity: " + sensitivityText(sensitivity) + ", Sound: " + soundName +
        ", Paused: " + (paused ? "true" : "false"));
    client->send(OutboundCommand{"config", sensitivity, soundName, paused});
}

void MenuBarViewModel::handleEvent(const InboundEvent& event) {
    if (event.type == "event" && event.action == "pong") {
        log("Ping/Pong test successful.");
        setHealth(DetectorHealth::Healthy, {});
    } else if (event.type == "event" && event.action == "hit") {
        ++hits;
        emit hitCountChanged(hits);
        log("Hit detected by Go daemon! #" + std::to_string(hits));
    } else if (event.type == "error") {
        log("Error: " + debugOptionalText(event.action));
        const QString message = QString::fromStdString(event.message.value_or(std::string()));
        // Sensing is what matters: a missing microphone does not hide a missing sensor.
        if (event.action == "no_sensor") {
            setHealth(DetectorHealth::NoSensor, message);
        } else if (event.action == "no_audio" && health != DetectorHealth::NoSensor) {
            setHealth(DetectorHealth::NoAudio, message);
        }
    }
}

void MenuBarViewModel::handleFailure(const DetectorFailure& failure) {
    setHealth(failure.kind == DetectorFailure::Kind::NotStarted ? DetectorHealth::NotStarted : DetectorHealth::Exited,
              QString::fromStdString(failure.detail));
}

void MenuBarViewModel::setHealth(DetectorHealth newHealth, const QString& detail) {
    if (newHealth == health && detail == healthDetail) {
        return;
    }
    health = newHealth;
    healthDetail = detail;
    emit detectorHealthChanged();
}

} // namespace zonkle
