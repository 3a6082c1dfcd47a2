<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>DateTime</name>
    <message>
        <source>MM/dd/yyyy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>h:mm:ss AP</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Dialog</name>
    <message>
        <source>Data in HBRN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HHVS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HHVS / VHVS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HSEL / VDSH / PDSH</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HCON / VCON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HVS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in CON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HDSL / VDSL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in RHVS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HPSU / VPSU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable zero</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disable zero</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in NSUR</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HSUR</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in VSUR</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HVLF / HTDS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in NVLF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data in HVCE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Voltage Range to %1 kV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Switch HvOn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>U-nom %1 kV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>U-nom %1 kV, I-nom %2 mA</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set U-nom to %1 kV?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Incorrect password!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>PSU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ISO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burner</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Surge Counters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VLF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HV DC Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cascades</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Functions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm Test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Relax Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BRN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NumberEdit</name>
    <message>
        <source>%1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OtherModulesPanel</name>
    <message>
        <source>Stick: %1
Prints: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParameterPanel</name>
    <message>
        <source>56 Service mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>7 VLF calibration step</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Print</name>
    <message>
        <source>Calibration HV Unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SN: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer is still busy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print is running</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProfilePanel</name>
    <message>
        <source>yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HV DC control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Adapter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HV level %1, high power %2, 60 kV/25 uF %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Node</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Versions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Another instrument: restart with --profile NAME (--list-profiles lists them).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ServiceLogPanel</name>
    <message>
        <source>File: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SessionPanel</name>
    <message>
        <source>Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>As found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changed only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Revert to as-found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Session report...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>As left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No session yet: it opens when Calibration is switched on.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>open since %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Session by %1, %2: %3 of %4 values changed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Journal: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Journal file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every value is as it was found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Values that differ from those found at %1: %2.
Write the values found back to the nodes?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The values were not all written back:
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Session report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report saved: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StatePanel</name>
    <message>
        <source> kV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HV ready</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StickChooser</name>
    <message>
        <source>Load from USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No calibration file (*.xml) on the stick %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calibration files on the stick %1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrafficPanel</name>
    <message>
        <source>Registrations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Polls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Answers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Measurements</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Module status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other modules</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dir</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Node</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Index</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The measurement values that stream while a dialog is open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>all nodes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Follow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep the newest row in view</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  (refused)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>measurement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>other module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>node %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n rows</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n rows</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>WorkbenchWindow</name>
    <message>
        <source>The workbench cannot start:
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LON calibration workbench - %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service menu &quot;/lon&quot;: switch Calibration on, then open a node&apos;s dialog.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LON traffic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host parameters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State machine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other modules</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Session</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prints go to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printed %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load from USB stick</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
