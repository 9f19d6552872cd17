<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AboutForm</name>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>AuthForm</name>
    <message>
        <source>Authorization</source>
        <translation>授权</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
</context>
<context>
    <name>ConfirmForm</name>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>是(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>否(&amp;N)</translation>
    </message>
</context>
<context>
    <name>DetailForm</name>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <source>(DHCP)</source>
        <translation>(DHCP)</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>掩码：</translation>
    </message>
    <message>
        <source>Open in WEB Browser</source>
        <translation>在浏览器中打开</translation>
    </message>
    <message>
        <source>Open WEB of device in you default WEB browser</source>
        <translation>在默认浏览器中打开设备网页</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>网关：</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>启用 DHCP</translation>
    </message>
    <message>
        <source>Enable IP access filter</source>
        <translation>启用 IP 访问过滤</translation>
    </message>
    <message>
        <source>IP filter value:</source>
        <translation>IP 过滤值：</translation>
    </message>
    <message>
        <source>IP filter mask:</source>
        <translation>IP 过滤掩码：</translation>
    </message>
    <message>
        <source>MAC:</source>
        <translation>MAC：</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>FW version:</source>
        <translation>固件版本：</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>设备类型：</translation>
    </message>
    <message>
        <source>DHCP:</source>
        <translation>DHCP：</translation>
    </message>
    <message>
        <source>Enable NVT</source>
        <translation>启用 NVT</translation>
    </message>
    <message>
        <source>Enable TCP setup</source>
        <translation>启用 TCP 设置</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>打开(&amp;O)</translation>
    </message>
    <message>
        <source>Open TCP Setup - TCP/IP connection to the port 99</source>
        <translation>打开 TCP 设置 - 到端口 99 的 TCP/IP 连接</translation>
    </message>
    <message>
        <source>Enable TEA authorisation</source>
        <translation>启用 TEA 授权</translation>
    </message>
    <message>
        <source> Default values </source>
        <translation> 默认值 </translation>
    </message>
    <message>
        <source>Load &amp;defaults</source>
        <translation>加载默认值(&amp;D)</translation>
    </message>
    <message>
        <source>Configuration of device restore to default values</source>
        <translation>将设备配置恢复为默认值</translation>
    </message>
    <message>
        <source>Check if new IP address is empty</source>
        <translation>检查新 IP 地址是否空闲</translation>
    </message>
    <message>
        <source>Check if the new IP address is available before write it to the device</source>
        <translation>写入设备前检查新 IP 地址是否可用</translation>
    </message>
    <message>
        <source>&amp;Apply changes</source>
        <translation>应用更改(&amp;A)</translation>
    </message>
    <message>
        <source>Write new configuration to the device</source>
        <translation>将新配置写入设备</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Version:</source>
        <translation>版本：</translation>
    </message>
    <message>
        <source> Your PC network settings </source>
        <translation> 本机网络设置 </translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Netmask:</source>
        <translation>子网掩码：</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>网关：</translation>
    </message>
    <message>
        <source>Show about dialog</source>
        <translation>显示“关于”对话框</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>关于(&amp;A)...</translation>
    </message>
    <message>
        <source>Search for all devices on local network</source>
        <translation>搜索本地网络上的所有设备</translation>
    </message>
    <message>
        <source>  &amp;Find Devices</source>
        <translation>  查找设备(&amp;F)</translation>
    </message>
    <message>
        <source>Device list:</source>
        <translation>设备列表：</translation>
    </message>
    <message>
        <source>Show only the devices whose MAC, name, IP or type contains this text (Ctrl+F; Escape clears it)</source>
        <translation>仅显示 MAC、名称、IP 或类型包含此文本的设备（Ctrl+F；Esc 清除）</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>筛选设备</translation>
    </message>
    <message>
        <source>Filter by MAC, name, IP or type (Ctrl+F)</source>
        <translation>按 MAC、名称、IP 或类型筛选（Ctrl+F）</translation>
    </message>
    <message>
        <source>DoubleClick = show detail settings, RightClick = show menu, open in WEB Browser</source>
        <translation>双击 = 显示详细设置，右键单击 = 显示菜单，在浏览器中打开</translation>
    </message>
    <message>
        <source>&amp;Show detail settings of device...</source>
        <translation>显示设备详细设置(&amp;S)...</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port 80)</source>
        <translation>在浏览器中打开(&amp;W)（端口 80）</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port 99)</source>
        <translation>打开 TCP 设置(&amp;T)（端口 99）</translation>
    </message>
    <message>
        <source>&amp;Download device configuration...</source>
        <translation>下载设备配置(&amp;D)...</translation>
    </message>
    <message>
        <source>&amp;Upload device configuration...</source>
        <translation>上传设备配置(&amp;U)...</translation>
    </message>
    <message>
        <source>&amp;Load default values</source>
        <translation>加载默认值(&amp;L)</translation>
    </message>
</context>
<context>
    <name>TCompareForm</name>
    <message>
        <source>(none)</source>
        <translation>（无）</translation>
    </message>
    <message>
        <source>Show passwords</source>
        <translation>显示密码</translation>
    </message>
    <message>
        <source>Compare with file</source>
        <translation>与文件比较</translation>
    </message>
    <message>
        <source>The device at %1 and %2 have the same settings.</source>
        <translation>位于 %1 的设备与 %2 的设置相同。</translation>
    </message>
    <message numerus="yes">
        <source>%n setting(s) differ between the device at %1 and %2.</source>
        <translation>
            <numerusform>位于 %1 的设备与 %2 之间有 %n 项设置不同。</numerusform>
        </translation>
    </message>
    <message>
        <source>Settings that differ</source>
        <translation>不同的设置</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>This device</source>
        <translation>此设备</translation>
    </message>
    <message>
        <source>The file</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>The device&apos;s configuration cannot be read: %1</source>
        <translation>无法读取设备配置：%1</translation>
    </message>
    <message>
        <source>%1 is larger than any device configuration.</source>
        <translation>%1 比任何设备配置都大。</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1 is no configuration document: %2</source>
        <translation>%1 不是配置文档：%2</translation>
    </message>
</context>
<context>
    <name>TTelnetForm</name>
    <message>
        <source>TCP Setup</source>
        <translation>TCP 设置</translation>
    </message>
    <message>
        <source>Send macro (Alt+1)</source>
        <translation>发送宏（Alt+1）</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Send macro (Alt+2)</source>
        <translation>发送宏（Alt+2）</translation>
    </message>
    <message>
        <source>Send macro (Alt+3)</source>
        <translation>发送宏（Alt+3）</translation>
    </message>
    <message>
        <source>Send macro (Alt+4)</source>
        <translation>发送宏（Alt+4）</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>复制到剪贴板</translation>
    </message>
    <message>
        <source>Send Clipboard As Text (max. 256 chars)</source>
        <translation>以文本发送剪贴板内容（最多 256 个字符）</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Clear Window</source>
        <translation>清空窗口</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message>
        <source>Macro 1</source>
        <translation>宏 1</translation>
    </message>
    <message>
        <source>Macro 2</source>
        <translation>宏 2</translation>
    </message>
    <message>
        <source>Macro 3</source>
        <translation>宏 3</translation>
    </message>
    <message>
        <source>Macro 4</source>
        <translation>宏 4</translation>
    </message>
    <message>
        <source>Device output</source>
        <translation>设备输出</translation>
    </message>
    <message>
        <source>Macro %1</source>
        <translation>宏 %1</translation>
    </message>
    <message>
        <source>Macro %1 is hexadecimal</source>
        <translation>宏 %1 为十六进制</translation>
    </message>
    <message>
        <source>Send macro %1</source>
        <translation>发送宏 %1</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>快捷键 %1</translation>
    </message>
    <message>
        <source>%1 - %2:%3 (Connecting)</source>
        <translation>%1 - %2:%3（正在连接）</translation>
    </message>
    <message>
        <source>Connection error</source>
        <translation>连接错误</translation>
    </message>
</context>
<context>
    <name>kelvo::terminal</name>
    <message>
        <source>Use ASCII directly, to transmit chars &quot;#&quot;,&quot;$&quot; and &quot;&lt;&quot; you have to double them (to transmit &quot;T#B&quot; insert &quot;T##B&quot; e.g.) With checked &quot;HEX&quot; you can insert &quot;48 65 79 20 59 6F 75&quot; or without spaces &quot;48657920596F75&quot; to transmit &quot;Hey You&quot;. You can also send HEXa characters with &quot;$&quot; prefix (&quot;Hey Y$6Fu&quot; e.g.) or DECIMAL numbers with &quot;#&quot; prefix (&quot;Hey Y#111u&quot; e.g.) Special ASCII sequences you can send as &lt;LF&gt;, &lt;NUL&gt;, &lt;Xon&gt;, and that&apos;s continue...</source>
        <translation>直接使用 ASCII；要发送字符 &quot;#&quot;、&quot;$&quot; 和 &quot;&lt;&quot;，需将其双写（例如输入 &quot;T##B&quot; 发送 &quot;T#B&quot;）。勾选 &quot;HEX&quot; 后，可输入 &quot;48 65 79 20 59 6F 75&quot; 或不带空格的 &quot;48657920596F75&quot; 来发送 &quot;Hey You&quot;。也可以用前缀 &quot;$&quot; 发送十六进制字符（例如 &quot;Hey Y$6Fu&quot;），或用前缀 &quot;#&quot; 发送十进制数（例如 &quot;Hey Y#111u&quot;）。特殊 ASCII 序列可以写作 &lt;LF&gt;、&lt;NUL&gt;、&lt;Xon&gt; 等。</translation>
    </message>
    <message>
        <source>Add sending string. You may add any ASCII character by using #xxx, $xx or &lt;ASCII name&gt; format. You must use ##, $$ and &lt;&lt;. Hexadecimal data is in format  XXYYZZ .. or XX YY ZZ ...</source>
        <translation>输入要发送的字符串。可使用 #xxx、$xx 或 &lt;ASCII 名称&gt; 格式添加任意 ASCII 字符。字符本身需写作 ##、$$ 和 &lt;&lt;。十六进制数据格式为 XXYYZZ ... 或 XX YY ZZ ...</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Decimal number %1 not valid value ASCII char!</source>
        <translation>十进制数 %1 不是有效的 ASCII 字符！</translation>
    </message>
    <message>
        <source>ASCII name &lt;%1&gt; not exists!</source>
        <translation>ASCII 名称 &lt;%1&gt; 不存在！</translation>
    </message>
    <message>
        <source>The macro gives more than %1 bytes and was not sent.</source>
        <translation>该宏超过 %1 字节，未发送。</translation>
    </message>
    <message>
        <source>Hexadecimal data format error</source>
        <translation>十六进制数据格式错误</translation>
    </message>
    <message>
        <source>Macro string format error</source>
        <translation>宏字符串格式错误</translation>
    </message>
</context>
<context>
    <name>kelvo::ui</name>
    <message>
        <source>Copyright (c) 2024-2026 %1, built %2</source>
        <translation>Copyright (c) 2024-2026 %1，构建于 %2</translation>
    </message>
    <message>
        <source>, gateway %1</source>
        <translation>，网关 %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid port number</source>
        <translation>“%1”不是有效的端口号</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>“%1”不是有效的整数</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>IP 地址</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>掩码</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>IP filter value</source>
        <translation>IP 过滤值</translation>
    </message>
    <message>
        <source>IP filter mask</source>
        <translation>IP 过滤掩码</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not an address like 192.168.1.10</source>
        <translation>%1：“%2”不是类似 192.168.1.10 的地址</translation>
    </message>
    <message>
        <source>IP address %1 is out of your local network range %2 !<byte value="xd"/>
<byte value="xd"/>
Please, choose &apos;No&apos; and check address of your device or click on &apos;Yes&apos; to continue.<byte value="xd"/>
<byte value="xd"/>
Do you want to continue?</source>
        <translation>IP 地址 %1 超出本地网络范围 %2！<byte value="xd"/>
<byte value="xd"/>
请选择“否”并检查设备地址，或单击“是”继续。<byte value="xd"/>
<byte value="xd"/>
是否继续？</translation>
    </message>
    <message>
        <source>mask</source>
        <translation>掩码</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>IP access filter</source>
        <translation>IP 访问过滤</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>TCP setup</source>
        <translation>TCP 设置</translation>
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
        <translation>无法打开网页浏览器。设备地址为：
%1</translation>
    </message>
    <message>
        <source>Unexpected error</source>
        <translation>意外错误</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Nothing was sent.</source>
        <translation>%1。<byte value="xd"/>
<byte value="xd"/>
未发送任何内容。</translation>
    </message>
    <message>
        <source>This device was found by this program&apos;s own search, which takes answers from anyone on this PC or network, so no password is sent to it.<byte value="xd"/>
<byte value="xd"/>
Start kelvo-relay and search again.</source>
        <translation>此设备是由本程序自己的搜索找到的，该搜索接受本机或网络上任何人的应答，因此不会向其发送密码。<byte value="xd"/>
<byte value="xd"/>
请启动 kelvo-relay 后重新搜索。</translation>
    </message>
    <message>
        <source>XML Files (*.xml);;All Files (*.*)</source>
        <translation>XML 文件 (*.xml);;所有文件 (*.*)</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Save device list</source>
        <translation>保存设备列表</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;JSON files (*.json)</source>
        <translation>CSV 文件 (*.csv);;JSON 文件 (*.json)</translation>
    </message>
    <message>
        <source>nothing there answers as kelvo-relay</source>
        <translation>该处没有以 kelvo-relay 身份应答的程序</translation>
    </message>
    <message>
        <source>nothing listens there</source>
        <translation>该处没有程序在监听</translation>
    </message>
    <message>
        <source>not an IPv4 address and port</source>
        <translation>不是 IPv4 地址和端口</translation>
    </message>
    <message>
        <source>start the service kelvo-relay (Services, &quot;Kelvo relay&quot;; or as administrator: sc start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)</source>
        <translation>请启动 kelvo-relay 服务（“服务”中的“Kelvo relay”；或以管理员身份运行：sc start kelvo-relay；如未安装，请在终端中运行 kelvo-relay.exe）</translation>
    </message>
    <message>
        <source>start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run kelvo-relay in a terminal)</source>
        <translation>请启动 kelvo-relay（systemctl start kelvo-relay；在未运行 systemd 的系统上，请在终端中运行 kelvo-relay）</translation>
    </message>
    <message>
        <source>No relay at %1: %2; %3</source>
        <translation>%1 处没有中继：%2；%3</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1, which says: %2</source>
        <translation>没有设备通过 %1 处的中继应答，中继报告：%2</translation>
    </message>
    <message>
        <source>no device answered through the relay at %1 (its log names the interfaces it searched); a firewall blocking UDP from the devices is the usual cause</source>
        <translation>没有设备通过 %1 处的中继应答（其日志列出了所搜索的网络接口）；通常是防火墙阻止了来自设备的 UDP</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TAboutForm</name>
    <message>
        <source>%1 icon</source>
        <translation>%1 图标</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TConfirmForm</name>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>问题</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TDetailForm</name>
    <message>
        <source>Ready</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>IP address set by DHCP</source>
        <translation>由 DHCP 设置的 IP 地址</translation>
    </message>
    <message>
        <source>Mask set by DHCP</source>
        <translation>由 DHCP 设置的掩码</translation>
    </message>
    <message>
        <source>Gateway set by DHCP</source>
        <translation>由 DHCP 设置的网关</translation>
    </message>
    <message>
        <source>Details - %1</source>
        <translation>详细信息 - %1</translation>
    </message>
    <message>
        <source>Details - %1 (%2)</source>
        <translation>详细信息 - %1 (%2)</translation>
    </message>
    <message>
        <source>Supported</source>
        <translation>支持</translation>
    </message>
    <message>
        <source>Not supported</source>
        <translation>不支持</translation>
    </message>
    <message>
        <source>%1
Port: a whole number from 0 to 65535</source>
        <translation>%1
端口：0 到 65535 之间的整数</translation>
    </message>
    <message>
        <source>Port 99 is reserved for UDP Setup and its usage is not strictly recommended!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict port?</source>
        <translation>端口 99 保留给 UDP 设置使用，强烈不建议使用！<byte value="xd"/>
<byte value="xd"/>
确定要使用此冲突端口吗？</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?
%1</source>
        <translation>部分网络参数不正确。
%1</translation>
    </message>
    <message>
        <source>Some of network parameters is not correct?<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>部分网络参数不正确。<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Testing destination address...</source>
        <translation>正在测试目标地址...</translation>
    </message>
    <message>
        <source>IP address is already assigned to other equipement!<byte value="xd"/>
<byte value="xd"/>
Are you sure to use this conflict IP address?</source>
        <translation>该 IP 地址已分配给其他设备！<byte value="xd"/>
<byte value="xd"/>
确定要使用此冲突的 IP 地址吗？</translation>
    </message>
    <message>
        <source>Sending new settings...</source>
        <translation>正在发送新设置...</translation>
    </message>
    <message>
        <source>Testing ping failed. Sending new settings...</source>
        <translation>Ping 测试失败。正在发送新设置...</translation>
    </message>
    <message>
        <source>Waiting for user name and password...</source>
        <translation>正在等待用户名和密码...</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>发送新设置失败</translation>
    </message>
    <message>
        <source>Sending new settings... %1</source>
        <translation>正在发送新设置... %1</translation>
    </message>
    <message>
        <source>Sending new settings... timeout error</source>
        <translation>正在发送新设置... 超时错误</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>确定要设置为默认值吗？</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>正在浏览器中打开...</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>正在打开 TCP 设置...</translation>
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
        <translation>名称</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Device type</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>Click, or press Ctrl+%1, to sort by this column; again to reverse</source>
        <translation>单击或按 Ctrl+%1 按此列排序；再次操作则反向排序</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>已更改</translation>
    </message>
    <message>
        <source>Offline, last seen %1</source>
        <translation>离线，最后一次出现于 %1</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::THistoryForm</name>
    <message>
        <source>&amp;Save history...</source>
        <translation>保存历史记录(&amp;S)...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>History</source>
        <translation>历史记录</translation>
    </message>
    <message>
        <source>&amp;Events of this run, newest first:</source>
        <translation>本次运行的事件，最新的在前(&amp;E)：</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>详细信息</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TMainForm</name>
    <message>
        <source>The network of this PC that the address checks use</source>
        <translation>地址检查所使用的本机网络</translation>
    </message>
    <message>
        <source>&amp;Adapter:</source>
        <translation>网卡(&amp;A)：</translation>
    </message>
    <message>
        <source>Save device list...</source>
        <translation>保存设备列表...</translation>
    </message>
    <message>
        <source>Sort &amp;by</source>
        <translation>排序方式(&amp;B)</translation>
    </message>
    <message>
        <source>Filter devices</source>
        <translation>筛选设备</translation>
    </message>
    <message>
        <source>Compare with file…</source>
        <translation>与文件比较…</translation>
    </message>
    <message>
        <source>Loading application...</source>
        <translation>正在加载应用程序...</translation>
    </message>
    <message>
        <source>Config utility for the Marvane devices</source>
        <translation>Marvane 设备配置工具</translation>
    </message>
    <message>
        <source>Config utility for the original Marvane devices.</source>
        <translation>适用于原装 Marvane 设备的配置工具。</translation>
    </message>
    <message>
        <source>Mvx-Config %1 for Marvane products (%2)</source>
        <translation>Mvx-Config %1，适用于 Marvane 产品（%2）</translation>
    </message>
    <message>
        <source>Searching modules... -</source>
        <translation>正在搜索模块... -</translation>
    </message>
    <message>
        <source>Searching modules... error</source>
        <translation>正在搜索模块... 错误</translation>
    </message>
    <message>
        <source>Searching modules (remains %1 seconds)... %2</source>
        <translation>正在搜索模块（剩余 %1 秒）... %2</translation>
    </message>
    <message>
        <source>Searching modules... timed out after %1 seconds</source>
        <translation>正在搜索模块... %1 秒后超时</translation>
    </message>
    <message numerus="yes">
        <source>Searching modules... %n device(s) found</source>
        <translation>
            <numerusform>正在搜索模块... 找到 %n 个设备</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, %n more answered but did not fit the list</source>
        <translation>
            <numerusform>%1，另有 %n 个设备应答但列表已满</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>&amp;MAC</source>
        <translation>MAC(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Name</source>
        <translation>名称(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;IP</source>
        <translation>IP(&amp;I)</translation>
    </message>
    <message>
        <source>Device &amp;type</source>
        <translation>设备类型(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>端口(&amp;P)</translation>
    </message>
    <message>
        <source>Sort the list by this column; again to reverse the order</source>
        <translation>按此列对列表排序；再次操作则反向排序</translation>
    </message>
    <message>
        <source>Showing %1 of %2 devices</source>
        <translation>显示 %1 / %2 个设备</translation>
    </message>
    <message>
        <source>Openning in WEB Browser...</source>
        <translation>正在浏览器中打开...</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>Open in &amp;WEB Browser (port %1)</source>
        <translation>在浏览器中打开(&amp;W)（端口 %1）</translation>
    </message>
    <message>
        <source>Open &amp;TCP Setup (port %1)</source>
        <translation>打开 TCP 设置(&amp;T)（端口 %1）</translation>
    </message>
    <message>
        <source>Openning TCP Setup...</source>
        <translation>正在打开 TCP 设置...</translation>
    </message>
    <message>
        <source>Are you sure to set default values?</source>
        <translation>确定要设置为默认值吗？</translation>
    </message>
    <message>
        <source>Sending new setting failed</source>
        <translation>发送新设置失败</translation>
    </message>
    <message>
        <source>Sending default settings...</source>
        <translation>正在发送默认设置...</translation>
    </message>
    <message>
        <source>Sending default settings... %1</source>
        <translation>正在发送默认设置... %1</translation>
    </message>
    <message>
        <source>Sending default settings... timeout error</source>
        <translation>正在发送默认设置... 超时错误</translation>
    </message>
    <message>
        <source>Search again</source>
        <translation>重新搜索</translation>
    </message>
    <message>
        <source>Show and change every setting of the device</source>
        <translation>显示并更改设备的所有设置</translation>
    </message>
    <message>
        <source>Open the device&apos;s web page</source>
        <translation>打开设备的网页</translation>
    </message>
    <message>
        <source>Open a terminal on the device&apos;s TCP setup port</source>
        <translation>在设备的 TCP 设置端口上打开终端</translation>
    </message>
    <message>
        <source>Save the device&apos;s configuration to a file</source>
        <translation>将设备配置保存到文件</translation>
    </message>
    <message>
        <source>Send a configuration file to the device</source>
        <translation>将配置文件发送到设备</translation>
    </message>
    <message>
        <source>Show the settings in which the device and a file differ</source>
        <translation>显示设备与文件之间不同的设置</translation>
    </message>
    <message>
        <source>Restore the device&apos;s default settings</source>
        <translation>恢复设备的默认设置</translation>
    </message>
    <message>
        <source>%1 logo</source>
        <translation>%1 标志</translation>
    </message>
    <message>
        <source>Web site %1</source>
        <translation>网站 %1</translation>
    </message>
    <message>
        <source>%1.<byte value="xd"/>
<byte value="xd"/>
Search directly with this program&apos;s own broadcast on every network of this PC?</source>
        <translation>%1。<byte value="xd"/>
<byte value="xd"/>
是否直接使用本程序自己的广播在本机的每个网络上搜索？</translation>
    </message>
    <message>
        <source> Check the password.</source>
        <translation>请检查密码。</translation>
    </message>
    <message>
        <source>. Settings applied to %1; confirmed by a new search</source>
        <translation>。已将设置应用到 %1；新的搜索已确认</translation>
    </message>
    <message>
        <source>The device %1 did not answer the search after the setup.</source>
        <translation>设置后，设备 %1 未应答搜索。</translation>
    </message>
    <message>
        <source>. The device %1 reports the same settings as before; unless they were its defaults already, it did not take the default values.</source>
        <translation>。设备 %1 报告的设置与之前相同；除非这些已是其默认值，否则它未采用默认值。</translation>
    </message>
    <message>
        <source>The device %1 did not take the new settings (%2).</source>
        <translation>设备 %1 未采用新设置（%2）。</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>Saving the device list failed: %1</source>
        <translation>保存设备列表失败：%1</translation>
    </message>
    <message numerus="yes">
        <source>Device list saved to %1 (%n device(s))</source>
        <translation>
            <numerusform>设备列表已保存到 %1（%n 个设备）</numerusform>
        </translation>
    </message>
    <message>
        <source>Uploading configuration...</source>
        <translation>正在上传配置...</translation>
    </message>
    <message>
        <source>Downloading configuration...</source>
        <translation>正在下载配置...</translation>
    </message>
    <message>
        <source>Downloading configuration... %1</source>
        <translation>正在下载配置... %1</translation>
    </message>
    <message>
        <source>Uploading configuration... %1</source>
        <translation>正在上传配置... %1</translation>
    </message>
    <message>
        <source>Downloading configuration... done</source>
        <translation>正在下载配置... 完成</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>Uploading configuration... Invalid XML file</source>
        <translation>正在上传配置... 无效的 XML 文件</translation>
    </message>
    <message>
        <source>Uploading configuration... done</source>
        <translation>正在上传配置... 完成</translation>
    </message>
    <message>
        <source>XML error: %1</source>
        <translation>XML 错误：%1</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>正在刷新...</translation>
    </message>
    <message>
        <source>%1 did not answer the last search: nothing is sent to it</source>
        <translation>%1 未应答上次搜索：不会向其发送任何内容</translation>
    </message>
    <message numerus="yes">
        <source>Refreshed at %1: %n device(s) found</source>
        <translation>
            <numerusform>已于 %1 刷新：找到 %n 个设备</numerusform>
        </translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1；%2</translation>
    </message>
</context>
<context>
    <name>kelvo::ui::TWatching</name>
    <message>
        <source>New</source>
        <translation>新</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>已更改</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>恢复</translation>
    </message>
    <message>
        <source>&amp;Refresh automatically</source>
        <translation>自动刷新(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;History…</source>
        <translation>历史记录(&amp;H)…</translation>
    </message>
    <message>
        <source>Search again at the interval beside, and mark what changed</source>
        <translation>按旁边的间隔重新搜索，并标记发生的变化</translation>
    </message>
    <message>
        <source>every </source>
        <translation>每 </translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>Refresh interval in seconds</source>
        <translation>刷新间隔（秒）</translation>
    </message>
    <message>
        <source>What appeared, changed and went offline in this run</source>
        <translation>本次运行中出现、更改和离线的设备</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 not seen since last time</source>
        <translation>%1 个新设备，%2 个已更改，%3 个自上次以来未见</translation>
    </message>
    <message>
        <source>%1 new, %2 changed, %3 offline, %4 back</source>
        <translation>%1 个新设备，%2 个已更改，%3 个离线，%4 个恢复</translation>
    </message>
    <message>
        <source>the inventory of earlier runs was not read: %1</source>
        <translation>未读取之前运行的设备清单：%1</translation>
    </message>
    <message>
        <source>the inventory was not saved: %1</source>
        <translation>设备清单未保存：%1</translation>
    </message>
    <message>
        <source>Saving the history failed: %1</source>
        <translation>保存历史记录失败：%1</translation>
    </message>
    <message numerus="yes">
        <source>History saved to %1 (%n event(s))</source>
        <translation>
            <numerusform>历史记录已保存到 %1（%n 个事件）</numerusform>
        </translation>
    </message>
</context>
</TS>
