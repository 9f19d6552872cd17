<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AboutForm</name>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>AuthForm</name>
    <message>
        <source>Authorization</source>
        <translation>Autorisierung</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>ConfirmForm</name>
    <message>
        <source>Confirm</source>
        <translation>Bestätigen</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
</context>
<context>
    <name>DetailForm</name>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>(DHCP)</source>
        <translation>(DHCP)</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>Maske:</translation>
    </message>
    <message>
        <source>Open in WEB Browser</source>
        <translation>Im Webbrowser öffnen</translation>
    </message>
    <message>
        <source>Open WEB of device in you default WEB browser</source>
        <translation>Webseite des Geräts im Standard-Webbrowser öffnen</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>DHCP aktivieren</translation>
    </message>
    <message>
        <source>Enable IP access filter</source>
        <translation>IP-Zugriffsfilter aktivieren</translation>
    </message>
    <message>
        <source>IP filter value:</source>
        <translation>IP-Filterwert:</translation>
    </message>
    <message>
        <source>IP filter mask:</source>
        <translation>IP-Filtermaske:</translation>
    </message>
    <message>
        <source>MAC:</source>
        <translation>MAC:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>FW version:</source>
        <translation>FW-Version:</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>Gerätetyp:</translation>
    </message>
    <message>
        <source>DHCP:</source>
        <translation>DHCP:</translation>
    </message>
    <message>
        <source>Enable NVT</source>
        <translation>NVT aktivieren</translation>
    </message>
    <message>
        <source>Enable TCP setup</source>
        <translation>TCP-Setup aktivieren</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Open TCP Setup - TCP/IP connection to the port 99</source>
        <translation>TCP-Setup öffnen – TCP/IP-Verbindung zu Port 99</translation>
    </message>
    <message>
        <source>Enable TEA authorisation</source>
        <translation>TEA-Autorisierung aktivieren</translation>
    </message>
    <message>
        <source> Default values </source>
        <translation> Standardwerte </translation>
    </message>
    <message>
        <source>Load &amp;defaults</source>
        <translation>Stan&amp;dardwerte laden</translation>
    </message>
    <message>
        <source>Configuration of device restore to default values</source>
        <translation>Konfiguration des Geräts auf Standardwerte zurücksetzen</translation>
    </message>
    <message>
        <source>Check if new IP address is empty</source>
        <translation>Prüfen, ob neue IP-Adresse frei ist</translation>
    </message>
    <message>
        <source>Check if the new IP address is available before write it to the device</source>
        <translation>Vor dem Schreiben ins Gerät prüfen, ob die neue IP-Adresse verfügbar ist</translation>
    </message>
    <message>
        <source>&amp;Apply changes</source>
        <translation>Änderungen &amp;übernehmen</translation>
    </message>
    <message>
        <source>Write new configuration to the device</source>
        <translation>Neue Konfiguration in das Gerät schreiben</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source> Your PC network settings </source>
        <translation> Netzwerkeinstellungen dieses PCs </translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Netmask:</source>
        <translation>Netzmaske:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>Show about dialog</source>
        <translation>Programminformationen anzeigen</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>In&amp;fo...</translation>
    </message>
    <message>
        <source>Search for all devices on local network</source>
        <translation>Alle Geräte im lokalen Netzwerk suchen</translation>
    </message>
    <message>
        <source>  &amp;Find Devices</source>
        <translation>  Geräte &amp;suchen</translation>
    </message>
    <message>
        <source>Device list:</source>
        <translation>Geräteliste:</translation>
    </message>
    <message>
        <source>Show only the devices whose MAC, name, IP or type contains this text (Ctrl+F; Escape clears it)</source>
        <translation>Nur Geräte anzeigen, deren MAC, Name, IP oder Typ diesen Text enthält (Strg+F; Esc leert das Feld)</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Geräte filtern</translation>
    </message>
    <message>
        <source>Filter by MAC, name, IP or type (Ctrl+F)</source>
        <translation>Nach MAC, Name, IP oder Typ filtern (Strg+F)</translation>
    </message>
    <message>
        <source>DoubleClick = show detail settings, RightClick = show menu, open in WEB Browser</source>
        <translation>Doppelklick = Detaileinstellungen, Rechtsklick = Menü, im Webbrowser öffnen</translation>
    </message>
    <message>
        <source>&amp;Show detail settings of device...</source>
        <translation>Detaileinstellungen des Geräts an&amp;zeigen...</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port 80)</source>
        <translation>Im &amp;Webbrowser öffnen (Port 80)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port 99)</source>
        <translation>&amp;TCP-Setup öffnen (Port 99)</translation>
    </message>
    <message>
        <source>&amp;Download device configuration...</source>
        <translation>Gerätekonfiguration &amp;herunterladen...</translation>
    </message>
    <message>
        <source>&amp;Upload device configuration...</source>
        <translation>Gerätekonfiguration h&amp;ochladen...</translation>
    </message>
    <message>
        <source>&amp;Load default values</source>
        <translation>Standardwerte &amp;laden</translation>
    </message>
</context>
<context>
    <name>TCompareForm</name>
    <message>
        <source>(none)</source>
        <translation>(keiner)</translation>
    </message>
    <message>
        <source>Show passwords</source>
        <translation>Passwörter anzeigen</translation>
    </message>
    <message>
        <source>Compare with file</source>
        <translation>Mit Datei vergleichen</translation>
    </message>
    <message>
        <source>The device at %1 and %2 have the same settings.</source>
        <translation>Das Gerät unter %1 und %2 haben dieselben Einstellungen.</translation>
    </message>
    <message numerus="yes">
        <source>%n setting(s) differ between the device at %1 and %2.</source>
        <translation>
            <numerusform>%n Einstellung unterscheidet sich zwischen dem Gerät unter %1 und %2.</numerusform>
            <numerusform>%n Einstellungen unterscheiden sich zwischen dem Gerät unter %1 und %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>Settings that differ</source>
        <translation>Abweichende Einstellungen</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Einstellung</translation>
    </message>
    <message>
        <source>This device</source>
        <translation>Dieses Gerät</translation>
    </message>
    <message>
        <source>The file</source>
        <translation>Die Datei</translation>
    </message>
    <message>
        <source>The device&apos;s configuration cannot be read: %1</source>
        <translation>Die Konfiguration des Geräts kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>%1 is larger than any device configuration.</source>
        <translation>%1 ist größer als jede Gerätekonfiguration.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>%1 is no configuration document: %2</source>
        <translation>%1 ist kein Konfigurationsdokument: %2</translation>
    </message>
</context>
<context>
    <name>TTelnetForm</name>
    <message>
        <source>TCP Setup</source>
        <translation>TCP-Setup</translation>
    </message>
    <message>
        <source>Send macro (Alt+1)</source>
        <translation>Makro senden (Alt+1)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Send macro (Alt+2)</source>
        <translation>Makro senden (Alt+2)</translation>
    </message>
    <message>
        <source>Send macro (Alt+3)</source>
        <translation>Makro senden (Alt+3)</translation>
    </message>
    <message>
        <source>Send macro (Alt+4)</source>
        <translation>Makro senden (Alt+4)</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>In die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Send Clipboard As Text (max. 256 chars)</source>
        <translation>Zwischenablage als Text senden (max. 256 Zeichen)</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
    <message>
        <source>Clear Window</source>
        <translation>Fenster leeren</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Macro 1</source>
        <translation>Makro 1</translation>
    </message>
    <message>
        <source>Macro 2</source>
        <translation>Makro 2</translation>
    </message>
    <message>
        <source>Macro 3</source>
        <translation>Makro 3</translation>
    </message>
    <message>
        <source>Macro 4</source>
        <translation>Makro 4</translation>
    </message>
    <message>
        <source>Device output</source>
        <translation>Geräteausgabe</translation>
    </message>
    <message>
        <source>Macro %1</source>
        <translation>Makro %1</translation>
    </message>
    <message>
        <source>Macro %1 is hexadecimal</source>
        <translation>Makro %1 ist hexadezimal</translation>
    </message>
    <message>
        <source>Send macro %1</source>
        <translation>Makro %1 senden</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>Tastenkürzel %1</translation>
    </message>
    <message>
        <source>%1 - %2:%3 (Connecting)</source>
        <translation>%1 - %2:%3 (Verbindung wird hergestellt)</translation>
    </message>
    <message>
        <source>Connection error</source>
        <translation>Verbindungsfehler</translation>
    </message>
</context>
<context>
    <name>kelvo::terminal</name>
    <message>
        <source>Use ASCII directly, to transmit chars &quot;#&quot;,&quot;$&quot; and &quot;&lt;&quot; you have to double them (to transmit &quot;T#B&quot; insert &quot;T##B&quot; e.g.) With checked &quot;HEX&quot; you can insert &quot;48 65 79 20 59 6F 75&quot; or without spaces &quot;48657920596F75&quot; to transmit &quot;Hey You&quot;. You can also send HEXa characters with &quot;$&quot; prefix (&quot;Hey Y$6Fu&quot; e.g.) or DECIMAL numbers with &quot;#&quot; prefix (&quot;Hey Y#111u&quot; e.g.) Special ASCII sequences you can send as &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, and that&apos;s continue...</source>
        <translation>ASCII direkt verwenden; um die Zeichen &quot;#&quot;, &quot;$&quot; und &quot;&lt;&quot; zu senden, müssen Sie sie verdoppeln (z. B. &quot;T##B&quot; eingeben, um &quot;T#B&quot; zu senden). Mit aktiviertem &quot;HEX&quot; können Sie &quot;48 65 79 20 59 6F 75&quot; oder ohne Leerzeichen &quot;48657920596F75&quot; eingeben, um &quot;Hey You&quot; zu senden. Sie können auch Hexadezimalzeichen mit dem Präfix &quot;$&quot; (z. B. &quot;Hey Y$6Fu&quot;) oder Dezimalzahlen mit dem Präfix &quot;#&quot; (z. B. &quot;Hey Y#111u&quot;) senden. Spezielle ASCII-Sequenzen senden Sie als &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt; usw.</translation>
    </message>
    <message>
        <source>Add sending string. You may add any ASCII character by using #xxx, $xx or &lt;ASCII name&gt; format. You must use ##, $$ and &lt;&lt;. Hexadecimal data is in format  XXYYZZ .. or XX YY ZZ ...</source>
        <translation>Zu sendenden Text eingeben. Jedes ASCII-Zeichen können Sie im Format #xxx, $xx oder &lt;ASCII-Name&gt; eingeben. Für die Zeichen selbst verwenden Sie ##, $$ und &lt;&lt;. Hexadezimale Daten haben das Format XXYYZZ ... oder XX YY ZZ ...</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Decimal number %1 not valid value ASCII char!</source>
        <translation>Die Dezimalzahl %1 ist kein gültiges ASCII-Zeichen!</translation>
    </message>
    <message>
        <source>ASCII name &lt;%1&gt; not exists!</source>
        <translation>Der ASCII-Name &lt;%1&gt; existiert nicht!</translation>
    </message>
    <message>
        <source>The macro gives more than %1 bytes and was not sent.</source>
        <translation>Das Makro ergibt mehr als %1 Bytes und wurde nicht gesendet.</translation>
    </message>
    <message>
        <source>Hexadecimal data format error</source>
        <translation>Formatfehler in hexadezimalen Daten</translation>
    </message>
    <message>
        <source>Macro string format error</source>
        <translation>Formatfehler im Makrotext</translation>
    </message>
</context>
<context>
    <name>kelvo::ui</name>
    <message>
        <source>Copyright (c) 2024-2026 %1, built %2</source>
        <translation>Copyright (c) 2024-2026 %1, erstellt am %2</translation>
    </message>
    <message>
        <source>, gateway %1</source>
        <translation>, Gateway %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid port number</source>
        <translation>„%1“ ist keine gültige Portnummer</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>„%1“ ist keine gültige ganze Zahl</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>Maske</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>IP filter value</source>
        <translation>IP-Filterwert</translation>
    </message>
    <message>
        <source>IP filter mask</source>
        <translation>IP-Filtermaske</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not an address like 192.168.1.10</source>
        <translation>%1: „%2“ ist keine Adresse wie 192.168.1.10</translation>
    </message>
    <message>
        <source>IP address %1 is out of your local network range %2 !<byte value="xd"/>
<byte value="xd"/>
Please, choose &apos;No&apos; and check address of your device or click on &apos;Yes&apos; to continue.<byte value="xd"/>
<byte value="xd"/>
Do you want to continue?</source>
        <translation>Die IP-Adresse %1 liegt außerhalb Ihres lokalen Netzwerkbereichs %2!<byte value="xd"/>
<byte value="xd"/>
Bitte wählen Sie „Nein“ und prüfen Sie die Adresse Ihres Geräts, oder klicken Sie auf „Ja“, um fortzufahren.<byte value="xd"/>
<byte value="xd"/>
Möchten Sie fortfahren?</translation>
    </message>
    <message>
        <source>mask</source>
        <translation>Maske</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>IP access filter</source>
        <translation>IP-Zugriffsfilter</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>TCP setup</source>
        <translation>TCP-Setup</translation>
    </message>
    <message>
        <source>NVT</source>
        <translation>NVT</translation>
    </message>
    <message>
        <source>TEA</source>
        <translation>TEA</translation>
    </message>
    <message>
        <source>No web browser could be opened. The device&apos;s address is:
%1</source>
        <translation>Es konnte kein Webbrowser geöffnet werden. Die Adresse des Geräts lautet:
%1</translation>
    </message>
    <message>
        <source>Unexpected error</source>
        <translation>Unerwarteter Fehler</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Nothing was sent.</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>This device was found by this program&apos;s own search, which takes answers from anyone on this PC or network, so no password is sent to it.<byte value="xd"/>
<byte value="xd"/>
Start kelvo-relay and search again.</source>
        <translation>Dieses Gerät wurde von der eigenen Suche dieses Programms gefunden, die Antworten von jedem auf diesem PC oder im Netzwerk annimmt; daher wird ihm kein Passwort gesendet.<byte value="xd"/>
<byte value="xd"/>
Starten Sie kelvo-relay und suchen Sie erneut.</translation>
    </message>
    <message>
        <source>XML Files (*.xml);;All Files (*.*)</source>
        <translation>XML-Dateien (*.xml);;Alle Dateien (*.*)</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Bestätigung</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Save device list</source>
        <translation>Geräteliste speichern</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;JSON files (*.json)</source>
        <translation>CSV-Dateien (*.csv);;JSON-Dateien (*.json)</translation>
    </message>
    <message>
        <source>nothing there answers as kelvo-relay</source>
        <translation>dort antwortet nichts als kelvo-relay</translation>
    </message>
    <message>
        <source>nothing listens there</source>
        <translation>dort lauscht nichts</translation>
    </message>
    <message>
        <source>not an IPv4 address and port</source>
        <translation>keine IPv4-Adresse mit Port</translation>
    </message>
    <message>
        <source>start the service kelvo-relay (Services, &quot;Kelvo relay&quot;; or as administrator: sc start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)</source>
        <translation>starten Sie den Dienst kelvo-relay (Dienste, „Kelvo relay“; oder als Administrator: sc start kelvo-relay; wo er nicht installiert ist, führen Sie kelvo-relay.exe in einem Terminal aus)</translation>
    </message>
    <message>
        <source>start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run kelvo-relay in a terminal)</source>
        <translation>starten Sie kelvo-relay (systemctl start kelvo-relay; wo systemd nicht läuft, führen Sie kelvo-relay in einem Terminal aus)</translation>
    </message>
    <message>
        <source>No relay at %1: %2; %3</source>
        <translation>Kein Relay unter %1: %2; %3</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1, which says: %2</source>
        <translation>kein Gerät hat über das Relay unter %1 geantwortet; es meldet: %2</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1 (its log names the interfaces it searched); a firewall blocking UDP from the devices is the usual cause</source>
        <translation>kein Gerät hat über das Relay unter %1 geantwortet (sein Protokoll nennt die durchsuchten Schnittstellen); meist blockiert eine Firewall UDP von den Geräten</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TAboutForm</name>
    <message>
        <source>%1 icon</source>
        <translation>Symbol von %1</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TConfirmForm</name>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Frage</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TDetailForm</name>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>IP address set by DHCP</source>
        <translation>Per DHCP gesetzte IP-Adresse</translation>
    </message>
    <message>
        <source>Mask set by DHCP</source>
        <translation>Per DHCP gesetzte Maske</translation>
    </message>
    <message>
        <source>Gateway set by DHCP</source>
        <translation>Per DHCP gesetztes Gateway</translation>
    </message>
    <message>
        <source>Details - %1</source>
        <translation>Details - %1</translation>
    </message>
    <message>
        <source>Details - %1 (%2)</source>
        <translation>Details - %1 (%2)</translation>
    </message>
    <message>
        <source>Supported</source>
        <translation>Unterstützt</translation>
    </message>
    <message>
        <source>Not supported</source>
        <translation>Nicht unterstützt</translation>
    </message>
    <message>
        <source>%1
Port: a whole number from 0 to 65535</source>
        <translation>%1
Port: eine ganze Zahl von 0 bis 65535</translation>
    </message>
    <message>
        <source>Port 99 is reserved for UDP Setup and its usage is not strictly recommended!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict port?</source>
        <translation>Port 99 ist für das UDP-Setup reserviert, von seiner Verwendung wird dringend abgeraten!<byte value="xd"/>
<byte value="xd"/>
Möchten Sie diesen konfliktträchtigen Port wirklich verwenden?</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?
%1</source>
        <translation>Einige Netzwerkparameter sind nicht korrekt.
%1</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>Einige Netzwerkparameter sind nicht korrekt.<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Testing destination address...</source>
        <translation>Zieladresse wird geprüft...</translation>
    </message>
    <message>
        <source>IP address is already assigned to other equipement!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict IP address?</source>
        <translation>Die IP-Adresse ist bereits einem anderen Gerät zugewiesen!<byte value="xd"/>
<byte value="xd"/>
Möchten Sie diese konfliktträchtige IP-Adresse wirklich verwenden?</translation>
    </message>
    <message>
        <source>Sending new settings...</source>
        <translation>Neue Einstellungen werden gesendet...</translation>
    </message>
    <message>
        <source>Testing ping failed. Sending new settings...</source>
        <translation>Ping-Test fehlgeschlagen. Neue Einstellungen werden gesendet...</translation>
    </message>
    <message>
        <source>Waiting for user name and password...</source>
        <translation>Warten auf Benutzername und Passwort...</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Senden der neuen Einstellungen fehlgeschlagen</translation>
    </message>
    <message>
        <source>Sending new settings... %1</source>
        <translation>Neue Einstellungen werden gesendet... %1</translation>
    </message>
    <message>
        <source>Sending new settings... timeout error</source>
        <translation>Neue Einstellungen werden gesendet... Zeitüberschreitung</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>Möchten Sie wirklich die Standardwerte setzen?</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Wird im Webbrowser geöffnet...</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>TCP-Setup wird geöffnet...</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TDeviceModel</name>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Device type</source>
        <translation>Gerätetyp</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Click, or press Ctrl+%1, to sort by this column; again to reverse</source>
        <translation>Klicken oder Strg+%1 drücken, um nach dieser Spalte zu sortieren; erneut, um umzukehren</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Offline, last seen %1</source>
        <translation>Offline, zuletzt gesehen %1</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::THistoryForm</name>
    <message>
        <source>&amp;Save history...</source>
        <translation>Verlauf &amp;speichern...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>&amp;Events of this run, newest first:</source>
        <translation>&amp;Ereignisse dieser Sitzung, neueste zuerst:</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Ereignis</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TMainForm</name>
    <message>
        <source>The network of this PC that the address checks use</source>
        <translation>Das Netzwerk dieses PCs, das die Adressprüfungen verwenden</translation>
    </message>
    <message>
        <source>&amp;Adapter:</source>
        <translation>&amp;Adapter:</translation>
    </message>
    <message>
        <source>Save device list...</source>
        <translation>Geräteliste speichern...</translation>
    </message>
    <message>
        <source>Sort &amp;by</source>
        <translation>Sortieren &amp;nach</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Geräte filtern</translation>
    </message>
    <message>
        <source>Compare with file…</source>
        <translation>Mit Datei vergleichen…</translation>
    </message>
    <message>
        <source>Loading application...</source>
        <translation>Anwendung wird geladen...</translation>
    </message>
    <message>
        <source>Config utility for the Marvane devices</source>
        <translation>Konfigurationsprogramm für Marvane-Geräte</translation>
    </message>
    <message>
        <source>Config utility for the original Marvane devices.</source>
        <translation>Konfigurationsprogramm für die originalen Marvane-Geräte.</translation>
    </message>
    <message>
        <source>Mvx-Config %1 for Marvane products (%2)</source>
        <translation>Mvx-Config %1 für Marvane-Produkte (%2)</translation>
    </message>
    <message>
        <source>Searching modules... -</source>
        <translation>Module werden gesucht... -</translation>
    </message>
    <message>
        <source>Searching modules... error</source>
        <translation>Module werden gesucht... Fehler</translation>
    </message>
    <message>
        <source>Searching modules (remains %1 seconds)... %2</source>
        <translation>Module werden gesucht (noch %1 Sekunden)... %2</translation>
    </message>
    <message>
        <source>Searching modules... timed out after %1 seconds</source>
        <translation>Module werden gesucht... Zeitüberschreitung nach %1 Sekunden</translation>
    </message>
    <message numerus="yes">
        <source>Searching modules... %n device(s) found</source>
        <translation>
            <numerusform>Module werden gesucht... %n Gerät gefunden</numerusform>
            <numerusform>Module werden gesucht... %n Geräte gefunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, %n more answered but did not fit the list</source>
        <translation>
            <numerusform>%1, %n weiteres hat geantwortet, passte aber nicht in die Liste</numerusform>
            <numerusform>%1, %n weitere haben geantwortet, passten aber nicht in die Liste</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>&amp;MAC</source>
        <translation>&amp;MAC</translation>
    </message>
    <message>
        <source>&amp;Name</source>
        <translation>&amp;Name</translation>
    </message>
    <message>
        <source>&amp;IP</source>
        <translation>&amp;IP</translation>
    </message>
    <message>
        <source>Device &amp;type</source>
        <translation>Geräte&amp;typ</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>Sort the list by this column; again to reverse the order</source>
        <translation>Liste nach dieser Spalte sortieren; erneut, um die Reihenfolge umzukehren</translation>
    </message>
    <message>
        <source>Showing %1 of %2 devices</source>
        <translation>%1 von %2 Geräten angezeigt</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Wird im Webbrowser geöffnet...</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port %1)</source>
        <translation>Im &amp;Webbrowser öffnen (Port %1)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port %1)</source>
        <translation>&amp;TCP-Setup öffnen (Port %1)</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>TCP-Setup wird geöffnet...</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>Möchten Sie wirklich die Standardwerte setzen?</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Senden der neuen Einstellungen fehlgeschlagen</translation>
    </message>
    <message>
        <source>Sending default settings...</source>
        <translation>Standardeinstellungen werden gesendet...</translation>
    </message>
    <message>
        <source>Sending default settings... %1</source>
        <translation>Standardeinstellungen werden gesendet... %1</translation>
    </message>
    <message>
        <source>Sending default settings... timeout error</source>
        <translation>Standardeinstellungen werden gesendet... Zeitüberschreitung</translation>
    </message>
    <message>
        <source>Search again</source>
        <translation>Erneut suchen</translation>
    </message>
    <message>
        <source>Show and change every setting of the device</source>
        <translation>Alle Einstellungen des Geräts anzeigen und ändern</translation>
    </message>
    <message>
        <source>Open the device&apos;s web page</source>
        <translation>Webseite des Geräts öffnen</translation>
    </message>
    <message>
        <source>Open a terminal on the device&apos;s TCP setup port</source>
        <translation>Terminal auf dem TCP-Setup-Port des Geräts öffnen</translation>
    </message>
    <message>
        <source>Save the device&apos;s configuration to a file</source>
        <translation>Konfiguration des Geräts in einer Datei speichern</translation>
    </message>
    <message>
        <source>Send a configuration file to the device</source>
        <translation>Konfigurationsdatei an das Gerät senden</translation>
    </message>
    <message>
        <source>Show the settings in which the device and a file differ</source>
        <translation>Einstellungen anzeigen, in denen sich Gerät und Datei unterscheiden</translation>
    </message>
    <message>
        <source>Restore the device&apos;s default settings</source>
        <translation>Standardeinstellungen des Geräts wiederherstellen</translation>
    </message>
    <message>
        <source>%1 logo</source>
        <translation>Logo von %1</translation>
    </message>
    <message>
        <source>Web site %1</source>
        <translation>Website %1</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Search directly with this program&apos;s own broadcast on every network of this PC?</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
Direkt mit dem eigenen Broadcast dieses Programms in jedem Netzwerk dieses PCs suchen?</translation>
    </message>
    <message>
        <source> Check the password.</source>
        <translation> Prüfen Sie das Passwort.</translation>
    </message>
    <message>
        <source>. Settings applied to %1; confirmed by a new search</source>
        <translation>. Einstellungen für %1 übernommen; durch eine neue Suche bestätigt</translation>
    </message>
    <message>
        <source>The device %1 did not answer the search after the setup.</source>
        <translation>Das Gerät %1 hat nach der Einrichtung nicht auf die Suche geantwortet.</translation>
    </message>
    <message>
        <source>. The device %1 reports the same settings as before; unless they were its defaults already, it did not take the default values.</source>
        <translation>. Das Gerät %1 meldet dieselben Einstellungen wie zuvor; sofern dies nicht schon seine Standardwerte waren, hat es die Standardwerte nicht übernommen.</translation>
    </message>
    <message>
        <source>The device %1 did not take the new settings (%2).</source>
        <translation>Das Gerät %1 hat die neuen Einstellungen nicht übernommen (%2).</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>Saving the device list failed: %1</source>
        <translation>Speichern der Geräteliste fehlgeschlagen: %1</translation>
    </message>
    <message numerus="yes">
        <source>Device list saved to %1 (%n device(s))</source>
        <translation>
            <numerusform>Geräteliste in %1 gespeichert (%n Gerät)</numerusform>
            <numerusform>Geräteliste in %1 gespeichert (%n Geräte)</numerusform>
        </translation>
    </message>
    <message>
        <source>Uploading configuration...</source>
        <translation>Konfiguration wird hochgeladen...</translation>
    </message>
    <message>
        <source>Downloading configuration...</source>
        <translation>Konfiguration wird heruntergeladen...</translation>
    </message>
    <message>
        <source>Downloading configuration... %1</source>
        <translation>Konfiguration wird heruntergeladen... %1</translation>
    </message>
    <message>
        <source>Uploading configuration... %1</source>
        <translation>Konfiguration wird hochgeladen... %1</translation>
    </message>
    <message>
        <source>Downloading configuration... done</source>
        <translation>Konfiguration wird heruntergeladen... fertig</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Uploading configuration... Invalid XML file</source>
        <translation>Konfiguration wird hochgeladen... Ungültige XML-Datei</translation>
    </message>
    <message>
        <source>Uploading configuration... done</source>
        <translation>Konfiguration wird hochgeladen... fertig</translation>
    </message>
    <message>
        <source>XML error: %1</source>
        <translation>XML-Fehler: %1</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Wird aktualisiert...</translation>
    </message>
    <message>
        <source>%1 did not answer the last search: nothing is sent to it</source>
        <translation>%1 hat auf die letzte Suche nicht geantwortet: es wird nichts an das Gerät gesendet</translation>
    </message>
    <message numerus="yes">
        <source>Refreshed at %1: %n device(s) found</source>
        <translation>
            <numerusform>Aktualisiert um %1: %n Gerät gefunden</numerusform>
            <numerusform>Aktualisiert um %1: %n Geräte gefunden</numerusform>
        </translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TWatching</name>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Wieder da</translation>
    </message>
    <message>
        <source>&amp;Refresh automatically</source>
        <translation>Automatisch a&amp;ktualisieren</translation>
    </message>
    <message>
        <source>&amp;History…</source>
        <translation>&amp;Verlauf…</translation>
    </message>
    <message>
        <source>Search again at the interval beside, and mark what changed</source>
        <translation>Im nebenstehenden Intervall erneut suchen und Änderungen markieren</translation>
    </message>
    <message>
        <source>every </source>
        <translation>alle </translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Refresh interval in seconds</source>
        <translation>Aktualisierungsintervall in Sekunden</translation>
    </message>
    <message>
        <source>What appeared, changed and went offline in this run</source>
        <translation>Was in dieser Sitzung hinzukam, sich änderte oder offline ging</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 not seen since last time</source>
        <translation>%1 neu, %2 geändert, %3 seit dem letzten Mal nicht gesehen</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 offline, %4 back</source>
        <translation>%1 neu, %2 geändert, %3 offline, %4 wieder da</translation>
    </message>
    <message>
        <source>the inventory of earlier runs was not read: %1</source>
        <translation>die Bestandsliste früherer Sitzungen wurde nicht gelesen: %1</translation>
    </message>
    <message>
        <source>the inventory was not saved: %1</source>
        <translation>die Bestandsliste wurde nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>Saving the history failed: %1</source>
        <translation>Speichern des Verlaufs fehlgeschlagen: %1</translation>
    </message>
    <message numerus="yes">
        <source>History saved to %1 (%n event(s))</source>
        <translation>
            <numerusform>Verlauf in %1 gespeichert (%n Ereignis)</numerusform>
            <numerusform>Verlauf in %1 gespeichert (%n Ereignisse)</numerusform>
        </translation>
    </message>
</context>
</TS>
