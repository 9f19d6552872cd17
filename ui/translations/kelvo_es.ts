<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AboutForm</name>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>AuthForm</name>
    <message>
        <source>Authorization</source>
        <translation>Autorización</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Usuario:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Contraseña:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;Aceptar</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancelar</translation>
    </message>
</context>
<context>
    <name>ConfirmForm</name>
    <message>
        <source>Confirm</source>
        <translation>Confirmar</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Sí</translation>
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
        <translation>Nombre:</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Dirección IP:</translation>
    </message>
    <message>
        <source>(DHCP)</source>
        <translation>(DHCP)</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Puerto:</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>Máscara:</translation>
    </message>
    <message>
        <source>Open in WEB Browser</source>
        <translation>Abrir en el navegador</translation>
    </message>
    <message>
        <source>Open WEB of device in you default WEB browser</source>
        <translation>Abrir la página web del dispositivo en el navegador predeterminado</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Puerta de enlace:</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>Activar DHCP</translation>
    </message>
    <message>
        <source>Enable IP access filter</source>
        <translation>Activar filtro de acceso IP</translation>
    </message>
    <message>
        <source>IP filter value:</source>
        <translation>Valor del filtro IP:</translation>
    </message>
    <message>
        <source>IP filter mask:</source>
        <translation>Máscara del filtro IP:</translation>
    </message>
    <message>
        <source>MAC:</source>
        <translation>MAC:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Desconocido</translation>
    </message>
    <message>
        <source>FW version:</source>
        <translation>Versión FW:</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>Tipo de dispositivo:</translation>
    </message>
    <message>
        <source>DHCP:</source>
        <translation>DHCP:</translation>
    </message>
    <message>
        <source>Enable NVT</source>
        <translation>Activar NVT</translation>
    </message>
    <message>
        <source>Enable TCP setup</source>
        <translation>Activar configuración TCP</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>A&amp;brir</translation>
    </message>
    <message>
        <source>Open TCP Setup - TCP/IP connection to the port 99</source>
        <translation>Abrir configuración TCP: conexión TCP/IP al puerto 99</translation>
    </message>
    <message>
        <source>Enable TEA authorisation</source>
        <translation>Activar autorización TEA</translation>
    </message>
    <message>
        <source> Default values </source>
        <translation> Valores predeterminados </translation>
    </message>
    <message>
        <source>Load &amp;defaults</source>
        <translation>Cargar valores pre&amp;determinados</translation>
    </message>
    <message>
        <source>Configuration of device restore to default values</source>
        <translation>Restablecer la configuración del dispositivo a los valores predeterminados</translation>
    </message>
    <message>
        <source>Check if new IP address is empty</source>
        <translation>Comprobar si la nueva IP está libre</translation>
    </message>
    <message>
        <source>Check if the new IP address is available before write it to the device</source>
        <translation>Comprobar si la nueva dirección IP está disponible antes de escribirla en el dispositivo</translation>
    </message>
    <message>
        <source>&amp;Apply changes</source>
        <translation>&amp;Aplicar cambios</translation>
    </message>
    <message>
        <source>Write new configuration to the device</source>
        <translation>Escribir la nueva configuración en el dispositivo</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancelar</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Version:</source>
        <translation>Versión:</translation>
    </message>
    <message>
        <source> Your PC network settings </source>
        <translation> Configuración de red de este PC </translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>Dirección IP:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Desconocido</translation>
    </message>
    <message>
        <source>Netmask:</source>
        <translation>Máscara de red:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Puerta de enlace:</translation>
    </message>
    <message>
        <source>Show about dialog</source>
        <translation>Mostrar el cuadro «Acerca de»</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>A&amp;cerca de...</translation>
    </message>
    <message>
        <source>Search for all devices on local network</source>
        <translation>Buscar todos los dispositivos de la red local</translation>
    </message>
    <message>
        <source>  &amp;Find Devices</source>
        <translation>  &amp;Buscar dispositivos</translation>
    </message>
    <message>
        <source>Device list:</source>
        <translation>Lista de dispositivos:</translation>
    </message>
    <message>
        <source>Show only the devices whose MAC, name, IP or type contains this text (Ctrl+F; Escape clears it)</source>
        <translation>Mostrar solo los dispositivos cuya MAC, nombre, IP o tipo contiene este texto (Ctrl+F; Esc lo borra)</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Filtrar dispositivos</translation>
    </message>
    <message>
        <source>Filter by MAC, name, IP or type (Ctrl+F)</source>
        <translation>Filtrar por MAC, nombre, IP o tipo (Ctrl+F)</translation>
    </message>
    <message>
        <source>DoubleClick = show detail settings, RightClick = show menu, open in WEB Browser</source>
        <translation>Doble clic = configuración detallada, clic derecho = menú, abrir en el navegador</translation>
    </message>
    <message>
        <source>&amp;Show detail settings of device...</source>
        <translation>&amp;Mostrar configuración detallada del dispositivo...</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port 80)</source>
        <translation>Abrir en el &amp;navegador (puerto 80)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port 99)</source>
        <translation>Abrir configuración &amp;TCP (puerto 99)</translation>
    </message>
    <message>
        <source>&amp;Download device configuration...</source>
        <translation>&amp;Descargar configuración del dispositivo...</translation>
    </message>
    <message>
        <source>&amp;Upload device configuration...</source>
        <translation>&amp;Subir configuración al dispositivo...</translation>
    </message>
    <message>
        <source>&amp;Load default values</source>
        <translation>Cargar va&amp;lores predeterminados</translation>
    </message>
</context>
<context>
    <name>TCompareForm</name>
    <message>
        <source>(none)</source>
        <translation>(ninguno)</translation>
    </message>
    <message>
        <source>Show passwords</source>
        <translation>Mostrar contraseñas</translation>
    </message>
    <message>
        <source>Compare with file</source>
        <translation>Comparar con archivo</translation>
    </message>
    <message>
        <source>The device at %1 and %2 have the same settings.</source>
        <translation>El dispositivo en %1 y %2 tienen la misma configuración.</translation>
    </message>
    <message numerus="yes">
        <source>%n setting(s) differ between the device at %1 and %2.</source>
        <translation>
            <numerusform>%n ajuste difiere entre el dispositivo en %1 y %2.</numerusform>
            <numerusform>%n ajustes difieren entre el dispositivo en %1 y %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>Settings that differ</source>
        <translation>Ajustes que difieren</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Ajuste</translation>
    </message>
    <message>
        <source>This device</source>
        <translation>Este dispositivo</translation>
    </message>
    <message>
        <source>The file</source>
        <translation>El archivo</translation>
    </message>
    <message>
        <source>The device&apos;s configuration cannot be read: %1</source>
        <translation>No se puede leer la configuración del dispositivo: %1</translation>
    </message>
    <message>
        <source>%1 is larger than any device configuration.</source>
        <translation>%1 es mayor que cualquier configuración de dispositivo.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>No se puede leer %1: %2</translation>
    </message>
    <message>
        <source>%1 is no configuration document: %2</source>
        <translation>%1 no es un documento de configuración: %2</translation>
    </message>
</context>
<context>
    <name>TTelnetForm</name>
    <message>
        <source>TCP Setup</source>
        <translation>Configuración TCP</translation>
    </message>
    <message>
        <source>Send macro (Alt+1)</source>
        <translation>Enviar macro (Alt+1)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Send macro (Alt+2)</source>
        <translation>Enviar macro (Alt+2)</translation>
    </message>
    <message>
        <source>Send macro (Alt+3)</source>
        <translation>Enviar macro (Alt+3)</translation>
    </message>
    <message>
        <source>Send macro (Alt+4)</source>
        <translation>Enviar macro (Alt+4)</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>Copiar al portapapeles</translation>
    </message>
    <message>
        <source>Send Clipboard As Text (max. 256 chars)</source>
        <translation>Enviar portapapeles como texto (máx. 256 caracteres)</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleccionar todo</translation>
    </message>
    <message>
        <source>Clear Window</source>
        <translation>Limpiar ventana</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Pegar</translation>
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
        <translation>Salida del dispositivo</translation>
    </message>
    <message>
        <source>Macro %1</source>
        <translation>Macro %1</translation>
    </message>
    <message>
        <source>Macro %1 is hexadecimal</source>
        <translation>La macro %1 es hexadecimal</translation>
    </message>
    <message>
        <source>Send macro %1</source>
        <translation>Enviar macro %1</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>Atajo %1</translation>
    </message>
    <message>
        <source>%1 - %2:%3 (Connecting)</source>
        <translation>%1 - %2:%3 (conectando)</translation>
    </message>
    <message>
        <source>Connection error</source>
        <translation>Error de conexión</translation>
    </message>
</context>
<context>
    <name>kelvo::terminal</name>
    <message>
        <source>Use ASCII directly, to transmit chars &quot;#&quot;,&quot;$&quot; and &quot;&lt;&quot; you have to double them (to transmit &quot;T#B&quot; insert &quot;T##B&quot; e.g.) With checked &quot;HEX&quot; you can insert &quot;48 65 79 20 59 6F 75&quot; or without spaces &quot;48657920596F75&quot; to transmit &quot;Hey You&quot;. You can also send HEXa characters with &quot;$&quot; prefix (&quot;Hey Y$6Fu&quot; e.g.) or DECIMAL numbers with &quot;#&quot; prefix (&quot;Hey Y#111u&quot; e.g.) Special ASCII sequences you can send as &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, and that&apos;s continue...</source>
        <translation>Use ASCII directamente; para transmitir los caracteres &quot;#&quot;, &quot;$&quot; y &quot;&lt;&quot; hay que duplicarlos (p. ej., escriba &quot;T##B&quot; para transmitir &quot;T#B&quot;). Con &quot;HEX&quot; marcado puede escribir &quot;48 65 79 20 59 6F 75&quot; o, sin espacios, &quot;48657920596F75&quot; para transmitir &quot;Hey You&quot;. También puede enviar caracteres hexadecimales con el prefijo &quot;$&quot; (p. ej., &quot;Hey Y$6Fu&quot;) o números decimales con el prefijo &quot;#&quot; (p. ej., &quot;Hey Y#111u&quot;). Las secuencias ASCII especiales se envían como &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, etc.</translation>
    </message>
    <message>
        <source>Add sending string. You may add any ASCII character by using #xxx, $xx or &lt;ASCII name&gt; format. You must use ##, $$ and &lt;&lt;. Hexadecimal data is in format  XXYYZZ .. or XX YY ZZ ...</source>
        <translation>Escriba el texto que se enviará. Cualquier carácter ASCII se puede añadir con el formato #xxx, $xx o &lt;nombre ASCII&gt;. Use ##, $$ y &lt;&lt; para esos mismos caracteres. Los datos hexadecimales tienen el formato XXYYZZ ... o XX YY ZZ ...</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Decimal number %1 not valid value ASCII char!</source>
        <translation>¡El número decimal %1 no es un carácter ASCII válido!</translation>
    </message>
    <message>
        <source>ASCII name &lt;%1&gt; not exists!</source>
        <translation>¡El nombre ASCII &lt;%1&gt; no existe!</translation>
    </message>
    <message>
        <source>The macro gives more than %1 bytes and was not sent.</source>
        <translation>La macro produce más de %1 bytes y no se ha enviado.</translation>
    </message>
    <message>
        <source>Hexadecimal data format error</source>
        <translation>Error de formato en los datos hexadecimales</translation>
    </message>
    <message>
        <source>Macro string format error</source>
        <translation>Error de formato en la macro</translation>
    </message>
</context>
<context>
    <name>kelvo::ui</name>
    <message>
        <source>Copyright (c) 2024-2026 %1, built %2</source>
        <translation>Copyright (c) 2024-2026 %1, compilado el %2</translation>
    </message>
    <message>
        <source>, gateway %1</source>
        <translation>, puerta de enlace %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid port number</source>
        <translation>«%1» no es un número de puerto válido</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>«%1» no es un número entero válido</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Dirección IP</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>Máscara</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Puerta de enlace</translation>
    </message>
    <message>
        <source>IP filter value</source>
        <translation>Valor del filtro IP</translation>
    </message>
    <message>
        <source>IP filter mask</source>
        <translation>Máscara del filtro IP</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not an address like 192.168.1.10</source>
        <translation>%1: «%2» no es una dirección como 192.168.1.10</translation>
    </message>
    <message>
        <source>IP address %1 is out of your local network range %2 !<byte value="xd"/>
<byte value="xd"/>
Please, choose &apos;No&apos; and check address of your device or click on &apos;Yes&apos; to continue.<byte value="xd"/>
<byte value="xd"/>
Do you want to continue?</source>
        <translation>¡La dirección IP %1 está fuera del rango de su red local %2!<byte value="xd"/>
<byte value="xd"/>
Elija «No» y compruebe la dirección del dispositivo, o haga clic en «Sí» para continuar.<byte value="xd"/>
<byte value="xd"/>
¿Desea continuar?</translation>
    </message>
    <message>
        <source>mask</source>
        <translation>máscara</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>puerta de enlace</translation>
    </message>
    <message>
        <source>port</source>
        <translation>puerto</translation>
    </message>
    <message>
        <source>IP access filter</source>
        <translation>filtro de acceso IP</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>TCP setup</source>
        <translation>configuración TCP</translation>
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
        <translation>No se ha podido abrir ningún navegador web. La dirección del dispositivo es:
%1</translation>
    </message>
    <message>
        <source>Unexpected error</source>
        <translation>Error inesperado</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Nothing was sent.</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
No se ha enviado nada.</translation>
    </message>
    <message>
        <source>This device was found by this program&apos;s own search, which takes answers from anyone on this PC or network, so no password is sent to it.<byte value="xd"/>
<byte value="xd"/>
Start kelvo-relay and search again.</source>
        <translation>Este dispositivo se encontró con la búsqueda propia de este programa, que acepta respuestas de cualquiera en este PC o en la red, por lo que no se le envía ninguna contraseña.<byte value="xd"/>
<byte value="xd"/>
Inicie kelvo-relay y vuelva a buscar.</translation>
    </message>
    <message>
        <source>XML Files (*.xml);;All Files (*.*)</source>
        <translation>Archivos XML (*.xml);;Todos los archivos (*.*)</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Confirmación</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Save device list</source>
        <translation>Guardar lista de dispositivos</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;JSON files (*.json)</source>
        <translation>Archivos CSV (*.csv);;Archivos JSON (*.json)</translation>
    </message>
    <message>
        <source>nothing there answers as kelvo-relay</source>
        <translation>nada responde allí como kelvo-relay</translation>
    </message>
    <message>
        <source>nothing listens there</source>
        <translation>nada escucha allí</translation>
    </message>
    <message>
        <source>not an IPv4 address and port</source>
        <translation>no es una dirección IPv4 con puerto</translation>
    </message>
    <message>
        <source>start the service kelvo-relay (Services, &quot;Kelvo relay&quot;; or as administrator: sc start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)</source>
        <translation>inicie el servicio kelvo-relay (Servicios, «Kelvo relay»; o como administrador: sc start kelvo-relay; si no está instalado, ejecute kelvo-relay.exe en un terminal)</translation>
    </message>
    <message>
        <source>start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run kelvo-relay in a terminal)</source>
        <translation>inicie kelvo-relay (systemctl start kelvo-relay; donde systemd no se ejecute, ejecute kelvo-relay en un terminal)</translation>
    </message>
    <message>
        <source>No relay at %1: %2; %3</source>
        <translation>No hay ningún retransmisor en %1: %2; %3</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1, which says: %2</source>
        <translation>ningún dispositivo respondió a través del retransmisor en %1, que indica: %2</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1 (its log names the interfaces it searched); a firewall blocking UDP from the devices is the usual cause</source>
        <translation>ningún dispositivo respondió a través del retransmisor en %1 (su registro indica las interfaces en que buscó); la causa habitual es un cortafuegos que bloquea el UDP de los dispositivos</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TAboutForm</name>
    <message>
        <source>%1 icon</source>
        <translation>Icono de %1</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TConfirmForm</name>
    <message>
        <source>Warning</source>
        <translation>Advertencia</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Pregunta</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TDetailForm</name>
    <message>
        <source>Ready</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>IP address set by DHCP</source>
        <translation>Dirección IP asignada por DHCP</translation>
    </message>
    <message>
        <source>Mask set by DHCP</source>
        <translation>Máscara asignada por DHCP</translation>
    </message>
    <message>
        <source>Gateway set by DHCP</source>
        <translation>Puerta de enlace asignada por DHCP</translation>
    </message>
    <message>
        <source>Details - %1</source>
        <translation>Detalles - %1</translation>
    </message>
    <message>
        <source>Details - %1 (%2)</source>
        <translation>Detalles - %1 (%2)</translation>
    </message>
    <message>
        <source>Supported</source>
        <translation>Compatible</translation>
    </message>
    <message>
        <source>Not supported</source>
        <translation>No compatible</translation>
    </message>
    <message>
        <source>%1
Port: a whole number from 0 to 65535</source>
        <translation>%1
Puerto: un número entero de 0 a 65535</translation>
    </message>
    <message>
        <source>Port 99 is reserved for UDP Setup and its usage is not strictly recommended!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict port?</source>
        <translation>¡El puerto 99 está reservado para la configuración UDP y se desaconseja totalmente su uso!<byte value="xd"/>
<byte value="xd"/>
¿Seguro que desea usar este puerto en conflicto?</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?
%1</source>
        <translation>Algunos parámetros de red no son correctos.
%1</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>Algunos parámetros de red no son correctos.<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Testing destination address...</source>
        <translation>Comprobando la dirección de destino...</translation>
    </message>
    <message>
        <source>IP address is already assigned to other equipement!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict IP address?</source>
        <translation>¡La dirección IP ya está asignada a otro equipo!<byte value="xd"/>
<byte value="xd"/>
¿Seguro que desea usar esta dirección IP en conflicto?</translation>
    </message>
    <message>
        <source>Sending new settings...</source>
        <translation>Enviando la nueva configuración...</translation>
    </message>
    <message>
        <source>Testing ping failed. Sending new settings...</source>
        <translation>Falló la prueba de ping. Enviando la nueva configuración...</translation>
    </message>
    <message>
        <source>Waiting for user name and password...</source>
        <translation>Esperando usuario y contraseña...</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Error al enviar la nueva configuración</translation>
    </message>
    <message>
        <source>Sending new settings... %1</source>
        <translation>Enviando la nueva configuración... %1</translation>
    </message>
    <message>
        <source>Sending new settings... timeout error</source>
        <translation>Enviando la nueva configuración... tiempo de espera agotado</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>¿Seguro que desea restablecer los valores predeterminados?</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Abriendo en el navegador...</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>Abriendo configuración TCP...</translation>
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
        <translation>Nombre</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Device type</source>
        <translation>Tipo de dispositivo</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Puerto</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parámetros</translation>
    </message>
    <message>
        <source>Click, or press Ctrl+%1, to sort by this column; again to reverse</source>
        <translation>Haga clic o pulse Ctrl+%1 para ordenar por esta columna; de nuevo para invertir</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Nuevo</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Cambiado</translation>
    </message>
    <message>
        <source>Offline, last seen %1</source>
        <translation>Sin conexión, visto por última vez a las %1</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Sin conexión</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Estado</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::THistoryForm</name>
    <message>
        <source>&amp;Save history...</source>
        <translation>&amp;Guardar historial...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Historial</translation>
    </message>
    <message>
        <source>&amp;Events of this run, newest first:</source>
        <translation>&amp;Eventos de esta sesión, los más recientes primero:</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nombre</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Evento</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Detalles</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TMainForm</name>
    <message>
        <source>The network of this PC that the address checks use</source>
        <translation>La red de este PC que usan las comprobaciones de dirección</translation>
    </message>
    <message>
        <source>&amp;Adapter:</source>
        <translation>&amp;Adaptador:</translation>
    </message>
    <message>
        <source>Save device list...</source>
        <translation>Guardar lista de dispositivos...</translation>
    </message>
    <message>
        <source>Sort &amp;by</source>
        <translation>&amp;Ordenar por</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>Filtrar dispositivos</translation>
    </message>
    <message>
        <source>Compare with file…</source>
        <translation>Comparar con archivo…</translation>
    </message>
    <message>
        <source>Loading application...</source>
        <translation>Cargando la aplicación...</translation>
    </message>
    <message>
        <source>Config utility for the Marvane devices</source>
        <translation>Utilidad de configuración para dispositivos Marvane</translation>
    </message>
    <message>
        <source>Config utility for the original Marvane devices.</source>
        <translation>Utilidad de configuración para los dispositivos Marvane originales.</translation>
    </message>
    <message>
        <source>Mvx-Config %1 for Marvane products (%2)</source>
        <translation>Mvx-Config %1 para productos Marvane (%2)</translation>
    </message>
    <message>
        <source>Searching modules... -</source>
        <translation>Buscando módulos... -</translation>
    </message>
    <message>
        <source>Searching modules... error</source>
        <translation>Buscando módulos... error</translation>
    </message>
    <message>
        <source>Searching modules (remains %1 seconds)... %2</source>
        <translation>Buscando módulos (quedan %1 segundos)... %2</translation>
    </message>
    <message>
        <source>Searching modules... timed out after %1 seconds</source>
        <translation>Buscando módulos... tiempo agotado tras %1 segundos</translation>
    </message>
    <message numerus="yes">
        <source>Searching modules... %n device(s) found</source>
        <translation>
            <numerusform>Buscando módulos... %n dispositivo encontrado</numerusform>
            <numerusform>Buscando módulos... %n dispositivos encontrados</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, %n more answered but did not fit the list</source>
        <translation>
            <numerusform>%1, %n dispositivo más respondió pero no cupo en la lista</numerusform>
            <numerusform>%1, %n dispositivos más respondieron pero no cupieron en la lista</numerusform>
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
        <translation>&amp;Nombre</translation>
    </message>
    <message>
        <source>&amp;IP</source>
        <translation>&amp;IP</translation>
    </message>
    <message>
        <source>Device &amp;type</source>
        <translation>&amp;Tipo de dispositivo</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>&amp;Puerto</translation>
    </message>
    <message>
        <source>Sort the list by this column; again to reverse the order</source>
        <translation>Ordenar la lista por esta columna; de nuevo para invertir el orden</translation>
    </message>
    <message>
        <source>Showing %1 of %2 devices</source>
        <translation>Mostrando %1 de %2 dispositivos</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>Abriendo en el navegador...</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port %1)</source>
        <translation>Abrir en el &amp;navegador (puerto %1)</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port %1)</source>
        <translation>Abrir configuración &amp;TCP (puerto %1)</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>Abriendo configuración TCP...</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>¿Seguro que desea restablecer los valores predeterminados?</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>Error al enviar la nueva configuración</translation>
    </message>
    <message>
        <source>Sending default settings...</source>
        <translation>Enviando la configuración predeterminada...</translation>
    </message>
    <message>
        <source>Sending default settings... %1</source>
        <translation>Enviando la configuración predeterminada... %1</translation>
    </message>
    <message>
        <source>Sending default settings... timeout error</source>
        <translation>Enviando la configuración predeterminada... tiempo de espera agotado</translation>
    </message>
    <message>
        <source>Search again</source>
        <translation>Buscar de nuevo</translation>
    </message>
    <message>
        <source>Show and change every setting of the device</source>
        <translation>Mostrar y cambiar todos los ajustes del dispositivo</translation>
    </message>
    <message>
        <source>Open the device&apos;s web page</source>
        <translation>Abrir la página web del dispositivo</translation>
    </message>
    <message>
        <source>Open a terminal on the device&apos;s TCP setup port</source>
        <translation>Abrir un terminal en el puerto de configuración TCP del dispositivo</translation>
    </message>
    <message>
        <source>Save the device&apos;s configuration to a file</source>
        <translation>Guardar la configuración del dispositivo en un archivo</translation>
    </message>
    <message>
        <source>Send a configuration file to the device</source>
        <translation>Enviar un archivo de configuración al dispositivo</translation>
    </message>
    <message>
        <source>Show the settings in which the device and a file differ</source>
        <translation>Mostrar los ajustes en que difieren el dispositivo y un archivo</translation>
    </message>
    <message>
        <source>Restore the device&apos;s default settings</source>
        <translation>Restablecer la configuración predeterminada del dispositivo</translation>
    </message>
    <message>
        <source>%1 logo</source>
        <translation>Logotipo de %1</translation>
    </message>
    <message>
        <source>Web site %1</source>
        <translation>Sitio web %1</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Search directly with this program&apos;s own broadcast on every network of this PC?</source>
        <translation>%1.<byte value="xd"/>
<byte value="xd"/>
¿Buscar directamente con la difusión propia de este programa en todas las redes de este PC?</translation>
    </message>
    <message>
        <source> Check the password.</source>
        <translation> Compruebe la contraseña.</translation>
    </message>
    <message>
        <source>. Settings applied to %1; confirmed by a new search</source>
        <translation>. Configuración aplicada a %1; confirmada por una nueva búsqueda</translation>
    </message>
    <message>
        <source>The device %1 did not answer the search after the setup.</source>
        <translation>El dispositivo %1 no respondió a la búsqueda tras la configuración.</translation>
    </message>
    <message>
        <source>. The device %1 reports the same settings as before; unless they were its defaults already, it did not take the default values.</source>
        <translation>. El dispositivo %1 indica la misma configuración que antes; salvo que ya fueran sus valores predeterminados, no ha aplicado los valores predeterminados.</translation>
    </message>
    <message>
        <source>The device %1 did not take the new settings (%2).</source>
        <translation>El dispositivo %1 no aplicó la nueva configuración (%2).</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>Saving the device list failed: %1</source>
        <translation>Error al guardar la lista de dispositivos: %1</translation>
    </message>
    <message numerus="yes">
        <source>Device list saved to %1 (%n device(s))</source>
        <translation>
            <numerusform>Lista de dispositivos guardada en %1 (%n dispositivo)</numerusform>
            <numerusform>Lista de dispositivos guardada en %1 (%n dispositivos)</numerusform>
        </translation>
    </message>
    <message>
        <source>Uploading configuration...</source>
        <translation>Subiendo la configuración...</translation>
    </message>
    <message>
        <source>Downloading configuration...</source>
        <translation>Descargando la configuración...</translation>
    </message>
    <message>
        <source>Downloading configuration... %1</source>
        <translation>Descargando la configuración... %1</translation>
    </message>
    <message>
        <source>Uploading configuration... %1</source>
        <translation>Subiendo la configuración... %1</translation>
    </message>
    <message>
        <source>Downloading configuration... done</source>
        <translation>Descargando la configuración... hecho</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>No se puede escribir %1</translation>
    </message>
    <message>
        <source>Uploading configuration... Invalid XML file</source>
        <translation>Subiendo la configuración... Archivo XML no válido</translation>
    </message>
    <message>
        <source>Uploading configuration... done</source>
        <translation>Subiendo la configuración... hecho</translation>
    </message>
    <message>
        <source>XML error: %1</source>
        <translation>Error XML: %1</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Actualizando...</translation>
    </message>
    <message>
        <source>%1 did not answer the last search: nothing is sent to it</source>
        <translation>%1 no respondió a la última búsqueda: no se le envía nada</translation>
    </message>
    <message numerus="yes">
        <source>Refreshed at %1: %n device(s) found</source>
        <translation>
            <numerusform>Actualizado a las %1: %n dispositivo encontrado</numerusform>
            <numerusform>Actualizado a las %1: %n dispositivos encontrados</numerusform>
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
        <translation>Nuevo</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Cambiado</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Sin conexión</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>De vuelta</translation>
    </message>
    <message>
        <source>&amp;Refresh automatically</source>
        <translation>Actuali&amp;zar automáticamente</translation>
    </message>
    <message>
        <source>&amp;History…</source>
        <translation>&amp;Historial…</translation>
    </message>
    <message>
        <source>Search again at the interval beside, and mark what changed</source>
        <translation>Volver a buscar con el intervalo indicado al lado y marcar lo que ha cambiado</translation>
    </message>
    <message>
        <source>every </source>
        <translation>cada </translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Refresh interval in seconds</source>
        <translation>Intervalo de actualización en segundos</translation>
    </message>
    <message>
        <source>What appeared, changed and went offline in this run</source>
        <translation>Lo que apareció, cambió o se desconectó en esta sesión</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 not seen since last time</source>
        <translation>%1 nuevos, %2 cambiados, %3 no vistos desde la última vez</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 offline, %4 back</source>
        <translation>%1 nuevos, %2 cambiados, %3 sin conexión, %4 de vuelta</translation>
    </message>
    <message>
        <source>the inventory of earlier runs was not read: %1</source>
        <translation>no se leyó el inventario de sesiones anteriores: %1</translation>
    </message>
    <message>
        <source>the inventory was not saved: %1</source>
        <translation>no se guardó el inventario: %1</translation>
    </message>
    <message>
        <source>Saving the history failed: %1</source>
        <translation>Error al guardar el historial: %1</translation>
    </message>
    <message numerus="yes">
        <source>History saved to %1 (%n event(s))</source>
        <translation>
            <numerusform>Historial guardado en %1 (%n evento)</numerusform>
            <numerusform>Historial guardado en %1 (%n eventos)</numerusform>
        </translation>
    </message>
</context>
</TS>
