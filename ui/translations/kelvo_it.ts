<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name>AboutForm</name>
    <message>
        <source>About</source>
        <translation>Informazioni</translation>
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
        <translation>Autorizzazione</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nome utente:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annulla</translation>
    </message>
</context>
<context>
    <name>ConfirmForm</name>
    <message>
        <source>Confirm</source>
        <translation>Conferma</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Sì</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>DetailForm</name>
    <message>
        <source>Name:</source>
        <translation>Nome:</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Indirizzo IP:</translation>
    </message>
    <message>
        <source>(DHCP)</source>
        <translation>(DHCP)</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Porta:</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>Maschera:</translation>
    </message>
    <message>
        <source>Open in WEB Browser</source>
        <translation>Apri nel browser</translation>
    </message>
    <message>
        <source>Open WEB of device in you default WEB browser</source>
        <translation>Apri la pagina web del dispositivo nel browser predefinito</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>Abilita DHCP</translation>
    </message>
    <message>
        <source>Enable IP access filter</source>
        <translation>Abilita filtro di accesso IP</translation>
    </message>
    <message>
        <source>IP filter value:</source>
        <translation>Valore filtro IP:</translation>
    </message>
    <message>
        <source>IP filter mask:</source>
        <translation>Maschera filtro IP:</translation>
    </message>
    <message>
        <source>MAC:</source>
        <translation>MAC:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Sconosciuto</translation>
    </message>
    <message>
        <source>FW version:</source>
        <translation>Versione FW:</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>Tipo dispositivo:</translation>
    </message>
    <message>
        <source>DHCP:</source>
        <translation>DHCP:</translation>
    </message>
    <message>
        <source>Enable NVT</source>
        <translation>Abilita NVT</translation>
    </message>
    <message>
        <source>Enable TCP setup</source>
        <translation>Abilita configurazione TCP</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>A&amp;pri</translation>
    </message>
    <message>
        <source>Open TCP Setup - TCP/IP connection to the port 99</source>
        <translation>Apri configurazione TCP – connessione TCP/IP alla porta 99</translation>
    </message>
    <message>
        <source>Enable TEA authorisation</source>
        <translation>Abilita autorizzazione TEA</translation>
    </message>
    <message>
        <source> Default values </source>
        <translation> Valori predefiniti </translation>
    </message>
    <message>
        <source>Load &amp;defaults</source>
        <translation>Carica pre&amp;definiti</translation>
    </message>
    <message>
        <source>Configuration of device restore to default values</source>
        <translation>Ripristina la configurazione del dispositivo ai valori predefiniti</translation>
    </message>
    <message>
        <source>Check if new IP address is empty</source>
        <translation>Verifica se il nuovo IP è libero</translation>
    </message>
    <message>
        <source>Check if the new IP address is available before write it to the device</source>
        <translation>Verifica che il nuovo indirizzo IP sia disponibile prima di scriverlo nel dispositivo</translation>
    </message>
    <message>
        <source>&amp;Apply changes</source>
        <translation>&amp;Applica modifiche</translation>
    </message>
    <message>
        <source>Write new configuration to the device</source>
        <translation>Scrivi la nuova configurazione nel dispositivo</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annulla</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Version:</source>
        <translation>Versione:</translation>
    </message>
    <message>
        <source> Your PC network settings </source>
        <translation> Impostazioni di rete del PC </translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Indirizzo IP:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Sconosciuto</translation>
    </message>
    <message>
        <source>Netmask:</source>
        <translation>Maschera di rete:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>Show about dialog</source>
        <translation>Mostra le informazioni sul programma</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>&amp;Informazioni...</translation>
    </message>
    <message>
        <source>Search for all devices on local network</source>
        <translation>Cerca tutti i dispositivi nella rete locale</translation>
    </message>
    <message>
        <source>  &amp;Find Devices</source>
        <translation>  &amp;Cerca dispositivi</translation>
    </message>
    <message>
        <source>Device list:</source>
        <translation>Elenco dispositivi:</translation>
    </message>
    <message>
        <source>Show only the devices whose MAC, name, IP or type contains this text (Ctrl+F; Escape clears it)</source>
        <translation>Mostra solo i dispositivi il cui MAC, nome, IP o tipo contiene questo testo (Ctrl+F; Esc lo cancella)</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Filtra dispositivi</translation>
    </message>
    <message>
        <source>Filter by MAC, name, IP or type (Ctrl+F)</source>
        <translation>Filtra per MAC, nome, IP o tipo (Ctrl+F)</translation>
    </message>
    <message>
        <source>DoubleClick = show detail settings, RightClick = show menu, open in WEB Browser</source>
        <translation>Doppio clic = impostazioni dettagliate, clic destro = menu, apri nel browser</translation>
    </message>
    <message>
        <source>&amp;Show detail settings of device...</source>
        <translation>Mostra &amp;impostazioni dettagliate del dispositivo...</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port 80)</source>
        <translation>Apri nel &amp;browser (porta 80)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port 99)</source>
        <translation>Apri configurazione &amp;TCP (porta 99)</translation>
    </message>
    <message>
        <source>&amp;Download device configuration...</source>
        <translation>&amp;Scarica configurazione del dispositivo...</translation>
    </message>
    <message>
        <source>&amp;Upload device configuration...</source>
        <translation>&amp;Carica configurazione nel dispositivo...</translation>
    </message>
    <message>
        <source>&amp;Load default values</source>
        <translation>Carica valori pre&amp;definiti</translation>
    </message>
</context>
<context>
    <name>TCompareForm</name>
    <message>
        <source>(none)</source>
        <translation>(nessuno)</translation>
    </message>
    <message>
        <source>Show passwords</source>
        <translation>Mostra password</translation>
    </message>
    <message>
        <source>Compare with file</source>
        <translation>Confronta con file</translation>
    </message>
    <message>
        <source>The device at %1 and %2 have the same settings.</source>
        <translation>Il dispositivo all&apos;indirizzo %1 e %2 hanno le stesse impostazioni.</translation>
    </message>
    <message numerus="yes">
        <source>%n setting(s) differ between the device at %1 and %2.</source>
        <translation>
            <numerusform>%n impostazione differisce tra il dispositivo all&apos;indirizzo %1 e %2.</numerusform>
            <numerusform>%n impostazioni differiscono tra il dispositivo all&apos;indirizzo %1 e %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>Settings that differ</source>
        <translation>Impostazioni diverse</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Impostazione</translation>
    </message>
    <message>
        <source>This device</source>
        <translation>Questo dispositivo</translation>
    </message>
    <message>
        <source>The file</source>
        <translation>Il file</translation>
    </message>
    <message>
        <source>The device&apos;s configuration cannot be read: %1</source>
        <translation>Impossibile leggere la configurazione del dispositivo: %1</translation>
    </message>
    <message>
        <source>%1 is larger than any device configuration.</source>
        <translation>%1 è più grande di qualsiasi configurazione di dispositivo.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>Impossibile leggere %1: %2</translation>
    </message>
    <message>
        <source>%1 is no configuration document: %2</source>
        <translation>%1 non è un documento di configurazione: %2</translation>
    </message>
</context>
<context>
    <name>TTelnetForm</name>
    <message>
        <source>TCP Setup</source>
        <translation>Configurazione TCP</translation>
    </message>
    <message>
        <source>Send macro (Alt+1)</source>
        <translation>Invia macro (Alt+1)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Invia</translation>
    </message>
    <message>
        <source>Send macro (Alt+2)</source>
        <translation>Invia macro (Alt+2)</translation>
    </message>
    <message>
        <source>Send macro (Alt+3)</source>
        <translation>Invia macro (Alt+3)</translation>
    </message>
    <message>
        <source>Send macro (Alt+4)</source>
        <translation>Invia macro (Alt+4)</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>Copia negli appunti</translation>
    </message>
    <message>
        <source>Send Clipboard As Text (max. 256 chars)</source>
        <translation>Invia appunti come testo (max. 256 caratteri)</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleziona tutto</translation>
    </message>
    <message>
        <source>Clear Window</source>
        <translation>Pulisci finestra</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copia</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Incolla</translation>
    </message>
    <message>
        <source>Macro 1</source>
        <translation>Macro 1</translation>
    </message>
    <message>
        <source>Macro 2</source>
        <translation>Macro 2</translation>
    </message>
    <message>
        <source>Macro 3</source>
        <translation>Macro 3</translation>
    </message>
    <message>
        <source>Macro 4</source>
        <translation>Macro 4</translation>
    </message>
    <message>
        <source>Device output</source>
        <translation>Output del dispositivo</translation>
    </message>
    <message>
        <source>Macro %1</source>
        <translation>Macro %1</translation>
    </message>
    <message>
        <source>Macro %1 is hexadecimal</source>
        <translation>La macro %1 è esadecimale</translation>
    </message>
    <message>
        <source>Send macro %1</source>
        <translation>Invia macro %1</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>Scorciatoia %1</translation>
    </message>
    <message>
        <source>%1 - %2:%3 (Connecting)</source>
        <translation>%1 - %2:%3 (connessione in corso)</translation>
    </message>
    <message>
        <source>Connection error</source>
        <translation>Errore di connessione</translation>
    </message>
</context>
<context>
    <name>kelvo::terminal</name>
    <message>
        <source>Use ASCII directly, to transmit chars &quot;#&quot;,&quot;$&quot; and &quot;&lt;&quot; you have to double them (to transmit &quot;T#B&quot; insert &quot;T##B&quot; e.g.) With checked &quot;HEX&quot; you can insert &quot;48 65 79 20 59 6F 75&quot; or without spaces &quot;48657920596F75&quot; to transmit &quot;Hey You&quot;. You can also send HEXa characters with &quot;$&quot; prefix (&quot;Hey Y$6Fu&quot; e.g.) or DECIMAL numbers with &quot;#&quot; prefix (&quot;Hey Y#111u&quot; e.g.) Special ASCII sequences you can send as &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, and that&apos;s continue...</source>
        <translation>Usare direttamente l&apos;ASCII; per trasmettere i caratteri &quot;#&quot;, &quot;$&quot; e &quot;&lt;&quot; occorre raddoppiarli (ad es. inserire &quot;T##B&quot; per trasmettere &quot;T#B&quot;). Con &quot;HEX&quot; selezionato si può inserire &quot;48 65 79 20 59 6F 75&quot; o, senza spazi, &quot;48657920596F75&quot; per trasmettere &quot;Hey You&quot;. Si possono anche inviare caratteri esadecimali con il prefisso &quot;$&quot; (ad es. &quot;Hey Y$6Fu&quot;) o numeri decimali con il prefisso &quot;#&quot; (ad es. &quot;Hey Y#111u&quot;). Le sequenze ASCII speciali si inviano come &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt; e così via.</translation>
    </message>
    <message>
        <source>Add sending string. You may add any ASCII character by using #xxx, $xx or &lt;ASCII name&gt; format. You must use ##, $$ and &lt;&lt;. Hexadecimal data is in format  XXYYZZ .. or XX YY ZZ ...</source>
        <translation>Inserire il testo da inviare. Qualsiasi carattere ASCII si può inserire nel formato #xxx, $xx o &lt;nome ASCII&gt;. Usare ##, $$ e &lt;&lt; per questi stessi caratteri. I dati esadecimali hanno il formato XXYYZZ ... oppure XX YY ZZ ...</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Invia</translation>
    </message>
    <message>
        <source>Decimal number %1 not valid value ASCII char!</source>
        <translation>Il numero decimale %1 non è un carattere ASCII valido!</translation>
    </message>
    <message>
        <source>ASCII name &lt;%1&gt; not exists!</source>
        <translation>Il nome ASCII &lt;%1&gt; non esiste!</translation>
    </message>
    <message>
        <source>The macro gives more than %1 bytes and was not sent.</source>
        <translation>La macro produce più di %1 byte e non è stata inviata.</translation>
    </message>
    <message>
        <source>Hexadecimal data format error</source>
        <translation>Errore di formato nei dati esadecimali</translation>
    </message>
    <message>
        <source>Macro string format error</source>
        <translation>Errore di formato nella macro</translation>
    </message>
</context>
<context>
    <name>kelvo::ui</name>
    <message>
        <source>Copyright (c) 2024-2026 %1, built %2</source>
        <translation>Copyright (c) 2024-2026 %1, compilato il %2</translation>
    </message>
    <message>
        <source>, gateway %1</source>
        <translation>, gateway %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid port number</source>
        <translation>&apos;%1&apos; non è un numero di porta valido</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; non è un numero intero valido</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Indirizzo IP</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>Maschera</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>IP filter value</source>
        <translation>Valore filtro IP</translation>
    </message>
    <message>
        <source>IP filter mask</source>
        <translation>Maschera filtro IP</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not an address like 192.168.1.10</source>
        <translation>%1: &quot;%2&quot; non è un indirizzo come 192.168.1.10</translation>
    </message>
    <message>
        <source>IP address %1 is out of your local network range %2 !<byte value="xd"/>
<byte value="xd"/>
Please, choose &apos;No&apos; and check address of your device or click on &apos;Yes&apos; to continue.<byte value="xd"/>
<byte value="xd"/>
Do you want to continue?</source>
        <translation>L&apos;indirizzo IP %1 è fuori dall&apos;intervallo della rete locale %2!<byte value="xd"/>
<byte value="xd"/>
Scegliere &quot;No&quot; e verificare l&apos;indirizzo del dispositivo, oppure fare clic su &quot;Sì&quot; per continuare.<byte value="xd"/>
<byte value="xd"/>
Continuare?</translation>
    </message>
    <message>
        <source>mask</source>
        <translation>maschera</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>gateway</translation>
    </message>
    <message>
        <source>port</source>
        <translation>porta</translation>
    </message>
    <message>
        <source>IP access filter</source>
        <translation>filtro di accesso IP</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>TCP setup</source>
        <translation>configurazione TCP</translation>
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
        <translation>Impossibile aprire un browser web. L&apos;indirizzo del dispositivo è:
%1</translation>
    </message>
    <message>
        <source>Unexpected error</source>
        <translation>Errore imprevisto</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Nothing was sent.</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
Non è stato inviato nulla.</translation>
    </message>
    <message>
        <source>This device was found by this program&apos;s own search, which takes answers from anyone on this PC or network, so no password is sent to it.<byte value="xd"/>
<byte value="xd"/>
Start kelvo-relay and search again.</source>
        <translation>Questo dispositivo è stato trovato dalla ricerca propria di questo programma, che accetta risposte da chiunque su questo PC o in rete, quindi non gli viene inviata alcuna password.<byte value="xd"/>
<byte value="xd"/>
Avviare kelvo-relay e ripetere la ricerca.</translation>
    </message>
    <message>
        <source>XML Files (*.xml);;All Files (*.*)</source>
        <translation>File XML (*.xml);;Tutti i file (*.*)</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Conferma</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Save device list</source>
        <translation>Salva elenco dispositivi</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;JSON files (*.json)</source>
        <translation>File CSV (*.csv);;File JSON (*.json)</translation>
    </message>
    <message>
        <source>nothing there answers as kelvo-relay</source>
        <translation>nulla risponde lì come kelvo-relay</translation>
    </message>
    <message>
        <source>nothing listens there</source>
        <translation>nulla è in ascolto lì</translation>
    </message>
    <message>
        <source>not an IPv4 address and port</source>
        <translation>non è un indirizzo IPv4 con porta</translation>
    </message>
    <message>
        <source>start the service kelvo-relay (Services, &quot;Kelvo relay&quot;; or as administrator: sc start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)</source>
        <translation>avviare il servizio kelvo-relay (Servizi, &quot;Kelvo relay&quot;; oppure come amministratore: sc start kelvo-relay; se non è installato, eseguire kelvo-relay.exe in un terminale)</translation>
    </message>
    <message>
        <source>start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run kelvo-relay in a terminal)</source>
        <translation>avviare kelvo-relay (systemctl start kelvo-relay; dove systemd non è in esecuzione, eseguire kelvo-relay in un terminale)</translation>
    </message>
    <message>
        <source>No relay at %1: %2; %3</source>
        <translation>Nessun relay all&apos;indirizzo %1: %2; %3</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1, which says: %2</source>
        <translation>nessun dispositivo ha risposto tramite il relay all&apos;indirizzo %1, che riporta: %2</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1 (its log names the interfaces it searched); a firewall blocking UDP from the devices is the usual cause</source>
        <translation>nessun dispositivo ha risposto tramite il relay all&apos;indirizzo %1 (il suo log indica le interfacce cercate); la causa abituale è un firewall che blocca l&apos;UDP dai dispositivi</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TAboutForm</name>
    <message>
        <source>%1 icon</source>
        <translation>Icona di %1</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TConfirmForm</name>
    <message>
        <source>Warning</source>
        <translation>Avviso</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Domanda</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TDetailForm</name>
    <message>
        <source>Ready</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>IP address set by DHCP</source>
        <translation>Indirizzo IP assegnato da DHCP</translation>
    </message>
    <message>
        <source>Mask set by DHCP</source>
        <translation>Maschera assegnata da DHCP</translation>
    </message>
    <message>
        <source>Gateway set by DHCP</source>
        <translation>Gateway assegnato da DHCP</translation>
    </message>
    <message>
        <source>Details - %1</source>
        <translation>Dettagli - %1</translation>
    </message>
    <message>
        <source>Details - %1 (%2)</source>
        <translation>Dettagli - %1 (%2)</translation>
    </message>
    <message>
        <source>Supported</source>
        <translation>Supportato</translation>
    </message>
    <message>
        <source>Not supported</source>
        <translation>Non supportato</translation>
    </message>
    <message>
        <source>%1
Port: a whole number from 0 to 65535</source>
        <translation>%1
Porta: un numero intero da 0 a 65535</translation>
    </message>
    <message>
        <source>Port 99 is reserved for UDP Setup and its usage is not strictly recommended!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict port?</source>
        <translation>La porta 99 è riservata alla configurazione UDP e se ne sconsiglia vivamente l&apos;uso!<byte value="xd"/>
<byte value="xd"/>
Usare comunque questa porta in conflitto?</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?
%1</source>
        <translation>Alcuni parametri di rete non sono corretti.
%1</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>Alcuni parametri di rete non sono corretti.<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Testing destination address...</source>
        <translation>Verifica dell&apos;indirizzo di destinazione...</translation>
    </message>
    <message>
        <source>IP address is already assigned to other equipement!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict IP address?</source>
        <translation>L&apos;indirizzo IP è già assegnato a un altro apparecchio!<byte value="xd"/>
<byte value="xd"/>
Usare comunque questo indirizzo IP in conflitto?</translation>
    </message>
    <message>
        <source>Sending new settings...</source>
        <translation>Invio delle nuove impostazioni...</translation>
    </message>
    <message>
        <source>Testing ping failed. Sending new settings...</source>
        <translation>Test ping non riuscito. Invio delle nuove impostazioni...</translation>
    </message>
    <message>
        <source>Waiting for user name and password...</source>
        <translation>In attesa di nome utente e password...</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Invio delle nuove impostazioni non riuscito</translation>
    </message>
    <message>
        <source>Sending new settings... %1</source>
        <translation>Invio delle nuove impostazioni... %1</translation>
    </message>
    <message>
        <source>Sending new settings... timeout error</source>
        <translation>Invio delle nuove impostazioni... tempo scaduto</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>Ripristinare davvero i valori predefiniti?</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Apertura nel browser...</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>Apertura configurazione TCP...</translation>
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
        <translation>Nome</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Device type</source>
        <translation>Tipo dispositivo</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Porta</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parametri</translation>
    </message>
    <message>
        <source>Click, or press Ctrl+%1, to sort by this column; again to reverse</source>
        <translation>Fare clic o premere Ctrl+%1 per ordinare per questa colonna; di nuovo per invertire</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Nuovo</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Modificato</translation>
    </message>
    <message>
        <source>Offline, last seen %1</source>
        <translation>Offline, visto l&apos;ultima volta alle %1</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Stato</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::THistoryForm</name>
    <message>
        <source>&amp;Save history...</source>
        <translation>&amp;Salva cronologia...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Cronologia</translation>
    </message>
    <message>
        <source>&amp;Events of this run, newest first:</source>
        <translation>&amp;Eventi di questa sessione, dal più recente:</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Ora</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Evento</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Dettagli</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TMainForm</name>
    <message>
        <source>The network of this PC that the address checks use</source>
        <translation>La rete di questo PC usata dalle verifiche degli indirizzi</translation>
    </message>
    <message>
        <source>&amp;Adapter:</source>
        <translation>&amp;Adattatore:</translation>
    </message>
    <message>
        <source>Save device list...</source>
        <translation>Salva elenco dispositivi...</translation>
    </message>
    <message>
        <source>Sort &amp;by</source>
        <translation>&amp;Ordina per</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Filtra dispositivi</translation>
    </message>
    <message>
        <source>Compare with file…</source>
        <translation>Confronta con file…</translation>
    </message>
    <message>
        <source>Loading application...</source>
        <translation>Caricamento applicazione...</translation>
    </message>
    <message>
        <source>Config utility for the Marvane devices</source>
        <translation>Utilità di configurazione per i dispositivi Marvane</translation>
    </message>
    <message>
        <source>Config utility for the original Marvane devices.</source>
        <translation>Utilità di configurazione per i dispositivi Marvane originali.</translation>
    </message>
    <message>
        <source>Mvx-Config %1 for Marvane products (%2)</source>
        <translation>Mvx-Config %1 per prodotti Marvane (%2)</translation>
    </message>
    <message>
        <source>Searching modules... -</source>
        <translation>Ricerca moduli... -</translation>
    </message>
    <message>
        <source>Searching modules... error</source>
        <translation>Ricerca moduli... errore</translation>
    </message>
    <message>
        <source>Searching modules (remains %1 seconds)... %2</source>
        <translation>Ricerca moduli (restano %1 secondi)... %2</translation>
    </message>
    <message>
        <source>Searching modules... timed out after %1 seconds</source>
        <translation>Ricerca moduli... tempo scaduto dopo %1 secondi</translation>
    </message>
    <message numerus="yes">
        <source>Searching modules... %n device(s) found</source>
        <translation>
            <numerusform>Ricerca moduli... %n dispositivo trovato</numerusform>
            <numerusform>Ricerca moduli... %n dispositivi trovati</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, %n more answered but did not fit the list</source>
        <translation>
            <numerusform>%1, %n altro ha risposto ma non è entrato nell&apos;elenco</numerusform>
            <numerusform>%1, altri %n hanno risposto ma non sono entrati nell&apos;elenco</numerusform>
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
        <translation>&amp;Nome</translation>
    </message>
    <message>
        <source>&amp;IP</source>
        <translation>&amp;IP</translation>
    </message>
    <message>
        <source>Device &amp;type</source>
        <translation>&amp;Tipo dispositivo</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>&amp;Porta</translation>
    </message>
    <message>
        <source>Sort the list by this column; again to reverse the order</source>
        <translation>Ordina l&apos;elenco per questa colonna; di nuovo per invertire l&apos;ordine</translation>
    </message>
    <message>
        <source>Showing %1 of %2 devices</source>
        <translation>%1 dispositivi mostrati su %2</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Apertura nel browser...</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port %1)</source>
        <translation>Apri nel &amp;browser (porta %1)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port %1)</source>
        <translation>Apri configurazione &amp;TCP (porta %1)</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>Apertura configurazione TCP...</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>Ripristinare davvero i valori predefiniti?</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Invio delle nuove impostazioni non riuscito</translation>
    </message>
    <message>
        <source>Sending default settings...</source>
        <translation>Invio delle impostazioni predefinite...</translation>
    </message>
    <message>
        <source>Sending default settings... %1</source>
        <translation>Invio delle impostazioni predefinite... %1</translation>
    </message>
    <message>
        <source>Sending default settings... timeout error</source>
        <translation>Invio delle impostazioni predefinite... tempo scaduto</translation>
    </message>
    <message>
        <source>Search again</source>
        <translation>Cerca di nuovo</translation>
    </message>
    <message>
        <source>Show and change every setting of the device</source>
        <translation>Mostra e modifica tutte le impostazioni del dispositivo</translation>
    </message>
    <message>
        <source>Open the device&apos;s web page</source>
        <translation>Apri la pagina web del dispositivo</translation>
    </message>
    <message>
        <source>Open a terminal on the device&apos;s TCP setup port</source>
        <translation>Apri un terminale sulla porta di configurazione TCP del dispositivo</translation>
    </message>
    <message>
        <source>Save the device&apos;s configuration to a file</source>
        <translation>Salva la configurazione del dispositivo in un file</translation>
    </message>
    <message>
        <source>Send a configuration file to the device</source>
        <translation>Invia un file di configurazione al dispositivo</translation>
    </message>
    <message>
        <source>Show the settings in which the device and a file differ</source>
        <translation>Mostra le impostazioni in cui dispositivo e file differiscono</translation>
    </message>
    <message>
        <source>Restore the device&apos;s default settings</source>
        <translation>Ripristina le impostazioni predefinite del dispositivo</translation>
    </message>
    <message>
        <source>%1 logo</source>
        <translation>Logo di %1</translation>
    </message>
    <message>
        <source>Web site %1</source>
        <translation>Sito web %1</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Search directly with this program&apos;s own broadcast on every network of this PC?</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
Cercare direttamente con il broadcast di questo programma su ogni rete di questo PC?</translation>
    </message>
    <message>
        <source> Check the password.</source>
        <translation> Verificare la password.</translation>
    </message>
    <message>
        <source>. Settings applied to %1; confirmed by a new search</source>
        <translation>. Impostazioni applicate a %1; confermate da una nuova ricerca</translation>
    </message>
    <message>
        <source>The device %1 did not answer the search after the setup.</source>
        <translation>Il dispositivo %1 non ha risposto alla ricerca dopo la configurazione.</translation>
    </message>
    <message>
        <source>. The device %1 reports the same settings as before; unless they were its defaults already, it did not take the default values.</source>
        <translation>. Il dispositivo %1 riporta le stesse impostazioni di prima; a meno che non fossero già i suoi valori predefiniti, non ha applicato i valori predefiniti.</translation>
    </message>
    <message>
        <source>The device %1 did not take the new settings (%2).</source>
        <translation>Il dispositivo %1 non ha applicato le nuove impostazioni (%2).</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>Saving the device list failed: %1</source>
        <translation>Salvataggio dell&apos;elenco dispositivi non riuscito: %1</translation>
    </message>
    <message numerus="yes">
        <source>Device list saved to %1 (%n device(s))</source>
        <translation>
            <numerusform>Elenco dispositivi salvato in %1 (%n dispositivo)</numerusform>
            <numerusform>Elenco dispositivi salvato in %1 (%n dispositivi)</numerusform>
        </translation>
    </message>
    <message>
        <source>Uploading configuration...</source>
        <translation>Caricamento della configurazione...</translation>
    </message>
    <message>
        <source>Downloading configuration...</source>
        <translation>Scaricamento della configurazione...</translation>
    </message>
    <message>
        <source>Downloading configuration... %1</source>
        <translation>Scaricamento della configurazione... %1</translation>
    </message>
    <message>
        <source>Uploading configuration... %1</source>
        <translation>Caricamento della configurazione... %1</translation>
    </message>
    <message>
        <source>Downloading configuration... done</source>
        <translation>Scaricamento della configurazione... completato</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>Impossibile scrivere %1</translation>
    </message>
    <message>
        <source>Uploading configuration... Invalid XML file</source>
        <translation>Caricamento della configurazione... File XML non valido</translation>
    </message>
    <message>
        <source>Uploading configuration... done</source>
        <translation>Caricamento della configurazione... completato</translation>
    </message>
    <message>
        <source>XML error: %1</source>
        <translation>Errore XML: %1</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Aggiornamento...</translation>
    </message>
    <message>
        <source>%1 did not answer the last search: nothing is sent to it</source>
        <translation>%1 non ha risposto all&apos;ultima ricerca: non gli viene inviato nulla</translation>
    </message>
    <message numerus="yes">
        <source>Refreshed at %1: %n device(s) found</source>
        <translation>
            <numerusform>Aggiornato alle %1: %n dispositivo trovato</numerusform>
            <numerusform>Aggiornato alle %1: %n dispositivi trovati</numerusform>
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
        <translation>Nuovo</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Modificato</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Tornato</translation>
    </message>
    <message>
        <source>&amp;Refresh automatically</source>
        <translation>A&amp;ggiorna automaticamente</translation>
    </message>
    <message>
        <source>&amp;History…</source>
        <translation>C&amp;ronologia…</translation>
    </message>
    <message>
        <source>Search again at the interval beside, and mark what changed</source>
        <translation>Ripeti la ricerca all&apos;intervallo indicato accanto e segnala cosa è cambiato</translation>
    </message>
    <message>
        <source>every </source>
        <translation>ogni </translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Refresh interval in seconds</source>
        <translation>Intervallo di aggiornamento in secondi</translation>
    </message>
    <message>
        <source>What appeared, changed and went offline in this run</source>
        <translation>Cosa è comparso, cambiato o andato offline in questa sessione</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 not seen since last time</source>
        <translation>%1 nuovi, %2 modificati, %3 non visti dall&apos;ultima volta</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 offline, %4 back</source>
        <translation>%1 nuovi, %2 modificati, %3 offline, %4 tornati</translation>
    </message>
    <message>
        <source>the inventory of earlier runs was not read: %1</source>
        <translation>l&apos;inventario delle sessioni precedenti non è stato letto: %1</translation>
    </message>
    <message>
        <source>the inventory was not saved: %1</source>
        <translation>l&apos;inventario non è stato salvato: %1</translation>
    </message>
    <message>
        <source>Saving the history failed: %1</source>
        <translation>Salvataggio della cronologia non riuscito: %1</translation>
    </message>
    <message numerus="yes">
        <source>History saved to %1 (%n event(s))</source>
        <translation>
            <numerusform>Cronologia salvata in %1 (%n evento)</numerusform>
            <numerusform>Cronologia salvata in %1 (%n eventi)</numerusform>
        </translation>
    </message>
</context>
</TS>
