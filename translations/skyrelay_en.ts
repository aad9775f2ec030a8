<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>App</name>
    <message>
        <source>Aufruf: skyrelay-update [Optionen]

Das Update-Programm mit Fenster: Update-Datei wählen (Datei → Update-Datei),
Interface und Port einstellen (Datei → Einstellungen) und &quot;Update&quot; klicken.

Optionen:
  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)
  --language de|en    Sprache der Texte (Vorgabe: die im Menü gewählte, sonst nach
                      LC_ALL, LC_MESSAGES, LANG)
  --screenshot FILE   Bild des Hauptfensters als PNG speichern und beenden
  --screenshot-settings FILE
                      dazu ein Bild des Einstellungsdialogs
  --help, --version

Dazu die Optionen von Qt, z. B. -platform offscreen.
</source>
        <translation>Usage: skyrelay-update [options]

The update program with a window: choose the update file (File → Update file),
set the interface and port (File → Settings) and click &quot;Update&quot;.

Options:
  --settings FILE     settings file (default: next to the program or ~/.config)
  --language de|en    language of the texts (default: the one chosen in the menu,
                      else from LC_ALL, LC_MESSAGES, LANG)
  --screenshot FILE   save a picture of the main window as PNG and quit
  --screenshot-settings FILE
                      and a picture of the settings dialog
  --help, --version

Also Qt&apos;s options, e.g. -platform offscreen.
</translation>
    </message>
    <message>
        <source>unbekanntes Argument %1</source>
        <translation>unknown argument %1</translation>
    </message>
    <message>
        <source>--language nimmt de oder en</source>
        <translation>--language takes de or en</translation>
    </message>
    <message>
        <source>Bild kann nicht geschrieben werden</source>
        <translation>cannot write the picture</translation>
    </message>
    <message>
        <source>Achtung!</source>
        <translation>Attention!</translation>
    </message>
    <message>
        <source>Die Zentrale jetzt aus dem Update-Mode nehmen?</source>
        <translation>Take the command station out of update mode now?</translation>
    </message>
    <message>
        <source>Unterbrochener Lauf</source>
        <translation>Interrupted run</translation>
    </message>
    <message>
        <source>Die Zentrale ist aus dem Update-Mode genommen.</source>
        <translation>The command station is out of update mode.</translation>
    </message>
    <message>
        <source>Zentrale freigegeben</source>
        <translation>Command station released</translation>
    </message>
    <message>
        <source>Fehler!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Die Zentrale hat die Freigabe nicht bestätigt!</source>
        <translation>The command station did not confirm its release!</translation>
    </message>
</context>
<context>
    <name>Backup</name>
    <message>
        <source>Weichenzuordnung</source>
        <translation>Turnout assignment</translation>
    </message>
    <message>
        <source>Weichensymbole</source>
        <translation>Turnout symbols</translation>
    </message>
    <message>
        <source>Zeichen</source>
        <translation>Characters</translation>
    </message>
    <message>
        <source>Sprachtexte</source>
        <translation>Language texts</translation>
    </message>
    <message>
        <source>Einstellungen</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Weichenliste</source>
        <translation>Turnout list</translation>
    </message>
    <message>
        <source>Die Datei kann nicht geschrieben werden.</source>
        <translation>Cannot write the file.</translation>
    </message>
    <message>
        <source>Der Handregler antwortet nicht.</source>
        <translation>The handheld does not answer.</translation>
    </message>
    <message>
        <source>Die Datei kann nicht gelesen werden.</source>
        <translation>Cannot read the file.</translation>
    </message>
    <message>
        <source>Keine Sicherung im Intel-HEX-Format (%1).</source>
        <translation>Not a backup in Intel HEX format (%1).</translation>
    </message>
    <message>
        <source>Die Sicherung enthält keine Daten.</source>
        <translation>The backup holds no data.</translation>
    </message>
    <message>
        <source>%1: %2 bis %3 (%4 Bytes)</source>
        <translation>%1: %2 to %3 (%4 bytes)</translation>
    </message>
    <message>
        <source>Sicherung unbekannter Herkunft</source>
        <translation>Backup of unknown origin</translation>
    </message>
    <message>
        <source>Sicherung von Handregler %1 (Version %2) vom %3 %4</source>
        <translation>Backup of handheld %1 (version %2) from %3 %4</translation>
    </message>
    <message>
        <source>Angeschlossen: Handregler %1, Version %2</source>
        <translation>Connected: handheld %1, version %2</translation>
    </message>
</context>
<context>
    <name>Cause</name>
    <message>
        <source>Es wurde nichts in den Handregler geschrieben.</source>
        <translation>Nothing was written to the handheld.</translation>
    </message>
    <message>
        <source>Bitte das Update wiederholen, damit der Handregler vollständig beschrieben ist.</source>
        <translation>Please repeat the update so that the handheld gets everything.</translation>
    </message>
    <message>
        <source>Den Port %1 gibt es nicht, und es wurde kein serieller Port gefunden – ist das Interface eingesteckt?</source>
        <translation>There is no port %1, and no serial port was found – is the interface plugged in?</translation>
    </message>
    <message>
        <source>Den Port %1 gibt es nicht – vorhandene Ports: %2.</source>
        <translation>There is no port %1 – ports found: %2.</translation>
    </message>
    <message>
        <source>Kein Zugriff auf %1 – der Benutzer muss zur Gruppe „dialout“ gehören (danach neu anmelden).</source>
        <translation>No access to %1 – the user must be in the group &quot;dialout&quot; (then log in again).</translation>
    </message>
    <message>
        <source>Den Port %1 benutzt ein anderes Programm – bitte dieses beenden.</source>
        <translation>Another program is using the port %1 – please close it.</translation>
    </message>
    <message>
        <source>Der Port %1 ließ sich nicht öffnen – bitte Interface und Port in den Einstellungen prüfen.</source>
        <translation>The port %1 could not be opened – please check the interface and port in the settings.</translation>
    </message>
    <message>
        <source>Interface und Port müssen gewählt sein.</source>
        <translation>Choose an interface and a port.</translation>
    </message>
    <message>
        <source>Die Datei %1 fehlt – ist das Update-Paket vollständig ausgepackt?</source>
        <translation>The file %1 is missing – is the update package completely unpacked?</translation>
    </message>
    <message>
        <source>Das Update-Paket ist fehlerhaft – bitte ein vollständiges, unverändertes Paket verwenden.</source>
        <translation>The update package is damaged – please use a complete, unchanged package.</translation>
    </message>
    <message>
        <source>Das Interface gibt keine Nachricht zurück – ist es am LocoNet angeschlossen, und passt die Interface-Einstellung?</source>
        <translation>The interface sends no message back – is it connected to LocoNet, and is the interface setting right?</translation>
    </message>
    <message>
        <source>Die Verbindung zum Interface ist abgerissen – bitte Kabel und Stecker prüfen und das Update wiederholen.</source>
        <translation>The connection to the interface was lost – please check the cables and plugs and repeat the update.</translation>
    </message>
    <message>
        <source>Die Zentrale antwortet nicht – ist sie eingeschaltet und am LocoNet?</source>
        <translation>The command station does not answer – is it switched on and connected to LocoNet?</translation>
    </message>
    <message>
        <source>Kein Handregler antwortet – ist er am LocoNet eingesteckt?</source>
        <translation>No handheld answers – is it plugged into LocoNet?</translation>
    </message>
    <message>
        <source>Der Handregler wurde nicht erkannt – mit diesem Paket lässt er sich nicht aktualisieren.</source>
        <translation>The handheld was not recognised – this package cannot update it.</translation>
    </message>
    <message>
        <source>Das Paket enthält keine Firmware für diesen Handregler (%1) – bitte das passende Update-Paket wählen.</source>
        <translation>The package has no firmware for this handheld (%1) – please choose the matching update package.</translation>
    </message>
    <message>
        <source>Einen nicht erkannten Handregler aktualisiert --yes allein nicht; --force versucht es trotzdem.</source>
        <translation>--yes alone does not update a handheld that was not recognised; --force tries anyway.</translation>
    </message>
    <message>
        <source>Eine schon installierte oder ältere Version lädt --yes allein nicht; --force lädt sie trotzdem.</source>
        <translation>--yes alone does not load the installed version or an older one; --force loads it anyway.</translation>
    </message>
    <message>
        <source>Der Handregler antwortet nicht mehr – ist er noch eingesteckt? Er arbeitet weiter mit seiner bisherigen Firmware; bitte das Update wiederholen.</source>
        <translation>The handheld stopped answering – is it still plugged in? It keeps running its old firmware; please repeat the update.</translation>
    </message>
    <message>
        <source>Der Handregler antwortet nicht mehr – ist er noch eingesteckt? Bitte das Update wiederholen.</source>
        <translation>The handheld stopped answering – is it still plugged in? Please repeat the update.</translation>
    </message>
    <message>
        <source>Der Flash-Speicher des Handreglers nimmt eine Seite nicht an – er arbeitet weiter mit seiner bisherigen Firmware; bitte das Update wiederholen.</source>
        <translation>The handheld&apos;s flash memory does not take a page – it keeps running its old firmware; please repeat the update.</translation>
    </message>
    <message>
        <source>Der Handregler hat sich nach der Installation nicht wie erwartet gemeldet – bitte ihn kurz ausstecken, wieder einstecken und die Version prüfen.</source>
        <translation>The handheld did not come back as expected after the installation – please unplug it briefly, plug it in again and check its version.</translation>
    </message>
    <message>
        <source>Die Sicherung ließ sich nicht aus dem Handregler lesen – die Konfiguration wurde nicht geschrieben; bitte das Update wiederholen.</source>
        <translation>The backup could not be read from the handheld – the configuration was not written; please repeat the update.</translation>
    </message>
    <message>
        <source>Die Sicherung ließ sich nicht speichern – die Konfiguration wurde nicht geschrieben; bitte den Ordner prüfen (oder ohne Sicherung: --no-backup).</source>
        <translation>The backup could not be saved – the configuration was not written; please check the folder (or go without a backup: --no-backup).</translation>
    </message>
    <message>
        <source>Die Konfiguration wurde nicht vollständig geschrieben – bitte das Update wiederholen.</source>
        <translation>The configuration was not written completely – please repeat the update.</translation>
    </message>
    <message>
        <source>Die Zentrale hat die Freigabe nicht bestätigt – bitte die Zentrale aus- und wieder einschalten.</source>
        <translation>The command station did not confirm its release – please switch it off and on again.</translation>
    </message>
    <message>
        <source>Bitte das Update wiederholen.</source>
        <translation>Please repeat the update.</translation>
    </message>
</context>
<context>
    <name>Check</name>
    <message>
        <source>Zeilenende nur mit CR (ohne LF): die folgenden Zeilen werden mit dieser zu einer Zeile</source>
        <translation>line end with CR only (no LF): the following lines become one line with this one</translation>
    </message>
    <message>
        <source>gemischte Kodierung: UTF-8 („%1“) und Windows-1252 in einer Datei; die ganze Datei wird als Windows-1252 gelesen, „%1“ wird zu „%2“</source>
        <translation>mixed encoding: UTF-8 (&quot;%1&quot;) and Windows-1252 in one file; the whole file is read as Windows-1252, &quot;%1&quot; becomes &quot;%2&quot;</translation>
    </message>
    <message>
        <source>kaputte Kodierung: das Byte %1 ist weder in UTF-8 noch in Windows-1252 ein Zeichen, es wird zu „%2“</source>
        <translation>broken encoding: the byte %1 is a character neither in UTF-8 nor in Windows-1252, it becomes &quot;%2&quot;</translation>
    </message>
    <message>
        <source>hier steht ein Byte, das kein UTF-8 ist (Windows-1252)</source>
        <translation>here is a byte that is not UTF-8 (Windows-1252)</translation>
    </message>
    <message>
        <source>falsches Format (drittes Zeichen ist kein &apos;:&apos;)</source>
        <translation>wrong format (third character is not &apos;:&apos;)</translation>
    </message>
    <message>
        <source>Die Update-Datei kann nicht geöffnet werden</source>
        <translation>Cannot open the update file</translation>
    </message>
    <message>
        <source>Keine Update-Datei: %1</source>
        <translation>No update file: %1</translation>
    </message>
    <message>
        <source>unbekannter Schlüssel %1, die Zeile wird nicht gelesen</source>
        <translation>unknown key %1, the line is not read</translation>
    </message>
    <message>
        <source>unbekannter Schlüssel %1 – meinten Sie %2?</source>
        <translation>unknown key %1 – did you mean %2?</translation>
    </message>
    <message>
        <source>Falsche Version! Die Datei trägt Version %1, angekündigt ist %2</source>
        <translation>Wrong version! The file has version %1, announced is %2</translation>
    </message>
    <message>
        <source>keine (%1 fehlt, zählt als 0)</source>
        <translation>none (%1 is missing, counts as 0)</translation>
    </message>
    <message>
        <source>Datei zu kurz: nur %1 von %2 Blöcken vollständig</source>
        <translation>file too short: only %1 of %2 blocks complete</translation>
    </message>
    <message>
        <source>falsche Blocknummer %1 (erwartet %2)</source>
        <translation>wrong block number %1 (expected %2)</translation>
    </message>
    <message>
        <source>%1, die Übertragung der Datei endet hier</source>
        <translation>%1, the transfer of the file ends here</translation>
    </message>
    <message>
        <source>Steuerzeichen %1</source>
        <translation>control character %1</translation>
    </message>
    <message>
        <source>Zeichen %1 gibt es im Display nicht, es wird zum Leerzeichen: „%2“</source>
        <translation>character %1 is not on the display, it becomes a blank: &quot;%2&quot;</translation>
    </message>
    <message>
        <source>Zeichen %1 gibt es im Display nicht, sie werden zum Leerzeichen: „%2“</source>
        <translation>characters %1 are not on the display, they become blanks: &quot;%2&quot;</translation>
    </message>
    <message>
        <source>Text hat %1 Zeichen, das Display zeigt nur die ersten %2: „%3“</source>
        <translation>text has %1 characters, the display shows only the first %2: &quot;%3&quot;</translation>
    </message>
    <message>
        <source>enthält Werte über 255 (erste an Position %1)</source>
        <translation>has values over 255 (first at position %1)</translation>
    </message>
    <message>
        <source>Warnung: </source>
        <translation>Warning: </translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>unerwarteter Fehler: %1</source>
        <translation>unexpected error: %1</translation>
    </message>
    <message>
        <source>Abgebrochen.</source>
        <translation>Cancelled.</translation>
    </message>
    <message>
        <source>%1 (siehe skyrelay-update-cli --help)</source>
        <translation>%1 (see skyrelay-update-cli --help)</translation>
    </message>
    <message>
        <source>--interface nimmt 1, 2 oder 3</source>
        <translation>--interface takes 1, 2 or 3</translation>
    </message>
    <message>
        <source>--language nimmt de oder en</source>
        <translation>--language takes de or en</translation>
    </message>
    <message>
        <source>%1 braucht einen Wert</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>unbekannte Option %1</source>
        <translation>unknown option %1</translation>
    </message>
    <message>
        <source>%1 und --no schließen einander aus</source>
        <translation>%1 and --no cannot be used together</translation>
    </message>
    <message>
        <source>kein Befehl angegeben</source>
        <translation>no command given</translation>
    </message>
    <message>
        <source>unbekannter Befehl %1</source>
        <translation>unknown command %1</translation>
    </message>
    <message>
        <source>check braucht DATEI.TUP</source>
        <translation>check needs FILE.TUP</translation>
    </message>
    <message>
        <source>%1 braucht DATEI.hex</source>
        <translation>%1 needs FILE.hex</translation>
    </message>
    <message>
        <source>überzähliges Argument %1 für %2</source>
        <translation>extra argument %1 for %2</translation>
    </message>
    <message>
        <source>--no-wait gilt nur für ping</source>
        <translation>--no-wait is only for ping</translation>
    </message>
    <message>
        <source>--all gilt nur für backup</source>
        <translation>--all is only for backup</translation>
    </message>
    <message>
        <source>--no-backup gilt nur für update</source>
        <translation>--no-backup is only for update</translation>
    </message>
    <message>
        <source>Bitte --interface 1 oder 3 und --port angeben (mit --save merken).</source>
        <translation>Please give --interface 1 or 3 and --port (--save remembers them).</translation>
    </message>
    <message>
        <source>Abgebrochen.
</source>
        <translation>Cancelled.
</translation>
    </message>
    <message>
        <source>Die Zentrale ist aus dem Update-Mode genommen.
</source>
        <translation>The command station is out of update mode.
</translation>
    </message>
    <message>
        <source>Die Zentrale hat die Freigabe nicht bestätigt!
</source>
        <translation>The command station did not confirm its release!
</translation>
    </message>
    <message>
        <source>Dauer: %.1f s
</source>
        <translation>Time taken: %.1f s
</translation>
    </message>
    <message>
        <source>Firmware: %d Seiten geschrieben, %d geprüft, %d wiederholt
</source>
        <translation>Firmware: %d pages written, %d checked, %d repeated
</translation>
    </message>
    <message>
        <source>%ld Antwort wiederholt
</source>
        <translation>%ld answer repeated
</translation>
    </message>
    <message>
        <source>%ld Antworten wiederholt
</source>
        <translation>%ld answers repeated
</translation>
    </message>
    <message>
        <source>Die Update-Datei wurde nicht gefunden!</source>
        <translation>The update file was not found!</translation>
    </message>
    <message>
        <source>Fehler!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen.
</source>
        <translation>The update package is not in order; nothing is transferred.
</translation>
    </message>
    <message>
        <source>Freigabe nicht möglich: </source>
        <translation>Cannot release: </translation>
    </message>
    <message>
        <source>Die Zentrale hat die Freigabe nicht bestätigt!
%s
</source>
        <translation>The command station did not confirm its release!
%s
</translation>
    </message>
    <message>
        <source>Freigeben mit: skyrelay-update-cli release
</source>
        <translation>Release it with: skyrelay-update-cli release
</translation>
    </message>
    <message>
        <source>update braucht DATEI.TUP (keine angegeben und keine gemerkt)</source>
        <translation>update needs FILE.TUP (none given and none remembered)</translation>
    </message>
    <message>
        <source>skyrelay-update-cli: ohne Terminal kann niemand die Fragen des Updates beantworten.
Bitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben.
</source>
        <translation>skyrelay-update-cli: without a terminal nobody can answer the update&apos;s questions.
Please give --yes (yes to every question) or --no (no to every question).
</translation>
    </message>
    <message>
        <source>Die Zentrale jetzt aus dem Update-Mode nehmen?</source>
        <translation>Take the command station out of update mode now?</translation>
    </message>
    <message>
        <source>Unterbrochener Lauf</source>
        <translation>Interrupted run</translation>
    </message>
    <message>
        <source>Simulation: %.1f s LocoNet-Zeit, %ld Nachrichten gesendet, %ld empfangen, Busbelegung %.1f s
</source>
        <translation>Simulation: %.1f s LocoNet time, %ld messages sent, %ld received, bus busy %.1f s
</translation>
    </message>
    <message>
        <source>Sicherung: %s (%.1f s)
</source>
        <translation>Backup: %s (%.1f s)
</translation>
    </message>
    <message>
        <source>Keine Sicherung: der Handregler antwortete vor der Konfiguration nicht.
</source>
        <translation>No backup: the handheld did not answer before the configuration.
</translation>
    </message>
    <message>
        <source>Port-Test nicht möglich: </source>
        <translation>Port test not possible: </translation>
    </message>
    <message>
        <source>Port-Test fehlgeschlagen: </source>
        <translation>Port test failed: </translation>
    </message>
    <message>
        <source>Info nicht möglich: </source>
        <translation>Info not possible: </translation>
    </message>
    <message>
        <source>Zentrale: Kennung %lld%s
</source>
        <translation>Command station: identification %lld%s
</translation>
    </message>
    <message>
        <source> (wird für das Update in den Update-Mode gesetzt)</source>
        <translation> (is put into update mode for the update)</translation>
    </message>
    <message>
        <source>Zentrale: keine Kennung gemeldet
</source>
        <translation>Command station: no identification reported
</translation>
    </message>
    <message>
        <source>Handregler: keine Antwort
</source>
        <translation>Handheld: no answer
</translation>
    </message>
    <message>
        <source>Handregler: Artikel %s, %s
</source>
        <translation>Handheld: article %s, %s
</translation>
    </message>
    <message>
        <source>nicht erkannt</source>
        <translation>not recognised</translation>
    </message>
    <message>
        <source>Installierte Firmware: %s
</source>
        <translation>Installed firmware: %s
</translation>
    </message>
    <message>
        <source>Sicherung nicht möglich: </source>
        <translation>Backup not possible: </translation>
    </message>
    <message>
        <source>Sicherung von Handregler %s (Version %s): %s, %zu Bytes, %.1f s
</source>
        <translation>Backup of handheld %s (version %s): %s, %zu bytes, %.1f s
</translation>
    </message>
    <message>
        <source>Sicherung nicht gespeichert: %s: %s
</source>
        <translation>Backup not saved: %s: %s
</translation>
    </message>
    <message>
        <source>Sicherung nicht gelesen: der Handregler antwortet nicht mehr.
</source>
        <translation>Backup not read: the handheld stopped answering.
</translation>
    </message>
    <message>
        <source>Zurückschreiben nicht möglich: </source>
        <translation>Restore not possible: </translation>
    </message>
    <message>
        <source>Nichts zurückgeschrieben.
</source>
        <translation>Nothing restored.
</translation>
    </message>
    <message>
        <source>Zurückschreiben abgebrochen: der Handregler antwortet nicht mehr (%d Seiten geschrieben).
</source>
        <translation>Restore stopped: the handheld stopped answering (%d pages written).
</translation>
    </message>
    <message>
        <source>Seite 0x%06X (%s) wurde falsch zurückgelesen!
</source>
        <translation>Page 0x%06X (%s) read back wrong!
</translation>
    </message>
    <message>
        <source>%d Seiten zurückgeschrieben, %zu davon fehlerhaft.
</source>
        <translation>%d pages restored, %zu of them wrong.
</translation>
    </message>
    <message>
        <source>%s: in Ordnung
</source>
        <translation>%s: in order
</translation>
    </message>
    <message>
        <source>Keine seriellen Ports gefunden.
</source>
        <translation>No serial ports found.
</translation>
    </message>
    <message>
        <source>(keine Angaben)</source>
        <translation>(no details)</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Schwerer Fehler</source>
        <translation>Serious error</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Meldung</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Warte auf den Neustart [%1]</source>
        <translation>Waiting for the restart [%1]</translation>
    </message>
    <message>
        <source>Warte auf den Neustart ...
</source>
        <translation>Waiting for the restart ...
</translation>
    </message>
    <message>
        <source>(j/n) n  (--yes wartet höchstens etwa 5 Minuten auf den Neustart)
</source>
        <translation>(y/n) n  (--yes waits at most about 5 minutes for the restart)
</translation>
    </message>
    <message>
        <source>(j/n) n  (--yes allein sagt hier nicht Ja; --force tut es)
</source>
        <translation>(y/n) n  (--yes alone does not say yes here; --force does)
</translation>
    </message>
    <message>
        <source>(j/n) j
</source>
        <translation>(y/n) y
</translation>
    </message>
    <message>
        <source>(j/n) n
</source>
        <translation>(y/n) n
</translation>
    </message>
    <message>
        <source>(j/n) n  (keine Eingabe möglich: Nein)
</source>
        <translation>(y/n) n  (no input possible: no)
</translation>
    </message>
    <message>
        <source>(j/N) </source>
        <translation>(y/N) </translation>
    </message>
    <message>
        <source>(j/n) </source>
        <translation>(y/n) </translation>
    </message>
    <message>
        <source>Handregler - Version: %1</source>
        <translation>Handheld - version: %1</translation>
    </message>
    <message>
        <source>Digital Set - Version: %1</source>
        <translation>Digital Set - version: %1</translation>
    </message>
    <message>
        <source>
Bitte warten: die Zentrale wird freigegeben ...
</source>
        <translation>
Please wait: releasing the command station ...
</translation>
    </message>
    <message>
        <source>skyrelay-update-cli: --trace %s würde die Datei %s des Update-Pakets überschreiben; bitte eine andere Datei angeben.
</source>
        <translation>skyrelay-update-cli: --trace %s would overwrite the file %s of the update package; please give another file.
</translation>
    </message>
    <message>
        <source>skyrelay-update-cli: --trace %s würde die Einstellungsdatei %s überschreiben; bitte eine andere Datei angeben.
</source>
        <translation>skyrelay-update-cli: --trace %s would overwrite the settings file %s; please give another file.
</translation>
    </message>
    <message>
        <source>skyrelay-update-cli: %s kann nicht geschrieben werden
</source>
        <translation>skyrelay-update-cli: cannot write %s
</translation>
    </message>
    <message>
        <source>Ohne Terminal kann niemand die Fragen des Updates beantworten: --yes oder --no.</source>
        <translation>Without a terminal nobody can answer the update&apos;s questions: --yes or --no.</translation>
    </message>
    <message>
        <source>Der Port-Test bekam keine Antwort.</source>
        <translation>The port test got no answer.</translation>
    </message>
    <message>
        <source>Der Handregler antwortet nicht mehr.</source>
        <translation>The handheld no longer answers.</translation>
    </message>
    <message>
        <source>Nichts zurückgeschrieben.</source>
        <translation>Nothing written back.</translation>
    </message>
    <message>
        <source>%1 Seiten wurden falsch zurückgelesen.</source>
        <translation>%1 pages read back wrong.</translation>
    </message>
    <message>
        <source>Das Update-Paket hat Warnungen.</source>
        <translation>The update package has warnings.</translation>
    </message>
    <message>
        <source>Aufruf: skyrelay-update-cli [Optionen] update [DATEI.TUP]
        skyrelay-update-cli [Optionen] check DATEI.TUP
        skyrelay-update-cli [Optionen] ping [--no-wait]
        skyrelay-update-cli [Optionen] info
        skyrelay-update-cli [Optionen] release
        skyrelay-update-cli ports
        skyrelay-update-cli [Optionen] backup [--all] DATEI.hex
        skyrelay-update-cli [Optionen] restore DATEI.hex

Befehle:
  update [DATEI.TUP]  Update wie mit der Schaltfläche &quot;Update&quot;: Port öffnen, Update,
                      Port schließen. Ohne Datei gilt die in den Einstellungen gemerkte.
  check DATEI.TUP     Prüft das Update-Paket (Beschreibung, Firmware-, Sprach-, Weichen-
                      und Zeichendateien), ohne einen Port zu benutzen.
  ping [--no-wait]    Port-Test &quot;in&quot; (wartet auf die Antwort) oder &quot;out&quot; (--no-wait).
  info                Liest die Kennung der Zentrale und Art und Version des Handreglers,
                      ohne etwas zu schreiben und ohne Update-Mode der Zentrale.
  release             Nimmt die Zentrale aus dem Update-Mode (nach einem unterbrochenen
                      Lauf: am Port und Interface dieses Laufs, wenn --port und
                      --interface fehlen).
  ports               Listet die seriellen Ports mit Beschreibung, Hersteller und
                      USB-Kennung, um das LocoNet-Interface zu erkennen.
  backup [--all] DATEI.hex
                      Liest Weichendaten und Einstellungsblock des Handreglers in eine
                      Sicherung (Intel-HEX), ohne etwas zu schreiben; --all auch
                      Sprachtexte und Zeichen.
  restore DATEI.hex   Schreibt eine Sicherung Seite für Seite zurück (nach einer Frage).

Optionen:
  --port DEV          Serieller Port: /dev/ttyUSB0, ttyACM0 oder eine Nummer (1 = /dev/ttyS0)
  --interface 1|2|3   1 Zentrale (seriell), 2 Interface 71530, 3 schnelle Interfaces
  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)
  --save              --port/--interface (und die Datei) in die Einstellungen schreiben
  --yes, --no         jede Frage mit Ja bzw. Nein beantworten; --yes sagt nicht Ja zu
                      einem nicht erkannten Handregler oder einer schon installierten
                      oder älteren Version
  --force             wie --yes, und auch zu diesen Fragen Ja
  --trace FILE        jede LocoNet-Nachricht protokollieren
  --no-backup         update: vor der Konfiguration keine Sicherung anlegen (sonst in
                      $XDG_DATA_HOME/skyrelay-update bzw. ~/.local/share/skyrelay-update)
  --json              für Skripte: je Zeile ein JSON-Objekt auf der Standardausgabe,
                      die Texte weiter auf der Fehlerausgabe
  --language de|en    Sprache der Texte (Vorgabe: nach LC_ALL, LC_MESSAGES, LANG)
  --simulate          gegen das eingebaute simulierte LocoNet (virtuelle Zeit)
  --sim-OPTION WERT   Einstellungen der Simulation (siehe unten)
  --help, --version

Rückgabewert: 0 Erfolg, 1 Fehler, 2 falscher Aufruf, 128 + Signal nach einem Abbruch
(130 Strg-C, 143 SIGTERM).
</source>
        <translation>Usage: skyrelay-update-cli [options] update [FILE.TUP]
       skyrelay-update-cli [options] check FILE.TUP
       skyrelay-update-cli [options] ping [--no-wait]
       skyrelay-update-cli [options] info
       skyrelay-update-cli [options] release
       skyrelay-update-cli ports
       skyrelay-update-cli [options] backup [--all] FILE.hex
       skyrelay-update-cli [options] restore FILE.hex

Commands:
  update [FILE.TUP]   Update as with the &quot;Update&quot; button: open the port, update,
                      close the port. Without a file, the one in the settings.
  check FILE.TUP      Checks the update package (description, firmware, language,
                      turnout and character files) without using a port.
  ping [--no-wait]    Port test &quot;in&quot; (waits for the answer) or &quot;out&quot; (--no-wait).
  info                Reads the command station&apos;s identification and the handheld&apos;s
                      kind and version, writes nothing, no station update mode.
  release             Takes the command station out of update mode (after an
                      interrupted run: at that run&apos;s port and interface when
                      --port and --interface are not given).
  ports               Lists the serial ports with description, maker and USB
                      identification, to find the LocoNet interface.
  backup [--all] FILE.hex
                      Reads the handheld&apos;s turnout data and settings block into a
                      backup (Intel HEX) and writes nothing; --all also the
                      language texts and characters.
  restore FILE.hex    Writes a backup back page by page (after a question).

Options:
  --port DEV          Serial port: /dev/ttyUSB0, ttyACM0 or a number (1 = /dev/ttyS0)
  --interface 1|2|3   1 command station (serial), 2 Interface 71530, 3 fast interfaces
  --settings FILE     Settings file (default: next to the program or ~/.config)
  --save              write --port/--interface (and the file) into the settings
  --yes, --no         answer every question with yes or no; --yes does not say yes
                      to a handheld that was not recognised or to the installed
                      or an older version
  --force             like --yes, and yes to those questions too
  --trace FILE        log every LocoNet message
  --no-backup         update: make no backup before the configuration (otherwise in
                      $XDG_DATA_HOME/skyrelay-update or ~/.local/share/skyrelay-update)
  --json              for scripts: one JSON object a line on standard output,
                      the texts stay on standard error
  --language de|en    language of the texts (default: from LC_ALL, LC_MESSAGES, LANG)
  --simulate          against the built-in simulated LocoNet (virtual time)
  --sim-OPTION VALUE  settings of the simulation (see below)
  --help, --version

Exit status: 0 success, 1 failure, 2 wrong command line, 128 + signal after an
interruption (130 Ctrl-C, 143 SIGTERM).
</translation>
    </message>
</context>
<context>
    <name>File</name>
    <message>
        <source>Datei zu kurz: %1 statt %2 Bytes</source>
        <translation>file too short: %1 instead of %2 bytes</translation>
    </message>
    <message>
        <source>Datei zu kurz</source>
        <translation>file too short</translation>
    </message>
    <message>
        <source>Zeile %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>Daten nach dem Dateiende-Satz</source>
        <translation>data after the end-of-file record</translation>
    </message>
    <message>
        <source>kein Intel-HEX-Satz</source>
        <translation>not an Intel HEX record</translation>
    </message>
    <message>
        <source>keine Hexadezimalziffer</source>
        <translation>not a hexadecimal digit</translation>
    </message>
    <message>
        <source>falsche Satzlänge</source>
        <translation>wrong record length</translation>
    </message>
    <message>
        <source>falsche Prüfsumme</source>
        <translation>wrong checksum</translation>
    </message>
    <message>
        <source>falsche Länge der Adresse</source>
        <translation>wrong address length</translation>
    </message>
    <message>
        <source>unbekannter Satztyp %1</source>
        <translation>unknown record type %1</translation>
    </message>
    <message>
        <source>der Dateiende-Satz fehlt</source>
        <translation>the end-of-file record is missing</translation>
    </message>
    <message>
        <source>Datei nicht gefunden</source>
        <translation>File not found</translation>
    </message>
    <message>
        <source>Datei darf nicht gelesen werden (keine Berechtigung)</source>
        <translation>File may not be read (no permission)</translation>
    </message>
    <message>
        <source>Dateiname zu lang</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>Datei kann nicht gelesen werden</source>
        <translation>Cannot read the file</translation>
    </message>
    <message>
        <source>keine Datei, sondern ein Ordner</source>
        <translation>not a file but a folder</translation>
    </message>
    <message>
        <source>keine Datei, sondern eine FIFO</source>
        <translation>not a file but a FIFO</translation>
    </message>
    <message>
        <source>keine Datei, sondern ein Gerät</source>
        <translation>not a file but a device</translation>
    </message>
    <message>
        <source>keine Datei, sondern ein Socket</source>
        <translation>not a file but a socket</translation>
    </message>
    <message>
        <source>keine Datei, sondern keine gewöhnliche Datei</source>
        <translation>not a file but something else</translation>
    </message>
    <message>
        <source>Datei zu groß: %1 Bytes, höchstens %2 Bytes sind erlaubt</source>
        <translation>File too large: %1 bytes, at most %2 bytes are allowed</translation>
    </message>
</context>
<context>
    <name>Identify</name>
    <message>
        <source>Funk- oder LocoNet-Handregler</source>
        <translation>radio or LocoNet handheld</translation>
    </message>
    <message>
        <source>Handregler aus Digital-Set</source>
        <translation>handheld from a Digital Set</translation>
    </message>
    <message>
        <source>%1 vom: %2</source>
        <translation>%1 from: %2</translation>
    </message>
</context>
<context>
    <name>MainWin</name>
    <message>
        <source>&amp;Sprache</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>Sprache</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Update läuft noch. Wirklich beenden?<byte value="xd"/><byte value="xd"/>Die Zentrale wird freigegeben. Hat die Installation noch nicht begonnen, behält der Handregler seine bisherige Firmware; das Update kann danach wiederholt werden. Eine begonnene Installation läuft im Handregler weiter: ihn dann nicht vom LocoNet trennen.</source>
        <translation>The update is still running. Quit anyway?<byte value="xd"/><byte value="xd"/>The command station is released. If the installation has not started yet, the handheld keeps its old firmware; the update can be repeated later. An installation that has started goes on in the handheld: then do not unplug it from LocoNet.</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>ComPort:</source>
        <translation>COM port:</translation>
    </message>
    <message>
        <source>Update-Datei:</source>
        <translation>Update file:</translation>
    </message>
    <message>
        <source>Handregler - Version:</source>
        <translation>Handheld - version:</translation>
    </message>
    <message>
        <source>Digital Set - Version:</source>
        <translation>Digital Set - version:</translation>
    </message>
    <message>
        <source>&amp;Datei</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Update-Datei</source>
        <translation>&amp;Update file</translation>
    </message>
    <message>
        <source>&amp;Einstellungen</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>Sicherung &amp;lesen …</source>
        <translation>&amp;Read backup …</translation>
    </message>
    <message>
        <source>Sicherung mit &amp;Texten und Zeichen</source>
        <translation>Backup with &amp;texts and characters</translation>
    </message>
    <message>
        <source>Sicherung &amp;zurückschreiben …</source>
        <translation>Rest&amp;ore backup …</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>&amp;Hilfe</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Ü&amp;ber</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>PB Dateien (*.%1 *.%2)</source>
        <translation>PB files (*.%1 *.%2)</translation>
    </message>
    <message>
        <source>TUP-File --&gt; Update-Laden: TUP-File</source>
        <translation>TUP file --&gt; load update: TUP file</translation>
    </message>
    <message>
        <source>Keine Update-Datei gewählt (Datei → Update-Datei).</source>
        <translation>No update file chosen (File → Update file).</translation>
    </message>
    <message>
        <source>Die Update-Datei ist nicht geladen (Datei → Update-Datei).</source>
        <translation>The update file is not loaded (File → Update file).</translation>
    </message>
    <message>
        <source>Lizenz: keine angegeben; auch das Debian-Paket nennt keine.</source>
        <translation>Licence: none given; the Debian package names none either.</translation>
    </message>
    <message>
        <source>Kontakt: %1</source>
        <translation>Contact: %1</translation>
    </message>
    <message>
        <source>Beschreibung: %1</source>
        <translation>Description: %1</translation>
    </message>
    <message>
        <source>Über skyrelay-update</source>
        <translation>About skyrelay-update</translation>
    </message>
    <message>
        <source>Unerwarteter Fehler:</source>
        <translation>Unexpected error:</translation>
    </message>
    <message>
        <source>Fehler!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Sicherung: %1</source>
        <translation>Backup: %1</translation>
    </message>
    <message>
        <source>Sicherungen (*.hex)</source>
        <translation>Backups (*.hex)</translation>
    </message>
    <message>
        <source>Sicherungen (*.hex *.HEX)</source>
        <translation>Backups (*.hex *.HEX)</translation>
    </message>
    <message>
        <source>Sicherung lesen</source>
        <translation>Read backup</translation>
    </message>
    <message>
        <source>Sicherung abgebrochen</source>
        <translation>Backup cancelled</translation>
    </message>
    <message>
        <source>Sicherung nicht möglich</source>
        <translation>Backup not possible</translation>
    </message>
    <message>
        <source>Sicherung nicht gespeichert: %1</source>
        <translation>Backup not saved: %1</translation>
    </message>
    <message>
        <source>Sicherung nicht gelesen: der Handregler antwortet nicht mehr.</source>
        <translation>Backup not read: the handheld stopped answering.</translation>
    </message>
    <message>
        <source>Sicherung zurückschreiben</source>
        <translation>Restore backup</translation>
    </message>
    <message>
        <source>%1 Seiten zurückgeschrieben</source>
        <translation>%1 pages restored</translation>
    </message>
    <message>
        <source>Nicht zurückgeschrieben: %1</source>
        <translation>Not restored: %1</translation>
    </message>
    <message>
        <source>Zurückschreiben abgebrochen</source>
        <translation>Restore cancelled</translation>
    </message>
    <message>
        <source>Zurückschreiben nicht möglich</source>
        <translation>Restore not possible</translation>
    </message>
    <message>
        <source>Nichts zurückgeschrieben.</source>
        <translation>Nothing restored.</translation>
    </message>
    <message>
        <source>Zurückschreiben abgebrochen (%1)</source>
        <translation>Restore cancelled (%1)</translation>
    </message>
    <message>
        <source>Zurückschreiben abgebrochen: der Handregler antwortet nicht mehr (%1).</source>
        <translation>Restore stopped: the handheld stopped answering (%1).</translation>
    </message>
    <message>
        <source>%1, %2 davon fehlerhaft: %3</source>
        <translation>%1, %2 of them wrong: %3</translation>
    </message>
    <message>
        <source>Achtung!</source>
        <translation>Attention!</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>Message kann nicht gesendet werden!</source>
        <translation>Message cannot be sent!</translation>
    </message>
    <message>
        <source>LocoNet Fehler</source>
        <translation>LocoNet error</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>ComPort Fehler!</source>
        <translation>COM port error!</translation>
    </message>
    <message>
        <source>Verbindungsfehler:</source>
        <translation>Connection error:</translation>
    </message>
    <message>
        <source>Zeichenübertragung nicht möglich!</source>
        <translation>Cannot send characters!</translation>
    </message>
    <message>
        <source>Kontrada 1:</source>
        <translation>Kontrada 1:</translation>
    </message>
    <message>
        <source>Die Verbindung zum Interface an %1 ist unterbrochen.</source>
        <translation>The connection to the interface at %1 is broken.</translation>
    </message>
    <message>
        <source>Keine Update-Datei: %1</source>
        <translation>No update file: %1</translation>
    </message>
    <message>
        <source>Fehler!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Einstellungen</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Unerwarteter Fehler beim Öffnen des Ports:</source>
        <translation>Unexpected error while opening the port:</translation>
    </message>
    <message>
        <source>Unerwarteter Fehler beim Update:</source>
        <translation>Unexpected error during the update:</translation>
    </message>
    <message>
        <source>Handregler konnte nicht erkannt werden!<byte value="xd"/><byte value="xd"/>Trotzdem ein Update versuchen?</source>
        <translation>The handheld was not recognised!<byte value="xd"/><byte value="xd"/>Try an update anyway?</translation>
    </message>
    <message>
        <source>Das Update-File ist nicht in Ordnung
<byte value="xd"/> oder passt nicht zum Gerät!</source>
        <translation>The update file is damaged
<byte value="xd"/> or does not fit the device!</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Updatefile nicht vorhanden!</source>
        <translation>Update file not found!</translation>
    </message>
    <message>
        <source>Achtung!</source>
        <translation>Attention!</translation>
    </message>
    <message>
        <source>Die Handregler Software ist aktuell!<byte value="xd"/><byte value="xd"/>   Ein Update ist nicht notwendig!<byte value="xd"/><byte value="xd"/>    Update trotzdem durchführen? </source>
        <translation>The handheld software is up to date!<byte value="xd"/><byte value="xd"/>   No update is needed!<byte value="xd"/><byte value="xd"/>    Update anyway? </translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>%1 :<byte value="xd"/><byte value="xd"/>Version im Handregler: %2<byte value="xd"/><byte value="xd"/>Soll die Version %3 vom %4 geladen werden?</source>
        <translation>%1 :<byte value="xd"/><byte value="xd"/>Version in the handheld: %2<byte value="xd"/><byte value="xd"/>Load version %3 from %4?</translation>
    </message>
    <message>
        <source>Flash Block kann nicht beschrieben werden!</source>
        <translation>Cannot write the flash block!</translation>
    </message>
    <message>
        <source>Fehler bei einer Ausgabe auf LocoNet: %1</source>
        <translation>Error sending on LocoNet: %1</translation>
    </message>
    <message>
        <source>     Das Update wird jetzt geladen!            <byte value="xd"/>Bitte den Handregler nicht von LocoNet trennen<byte value="xd"/>    und das Ende des Vorgangs abwarten! (ca. 60s)</source>
        <translation>     The update is being installed now!            <byte value="xd"/>Please do not unplug the handheld from LocoNet<byte value="xd"/>    and wait until it has finished! (about 60 s)</translation>
    </message>
    <message>
        <source>%1 meldet sich nicht zurück!<byte value="xd"/>     weiter warten?     </source>
        <translation>%1 does not report back!<byte value="xd"/>     Keep waiting?     </translation>
    </message>
    <message>
        <source>Achtung</source>
        <translation>Attention</translation>
    </message>
    <message>
        <source>%1 hat die falsche Lok beim Starten angemeldet!</source>
        <translation>%1 reported the wrong loco when it started!</translation>
    </message>
    <message>
        <source>Update 58400</source>
        <translation>Update 58400</translation>
    </message>
    <message>
        <source>Es wurde die falsche Version nach dem Update gelesen!</source>
        <translation>The wrong version was read after the update!</translation>
    </message>
    <message>
        <source>     Firmware-Update ok!      <byte value="xd"/><byte value="xd"/> Jetzt erhält der Handregler u.U. <byte value="xd"/>  noch neue Daten, bitte nicht <byte value="xd"/>          ausschalten!</source>
        <translation>     Firmware update ok!      <byte value="xd"/><byte value="xd"/> The handheld may now get <byte value="xd"/>  new data, please do not <byte value="xd"/>          switch off!</translation>
    </message>
    <message>
        <source>Falsche Dateiformat!</source>
        <translation>Wrong file format!</translation>
    </message>
    <message>
        <source>Einstellungen konnten nicht geschrieben werden!</source>
        <translation>The settings could not be written!</translation>
    </message>
    <message>
        <source>Falsches Fileformat!</source>
        <translation>Wrong file format!</translation>
    </message>
    <message>
        <source>Falsche Version!</source>
        <translation>Wrong version!</translation>
    </message>
    <message>
        <source>Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen:</source>
        <translation>The update package is not in order; nothing is transferred:</translation>
    </message>
    <message>
        <source>Die Sicherung konnte nicht angelegt werden:</source>
        <translation>The backup could not be made:</translation>
    </message>
    <message>
        <source>Es wird nichts geschrieben.</source>
        <translation>Nothing is written.</translation>
    </message>
    <message>
        <source>Diese Sicherung in den Handregler zurückschreiben?</source>
        <translation>Write this backup back into the handheld?</translation>
    </message>
    <message>
        <source>Sicherung zurückschreiben</source>
        <translation>Restore backup</translation>
    </message>
</context>
<context>
    <name>Port</name>
    <message>
        <source>Ungültiger Portname: &quot;%1&quot;</source>
        <translation>Invalid port name: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Leitung getrennt</source>
        <translation>line disconnected</translation>
    </message>
    <message>
        <source>Gerät entfernt oder Leitung getrennt</source>
        <translation>device removed or line disconnected</translation>
    </message>
    <message>
        <source>Lesefehler</source>
        <translation>read error</translation>
    </message>
    <message>
        <source>Schreibfehler</source>
        <translation>write error</translation>
    </message>
    <message>
        <source>Kein Fehler</source>
        <translation>No error</translation>
    </message>
    <message>
        <source>Der Port wurde nicht gefunden</source>
        <translation>The port was not found</translation>
    </message>
    <message>
        <source>Der Port wird schon benutzt</source>
        <translation>The port is already in use</translation>
    </message>
    <message>
        <source>Keine Berechtigung für den Port</source>
        <translation>No permission for the port</translation>
    </message>
    <message>
        <source>Der Port ist schon geöffnet</source>
        <translation>The port is already open</translation>
    </message>
    <message>
        <source>Der Port ist nicht geöffnet</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>Zeitüberschreitung am Port</source>
        <translation>Timeout at the port</translation>
    </message>
    <message>
        <source>Fehler beim Schreiben auf den Port</source>
        <translation>Error writing to the port</translation>
    </message>
    <message>
        <source>Fehler beim Lesen vom Port</source>
        <translation>Error reading from the port</translation>
    </message>
    <message>
        <source>Das Gerät ist nicht mehr verfügbar oder belegt</source>
        <translation>The device is no longer available or is busy</translation>
    </message>
    <message>
        <source>Der Port kann das nicht</source>
        <translation>The port cannot do that</translation>
    </message>
    <message>
        <source>Unbekannter Fehler am Port</source>
        <translation>Unknown error at the port</translation>
    </message>
    <message>
        <source>Der Port ist nicht geöffnet.</source>
        <translation>The port is not open.</translation>
    </message>
    <message>
        <source>Ungültige Portangabe: &quot;%1&quot;</source>
        <translation>Invalid port: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Prozess %1</source>
        <translation>process %1</translation>
    </message>
    <message>
        <source>Prozess %1 (%2)</source>
        <translation>process %1 (%2)</translation>
    </message>
    <message>
        <source>Der Port %1 wird von einem anderen Programm benutzt.<byte value="xd"/>Abhilfe: das andere Programm beenden.</source>
        <translation>Another program is using the port %1.<byte value="xd"/>Fix: close the other program.</translation>
    </message>
    <message>
        <source>Der Port %1 wird von einem anderen Programm benutzt: %2.<byte value="xd"/>Abhilfe: dieses Programm beenden.</source>
        <translation>Another program is using the port %1: %2.<byte value="xd"/>Fix: close that program.</translation>
    </message>
    <message>
        <source>Keine Berechtigung für %1.<byte value="xd"/>Abhilfe: den Benutzer in die Gruppe dialout aufnehmen (sudo usermod -aG dialout $USER, danach neu anmelden).</source>
        <translation>No permission for %1.<byte value="xd"/>Fix: add the user to the group dialout (sudo usermod -aG dialout $USER, then log in again).</translation>
    </message>
    <message>
        <source>Der Port %1 wurde nicht gefunden.</source>
        <translation>The port %1 was not found.</translation>
    </message>
    <message>
        <source>Der Port %1 ist bereits geöffnet oder belegt.</source>
        <translation>The port %1 is already open or busy.</translation>
    </message>
    <message>
        <source>Der Port %1 kann nicht geöffnet werden.<byte value="xd"/>(%2)</source>
        <translation>Cannot open the port %1.<byte value="xd"/>(%2)</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Warte auf den Neustart des Handreglers: %1 s (Nachfrage nach %2 s)</source>
        <translation>Waiting for the handheld to restart: %1 s (asking after %2 s)</translation>
    </message>
    <message>
        <source>%1 %2 von %3</source>
        <translation>%1 %2 of %3</translation>
    </message>
    <message>
        <source> · %1 % · %2 vergangen</source>
        <translation> · %1 % · %2 elapsed</translation>
    </message>
    <message>
        <source> · noch etwa %1</source>
        <translation> · about %1 left</translation>
    </message>
</context>
<context>
    <name>Rescue</name>
    <message>
        <source>Der letzte Lauf wurde unterbrochen (begonnen am %1, Port %2, Interface %3).<byte value="xd"/>Die Zentrale ist womöglich noch im Update-Mode; die Anlage fährt erst wieder, wenn sie freigegeben ist.</source>
        <translation>The last run was interrupted (started on %1, port %2, interface %3).<byte value="xd"/>The command station may still be in update mode; the layout runs again only once it is released.</translation>
    </message>
    <message>
        <source>Die Sicherung %1 kann zurückgeschrieben werden: %2</source>
        <translation>The backup %1 can be restored: %2</translation>
    </message>
    <message>
        <source>Datei → Sicherung zurückschreiben …</source>
        <translation>File → Restore backup …</translation>
    </message>
    <message>
        <source>Die Notiz %1 über einen unterbrochenen Lauf ist beschädigt und wird nicht beachtet.</source>
        <translation>The note %1 about an interrupted run is damaged and is ignored.</translation>
    </message>
</context>
<context>
    <name>Run</name>
    <message>
        <source>Die Update-Datei kann nicht geöffnet werden!</source>
        <translation>Cannot open the update file!</translation>
    </message>
    <message>
        <source>Interface 71530 öffnet keinen Port.</source>
        <translation>Interface 71530 opens no port.</translation>
    </message>
    <message>
        <source>Kein Interface gewählt.</source>
        <translation>No interface chosen.</translation>
    </message>
    <message>
        <source>Kein ComPort gewählt.</source>
        <translation>No COM port chosen.</translation>
    </message>
    <message>
        <source>Bitte zuerst unter Datei → Einstellungen Interface und ComPort wählen.</source>
        <translation>Please first choose the interface and COM port under File → Settings.</translation>
    </message>
    <message>
        <source>unbekannte Ausnahme</source>
        <translation>unknown exception</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Auswahl der Zentrale</source>
        <translation>Choice of command station</translation>
    </message>
    <message>
        <source>Interface:</source>
        <translation>Interface:</translation>
    </message>
    <message>
        <source>Kontrada 1 oder Duoplex</source>
        <translation>Kontrada 1 or Duoplex</translation>
    </message>
    <message>
        <source>Kontrada Basic oder Kontrada 2 oder Interface 71540</source>
        <translation>Kontrada Basic or Kontrada 2 or Interface 71540</translation>
    </message>
    <message>
        <source>Der eigene serielle Anschluss der Zentrale.</source>
        <translation>The command station&apos;s own serial port.</translation>
    </message>
    <message>
        <source>Öffnet keinen Port: damit ist kein Update möglich.</source>
        <translation>Opens no port: no update is possible with it.</translation>
    </message>
    <message>
        <source>USB-LocoNet-Adapter und andere schnelle Interfaces mit 115200 Baud:
ein USB-LocoNet-Adapter ist diese Wahl.</source>
        <translation>USB LocoNet adapters and other fast interfaces at 115200 baud:
a USB LocoNet adapter is this choice.</translation>
    </message>
    <message>
        <source>ComPort Nr. :</source>
        <translation>COM port no. :</translation>
    </message>
    <message>
        <source>Serielle Ports dieses Rechners</source>
        <translation>Serial ports of this computer</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>(keine Ports gefunden)</source>
        <translation>(no ports found)</translation>
    </message>
    <message>
        <source>Ports …</source>
        <translation>Ports …</translation>
    </message>
    <message>
        <source>QX9 oder Interface 71540</source>
        <translation>QX9 or Interface 71540</translation>
    </message>
    <message>
        <source>%1 ist keine Datei</source>
        <translation>%1 is not a file</translation>
    </message>
    <message>
        <source>%1 ist schreibgeschützt; die Einstellungen werden nicht gespeichert</source>
        <translation>%1 is write-protected; the settings are not saved</translation>
    </message>
    <message>
        <source>%1 kann nicht geschrieben werden</source>
        <translation>cannot write %1</translation>
    </message>
</context>
<context>
    <name>Sim</name>
    <message>
        <source>Artikelnummer des Handreglers (58400, 58401, 58402)</source>
        <translation>article number of the handheld (58400, 58401, 58402)</translation>
    </message>
    <message>
        <source>installierte Firmware-Version (Vorgabe 1.0)</source>
        <translation>installed firmware version (default 1.0)</translation>
    </message>
    <message>
        <source>Texte 51/52: FREI/BELEGT, ROT/GRÜN oder keine</source>
        <translation>texts 51/52: FREI/BELEGT, ROT/GRÜN or none</translation>
    </message>
    <message>
        <source>Lokadresse im Einstellungsblock (Vorgabe 3)</source>
        <translation>loco address in the settings block (default 3)</translation>
    </message>
    <message>
        <source>SEKUNDEN</source>
        <translation>SECONDS</translation>
    </message>
    <message>
        <source>Zeit bis zum Neustart nach dem Laden (Vorgabe 5)</source>
        <translation>time until the restart after loading (default 5)</translation>
    </message>
    <message>
        <source>der Handregler startet nach dem Laden nicht neu</source>
        <translation>the handheld does not restart after loading</translation>
    </message>
    <message>
        <source>meldet nach dem Neustart eine falsche Lok an</source>
        <translation>reports a wrong loco after the restart</translation>
    </message>
    <message>
        <source>meldet nach dem Neustart eine falsche Version</source>
        <translation>reports a wrong version after the restart</translation>
    </message>
    <message>
        <source>kein Handregler am LocoNet</source>
        <translation>no handheld on LocoNet</translation>
    </message>
    <message>
        <source>Kennnummer der Zentrale (zehn Ziffern) oder keine Antwort</source>
        <translation>identification of the command station (ten digits) or no answer</translation>
    </message>
    <message>
        <source>Boot-Loader-Version der Zentrale</source>
        <translation>boot loader version of the command station</translation>
    </message>
    <message>
        <source>keine Zentrale am LocoNet</source>
        <translation>no command station on LocoNet</translation>
    </message>
    <message>
        <source>die nächsten N Nachrichten des PCs ohne Echo</source>
        <translation>the next N messages of the PC without echo</translation>
    </message>
    <message>
        <source>die nächsten N Antworten gehen verloren</source>
        <translation>the next N answers get lost</translation>
    </message>
    <message>
        <source>die verlorenen Antworten beginnen nach M Antworten</source>
        <translation>the lost answers begin after M answers</translation>
    </message>
    <message>
        <source>die nächsten N gelesenen Blöcke mit einem falschen Byte</source>
        <translation>the next N blocks read with one wrong byte</translation>
    </message>
    <message>
        <source>ADRESSE:N</source>
        <translation>ADDRESS:N</translation>
    </message>
    <message>
        <source>die Seite wird N-mal falsch programmiert (z.B. 0x300200:2)</source>
        <translation>the page is programmed wrong N times (e.g. 0x300200:2)</translation>
    </message>
    <message>
        <source>Störbytes zwischen den Nachrichten</source>
        <translation>noise bytes between the messages</translation>
    </message>
    <message>
        <source>N fremde Nachrichten auf einmal vor der nächsten Antwort</source>
        <translation>N other messages at once before the next answer</translation>
    </message>
    <message>
        <source>die nächsten N Antworten mit einem gekippten Bit (Prüfsumme falsch)</source>
        <translation>the next N answers with a flipped bit (wrong checksum)</translation>
    </message>
    <message>
        <source>jede K-te Antwort mit einem gekippten Bit (Prüfsumme falsch)</source>
        <translation>every K-th answer with a flipped bit (wrong checksum)</translation>
    </message>
    <message>
        <source>verschiebt, welche Antworten jede K-te sind (Vorgabe 0)</source>
        <translation>shifts which answers are every K-th (default 0)</translation>
    </message>
    <message>
        <source>andere Geräte senden alle MS Millisekunden (Peer, Melder, Fahrstufe)</source>
        <translation>other devices send every MS milliseconds (peer, sensor, speed step)</translation>
    </message>
    <message>
        <source>das Interface verschwindet mit der N-ten Nachricht des PCs</source>
        <translation>the interface disappears with the N-th message of the PC</translation>
    </message>
    <message>
        <source>unbekannte Option</source>
        <translation>unknown option</translation>
    </message>
    <message>
        <source>ungültiger Wert &quot;%1&quot;</source>
        <translation>invalid value &quot;%1&quot;</translation>
    </message>
    <message>
        <source>ungültige Version &quot;%1&quot;</source>
        <translation>invalid version &quot;%1&quot;</translation>
    </message>
    <message>
        <source>erwartet FREI, ROT oder NONE</source>
        <translation>expects FREI, ROT or NONE</translation>
    </message>
    <message>
        <source>ungültige Zeit &quot;%1&quot;</source>
        <translation>invalid time &quot;%1&quot;</translation>
    </message>
    <message>
        <source>erwartet ADRESSE:ANZAHL</source>
        <translation>expects ADDRESS:COUNT</translation>
    </message>
    <message>
        <source>die Zentrale bestätigt die Freigabe so viel später (Vorgabe 0)</source>
        <translation>the command station confirms its release this much later (default 0)</translation>
    </message>
</context>
<context>
    <name>Stage</name>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Neustart</source>
        <translation>Restart</translation>
    </message>
    <message>
        <source>Sicherung</source>
        <translation>Backup</translation>
    </message>
    <message>
        <source>Sprachtexte</source>
        <translation>Language texts</translation>
    </message>
    <message>
        <source>Weichen</source>
        <translation>Turnouts</translation>
    </message>
    <message>
        <source>Zeichen</source>
        <translation>Characters</translation>
    </message>
    <message>
        <source>Einstellungen</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Lese Version</source>
        <translation>Reading version</translation>
    </message>
    <message>
        <source>Zentrale Update-Mode</source>
        <translation>Command station update mode</translation>
    </message>
    <message>
        <source>Zentrale wird aus dem Update-Mode genommen ...</source>
        <translation>Taking the command station out of update mode ...</translation>
    </message>
    <message>
        <source>Update beendet</source>
        <translation>Update finished</translation>
    </message>
    <message>
        <source>Fehler beim Update</source>
        <translation>Update failed</translation>
    </message>
    <message>
        <source>Update abgebrochen</source>
        <translation>Update cancelled</translation>
    </message>
    <message>
        <source>Fehler im Updatefile!</source>
        <translation>Error in the update file!</translation>
    </message>
    <message>
        <source>Software aktuell!</source>
        <translation>Software up to date!</translation>
    </message>
    <message>
        <source>Firmware ok!</source>
        <translation>Firmware ok!</translation>
    </message>
    <message>
        <source>Sprache:%1 Txt:%2</source>
        <translation>Language:%1 Txt:%2</translation>
    </message>
    <message>
        <source>Mag.Sym.:%1</source>
        <translation>Turn.Sym.:%1</translation>
    </message>
    <message>
        <source>SymZuord:%1</source>
        <translation>SymAssign:%1</translation>
    </message>
    <message>
        <source>Weichenliste</source>
        <translation>Turnout list</translation>
    </message>
    <message>
        <source>neue Konfiguration</source>
        <translation>new configuration</translation>
    </message>
    <message>
        <source>Mehr als 100 Zeichendateien: weitere ignoriert</source>
        <translation>More than 100 character files: the rest ignored</translation>
    </message>
    <message>
        <source>Lese Sicherung</source>
        <translation>Reading backup</translation>
    </message>
    <message>
        <source>Sicherung gespeichert: %1</source>
        <translation>Backup saved: %1</translation>
    </message>
    <message>
        <source>Zurückschreiben: Seite %1</source>
        <translation>Restoring: page %1</translation>
    </message>
</context>
<context>
    <name>Verdict</name>
    <message>
        <source>; die Zentrale hat ihre Kennung nicht gemeldet und war nicht im Update-Mode</source>
        <translation>; the command station did not report its identification and was not in update mode</translation>
    </message>
    <message>
        <source>Timeout bei %1</source>
        <translation>Timeout at %1</translation>
    </message>
    <message>
        <source>abgebrochen</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>Unerwarteter Fehler: %1</source>
        <translation>Unexpected error: %1</translation>
    </message>
    <message>
        <source>%1 Probleme im Update-Paket</source>
        <translation>%1 problems in the update package</translation>
    </message>
    <message>
        <source>die Datei bringt Version %1, älter als die im Handregler (%2)</source>
        <translation>the file has version %1, older than the one in the handheld (%2)</translation>
    </message>
    <message>
        <source>keine Firmware für diesen Handregler</source>
        <translation>no firmware for this handheld</translation>
    </message>
    <message>
        <source>Zentrale hat die Freigabe nicht bestätigt</source>
        <translation>the command station did not confirm its release</translation>
    </message>
    <message>
        <source>Konfiguration unvollständig</source>
        <translation>configuration incomplete</translation>
    </message>
    <message>
        <source>Fehler beim Update</source>
        <translation>error during the update</translation>
    </message>
    <message>
        <source>Update fehlgeschlagen: %1</source>
        <translation>Update failed: %1</translation>
    </message>
    <message>
        <source>Firmware %1 geprüft</source>
        <translation>firmware %1 checked</translation>
    </message>
    <message>
        <source>keine Firmware im Paket</source>
        <translation>no firmware in the package</translation>
    </message>
    <message>
        <source>Firmware-Update abgelehnt</source>
        <translation>firmware update declined</translation>
    </message>
    <message>
        <source>, Konfiguration geschrieben</source>
        <translation>, configuration written</translation>
    </message>
    <message>
        <source>, Konfiguration nicht übertragen</source>
        <translation>, configuration not transferred</translation>
    </message>
    <message>
        <source>Update erfolgreich: %1</source>
        <translation>Update successful: %1</translation>
    </message>
</context>
</TS>
