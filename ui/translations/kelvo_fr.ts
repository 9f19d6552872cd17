<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AboutForm</name>
    <message>
        <source>About</source>
        <translation>À propos</translation>
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
        <translation>Autorisation</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nom d&apos;utilisateur :</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Mot de passe :</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annuler</translation>
    </message>
</context>
<context>
    <name>ConfirmForm</name>
    <message>
        <source>Confirm</source>
        <translation>Confirmer</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Oui</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Non</translation>
    </message>
</context>
<context>
    <name>DetailForm</name>
    <message>
        <source>Name:</source>
        <translation>Nom :</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Adresse IP :</translation>
    </message>
    <message>
        <source>(DHCP)</source>
        <translation>(DHCP)</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port :</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>Masque :</translation>
    </message>
    <message>
        <source>Open in WEB Browser</source>
        <translation>Ouvrir dans le navigateur</translation>
    </message>
    <message>
        <source>Open WEB of device in you default WEB browser</source>
        <translation>Ouvrir la page web de l&apos;appareil dans le navigateur par défaut</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Passerelle :</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>Activer DHCP</translation>
    </message>
    <message>
        <source>Enable IP access filter</source>
        <translation>Activer le filtre d&apos;accès IP</translation>
    </message>
    <message>
        <source>IP filter value:</source>
        <translation>Valeur du filtre IP :</translation>
    </message>
    <message>
        <source>IP filter mask:</source>
        <translation>Masque du filtre IP :</translation>
    </message>
    <message>
        <source>MAC:</source>
        <translation>MAC :</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
    <message>
        <source>FW version:</source>
        <translation>Version FW :</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>Type d&apos;appareil :</translation>
    </message>
    <message>
        <source>DHCP:</source>
        <translation>DHCP :</translation>
    </message>
    <message>
        <source>Enable NVT</source>
        <translation>Activer NVT</translation>
    </message>
    <message>
        <source>Enable TCP setup</source>
        <translation>Activer la configuration TCP</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Ouvrir</translation>
    </message>
    <message>
        <source>Open TCP Setup - TCP/IP connection to the port 99</source>
        <translation>Ouvrir la configuration TCP – connexion TCP/IP au port 99</translation>
    </message>
    <message>
        <source>Enable TEA authorisation</source>
        <translation>Activer l&apos;autorisation TEA</translation>
    </message>
    <message>
        <source> Default values </source>
        <translation> Valeurs par défaut </translation>
    </message>
    <message>
        <source>Load &amp;defaults</source>
        <translation>Valeurs par &amp;défaut</translation>
    </message>
    <message>
        <source>Configuration of device restore to default values</source>
        <translation>Rétablir les valeurs par défaut de la configuration de l&apos;appareil</translation>
    </message>
    <message>
        <source>Check if new IP address is empty</source>
        <translation>Vérifier que la nouvelle adresse IP est libre</translation>
    </message>
    <message>
        <source>Check if the new IP address is available before write it to the device</source>
        <translation>Vérifier que la nouvelle adresse IP est disponible avant de l&apos;écrire dans l&apos;appareil</translation>
    </message>
    <message>
        <source>&amp;Apply changes</source>
        <translation>&amp;Appliquer</translation>
    </message>
    <message>
        <source>Write new configuration to the device</source>
        <translation>Écrire la nouvelle configuration dans l&apos;appareil</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annuler</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Version:</source>
        <translation>Version :</translation>
    </message>
    <message>
        <source> Your PC network settings </source>
        <translation> Paramètres réseau de ce PC </translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Adresse IP :</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
    <message>
        <source>Netmask:</source>
        <translation>Masque :</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Passerelle :</translation>
    </message>
    <message>
        <source>Show about dialog</source>
        <translation>Afficher la boîte « À propos »</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>À &amp;propos...</translation>
    </message>
    <message>
        <source>Search for all devices on local network</source>
        <translation>Rechercher tous les appareils du réseau local</translation>
    </message>
    <message>
        <source>  &amp;Find Devices</source>
        <translation>  &amp;Rechercher</translation>
    </message>
    <message>
        <source>Device list:</source>
        <translation>Liste des appareils :</translation>
    </message>
    <message>
        <source>Show only the devices whose MAC, name, IP or type contains this text (Ctrl+F; Escape clears it)</source>
        <translation>N&apos;afficher que les appareils dont l&apos;adresse MAC, le nom, l&apos;IP ou le type contient ce texte (Ctrl+F ; Échap l&apos;efface)</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Filtrer les appareils</translation>
    </message>
    <message>
        <source>Filter by MAC, name, IP or type (Ctrl+F)</source>
        <translation>Filtrer par MAC, nom, IP ou type (Ctrl+F)</translation>
    </message>
    <message>
        <source>DoubleClick = show detail settings, RightClick = show menu, open in WEB Browser</source>
        <translation>Double-clic = paramètres détaillés, clic droit = menu, ouvrir dans le navigateur</translation>
    </message>
    <message>
        <source>&amp;Show detail settings of device...</source>
        <translation>Paramètres &amp;détaillés de l&apos;appareil...</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port 80)</source>
        <translation>Ouvrir dans le &amp;navigateur (port 80)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port 99)</source>
        <translation>Ouvrir la configuration &amp;TCP (port 99)</translation>
    </message>
    <message>
        <source>&amp;Download device configuration...</source>
        <translation>Té&amp;lécharger la configuration de l&apos;appareil...</translation>
    </message>
    <message>
        <source>&amp;Upload device configuration...</source>
        <translation>&amp;Envoyer une configuration à l&apos;appareil...</translation>
    </message>
    <message>
        <source>&amp;Load default values</source>
        <translation>&amp;Charger les valeurs par défaut</translation>
    </message>
</context>
<context>
    <name>TCompareForm</name>
    <message>
        <source>(none)</source>
        <translation>(aucun)</translation>
    </message>
    <message>
        <source>Show passwords</source>
        <translation>Afficher les mots de passe</translation>
    </message>
    <message>
        <source>Compare with file</source>
        <translation>Comparer avec un fichier</translation>
    </message>
    <message>
        <source>The device at %1 and %2 have the same settings.</source>
        <translation>L&apos;appareil à l&apos;adresse %1 et %2 ont les mêmes paramètres.</translation>
    </message>
    <message numerus="yes">
        <source>%n setting(s) differ between the device at %1 and %2.</source>
        <translation>
            <numerusform>%n paramètre diffère entre l&apos;appareil à l&apos;adresse %1 et %2.</numerusform>
            <numerusform>%n paramètres diffèrent entre l&apos;appareil à l&apos;adresse %1 et %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>Settings that differ</source>
        <translation>Paramètres différents</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Paramètre</translation>
    </message>
    <message>
        <source>This device</source>
        <translation>Cet appareil</translation>
    </message>
    <message>
        <source>The file</source>
        <translation>Le fichier</translation>
    </message>
    <message>
        <source>The device&apos;s configuration cannot be read: %1</source>
        <translation>Impossible de lire la configuration de l&apos;appareil : %1</translation>
    </message>
    <message>
        <source>%1 is larger than any device configuration.</source>
        <translation>%1 est plus grand que toute configuration d&apos;appareil.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>Impossible de lire %1 : %2</translation>
    </message>
    <message>
        <source>%1 is no configuration document: %2</source>
        <translation>%1 n&apos;est pas un document de configuration : %2</translation>
    </message>
</context>
<context>
    <name>TTelnetForm</name>
    <message>
        <source>TCP Setup</source>
        <translation>Configuration TCP</translation>
    </message>
    <message>
        <source>Send macro (Alt+1)</source>
        <translation>Envoyer la macro (Alt+1)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Send macro (Alt+2)</source>
        <translation>Envoyer la macro (Alt+2)</translation>
    </message>
    <message>
        <source>Send macro (Alt+3)</source>
        <translation>Envoyer la macro (Alt+3)</translation>
    </message>
    <message>
        <source>Send macro (Alt+4)</source>
        <translation>Envoyer la macro (Alt+4)</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>Copier dans le presse-papiers</translation>
    </message>
    <message>
        <source>Send Clipboard As Text (max. 256 chars)</source>
        <translation>Envoyer le presse-papiers comme texte (256 caractères max.)</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Clear Window</source>
        <translation>Effacer la fenêtre</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Coller</translation>
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
        <translation>Sortie de l&apos;appareil</translation>
    </message>
    <message>
        <source>Macro %1</source>
        <translation>Macro %1</translation>
    </message>
    <message>
        <source>Macro %1 is hexadecimal</source>
        <translation>La macro %1 est hexadécimale</translation>
    </message>
    <message>
        <source>Send macro %1</source>
        <translation>Envoyer la macro %1</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>Raccourci %1</translation>
    </message>
    <message>
        <source>%1 - %2:%3 (Connecting)</source>
        <translation>%1 - %2:%3 (connexion en cours)</translation>
    </message>
    <message>
        <source>Connection error</source>
        <translation>Erreur de connexion</translation>
    </message>
</context>
<context>
    <name>kelvo::terminal</name>
    <message>
        <source>Use ASCII directly, to transmit chars &quot;#&quot;,&quot;$&quot; and &quot;&lt;&quot; you have to double them (to transmit &quot;T#B&quot; insert &quot;T##B&quot; e.g.) With checked &quot;HEX&quot; you can insert &quot;48 65 79 20 59 6F 75&quot; or without spaces &quot;48657920596F75&quot; to transmit &quot;Hey You&quot;. You can also send HEXa characters with &quot;$&quot; prefix (&quot;Hey Y$6Fu&quot; e.g.) or DECIMAL numbers with &quot;#&quot; prefix (&quot;Hey Y#111u&quot; e.g.) Special ASCII sequences you can send as &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, and that&apos;s continue...</source>
        <translation>Utilisez l&apos;ASCII directement ; pour transmettre les caractères &quot;#&quot;, &quot;$&quot; et &quot;&lt;&quot;, vous devez les doubler (par ex. saisissez &quot;T##B&quot; pour transmettre &quot;T#B&quot;). Avec &quot;HEX&quot; coché, vous pouvez saisir &quot;48 65 79 20 59 6F 75&quot; ou, sans espaces, &quot;48657920596F75&quot; pour transmettre &quot;Hey You&quot;. Vous pouvez aussi envoyer des caractères hexadécimaux avec le préfixe &quot;$&quot; (par ex. &quot;Hey Y$6Fu&quot;) ou des nombres décimaux avec le préfixe &quot;#&quot; (par ex. &quot;Hey Y#111u&quot;). Les séquences ASCII spéciales s&apos;envoient sous la forme &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, etc.</translation>
    </message>
    <message>
        <source>Add sending string. You may add any ASCII character by using #xxx, $xx or &lt;ASCII name&gt; format. You must use ##, $$ and &lt;&lt;. Hexadecimal data is in format  XXYYZZ .. or XX YY ZZ ...</source>
        <translation>Saisissez le texte à envoyer. Tout caractère ASCII peut être saisi au format #xxx, $xx ou &lt;nom ASCII&gt;. Utilisez ##, $$ et &lt;&lt; pour ces caractères eux-mêmes. Les données hexadécimales ont le format XXYYZZ ... ou XX YY ZZ ...</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Decimal number %1 not valid value ASCII char!</source>
        <translation>Le nombre décimal %1 n&apos;est pas un caractère ASCII valide !</translation>
    </message>
    <message>
        <source>ASCII name &lt;%1&gt; not exists!</source>
        <translation>Le nom ASCII &lt;%1&gt; n&apos;existe pas !</translation>
    </message>
    <message>
        <source>The macro gives more than %1 bytes and was not sent.</source>
        <translation>La macro donne plus de %1 octets et n&apos;a pas été envoyée.</translation>
    </message>
    <message>
        <source>Hexadecimal data format error</source>
        <translation>Erreur de format des données hexadécimales</translation>
    </message>
    <message>
        <source>Macro string format error</source>
        <translation>Erreur de format de la macro</translation>
    </message>
</context>
<context>
    <name>kelvo::ui</name>
    <message>
        <source>Copyright (c) 2024-2026 %1, built %2</source>
        <translation>Copyright (c) 2024-2026 %1, compilé le %2</translation>
    </message>
    <message>
        <source>, gateway %1</source>
        <translation>, passerelle %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid port number</source>
        <translation>« %1 » n&apos;est pas un numéro de port valide</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>« %1 » n&apos;est pas un nombre entier valide</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Adresse IP</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>Masque</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Passerelle</translation>
    </message>
    <message>
        <source>IP filter value</source>
        <translation>Valeur du filtre IP</translation>
    </message>
    <message>
        <source>IP filter mask</source>
        <translation>Masque du filtre IP</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not an address like 192.168.1.10</source>
        <translation>%1 : « %2 » n&apos;est pas une adresse comme 192.168.1.10</translation>
    </message>
    <message>
        <source>IP address %1 is out of your local network range %2 !<byte value="xd"/>
<byte value="xd"/>
Please, choose &apos;No&apos; and check address of your device or click on &apos;Yes&apos; to continue.<byte value="xd"/>
<byte value="xd"/>
Do you want to continue?</source>
        <translation>L&apos;adresse IP %1 est hors de la plage de votre réseau local %2 !<byte value="xd"/>
<byte value="xd"/>
Choisissez « Non » et vérifiez l&apos;adresse de votre appareil, ou cliquez sur « Oui » pour continuer.<byte value="xd"/>
<byte value="xd"/>
Voulez-vous continuer ?</translation>
    </message>
    <message>
        <source>mask</source>
        <translation>masque</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>passerelle</translation>
    </message>
    <message>
        <source>port</source>
        <translation>port</translation>
    </message>
    <message>
        <source>IP access filter</source>
        <translation>filtre d&apos;accès IP</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>TCP setup</source>
        <translation>configuration TCP</translation>
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
        <translation>Aucun navigateur web n&apos;a pu être ouvert. L&apos;adresse de l&apos;appareil est :
%1</translation>
    </message>
    <message>
        <source>Unexpected error</source>
        <translation>Erreur inattendue</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Nothing was sent.</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
Rien n&apos;a été envoyé.</translation>
    </message>
    <message>
        <source>This device was found by this program&apos;s own search, which takes answers from anyone on this PC or network, so no password is sent to it.<byte value="xd"/>
<byte value="xd"/>
Start kelvo-relay and search again.</source>
        <translation>Cet appareil a été trouvé par la recherche propre de ce programme, qui accepte les réponses de n&apos;importe qui sur ce PC ou ce réseau ; aucun mot de passe ne lui est donc envoyé.<byte value="xd"/>
<byte value="xd"/>
Démarrez kelvo-relay et relancez la recherche.</translation>
    </message>
    <message>
        <source>XML Files (*.xml);;All Files (*.*)</source>
        <translation>Fichiers XML (*.xml);;Tous les fichiers (*.*)</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>Save device list</source>
        <translation>Enregistrer la liste des appareils</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;JSON files (*.json)</source>
        <translation>Fichiers CSV (*.csv);;Fichiers JSON (*.json)</translation>
    </message>
    <message>
        <source>nothing there answers as kelvo-relay</source>
        <translation>rien n&apos;y répond en tant que kelvo-relay</translation>
    </message>
    <message>
        <source>nothing listens there</source>
        <translation>rien n&apos;y écoute</translation>
    </message>
    <message>
        <source>not an IPv4 address and port</source>
        <translation>pas une adresse IPv4 avec un port</translation>
    </message>
    <message>
        <source>start the service kelvo-relay (Services, &quot;Kelvo relay&quot;; or as administrator: sc start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)</source>
        <translation>démarrez le service kelvo-relay (Services, « Kelvo relay » ; ou en tant qu&apos;administrateur : sc start kelvo-relay ; s&apos;il n&apos;est pas installé, exécutez kelvo-relay.exe dans un terminal)</translation>
    </message>
    <message>
        <source>start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run kelvo-relay in a terminal)</source>
        <translation>démarrez kelvo-relay (systemctl start kelvo-relay ; là où systemd ne tourne pas, exécutez kelvo-relay dans un terminal)</translation>
    </message>
    <message>
        <source>No relay at %1: %2; %3</source>
        <translation>Aucun relais à l&apos;adresse %1 : %2 ; %3</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1, which says: %2</source>
        <translation>aucun appareil n&apos;a répondu via le relais à l&apos;adresse %1, qui indique : %2</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1 (its log names the interfaces it searched); a firewall blocking UDP from the devices is the usual cause</source>
        <translation>aucun appareil n&apos;a répondu via le relais à l&apos;adresse %1 (son journal indique les interfaces parcourues) ; la cause habituelle est un pare-feu qui bloque l&apos;UDP venant des appareils</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TAboutForm</name>
    <message>
        <source>%1 icon</source>
        <translation>Icône de %1</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TConfirmForm</name>
    <message>
        <source>Warning</source>
        <translation>Avertissement</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Question</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TDetailForm</name>
    <message>
        <source>Ready</source>
        <translation>Prêt</translation>
    </message>
    <message>
        <source>IP address set by DHCP</source>
        <translation>Adresse IP attribuée par DHCP</translation>
    </message>
    <message>
        <source>Mask set by DHCP</source>
        <translation>Masque attribué par DHCP</translation>
    </message>
    <message>
        <source>Gateway set by DHCP</source>
        <translation>Passerelle attribuée par DHCP</translation>
    </message>
    <message>
        <source>Details - %1</source>
        <translation>Détails - %1</translation>
    </message>
    <message>
        <source>Details - %1 (%2)</source>
        <translation>Détails - %1 (%2)</translation>
    </message>
    <message>
        <source>Supported</source>
        <translation>Pris en charge</translation>
    </message>
    <message>
        <source>Not supported</source>
        <translation>Non pris en charge</translation>
    </message>
    <message>
        <source>%1
Port: a whole number from 0 to 65535</source>
        <translation>%1
Port : un nombre entier de 0 à 65535</translation>
    </message>
    <message>
        <source>Port 99 is reserved for UDP Setup and its usage is not strictly recommended!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict port?</source>
        <translation>Le port 99 est réservé à la configuration UDP et son utilisation est fortement déconseillée !<byte value="xd"/>
<byte value="xd"/>
Voulez-vous vraiment utiliser ce port en conflit ?</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?
%1</source>
        <translation>Certains paramètres réseau sont incorrects.
%1</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>Certains paramètres réseau sont incorrects.<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Testing destination address...</source>
        <translation>Test de l&apos;adresse de destination...</translation>
    </message>
    <message>
        <source>IP address is already assigned to other equipement!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict IP address?</source>
        <translation>L&apos;adresse IP est déjà attribuée à un autre équipement !<byte value="xd"/>
<byte value="xd"/>
Voulez-vous vraiment utiliser cette adresse IP en conflit ?</translation>
    </message>
    <message>
        <source>Sending new settings...</source>
        <translation>Envoi des nouveaux paramètres...</translation>
    </message>
    <message>
        <source>Testing ping failed. Sending new settings...</source>
        <translation>Échec du test ping. Envoi des nouveaux paramètres...</translation>
    </message>
    <message>
        <source>Waiting for user name and password...</source>
        <translation>En attente du nom d&apos;utilisateur et du mot de passe...</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Échec de l&apos;envoi des nouveaux paramètres</translation>
    </message>
    <message>
        <source>Sending new settings... %1</source>
        <translation>Envoi des nouveaux paramètres... %1</translation>
    </message>
    <message>
        <source>Sending new settings... timeout error</source>
        <translation>Envoi des nouveaux paramètres... délai dépassé</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>Voulez-vous vraiment rétablir les valeurs par défaut ?</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Ouverture dans le navigateur...</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>Ouverture de la configuration TCP...</translation>
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
        <translation>Nom</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Device type</source>
        <translation>Type d&apos;appareil</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>Click, or press Ctrl+%1, to sort by this column; again to reverse</source>
        <translation>Cliquez ou appuyez sur Ctrl+%1 pour trier selon cette colonne ; à nouveau pour inverser</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Nouveau</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Modifié</translation>
    </message>
    <message>
        <source>Offline, last seen %1</source>
        <translation>Hors ligne, vu pour la dernière fois à %1</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Hors ligne</translation>
    </message>
    <message>
        <source>State</source>
        <translation>État</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::THistoryForm</name>
    <message>
        <source>&amp;Save history...</source>
        <translation>&amp;Enregistrer l&apos;historique...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Historique</translation>
    </message>
    <message>
        <source>&amp;Events of this run, newest first:</source>
        <translation>Év&amp;énements de cette session, les plus récents en premier :</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Heure</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Événement</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Détails</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TMainForm</name>
    <message>
        <source>The network of this PC that the address checks use</source>
        <translation>Le réseau de ce PC utilisé par les vérifications d&apos;adresse</translation>
    </message>
    <message>
        <source>&amp;Adapter:</source>
        <translation>&amp;Adaptateur :</translation>
    </message>
    <message>
        <source>Save device list...</source>
        <translation>Enregistrer la liste des appareils...</translation>
    </message>
    <message>
        <source>Sort &amp;by</source>
        <translation>T&amp;rier par</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Filtrer les appareils</translation>
    </message>
    <message>
        <source>Compare with file…</source>
        <translation>Comparer avec un fichier…</translation>
    </message>
    <message>
        <source>Loading application...</source>
        <translation>Chargement de l&apos;application...</translation>
    </message>
    <message>
        <source>Config utility for the Marvane devices</source>
        <translation>Utilitaire de configuration des appareils Marvane</translation>
    </message>
    <message>
        <source>Config utility for the original Marvane devices.</source>
        <translation>Utilitaire de configuration des appareils Marvane d&apos;origine.</translation>
    </message>
    <message>
        <source>Mvx-Config %1 for Marvane products (%2)</source>
        <translation>Mvx-Config %1 pour les produits Marvane (%2)</translation>
    </message>
    <message>
        <source>Searching modules... -</source>
        <translation>Recherche des modules... -</translation>
    </message>
    <message>
        <source>Searching modules... error</source>
        <translation>Recherche des modules... erreur</translation>
    </message>
    <message>
        <source>Searching modules (remains %1 seconds)... %2</source>
        <translation>Recherche des modules (encore %1 secondes)... %2</translation>
    </message>
    <message>
        <source>Searching modules... timed out after %1 seconds</source>
        <translation>Recherche des modules... délai dépassé après %1 secondes</translation>
    </message>
    <message numerus="yes">
        <source>Searching modules... %n device(s) found</source>
        <translation>
            <numerusform>Recherche des modules... %n appareil trouvé</numerusform>
            <numerusform>Recherche des modules... %n appareils trouvés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, %n more answered but did not fit the list</source>
        <translation>
            <numerusform>%1, %n autre a répondu mais n&apos;a pas trouvé place dans la liste</numerusform>
            <numerusform>%1, %n autres ont répondu mais n&apos;ont pas trouvé place dans la liste</numerusform>
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
        <translation>&amp;Nom</translation>
    </message>
    <message>
        <source>&amp;IP</source>
        <translation>&amp;IP</translation>
    </message>
    <message>
        <source>Device &amp;type</source>
        <translation>&amp;Type d&apos;appareil</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>Sort the list by this column; again to reverse the order</source>
        <translation>Trier la liste selon cette colonne ; à nouveau pour inverser l&apos;ordre</translation>
    </message>
    <message>
        <source>Showing %1 of %2 devices</source>
        <translation>%1 appareils affichés sur %2</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Ouverture dans le navigateur...</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Prêt</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port %1)</source>
        <translation>Ouvrir dans le &amp;navigateur (port %1)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port %1)</source>
        <translation>Ouvrir la configuration &amp;TCP (port %1)</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>Ouverture de la configuration TCP...</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>Voulez-vous vraiment rétablir les valeurs par défaut ?</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Échec de l&apos;envoi des nouveaux paramètres</translation>
    </message>
    <message>
        <source>Sending default settings...</source>
        <translation>Envoi des paramètres par défaut...</translation>
    </message>
    <message>
        <source>Sending default settings... %1</source>
        <translation>Envoi des paramètres par défaut... %1</translation>
    </message>
    <message>
        <source>Sending default settings... timeout error</source>
        <translation>Envoi des paramètres par défaut... délai dépassé</translation>
    </message>
    <message>
        <source>Search again</source>
        <translation>Relancer la recherche</translation>
    </message>
    <message>
        <source>Show and change every setting of the device</source>
        <translation>Afficher et modifier tous les paramètres de l&apos;appareil</translation>
    </message>
    <message>
        <source>Open the device&apos;s web page</source>
        <translation>Ouvrir la page web de l&apos;appareil</translation>
    </message>
    <message>
        <source>Open a terminal on the device&apos;s TCP setup port</source>
        <translation>Ouvrir un terminal sur le port de configuration TCP de l&apos;appareil</translation>
    </message>
    <message>
        <source>Save the device&apos;s configuration to a file</source>
        <translation>Enregistrer la configuration de l&apos;appareil dans un fichier</translation>
    </message>
    <message>
        <source>Send a configuration file to the device</source>
        <translation>Envoyer un fichier de configuration à l&apos;appareil</translation>
    </message>
    <message>
        <source>Show the settings in which the device and a file differ</source>
        <translation>Afficher les paramètres qui diffèrent entre l&apos;appareil et un fichier</translation>
    </message>
    <message>
        <source>Restore the device&apos;s default settings</source>
        <translation>Rétablir les paramètres par défaut de l&apos;appareil</translation>
    </message>
    <message>
        <source>%1 logo</source>
        <translation>Logo %1</translation>
    </message>
    <message>
        <source>Web site %1</source>
        <translation>Site web %1</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Search directly with this program&apos;s own broadcast on every network of this PC?</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
Rechercher directement par la diffusion de ce programme sur chaque réseau de ce PC ?</translation>
    </message>
    <message>
        <source> Check the password.</source>
        <translation> Vérifiez le mot de passe.</translation>
    </message>
    <message>
        <source>. Settings applied to %1; confirmed by a new search</source>
        <translation>. Paramètres appliqués à %1 ; confirmés par une nouvelle recherche</translation>
    </message>
    <message>
        <source>The device %1 did not answer the search after the setup.</source>
        <translation>L&apos;appareil %1 n&apos;a pas répondu à la recherche après la configuration.</translation>
    </message>
    <message>
        <source>. The device %1 reports the same settings as before; unless they were its defaults already, it did not take the default values.</source>
        <translation>. L&apos;appareil %1 indique les mêmes paramètres qu&apos;avant ; à moins qu&apos;il ne s&apos;agisse déjà de ses valeurs par défaut, il n&apos;a pas pris les valeurs par défaut.</translation>
    </message>
    <message>
        <source>The device %1 did not take the new settings (%2).</source>
        <translation>L&apos;appareil %1 n&apos;a pas pris les nouveaux paramètres (%2).</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>Saving the device list failed: %1</source>
        <translation>Échec de l&apos;enregistrement de la liste des appareils : %1</translation>
    </message>
    <message numerus="yes">
        <source>Device list saved to %1 (%n device(s))</source>
        <translation>
            <numerusform>Liste des appareils enregistrée dans %1 (%n appareil)</numerusform>
            <numerusform>Liste des appareils enregistrée dans %1 (%n appareils)</numerusform>
        </translation>
    </message>
    <message>
        <source>Uploading configuration...</source>
        <translation>Envoi de la configuration...</translation>
    </message>
    <message>
        <source>Downloading configuration...</source>
        <translation>Téléchargement de la configuration...</translation>
    </message>
    <message>
        <source>Downloading configuration... %1</source>
        <translation>Téléchargement de la configuration... %1</translation>
    </message>
    <message>
        <source>Uploading configuration... %1</source>
        <translation>Envoi de la configuration... %1</translation>
    </message>
    <message>
        <source>Downloading configuration... done</source>
        <translation>Téléchargement de la configuration... terminé</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>Impossible d&apos;écrire %1</translation>
    </message>
    <message>
        <source>Uploading configuration... Invalid XML file</source>
        <translation>Envoi de la configuration... Fichier XML non valide</translation>
    </message>
    <message>
        <source>Uploading configuration... done</source>
        <translation>Envoi de la configuration... terminé</translation>
    </message>
    <message>
        <source>XML error: %1</source>
        <translation>Erreur XML : %1</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Actualisation...</translation>
    </message>
    <message>
        <source>%1 did not answer the last search: nothing is sent to it</source>
        <translation>%1 n&apos;a pas répondu à la dernière recherche : rien ne lui est envoyé</translation>
    </message>
    <message numerus="yes">
        <source>Refreshed at %1: %n device(s) found</source>
        <translation>
            <numerusform>Actualisé à %1 : %n appareil trouvé</numerusform>
            <numerusform>Actualisé à %1 : %n appareils trouvés</numerusform>
        </translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1 ; %2</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TWatching</name>
    <message>
        <source>New</source>
        <translation>Nouveau</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Modifié</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Hors ligne</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>De retour</translation>
    </message>
    <message>
        <source>&amp;Refresh automatically</source>
        <translation>Actualiser a&amp;utomatiquement</translation>
    </message>
    <message>
        <source>&amp;History…</source>
        <translation>&amp;Historique…</translation>
    </message>
    <message>
        <source>Search again at the interval beside, and mark what changed</source>
        <translation>Relancer la recherche à l&apos;intervalle indiqué à côté et signaler ce qui a changé</translation>
    </message>
    <message>
        <source>every </source>
        <translation>toutes les </translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Refresh interval in seconds</source>
        <translation>Intervalle d&apos;actualisation en secondes</translation>
    </message>
    <message>
        <source>What appeared, changed and went offline in this run</source>
        <translation>Ce qui est apparu, a changé ou est passé hors ligne pendant cette session</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 not seen since last time</source>
        <translation>%1 nouveaux, %2 modifiés, %3 non vus depuis la dernière fois</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 offline, %4 back</source>
        <translation>%1 nouveaux, %2 modifiés, %3 hors ligne, %4 de retour</translation>
    </message>
    <message>
        <source>the inventory of earlier runs was not read: %1</source>
        <translation>l&apos;inventaire des sessions précédentes n&apos;a pas été lu : %1</translation>
    </message>
    <message>
        <source>the inventory was not saved: %1</source>
        <translation>l&apos;inventaire n&apos;a pas été enregistré : %1</translation>
    </message>
    <message>
        <source>Saving the history failed: %1</source>
        <translation>Échec de l&apos;enregistrement de l&apos;historique : %1</translation>
    </message>
    <message numerus="yes">
        <source>History saved to %1 (%n event(s))</source>
        <translation>
            <numerusform>Historique enregistré dans %1 (%n événement)</numerusform>
            <numerusform>Historique enregistré dans %1 (%n événements)</numerusform>
        </translation>
    </message>
</context>
</TS>
