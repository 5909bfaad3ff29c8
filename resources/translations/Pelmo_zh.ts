<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>FirstPageForTesk</name>
    <message>
        <source>More black</source>
        <translation>偏黑</translation>
    </message>
    <message>
        <source>Slight black</source>
        <translation>略偏黑</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>Slight white</source>
        <translation>略偏白</translation>
    </message>
    <message>
        <source>More white</source>
        <translation>偏白</translation>
    </message>
    <message>
        <source>More green</source>
        <translation>偏绿</translation>
    </message>
    <message>
        <source>Slight green</source>
        <translation>略偏绿</translation>
    </message>
    <message>
        <source>Slight red</source>
        <translation>略偏红</translation>
    </message>
    <message>
        <source>More red</source>
        <translation>偏红</translation>
    </message>
    <message>
        <source>More Blue</source>
        <translation>偏蓝</translation>
    </message>
    <message>
        <source>Slight blue</source>
        <translation>略偏蓝</translation>
    </message>
    <message>
        <source>Slight yellow</source>
        <translation>略偏黄</translation>
    </message>
    <message>
        <source>More yellow</source>
        <translation>偏黄</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>Warn</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The instrument is plugged in, but this user may not open it. Install the udev rule &quot;60-colorimeter.rules&quot; that comes with the program, then plug the instrument in again.</source>
        <translation>仪器已插入，但当前用户无权打开它。请安装程序附带的 udev 规则“60-colorimeter.rules”，然后重新插入仪器。</translation>
    </message>
</context>
</TS>
