<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>Texts</name>
    <message>
        <source>Sound</source>
        <translation>Gut</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message numerus="yes">
        <source>%n patches</source>
        <translation>
            <numerusform>%n Patch</numerusform>
            <numerusform>%n Patches</numerusform>
        </translation>
    </message>
    <message>
        <source>Bank %1 of %2</source>
        <translation>Bank %1</translation>
    </message>
    <message>
        <source>Left unfinished</source>
        <translation type="unfinished">Unfertig</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Tip
Tool tip</source>
        <translation>Tipp</translation>
    </message>
    <message numerus="yes">
        <source>%n programs</source>
        <translation>
            <numerusform>%n Programm</numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Gone from the code</source>
        <translation>Nicht mehr im Code</translation>
    </message>
</context>
</TS>
