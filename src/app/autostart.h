#pragma once

#include <QString>

namespace zonkle {

// Starting Zonkle at login: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/zonkle.desktop.
// The file is the only record, so the state is right after the user deletes or disables it by
// hand, and nothing is written until setEnabled() is called.
class Autostart final {
public:
    // `executable` is what the entry starts; by default this process's own program.
    explicit Autostart(QString executable = {});

    QString entryPath() const;
    // The entry exists and is not switched off (Hidden=true, X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;
    // Writes or removes the entry; false when the file could not be written or removed.
    bool setEnabled(bool enabled) const;

private:
    QString executable;
};

} // namespace zonkle
