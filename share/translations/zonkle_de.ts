<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>zonkle::ContentView</name>
    <message>
        <source>Pause sensing</source>
        <translation>Erkennung pausieren</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Sensitivity</source>
        <translation>Empfindlichkeit</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Pausiert</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>No sensor found</source>
        <translation>Kein Sensor gefunden</translation>
    </message>
    <message>
        <source>No sound output</source>
        <translation>Keine Tonausgabe</translation>
    </message>
    <message>
        <source>Detector not found</source>
        <translation>Detektor nicht gefunden</translation>
    </message>
    <message>
        <source>Detector stopped</source>
        <translation>Detektor beendet</translation>
    </message>
</context>
<context>
    <name>zonkle::TrayMenu</name>
    <message>
        <source>Pause Sensing</source>
        <translation>Erkennung pausieren</translation>
    </message>
    <message>
        <source>Resume Sensing</source>
        <translation>Erkennung fortsetzen</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>zonkle::ZonkleApp</name>
    <message>
        <source>Start at Login</source>
        <translation>Bei Anmeldung starten</translation>
    </message>
</context>
</TS>
