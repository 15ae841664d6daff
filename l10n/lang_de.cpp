// German texts of the built-in language table, in the language-file format.
#include "l10n/builtin_ui.h"

namespace nusk {

const std::string_view kGermanLanguageText = R"ini([META-INF]
language_name=Deutsch

[menu]
file=&Datei
file.open_path=&Pfad öffnen\tStrg+Eingabe
file.open=Ö&ffnen\tEingabe
file.properties=&Eigenschaften\tAlt+Eingabe
file.export=&Exportieren...\tStrg+S
file.close=Fenster s&chließen\tStrg+W
file.exit=&Beenden
file.recent_opened=&Zuletzt geöffnet
file.recent_opened.clear=Liste &leeren
file.more_actions=&Weitere Aktionen
file.more_actions.config=Aktionen &konfigurieren...
edit=&Bearbeiten
edit.copy=&Kopieren\tStrg+C
edit.copy_name=&Namen kopieren
edit.copy_full_name=Vollständigen &Pfad kopieren\tStrg+Umschalt+C
edit.text_size=&Textgröße
edit.text_size.increase=&Vergrößern\tStrg++
edit.text_size.decrease=Ver&kleinern\tStrg+-
edit.text_size.reset=&Zurücksetzen\tStrg+0
edit.select_all=&Alles auswählen\tStrg+A
edit.select_none=Auswahl &aufheben
edit.invert_selection=Auswahl &umkehren
edit.goto_row=&Gehe zu Zeile...\tStrg+G
edit.hide_selected_items=Ausgewählte Einträge &ausblenden
database=Daten&bank
database.build_all=&Alle Laufwerke aufbauen\tF5
database.rebuild_all=Alle Laufwerke &neu aufbauen
database.build=Laufwerk auf&bauen
database.clean=Datenbank &leeren
database.clean.empty=Leere Einträge &entfernen
database.clean.all=&Alles leeren
database.show_statistics=&Statistik anzeigen
database.show_ignored_folders=&Ignorierte Ordner anzeigen
database.load=Datenbank &laden
database.load.default=&Standardort
database.load.browse=&Durchsuchen...
database.load.clear_recent=Liste &leeren
database.reload=Datenbank neu &laden
database.reload_hash_info=Prüfsummen-&Info neu laden
search=&Suchen
search.new_search=&Neue Suche\tStrg+N
search.recent=&Letzte Suchen
search.recent.clear=Liste &leeren
search.recent_locations=Letzte &Orte
search.recent_locations.clear=Liste &leeren
search.named_searches=&Gespeicherte Suchen
search.named_searches.empty=(Leer)
search.named_searches.config=Gespeicherte Suchen &konfigurieren...
search.go_back=&Zurück\tAlt+Links
search.go_forward=&Vorwärts\tAlt+Rechts
search.go_up=&Übergeordneter Ordner\tAlt+Hoch
search.query_composer=&Abfrage zusammenstellen...
tools=E&xtras
tools.options=&Optionen...
tools.keyboard_shortcuts=&Tastenkürzel...
tools.open_db_location=Datenbank&ordner öffnen
tools.web_server=&Webserver...
tools.preview_window=&Vorschaufenster
tools.compute_content_hashes=Inhalts-&Prüfsummen berechnen...
view=&Ansicht
view.folder_tree=&Ordnerbaum
view.toolbar=&Symbolleiste
view.navigation_buttons=&Navigationsschaltflächen
view.thumbnails=&Miniaturansichten
view.alt_row_group_color=&Abwechselnde Zeilenfarben
view.statusbar=Status&leiste
view.search_button=&Suchschaltfläche
help=&Hilfe
help.help=&Hilfe\tF1
help.website=&Webseite besuchen
help.check_for_updates=Nach &Updates suchen...
help.tip_of_the_day=&Tipp des Tages
help.about=&Über Nusk...

[context_menu]
toolbar.customize=Symbolleiste &anpassen...
toolbar.large_buttons=&Große Schaltflächen
search_box.undo=&Rückgängig
search_box.cut=&Ausschneiden
search_box.copy=&Kopieren
search_box.paste=&Einfügen
search_box.delete=&Löschen
search_box.select_all=Alles &markieren
list_header.fit_columns=Spalten an Inhalt &anpassen
list_header.fill_columns=Spalten auf Fensterbreite &verteilen
list_header.use_current_sort_order_in_query=Aktuelle &Sortierung in die Abfrage übernehmen
list.find_same_content=Dateien mit gleichem &Inhalt suchen

[toolbar]
new_search=Neue Suche
query_composer=Abfrage zusammenstellen
recent_searches=Letzte Suchen
named_searches=Gespeicherte Suchen
open_path=Pfad öffnen
open=Öffnen
properties=Eigenschaften
more_actions=Weitere Aktionen
copy_full_name=Pfad kopieren
copy_name=Namen kopieren
copy=Kopieren
build_all=Alle aufbauen
build=Aufbauen
clean_all=Alles leeren
clean=Leeren
show_statistics=Statistik
view_folder_tree=Ordnerbaum
options=Optionen
exit=Beenden
help=Hilfe
about=Über
check_for_udpates=Updates
thumbnails=Miniaturen
alt_row_group_color=Zeilenfarben
web_server=Webserver

[ribbon]
app.menu=Menü
app.help=Hilfe
app.recent_opened_items=Zuletzt geöffnete Elemente
tab.home=Start
tab.database=Datenbank
tab.view=Ansicht
tab.tools=Extras
group.file=Datei
group.copy=Kopieren
group.search=Suchen
group.application=Anwendung
group.build=Aufbauen
group.clean=Leeren
group.misc=Sonstiges
group.tools=Extras
group.zoom=Zoom
group.show_or_hide=Ein-/Ausblenden
group.display=Anzeige
group.result_list=Ergebnisliste
group_external_tools=Externe Werkzeuge
command.open_path=Pfad öffnen
command.open=Öffnen
command.properties=Eigenschaften
command.more_actions=Weitere Aktionen
command.more_actions.config=Aktionen konfigurieren
command.copy_path=Pfad kopieren
command.copy_name=Namen kopieren
command.copy=Kopieren
command.recent_searches=Letzte Suchen
command.recent_searches.clear=Liste leeren
command.named_searches=Gespeicherte Suchen
command.named_searches.config=Gespeicherte Suchen konfigurieren
command.folder_tree=Ordnerbaum
command.exit=Beenden
command.load_db=Datenbank laden
command.load_db.browse=Durchsuchen
command.load_db.default_location=Standardort
command.build_all=Alle aufbauen
command.build=Laufwerk aufbauen
command.clean=Leeren
command.clean.clean_all=Alles leeren
command.statistics=Statistik
command.show_ignored_folders=Ignorierte Ordner
command.reload_database=Datenbank neu laden
command.zoom_in=Vergrößern
command.zoom_out=Verkleinern
command.zoom_reset=Originalgröße
command.show_navigation_buttons=Navigationsschaltflächen
command.show_statusbar=Statusleiste
command.show_search_button=Suchschaltfläche
command.thumbnails=Miniaturansichten
command.preview=Vorschau
command.alt_row_group_color=Abwechselnde Zeilenfarben
command.show_folder_size=Ordnergrößen
command.hide_selected_items=Auswahl ausblenden
command.goto_row=Gehe zu Zeile
command.options=Optionen
command.sumtor=Prüfsummen berechnen
command.web_server=Webserver
command.go_back=Zurück
command.go_forward=Vorwärts
command.go_up=Nach oben
command.new_search=Neue Suche
command.query_composer=Abfrage zusammenstellen
command.export=Exportieren
command.help=Hilfe
command.about=Über Nusk
command.visit_website=Webseite besuchen
command.check_for_updates=Nach Updates suchen
command.tip_of_the_day=Tipp des Tages
command.recent_locations=Letzte Orte

[dialog]
options=Optionen
named_searches_config=Gespeicherte Suchen
custom_actions_config=Benutzerdefinierte Aktionen
keyboard_shortcuts_config=Tastenkürzel
statistics=Statistik
tip_of_the_day=Tipp des Tages
query_composer=Abfrage zusammenstellen
web_server=Webserver
goto_row=Gehe zu Zeile
ignored_folders=Ignorierte Ordner
about=Über Nusk
check_for_updates=Nach Updates suchen
browse_for_db_location=Datenbankordner auswählen...

[tab]
general=Allgemein
result_list=Ergebnisliste
database=Datenbank
volumes=Laufwerke
misc=Sonstiges
folder_tree=Ordner

[button]
ok=OK
cancel=Abbrechen
close=Schließen
help=Hilfe
restore_defaults=Standardwerte
config_named_searches=Gespeicherte Suchen...
config_custom_actions=Aktionen...
config_keyboard_shortcuts=Tastenkürzel...
next_tip=&Nächster Tipp
previous_tip=&Vorheriger Tipp
start=Starten
stop=Beenden
launch_browser=Im Browser öffnen
assign=&Zuweisen
remove=&Entfernen

[label]
keyboard_shortcut=Tastenkürzel:
language=Sprache:
restart_required=(Neustart erforderlich)
volumes=Laufwerke, die in die Datenbank aufgenommen werden:
all_item_count=Einträge insgesamt:
folder_count=Ordner:
file_count=Dateien:
last_build_time=Zuletzt aufgebaut:
global_filter=Globaler Filter:
root_dir=Stammordner:
partial_path=Teilpfad:
file_name_begin=Dateiname beginnt mit:
file_name_contains=Dateiname enthält:
file_name_end=Dateiname endet mit:
search_for=Suchen nach:
min_file_size=Mindestgröße:
max_file_size=Höchstgröße:
modofied_date=Änderungsdatum:
drive_status=Laufwerkszustand:
misc_conditions=Weitere Bedingungen:
port=Port:
username=Benutzername:
password=Kennwort:
enter_row_number=Zeilennummer eingeben:
custom_actions_hint=Eine Aktion pro Zeile: Name=Befehlszeile (%1: das gewählte Element, %~dp1: sein Ordner)
named_searches_hint=Eine gespeicherte Suche pro Zeile: Name=Suche (verwendet als @Name)
ignored_folders=Ordner, die eine _nuskIgnore-Datei enthalten und daher nicht in der Datenbank sind:
minutes=Minuten
hours=Stunden
days=Tage
same_as_below=Wie unten
size_bytes=Bytes
bytes=Bytes
kb=KB
mb=MB
gb=GB
tb=TB

[checkbox]
ribbon_ui=Menüband statt Menü und Symbolleiste verwenden
explorer_style_result_list=Ergebnisliste im Stil des Explorers
minimize_to_tray=Beim Schließen in den Infobereich minimieren
start_minimized=Minimiert starten
no_minimize_notification=Keine Meldung beim Minimieren
close_by_esc=Mit Esc schließen
allow_mlti_instance=Mehrere Instanzen erlauben
show_folder_size=Ordnergrößen anzeigen
human_readable_size=Größen lesbar anzeigen (KB, MB, GB)
show_build_notification=Meldung nach dem Aufbau anzeigen
show_all_items_for_empty_search=Bei leerer Suche alle Einträge anzeigen
large_thumbnails=Große Miniaturansichten
auto_stretch_columns=Spaltenbreite automatisch anpassen
avoid_waking_up_sleeping_hdds=Ruhende Festplatten nicht aufwecken
exclude_hidden=Versteckte und Systemdateien ausschließen
exclude_by_name=Nach Namen ausschließen:
build_in_background=Im Hintergrund aufbauen
build_on_startup=Beim Start aufbauen
build_periodically=Regelmäßig aufbauen, alle
check_all=Alle auswählen
remember_recent_searches=Letzte Suchen merken
remember_opened_files=Geöffnete Dateien merken
remember_recent_locations=Letzte Orte merken
show_on_startup=Beim Start anzeigen
show_info_tip_on_ctrl_down=Infotipps nur bei gedrückter Strg-Taste
detailed_info_tip=Ausführliche Infotipps

[groupbox]
building=Aufbau
exclusion=Ausschlüsse
privacy=Datenschutz
info_tip=Infotipps
address=Adresse
authentication=Anmeldung
control=Steuerung

[radio]
files=Dateien
folders=Ordner
both=Beides
online=Verfügbar
offline=Nicht verfügbar
unspecified=Beliebig

[link]
reset_defaults=Standardwerte wiederherstellen

[prompt]
sorting_not_supported=Nach dieser Spalte kann nicht sortiert werden
database_built_successfully=Datenbank erfolgreich aufgebaut
clean_after_crash=Nusk wurde beim letzten Mal nicht ordnungsgemäß beendet.\nMeist liegt das an einer beschädigten Datenbank.\nDie Datenbank zu leeren und vollständig neu aufzubauen, kann das Problem beheben.\nMöchten Sie die Datenbank jetzt leeren?
rebuild_database_required=Ihre vorhandene Nusk-Datenbank passt nicht zu dieser Version von Nusk.\nSie muss neu aufgebaut werden, bevor Sie fortfahren können.\nKlicken Sie auf OK, um den Neuaufbau zu bestätigen, oder auf Abbrechen, um das Programm zu beenden.
build_failure_detected=Der Aufbau wurde offenbar unerwartet abgebrochen.\nSchließen Sie das fehlerhafte Laufwerk %s in den Optionen aus und bauen Sie die Datenbank erneut auf.
build_database_when_empty=Die Datenbank ist leer. Möchten Sie sie jetzt aufbauen?
clean_database_confirmation=Möchten Sie die Dateidatenbank wirklich leeren?\n(Bauen Sie sie danach wieder auf,\nsonst findet die Suche keine Dateien.)
no_file_selected=Bitte wählen Sie zuerst eine Datei aus
check_update_failed=Die Versionsinformationen konnten nicht von der Nusk-Webseite gelesen werden.
new_version_available=Eine neue Version von Nusk (%s) ist verfügbar.\nMöchten Sie sie jetzt herunterladen?
up_to_date=Nusk ist auf dem neuesten Stand!
remove_from_most_recent_opened_list=Die Datei oder der Ordner „%s“ kann nicht geöffnet werden. Aus der Liste der zuletzt geöffneten Elemente entfernen?
no_nusk_ignore_folder_found=Es gibt keinen Ordner mit einer Datei _nuskIgnore.
restart_required_to_apply_changed_options=Einige Änderungen werden erst nach einem Neustart wirksam. Möchten Sie Nusk jetzt neu starten?
invalid_interval_value=Ungültiges Intervall, bitte geben Sie eine Zahl ein
database_files_not_deleted=Einige Datenbankdateien konnten nicht gelöscht werden; die Datenbank wird über ihnen aufgebaut.
database_clean_failed=Die Datenbank konnte nicht geleert werden: eine ihrer Dateien ließ sich nicht löschen.
feature_not_supported_in_old_style_list=Nur die Ergebnisliste im Stil des Explorers unterstützt diese Funktion.\nBitte aktivieren Sie sie zuerst in den Optionen.
too_many_custom_actions=Es sind höchstens 24 benutzerdefinierte Aktionen möglich

[msg]
listview_empty_message=Geben Sie einen Dateinamen in das Textfeld ein, um die Suche zu starten
ready_status=Bereit
total_status=Insgesamt %s Einträge
result_found_count=%s Einträge gefunden (%d) ms
build_time=Aufbauzeit: %d ms
did_you_know=Wussten Sie schon...
what_s_new=Neuigkeiten
empty_menu=(Leer)
loading_database=Datenbank wird geladen...

[action]
copy_full_name=Vollständigen Namen in die Zwischenablage kopieren
locate_in_folder_tree=Im Ordnerbaum anzeigen
search_containing_folder=Im übergeordneten Ordner suchen
open_path=Pfad öffnen
find_duplicates=Duplikate suchen
go_back=Zurück
go_forward=Vorwärts
go_up=Nach oben

[column]
name=Name
path=Pfad
size=Größe
date=Änderungsdatum
type=Typ
creation_date=Erstelldatum
attributes=Attribute
extension=Erweiterung
file_count=Dateianzahl
hash=Prüfsumme
duplicate_count=Duplikate
command=Befehl
shortcut=Tastenkürzel

[term]
default=Standard
none=Keine

[tip]
tip_1=Die Ergebnisse folgen jeder Taste, die Sie tippen: Enter ist nicht nötig.
tip_2=Strg+Eingabe öffnet den Ordner, der das gewählte Element enthält.
tip_3=Strg+Umschalt+C kopiert den vollständigen Pfad der gewählten Elemente.
tip_4=Der Abfrage-Assistent (Strg+Q) baut eine Suche aus Ordner, Namensteilen, Größen und Daten.
tip_5=Alt+Links und Alt+Rechts gehen durch die Suchen dieses Fensters zurück und vor.
tip_6=Ziehen Sie Elemente aus der Ergebnisliste in jedes Programm, das Dateien annimmt.
tip_7=Strg+Plus und Strg+Minus ändern die Schriftgröße der Liste; Strg+0 setzt sie zurück.
tip_8=Extras > Webserver lässt einen Browser auf einem anderen Computer diesen Index durchsuchen.

[menuhelp]
file.export=Ergebnisliste in eine Datei exportieren
file.close=Fenster schließen
edit.copy=Ausgewählte Einträge in die Zwischenablage kopieren
edit.copy_name=Namen der ausgewählten Einträge kopieren
edit.copy_full_name=Vollständige Pfade der ausgewählten Einträge kopieren
edit.text_size=Textgröße der Ergebnisliste ändern
edit.text_size.increase=Text der Ergebnisliste vergrößern
edit.text_size.decrease=Text der Ergebnisliste verkleinern
edit.text_size.reset=Textgröße der Ergebnisliste zurücksetzen
database.build_all=Datenbank für alle Laufwerke aktualisieren
database.rebuild_all=Datenbank für alle Laufwerke vollständig neu aufbauen
database.clean=Datenbankeinträge entfernen
database.show_statistics=Statistik der Datenbank anzeigen
database.show_ignored_folders=Ordner mit einer Ignorieren-Markierung anzeigen
search.recent=Eine der letzten Suchen wiederholen
search.go_backword=Zur vorherigen Suche zurückkehren
search.go_forward=Zur nächsten Suche wechseln
search.go_up=Im übergeordneten Ordner suchen
tools.options=Einstellungen von Nusk ändern
view.folder_tree=Ordnerbaum ein- oder ausblenden
help.help=Hilfe zu Nusk anzeigen
help.tip_of_the_day=Tipp des Tages anzeigen
help.website=Die Webseite von Nusk besuchen
help.check_for_updates=Nach einer neueren Version von Nusk suchen
help.about=Version und Datenbankort von Nusk anzeigen
)ini";

}  // namespace nusk
