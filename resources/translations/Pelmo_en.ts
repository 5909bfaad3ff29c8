<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>FirstPageForTesk</name>
    <message>
        <source>More black</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight black</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight white</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More white</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More green</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight green</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More Blue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight blue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight yellow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More yellow</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>English</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>中文</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The instrument is plugged in, but this user may not open it. Install the udev rule &quot;60-colorimeter.rules&quot; that comes with the program, then plug the instrument in again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
