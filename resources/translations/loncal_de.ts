<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>DateTime</name>
    <message>
        <source>MM/dd/yyyy</source>
        <translation>dd.MM.yyyy</translation>
    </message>
    <message>
        <source>h:mm:ss AP</source>
        <translation>HH:mm:ss</translation>
    </message>
</context>
<context>
    <name>Dialog</name>
    <message>
        <source>Data in HBRN</source>
        <translation>Daten in HBRN</translation>
    </message>
    <message>
        <source>Data in HHVS</source>
        <translation>Daten in HHVS</translation>
    </message>
    <message>
        <source>Data in HHVS / VHVS</source>
        <translation>Daten in HHVS / VHVS</translation>
    </message>
    <message>
        <source>Data in HSEL / VDSH / PDSH</source>
        <translation>Daten in HSEL / VDSH / PDSH</translation>
    </message>
    <message>
        <source>Data in HCON / VCON</source>
        <translation>Daten in HCON / VCON</translation>
    </message>
    <message>
        <source>Data in HVS</source>
        <translation>Daten in HVS</translation>
    </message>
    <message>
        <source>Data in CON</source>
        <translation>Daten in CON</translation>
    </message>
    <message>
        <source>Data in HDSL / VDSL</source>
        <translation>Daten in HDSL / VDSL</translation>
    </message>
    <message>
        <source>Data in RHVS</source>
        <translation>Daten in RHVS</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Data in HPSU / VPSU</source>
        <translation>Daten in HPSU / VPSU</translation>
    </message>
    <message>
        <source>Enable zero</source>
        <translation>Nullabgleich ein</translation>
    </message>
    <message>
        <source>Disable zero</source>
        <translation>Nullabgleich aus</translation>
    </message>
    <message>
        <source>Data in NSUR</source>
        <translation>Daten in NSUR</translation>
    </message>
    <message>
        <source>Data in HSUR</source>
        <translation>Daten in HSUR</translation>
    </message>
    <message>
        <source>Data in VSUR</source>
        <translation>Daten in VSUR</translation>
    </message>
    <message>
        <source>Data in HVLF / HTDS</source>
        <translation>Daten in HVLF / HTDS</translation>
    </message>
    <message>
        <source>Data in NVLF</source>
        <translation>Daten in NVLF</translation>
    </message>
    <message>
        <source>Data in HVCE</source>
        <translation>Daten in HVCE</translation>
    </message>
    <message>
        <source>Set Voltage Range to %1 kV</source>
        <translation>Spannungsbereich %1 kV wählen</translation>
    </message>
    <message>
        <source>Switch HvOn</source>
        <translation>HV einschalten</translation>
    </message>
    <message>
        <source>U-nom %1 kV</source>
        <translation>U-nom %1 kV</translation>
    </message>
    <message>
        <source>U-nom %1 kV, I-nom %2 mA</source>
        <translation>U-nom %1 kV, I-nom %2 mA</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Set U-nom to %1 kV?</source>
        <translation>U-nom auf %1 kV setzen?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Incorrect password!</source>
        <translation>Falsches Passwort!</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>PSU</source>
        <translation>Netzteil</translation>
    </message>
    <message>
        <source>ISO</source>
        <translation>ISO</translation>
    </message>
    <message>
        <source>Burner</source>
        <translation>Brenner</translation>
    </message>
    <message>
        <source>Surge Counters</source>
        <translation>Stoßzähler</translation>
    </message>
    <message>
        <source>VLF</source>
        <translation>VLF</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Kalibrierung</translation>
    </message>
    <message>
        <source>HV DC Configuration</source>
        <translation>HV-DC-Konfiguration</translation>
    </message>
    <message>
        <source>Cascades</source>
        <translation>Kaskaden</translation>
    </message>
    <message>
        <source>Test Functions</source>
        <translation>Testfunktionen</translation>
    </message>
    <message>
        <source>Alarm Test</source>
        <translation>Alarmtest</translation>
    </message>
    <message>
        <source>Relax Mode</source>
        <translation>Relax-Modus</translation>
    </message>
    <message>
        <source>BRN</source>
        <translation>BRN</translation>
    </message>
    <message>
        <source>DC</source>
        <translation>DC</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Laden</translation>
    </message>
</context>
<context>
    <name>NumberEdit</name>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
</context>
<context>
    <name>OtherModulesPanel</name>
    <message>
        <source>Stick: %1
Prints: %2</source>
        <translation>Stick: %1
Drucke: %2</translation>
    </message>
</context>
<context>
    <name>ParameterPanel</name>
    <message>
        <source>56 Service mode</source>
        <translation>56 Servicemodus</translation>
    </message>
    <message>
        <source>7 VLF calibration step</source>
        <translation>7 VLF-Kalibrierschritt</translation>
    </message>
</context>
<context>
    <name>Print</name>
    <message>
        <source>Calibration HV Unit</source>
        <translation>Kalibrierung HV-Einheit</translation>
    </message>
    <message>
        <source>SN: </source>
        <translation>SN: </translation>
    </message>
    <message>
        <source>Printer is still busy</source>
        <translation>Drucker ist noch belegt</translation>
    </message>
    <message>
        <source>Print failed</source>
        <translation>Drucken fehlgeschlagen</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>Print is running</source>
        <translation>Druck läuft</translation>
    </message>
</context>
<context>
    <name>ProfilePanel</name>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no</source>
        <translation>nein</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Network type</source>
        <translation>Netzwerktyp</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>HV DC control</source>
        <translation>HV-DC-Steuerung</translation>
    </message>
    <message>
        <source>Adapter</source>
        <translation>Adapter</translation>
    </message>
    <message>
        <source>HV level %1, high power %2, 60 kV/25 uF %3</source>
        <translation>HV-Stufe %1, Hochleistung %2, 60 kV/25 uF %3</translation>
    </message>
    <message>
        <source>Memory file</source>
        <translation>Speicherdatei</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>Knoten</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Versions</source>
        <translation>Versionen</translation>
    </message>
    <message>
        <source>Another instrument: restart with --profile NAME (--list-profiles lists them).</source>
        <translation>Anderes Gerät: mit --profile NAME neu starten (--list-profiles zeigt alle).</translation>
    </message>
</context>
<context>
    <name>ServiceLogPanel</name>
    <message>
        <source>File: %1</source>
        <translation>Datei: %1</translation>
    </message>
</context>
<context>
    <name>SessionPanel</name>
    <message>
        <source>Key</source>
        <translation>Schlüssel</translation>
    </message>
    <message>
        <source>As found</source>
        <translation>Vorgefunden</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>Jetzt</translation>
    </message>
    <message>
        <source>Changed only</source>
        <translation>Nur geänderte</translation>
    </message>
    <message>
        <source>Revert to as-found</source>
        <translation>Vorgefundenes wiederherstellen</translation>
    </message>
    <message>
        <source>Session report...</source>
        <translation>Sitzungsbericht...</translation>
    </message>
    <message>
        <source>As left</source>
        <translation>Hinterlassen</translation>
    </message>
    <message>
        <source>No session yet: it opens when Calibration is switched on.</source>
        <translation>Noch keine Sitzung: sie beginnt, wenn die Kalibrierung eingeschaltet wird.</translation>
    </message>
    <message>
        <source>open since %1</source>
        <translation>offen seit %1</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>Session by %1, %2: %3 of %4 values changed</source>
        <translation>Sitzung von %1, %2: %3 von %4 Werten geändert</translation>
    </message>
    <message>
        <source>Journal: %1</source>
        <translation>Journal: %1</translation>
    </message>
    <message>
        <source>Journal file: %1</source>
        <translation>Journaldatei: %1</translation>
    </message>
    <message>
        <source>Every value is as it was found.</source>
        <translation>Jeder Wert ist wie vorgefunden.</translation>
    </message>
    <message>
        <source>Values that differ from those found at %1: %2.
Write the values found back to the nodes?</source>
        <translation>Werte, die von den um %1 vorgefundenen abweichen: %2.
Die vorgefundenen Werte in die Knoten zurückschreiben?</translation>
    </message>
    <message>
        <source>The values were not all written back:
%1</source>
        <translation>Nicht alle Werte wurden zurückgeschrieben:
%1</translation>
    </message>
    <message>
        <source>Session report</source>
        <translation>Sitzungsbericht</translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation>PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Report saved: %1</source>
        <translation>Bericht gespeichert: %1</translation>
    </message>
</context>
<context>
    <name>StatePanel</name>
    <message>
        <source> kV</source>
        <translation> kV</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <source>HV ready</source>
        <translation>HV bereit</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>Spannung</translation>
    </message>
</context>
<context>
    <name>StickChooser</name>
    <message>
        <source>Load from USB stick</source>
        <translation>Vom USB-Stick laden</translation>
    </message>
    <message>
        <source>No calibration file (*.xml) on the stick %1.</source>
        <translation>Keine Kalibrierdatei (*.xml) auf dem Stick %1.</translation>
    </message>
    <message>
        <source>Calibration files on the stick %1:</source>
        <translation>Kalibrierdateien auf dem Stick %1:</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
</context>
<context>
    <name>TrafficPanel</name>
    <message>
        <source>Registrations</source>
        <translation>Anmeldungen</translation>
    </message>
    <message>
        <source>Polls</source>
        <translation>Abfragen</translation>
    </message>
    <message>
        <source>Answers</source>
        <translation>Antworten</translation>
    </message>
    <message>
        <source>Measurements</source>
        <translation>Messwerte</translation>
    </message>
    <message>
        <source>Writes</source>
        <translation>Schreibvorgänge</translation>
    </message>
    <message>
        <source>Module status</source>
        <translation>Modulstatus</translation>
    </message>
    <message>
        <source>Other modules</source>
        <translation>Andere Module</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Dir</source>
        <translation>Ri.</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>Knoten</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>The measurement values that stream while a dialog is open</source>
        <translation>Die Messwerte, die laufend kommen, solange ein Dialog offen ist</translation>
    </message>
    <message>
        <source>all nodes</source>
        <translation>alle Knoten</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>Mitlaufen</translation>
    </message>
    <message>
        <source>Keep the newest row in view</source>
        <translation>Die neueste Zeile sichtbar halten</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>on</source>
        <translation>ein</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>  (refused)</source>
        <translation>  (abgelehnt)</translation>
    </message>
    <message>
        <source>measurement</source>
        <translation>Messwert</translation>
    </message>
    <message>
        <source>other module</source>
        <translation>anderes Modul</translation>
    </message>
    <message>
        <source>node %1</source>
        <translation>Knoten %1</translation>
    </message>
    <message numerus="yes">
        <source>%n rows</source>
        <translation>
            <numerusform>%n Zeile</numerusform>
            <numerusform>%n Zeilen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n rows</source>
        <translation>
            <numerusform>%1 von %n Zeile</numerusform>
            <numerusform>%1 von %n Zeilen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>WorkbenchWindow</name>
    <message>
        <source>The workbench cannot start:
%1</source>
        <translation>Die Werkbank kann nicht starten:
%1</translation>
    </message>
    <message>
        <source>LON calibration workbench - %1</source>
        <translation>LON-Kalibrier-Werkbank - %1</translation>
    </message>
    <message>
        <source>Service menu &quot;/lon&quot;: switch Calibration on, then open a node&apos;s dialog.</source>
        <translation>Servicemenü &quot;/lon&quot;: Kalibrierung einschalten, dann den Dialog eines Knotens öffnen.</translation>
    </message>
    <message>
        <source>LON traffic</source>
        <translation>LON-Verkehr</translation>
    </message>
    <message>
        <source>Service log</source>
        <translation>Serviceprotokoll</translation>
    </message>
    <message>
        <source>Host parameters</source>
        <translation>Host-Parameter</translation>
    </message>
    <message>
        <source>State machine</source>
        <translation>Zustandsautomat</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Other modules</source>
        <translation>Andere Module</translation>
    </message>
    <message>
        <source>Session</source>
        <translation>Sitzung</translation>
    </message>
    <message>
        <source>Prints go to %1</source>
        <translation>Drucke gehen nach %1</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Printed %1 to %2</source>
        <translation>%1 nach %2 gedruckt</translation>
    </message>
    <message>
        <source>Load from USB stick</source>
        <translation>Vom USB-Stick laden</translation>
    </message>
</context>
</TS>
