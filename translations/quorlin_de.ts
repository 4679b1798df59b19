<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Quorlin - Version %1 (b)</source>
        <translation>Quorlin - Version %1 (b)</translation>
    </message>
    <message>
        <source>Log file: %1</source>
        <translation>Protokolldatei: %1</translation>
    </message>
    <message>
        <source>No log file is kept (start with --verbose, or Options &gt; Keep a Log File).</source>
        <translation>Es wird keine Protokolldatei geführt (mit --verbose starten oder Optionen &gt; Protokolldatei führen).</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CArchiveCommands</name>
    <message>
        <source>Bank %1</source>
        <translation>Bank %1</translation>
    </message>
    <message>
        <source>Bank %1 %2</source>
        <translation>Bank %1 %2</translation>
    </message>
    <message>
        <source>%1: %2 %3</source>
        <translation>%1: %2 %3</translation>
    </message>
    <message>
        <source>loading</source>
        <translation>wird geladen</translation>
    </message>
    <message>
        <source>fetching</source>
        <translation>wird abgerufen</translation>
    </message>
    <message>
        <source>Choose the folder to hold the unit&apos;s backup</source>
        <translation>Ordner für die Sicherung des Geräts wählen</translation>
    </message>
    <message>
        <source>Choose the backup folder to restore</source>
        <translation>Sicherungsordner zum Zurückspielen wählen</translation>
    </message>
    <message>
        <source>The command could not be carried out.</source>
        <translation>Der Befehl konnte nicht ausgeführt werden.</translation>
    </message>
    <message>
        <source>Cannot back up into %1: it is not a folder.</source>
        <translation>Sichern in %1 nicht möglich: Das ist kein Ordner.</translation>
    </message>
    <message>
        <source>Planning the restore…</source>
        <translation>Zurückspielen wird geplant…</translation>
    </message>
    <message>
        <source>Every program of the backup is on the unit; nothing to restore.</source>
        <translation>Jedes Programm der Sicherung ist auf dem Gerät; es gibt nichts zurückzuspielen.</translation>
    </message>
    <message>
        <source>Restoring the backup…</source>
        <translation>Sicherung wird zurückgespielt…</translation>
    </message>
    <message>
        <source>Program %1 of %2</source>
        <translation>Programm %1 von %2</translation>
    </message>
    <message>
        <source>Bank %1 of %2</source>
        <translation>Bank %1 von %2</translation>
    </message>
    <message>
        <source>Bank %1 of %2, program %3 of %4</source>
        <translation>Bank %1 von %2, Programm %3 von %4</translation>
    </message>
    <message>
        <source>Backing up the unit into %1…</source>
        <translation>Das Gerät wird in %1 gesichert…</translation>
    </message>
</context>
<context>
    <name>CBankNameValidator</name>
    <message>
        <source>A bank name needs at least one character other than a blank.</source>
        <translation>Ein Bankname braucht mindestens ein Zeichen, das kein Leerzeichen ist.</translation>
    </message>
    <message>
        <source>The unit accepts only these characters in a bank name: letters A-Z and a-z, digits 0-9, the blank and %1</source>
        <translation>Das Gerät nimmt in einem Banknamen nur diese Zeichen an: die Buchstaben A-Z und a-z, die Ziffern 0-9, das Leerzeichen und %1</translation>
    </message>
</context>
<context>
    <name>CBrowseState</name>
    <message>
        <source>No program selected</source>
        <translation>Kein Programm ausgewählt</translation>
    </message>
</context>
<context>
    <name>CCommLogModel</name>
    <message>
        <source>→ unit</source>
        <translation>→ Gerät</translation>
    </message>
    <message>
        <source>← unit</source>
        <translation>← Gerät</translation>
    </message>
    <message>
        <source>Time (ms)</source>
        <translation>Zeit (ms)</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Richtung</translation>
    </message>
    <message>
        <source>Frame</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
</context>
<context>
    <name>CCommLogPanel</name>
    <message>
        <source>Communication Log</source>
        <translation>Kommunikationsprotokoll</translation>
    </message>
    <message>
        <source>Show or hide the frames sent to and received from the unit</source>
        <translation>Die an das Gerät gesendeten und von ihm empfangenen Nachrichten ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Anhalten</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>Save &amp;As…</source>
        <translation>Speichern &amp;unter…</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Log as text (*.txt)</source>
        <translation>Protokoll als Text (*.txt)</translation>
    </message>
    <message>
        <source>Log as text, and the raw frames beside it as .syx (*.txt)</source>
        <translation>Protokoll als Text, daneben die rohen Nachrichten als .syx (*.txt)</translation>
    </message>
    <message>
        <source>Save Communication Log</source>
        <translation>Kommunikationsprotokoll speichern</translation>
    </message>
    <message>
        <source>communication-log.txt</source>
        <translation>kommunikationsprotokoll.txt</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Fortsetzen</translation>
    </message>
    <message>
        <source>&amp;Communication Log</source>
        <translation>&amp;Kommunikationsprotokoll</translation>
    </message>
</context>
<context>
    <name>CCommSetupDlg</name>
    <message>
        <source>Communications Setup</source>
        <translation>Verbindungseinstellungen</translation>
    </message>
    <message>
        <source>Serial Port</source>
        <translation>Serielle Schnittstelle</translation>
    </message>
    <message>
        <source>MIDI</source>
        <translation>MIDI</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>even</source>
        <translation>gerade</translation>
    </message>
    <message>
        <source>odd</source>
        <translation>ungerade</translation>
    </message>
    <message>
        <source>Connection Type:</source>
        <translation>Verbindungsart:</translation>
    </message>
    <message>
        <source>&amp;Baud Rate:</source>
        <translation>&amp;Baudrate:</translation>
    </message>
    <message>
        <source>&amp;Data Bits:</source>
        <translation>&amp;Datenbits:</translation>
    </message>
    <message>
        <source>&amp;Stop Bits:</source>
        <translation>&amp;Stoppbits:</translation>
    </message>
    <message>
        <source>P&amp;arity:</source>
        <translation>P&amp;arität:</translation>
    </message>
    <message>
        <source>Input:</source>
        <translation>Eingang:</translation>
    </message>
    <message>
        <source>Output:</source>
        <translation>Ausgang:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>No MIDI devices found</source>
        <translation>Keine MIDI-Geräte gefunden</translation>
    </message>
    <message>
        <source>Pick a serial port found on this computer, or type the path of any serial device</source>
        <translation>Wählen Sie einen auf diesem Computer gefundenen seriellen Anschluss, oder geben Sie den Gerätepfad eines beliebigen seriellen Anschlusses ein</translation>
    </message>
    <message>
        <source>&amp;Input Port:</source>
        <translation>A&amp;nschluss:</translation>
    </message>
</context>
<context>
    <name>CConnectionTestPanel</name>
    <message>
        <source>&amp;Test</source>
        <translation>&amp;Testen</translation>
    </message>
    <message>
        <source>Checks the connection shown above, without saving it</source>
        <translation>Prüft die oben eingestellte Verbindung, ohne sie zu speichern</translation>
    </message>
    <message>
        <source>Test checks the port or devices above and whether the unit answers.</source>
        <translation>Testen prüft den Anschluss oder die Geräte oben und ob das Gerät antwortet.</translation>
    </message>
    <message>
        <source>Testing...</source>
        <translation>Wird getestet...</translation>
    </message>
</context>
<context>
    <name>CCreateBankDlg</name>
    <message>
        <source>Create Bank</source>
        <translation>Bank anlegen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Bank Number:</source>
        <translation>Banknummer:</translation>
    </message>
    <message>
        <source>Bank Name:</source>
        <translation>Bankname:</translation>
    </message>
    <message>
        <source>Please enter an integer between 0 and 99.</source>
        <translation>Bitte eine ganze Zahl zwischen 0 und 99 eingeben.</translation>
    </message>
</context>
<context>
    <name>CEngineWorker</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>a few seconds left</source>
        <translation>noch wenige Sekunden</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>noch etwa %1 s</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>noch etwa %1 min</translation>
    </message>
</context>
<context>
    <name>CEntryListCtrl</name>
    <message>
        <source>Cannot drag out program %1 of bank %2: the unit sent &quot;%3&quot; instead of &quot;%4&quot;.</source>
        <translation>Programm %1 der Bank %2 kann nicht herausgezogen werden: Das Gerät hat &quot;%3&quot; statt &quot;%4&quot; gesendet.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a factory program and cannot be deleted: only user programs can be deleted.</source>
        <translation>&quot;%1&quot; ist ein Werksprogramm und kann nicht gelöscht werden: Nur Benutzerprogramme lassen sich löschen.</translation>
    </message>
    <message>
        <source>&amp;Create Bank…</source>
        <translation>Bank &amp;anlegen…</translation>
    </message>
    <message>
        <source>&amp;Rename Bank</source>
        <translation>Bank &amp;umbenennen</translation>
    </message>
    <message>
        <source>&amp;Delete Bank</source>
        <translation>Bank &amp;löschen</translation>
    </message>
    <message>
        <source>&amp;Delete Patch</source>
        <translation>Patch &amp;löschen</translation>
    </message>
</context>
<context>
    <name>CFindPatchDlg</name>
    <message>
        <source>Find Patch</source>
        <translation>Patch suchen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Find what:</source>
        <translation>Suchen nach:</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>Weitersuchen</translation>
    </message>
</context>
<context>
    <name>CGuiHost</name>
    <message>
        <source>Backup folder: %1</source>
        <translation>Sicherungsordner: %1</translation>
    </message>
    <message>
        <source>The folder %1 could not be shown: no file manager could be started. The files are there; open the folder with a program of your choice.</source>
        <translation>Der Ordner %1 konnte nicht angezeigt werden: Es ließ sich kein Dateimanager starten. Die Dateien sind dort; öffnen Sie den Ordner mit einem Programm Ihrer Wahl.</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>CLibraryController</name>
    <message>
        <source>The program library %1 cannot record a program: %2. Quorlin goes on without it.</source>
        <translation>Die Programmbibliothek %1 kann kein Programm aufnehmen: %2. Quorlin arbeitet ohne sie weiter.</translation>
    </message>
    <message>
        <source>&amp;Library</source>
        <translation>&amp;Bibliothek</translation>
    </message>
    <message>
        <source>Search every program Quorlin has seen</source>
        <translation>Alle Programme durchsuchen, die Quorlin gesehen hat</translation>
    </message>
    <message>
        <source>&amp;Keep Deleted Programs in Library</source>
        <translation>Gelöschte Programme in der Bibliothek &amp;behalten</translation>
    </message>
    <message>
        <source>Fetch a program and keep a copy in the library before Delete removes it</source>
        <translation>Ein Programm abrufen und eine Kopie in der Bibliothek behalten, bevor Löschen es entfernt</translation>
    </message>
    <message>
        <source>Restoring to bank %1…</source>
        <translation>Wird in Bank %1 zurückgespielt…</translation>
    </message>
    <message>
        <source>Restored to bank %1.</source>
        <translation>In Bank %1 zurückgespielt.</translation>
    </message>
</context>
<context>
    <name>CLibraryWindow</name>
    <message>
        <source>Library - Quorlin</source>
        <translation>Bibliothek - Quorlin</translation>
    </message>
    <message>
        <source>Search names and info texts</source>
        <translation>Namen und Info-Texte durchsuchen</translation>
    </message>
    <message>
        <source>All programs</source>
        <translation>Alle Programme</translation>
    </message>
    <message>
        <source>On the unit</source>
        <translation>Auf dem Gerät</translation>
    </message>
    <message>
        <source>Deleted</source>
        <translation>Gelöscht</translation>
    </message>
    <message>
        <source>Duplicates</source>
        <translation>Doppelte</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Where it lives now</source>
        <translation>Wo es jetzt liegt</translation>
    </message>
    <message>
        <source>Last seen</source>
        <translation>Zuletzt gesehen</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>Speichern unter…</translation>
    </message>
    <message>
        <source>Show Sightings</source>
        <translation>Fundstellen zeigen</translation>
    </message>
    <message>
        <source>Restore to Unit</source>
        <translation>Auf das Gerät zurückspielen</translation>
    </message>
    <message>
        <source>Nothing in the library matches “%1”.</source>
        <translation>Nichts in der Bibliothek passt zu „%1“.</translation>
    </message>
    <message numerus="yes">
        <source>%n program in the library matches “%1”; the unit is searched meanwhile. Each shows its last known place.</source>
        <translation>
            <numerusform>%n Programm in der Bibliothek passt zu „%1“; das Gerät wird währenddessen durchsucht. Jedes zeigt seinen zuletzt bekannten Ort.</numerusform>
            <numerusform>%n Programme in der Bibliothek passen zu „%1“; das Gerät wird währenddessen durchsucht. Jedes zeigt seinen zuletzt bekannten Ort.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n programs in the library match “%1”; the unit is searched meanwhile. Each shows its last known place.</source>
        <translation>
            <numerusform>%n Programm in der Bibliothek passt zu „%1“; das Gerät wird währenddessen durchsucht. Jedes zeigt seinen zuletzt bekannten Ort.</numerusform>
            <numerusform>%n Programme in der Bibliothek passen zu „%1“; das Gerät wird währenddessen durchsucht. Jedes zeigt seinen zuletzt bekannten Ort.</numerusform>
        </translation>
    </message>
    <message>
        <source>Save Program As</source>
        <translation>Programm speichern unter</translation>
    </message>
    <message>
        <source>Program files (*.sig)</source>
        <translation>Programmdateien (*.sig)</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Sightings of %1</source>
        <translation>Fundstellen von %1</translation>
    </message>
    <message>
        <source>SHA-256 %1, %2 bytes, first seen %3</source>
        <translation>SHA-256 %1, %2 Bytes, zuerst gesehen %3</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Wann</translation>
    </message>
    <message>
        <source>How</source>
        <translation>Wie</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Wo</translation>
    </message>
    <message>
        <source>The library is empty.

Quorlin keeps here every program that passes through it: a patch file loaded into the unit, a bank or the entire unit backed up, a program dragged out of a bank, a backup restored, and a user program before Delete removes it from the unit.

To add .sig files or backup folders you already have, run “quorlin-cli import FOLDER”.</source>
        <translation>Die Bibliothek ist leer.

Quorlin bewahrt hier jedes Programm auf, das es bearbeitet: eine in das Gerät geladene Patch-Datei, eine gesicherte Bank oder das ganze gesicherte Gerät, ein aus einer Bank gezogenes Programm, eine zurückgespielte Sicherung und ein Benutzerprogramm, bevor Löschen es aus dem Gerät entfernt.

Um vorhandene .sig-Dateien oder Sicherungsordner hinzuzufügen, führen Sie „quorlin-cli import ORDNER“ aus.</translation>
    </message>
    <message>
        <source>The demo unit&apos;s programs are kept in a library of their own, for this run only.</source>
        <translation>Die Programme des Demo-Geräts werden in einer eigenen Bibliothek aufbewahrt, nur für diesen Lauf.</translation>
    </message>
    <message>
        <source>No information text.</source>
        <translation>Kein Informationstext.</translation>
    </message>
    <message>
        <source>Select a program to read its info text.</source>
        <translation>Wählen Sie ein Programm, um seinen Informationstext zu lesen.</translation>
    </message>
</context>
<context>
    <name>CLogFileRecorder</name>
    <message>
        <source>Keep a &amp;Log File</source>
        <translation>&amp;Protokolldatei führen</translation>
    </message>
    <message>
        <source>Record the traffic with the unit and the program&apos;s messages in a log file</source>
        <translation>Den Verkehr mit dem Gerät und die Meldungen des Programms in einer Protokolldatei aufzeichnen</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Werkzeugleiste</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>&amp;Statusleiste</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Channel</source>
        <translation>&amp;Kanal</translation>
    </message>
    <message>
        <source>DSP A</source>
        <translation>DSP A</translation>
    </message>
    <message>
        <source>DSP B</source>
        <translation>DSP B</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Extras</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Find patch</source>
        <translation>Patch suchen</translation>
    </message>
    <message>
        <source>Find next patch</source>
        <translation>Nächsten Patch suchen</translation>
    </message>
    <message>
        <source>Back up every user program of every bank into a new folder</source>
        <translation>Jedes Benutzerprogramm jeder Bank in einen neuen Ordner sichern</translation>
    </message>
    <message>
        <source>Put the programs of a whole-unit backup back into the unit</source>
        <translation>Die Programme einer Sicherung des ganzen Geräts wieder auf das Gerät bringen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Create Bank</source>
        <translation>Bank anlegen</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>This pane displays the number of patches in a bank</source>
        <translation>Dieses Feld zeigt die Anzahl der Patches einer Bank</translation>
    </message>
    <message>
        <source>100 Patches</source>
        <translation>100 Patches</translation>
    </message>
    <message numerus="yes">
        <source>%n patches</source>
        <translation>
            <numerusform>%n Patch</numerusform>
            <numerusform>%n Patches</numerusform>
        </translation>
    </message>
    <message>
        <source>Quit the application</source>
        <translation>Das Programm beenden</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Show or hide the toolbar</source>
        <translation>Die Werkzeugleiste ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Toggle ToolBar</source>
        <translation>Werkzeugleiste ein/aus</translation>
    </message>
    <message>
        <source>Show or hide the status bar</source>
        <translation>Die Statusleiste ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Toggle StatusBar</source>
        <translation>Statusleiste ein/aus</translation>
    </message>
    <message>
        <source>Change to DSP A</source>
        <translation>Zu DSP A wechseln</translation>
    </message>
    <message>
        <source>Change to DSP B</source>
        <translation>Zu DSP B wechseln</translation>
    </message>
    <message>
        <source>Delete the selected patch or bank</source>
        <translation>Den gewählten Patch oder die gewählte Bank löschen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Open the selected bank or load the selected program</source>
        <translation>Die gewählte Bank öffnen oder das gewählte Programm laden</translation>
    </message>
    <message>
        <source>Open an existing patch and store it in the current bank</source>
        <translation>Einen vorhandenen Patch öffnen und in der aktuellen Bank speichern</translation>
    </message>
    <message>
        <source>Load Patch</source>
        <translation>Patch laden</translation>
    </message>
    <message>
        <source>Display program information, version number and copyright</source>
        <translation>Programminformationen, Versionsnummer und Copyright anzeigen</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Back to bank selection</source>
        <translation>Zurück zur Bankauswahl</translation>
    </message>
    <message>
        <source>Create new bank</source>
        <translation>Neue Bank anlegen</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>Read the bank list or the open bank&apos;s programs from the unit again</source>
        <translation>Die Bankliste oder die Programme der geöffneten Bank erneut vom Gerät lesen</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>An operation with the unit is still running.

Quit anyway? The operation stops after the step it is on, then Quorlin closes.</source>
        <translation>Ein Vorgang mit dem Gerät läuft noch.

Trotzdem beenden? Der Vorgang hält nach dem laufenden Schritt an, dann wird Quorlin geschlossen.</translation>
    </message>
    <message>
        <source>&amp;Patch Info</source>
        <translation>&amp;Patch-Info</translation>
    </message>
    <message>
        <source>Communications &amp;Setup…</source>
        <translation>&amp;Verbindungseinstellungen…</translation>
    </message>
    <message>
        <source>DSP &amp;A</source>
        <translation>DSP &amp;A</translation>
    </message>
    <message>
        <source>DSP &amp;B</source>
        <translation>DSP &amp;B</translation>
    </message>
    <message>
        <source>&amp;Find…</source>
        <translation>&amp;Suchen…</translation>
    </message>
    <message>
        <source>Find &amp;Next</source>
        <translation>&amp;Weitersuchen</translation>
    </message>
    <message>
        <source>&amp;Load Patch from PC…</source>
        <translation>&amp;Patch vom PC laden…</translation>
    </message>
    <message>
        <source>Back Up &amp;This Bank…</source>
        <translation>&amp;Diese Bank sichern…</translation>
    </message>
    <message>
        <source>Back up the user programs of the open bank to a folder</source>
        <translation>Die Benutzerprogramme der geöffneten Bank in einem Ordner sichern</translation>
    </message>
    <message>
        <source>Back Up &amp;Entire Unit…</source>
        <translation>&amp;Gesamtes Gerät sichern…</translation>
    </message>
    <message>
        <source>&amp;Restore Backup to Unit…</source>
        <translation>Sicherung auf das Gerät &amp;zurückspielen…</translation>
    </message>
    <message>
        <source>&amp;About Quorlin…</source>
        <translation>Ü&amp;ber Quorlin…</translation>
    </message>
    <message>
        <source>&amp;Create Bank…</source>
        <translation>Bank &amp;anlegen…</translation>
    </message>
    <message>
        <source>&amp;Bank Change</source>
        <translation>Bank&amp;wechsel</translation>
    </message>
</context>
<context>
    <name>CPatchCommands</name>
    <message>
        <source>Load Patch</source>
        <translation>Patch laden</translation>
    </message>
    <message>
        <source>Sigfiles (*.sig)</source>
        <translation>Sig-Dateien (*.sig)</translation>
    </message>
    <message>
        <source>Choose folder where the user patches should be stored</source>
        <translation>Ordner wählen, in dem die Benutzer-Patches gespeichert werden sollen</translation>
    </message>
    <message>
        <source>Loading %1 into bank %2…</source>
        <translation>%1 wird in Bank %2 geladen…</translation>
    </message>
    <message>
        <source>Deleting bank %1…</source>
        <translation>Bank %1 wird gelöscht…</translation>
    </message>
    <message>
        <source>Deleting program %1…</source>
        <translation>Programm %1 wird gelöscht…</translation>
    </message>
    <message>
        <source>Naming bank %1…</source>
        <translation>Bank %1 wird benannt…</translation>
    </message>
    <message>
        <source>Bank %1</source>
        <translation>Bank %1</translation>
    </message>
    <message>
        <source>Bank %1 &quot;%2&quot; exists. Rename it to &quot;%3&quot;?</source>
        <translation>Bank %1 &quot;%2&quot; ist vorhanden. In &quot;%3&quot; umbenennen?</translation>
    </message>
    <message>
        <source>Creating bank %1…</source>
        <translation>Bank %1 wird angelegt…</translation>
    </message>
    <message>
        <source>Cannot find %1</source>
        <translation>Nicht gefunden: %1</translation>
    </message>
    <message>
        <source>Searching for &quot;%1&quot;…</source>
        <translation>Suche nach &quot;%1&quot;…</translation>
    </message>
    <message>
        <source>Unable to get directory list</source>
        <translation>Das Verzeichnis kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>Cannot back up into %1: %2</source>
        <translation>Sichern in %1 nicht möglich: %2</translation>
    </message>
    <message>
        <source>%1: the unit did not send it.</source>
        <translation>%1: Das Gerät hat es nicht gesendet.</translation>
    </message>
    <message>
        <source>%1: the unit sent &quot;%2&quot; instead of &quot;%3&quot;.</source>
        <translation>%1: Das Gerät hat &quot;%2&quot; statt &quot;%3&quot; gesendet.</translation>
    </message>
    <message>
        <source>%1: cannot write %2: %3</source>
        <translation>%1: %2 kann nicht geschrieben werden: %3</translation>
    </message>
    <message>
        <source>%1: %2 %3 written, %4 skipped.</source>
        <translation>%1: %2 %3 geschrieben, %4 übersprungen.</translation>
    </message>
    <message>
        <source>Backup cancelled</source>
        <translation>Sicherung abgebrochen</translation>
    </message>
    <message>
        <source>Backup finished</source>
        <translation>Sicherung beendet</translation>
    </message>
    <message>
        <source>file</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>

Skipped:
</source>
        <translation>

Übersprungen:
</translation>
    </message>
    <message>
        <source>

Replaced 1 earlier backup file of the same program (the earlier text is kept in the library):
</source>
        <translation>

1 frühere Sicherungsdatei desselben Programms ersetzt (der frühere Text bleibt in der Bibliothek):
</translation>
    </message>
    <message>
        <source>

Replaced %1 earlier backup files of the same program (the earlier texts are kept in the library):
</source>
        <translation>

%1 frühere Sicherungsdateien desselben Programms ersetzt (die früheren Texte bleiben in der Bibliothek):
</translation>
    </message>
    <message>
        <source>

Kept 1 file that was already there (the new file took the next free name):
</source>
        <translation>

1 bereits vorhandene Datei behalten (die neue Datei erhielt den nächsten freien Namen):
</translation>
    </message>
    <message>
        <source>

Kept %1 files that were already there (the new files took the next free names):
</source>
        <translation>

%1 bereits vorhandene Dateien behalten (die neuen Dateien erhielten die nächsten freien Namen):
</translation>
    </message>
    <message>
        <source>Key press %1 of %2 on the unit&apos;s panel</source>
        <translation>Tastendruck %1 von %2 am Bedienfeld des Geräts</translation>
    </message>
    <message>
        <source>Program %1 of %2</source>
        <translation>Programm %1 von %2</translation>
    </message>
    <message>
        <source>Backing up bank %1 into %2…</source>
        <translation>Bank %1 wird in %2 gesichert…</translation>
    </message>
    <message>
        <source>%1: the connection to the unit was lost while it was fetched.</source>
        <translation>%1: Die Verbindung zum Gerät ging verloren, während es abgerufen wurde.</translation>
    </message>
    <message>
        <source>%1: not asked for, the connection to the unit was lost.</source>
        <translation>%1: nicht angefordert, die Verbindung zum Gerät ging verloren.</translation>
    </message>
    <message>
        <source>Backup interrupted</source>
        <translation>Sicherung unterbrochen</translation>
    </message>
</context>
<context>
    <name>CPatchInfoPane</name>
    <message>
        <source>Patch Info</source>
        <translation>Patch-Info</translation>
    </message>
    <message>
        <source>Information text of the loaded program</source>
        <translation>Info-Text des geladenen Programms</translation>
    </message>
</context>
<context>
    <name>CQuorlinView</name>
    <message>
        <source>Banks</source>
        <translation>Bänke</translation>
    </message>
    <message>
        <source>Reading bank list…</source>
        <translation>Bankliste wird gelesen…</translation>
    </message>
    <message>
        <source>Reading programs of bank %1…</source>
        <translation>Programme der Bank %1 werden gelesen…</translation>
    </message>
    <message>
        <source>Opening bank %1…</source>
        <translation>Bank %1 wird geöffnet…</translation>
    </message>
    <message>
        <source>Loading program %1…</source>
        <translation>Programm %1 wird geladen…</translation>
    </message>
    <message>
        <source>The unit did not send the program information.</source>
        <translation>Das Gerät hat die Programminformationen nicht gesendet.</translation>
    </message>
    <message>
        <source>The unit sent &quot;%1&quot; instead of &quot;%2&quot;. The information below is of &quot;%1&quot;.</source>
        <translation>Das Gerät hat &quot;%1&quot; statt &quot;%2&quot; gesendet. Die Informationen unten gehören zu &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Selecting bank %1 on DSP %2…</source>
        <translation>Bank %1 wird auf DSP %2 gewählt…</translation>
    </message>
</context>
<context>
    <name>CRestorePlanDlg</name>
    <message>
        <source>Restore Backup to Unit</source>
        <translation>Sicherung auf das Gerät zurückspielen</translation>
    </message>
    <message>
        <source>Restoring %1

These steps make every backed-up user program present again. Banks left unchecked are not touched.</source>
        <translation>%1 wird zurückgespielt

Diese Schritte bringen jedes gesicherte Benutzerprogramm wieder auf das Gerät. Nicht angehakte Bänke bleiben unberührt.</translation>
    </message>
    <message>
        <source>Bank %1</source>
        <translation>Bank %1</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Zurückspielen</translation>
    </message>
    <message>
        <source>New bank, created as “%1”</source>
        <translation>Neue Bank, angelegt als „%1“</translation>
    </message>
    <message>
        <source>Keeps its name (the backup calls it “%1”)</source>
        <translation>Behält ihren Namen (in der Sicherung heißt sie „%1“)</translation>
    </message>
    <message>
        <source>%1 (already on the unit)</source>
        <translation>%1 (schon auf dem Gerät)</translation>
    </message>
    <message>
        <source>%1 cannot be restored: its file is missing</source>
        <translation>%1 kann nicht wiederhergestellt werden: die Datei fehlt</translation>
    </message>
    <message>
        <source>%1 cannot be restored: its file has changed since the backup</source>
        <translation>%1 kann nicht wiederhergestellt werden: die Datei wurde seit der Sicherung geändert</translation>
    </message>
    <message>
        <source>%1 cannot be restored: %2</source>
        <translation>%1 kann nicht wiederhergestellt werden: %2</translation>
    </message>
    <message>
        <source>1 program</source>
        <translation>1 Programm</translation>
    </message>
    <message>
        <source>%1 programs</source>
        <translation>%1 Programme</translation>
    </message>
    <message>
        <source>1 bank</source>
        <translation>1 Bank</translation>
    </message>
    <message>
        <source>%1 banks</source>
        <translation>%1 Bänke</translation>
    </message>
    <message>
        <source>into 1 bank</source>
        <translation>in 1 Bank</translation>
    </message>
    <message>
        <source>into %1 banks</source>
        <translation>in %1 Bänken</translation>
    </message>
    <message>
        <source>%1 %2, %3 created, %4 present</source>
        <translation>%1 %2, %3 angelegt, %4 vorhanden</translation>
    </message>
    <message>
        <source>%1, %2 cannot be restored</source>
        <translation>%1, %2 nicht wiederherstellbar</translation>
    </message>
    <message>
        <source>About %1 s</source>
        <translation>Etwa %1 s</translation>
    </message>
    <message>
        <source>About %1 min</source>
        <translation>Etwa %1 min</translation>
    </message>
    <message>
        <source>About %1 h</source>
        <translation>Etwa %1 h</translation>
    </message>
    <message>
        <source>About %1 h %2 min</source>
        <translation>Etwa %1 h %2 min</translation>
    </message>
    <message>
        <source>Bank %1 “%2”</source>
        <translation>Bank %1 „%2“</translation>
    </message>
</context>
<context>
    <name>UnitText</name>
    <message>
        <source>Bank %1: %2</source>
        <translation>Bank %1: %2</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Patch librarian for the two-DSP effects unit</source>
        <translation>Patch-Verwaltung für das Effektgerät mit zwei DSPs</translation>
    </message>
    <message>
        <source>Run against the built-in demo unit.</source>
        <translation>Mit dem eingebauten Demo-Gerät arbeiten.</translation>
    </message>
    <message>
        <source>Use the serial device PATH for this run.</source>
        <translation>Für diesen Lauf das serielle Gerät PFAD verwenden.</translation>
    </message>
    <message>
        <source>PATH</source>
        <translation>PFAD</translation>
    </message>
    <message>
        <source>Keep a log file of the traffic with the unit and of the messages.</source>
        <translation>Eine Protokolldatei über den Verkehr mit dem Gerät und die Meldungen führen.</translation>
    </message>
</context>
</TS>
