// French texts of the built-in language table, in the language-file format.
#include "l10n/builtin_ui.h"

namespace nusk {

const std::string_view kFrenchLanguageText = R"ini([META-INF]
language_name=Français

[menu]
file=&Fichier
file.open_path=Ouvrir l'&emplacement\tCtrl+Entrée
file.open=&Ouvrir\tEntrée
file.properties=&Propriétés\tAlt+Entrée
file.export=&Exporter...\tCtrl+S
file.close=&Fermer la fenêtre\tCtrl+W
file.exit=&Quitter
file.recent_opened=Ouverts &récemment
file.recent_opened.clear=&Vider la liste
file.more_actions=&Autres actions
file.more_actions.config=&Configurer les actions...
edit=&Édition
edit.copy=&Copier\tCtrl+C
edit.copy_name=Copier le &nom
edit.copy_full_name=Copier le &chemin complet\tCtrl+Maj+C
edit.text_size=&Taille du texte
edit.text_size.increase=&Agrandir\tCtrl++
edit.text_size.decrease=&Réduire\tCtrl+-
edit.text_size.reset=Taille &normale\tCtrl+0
edit.select_all=&Tout sélectionner\tCtrl+A
edit.select_none=&Désélectionner tout
edit.invert_selection=&Inverser la sélection
edit.goto_row=&Aller à la ligne...\tCtrl+G
edit.hide_selected_items=&Masquer les éléments sélectionnés
database=&Base de données
database.build_all=&Construire tous les lecteurs\tF5
database.rebuild_all=&Reconstruire tous les lecteurs
database.build=Construire un &lecteur
database.clean=&Vider la base
database.clean.empty=Retirer les entrées &vides
database.clean.all=&Tout vider
database.show_statistics=&Statistiques
database.show_ignored_folders=Dossiers &ignorés
database.load=&Charger une base
database.load.default=Emplacement par &défaut
database.load.browse=&Parcourir...
database.load.clear_recent=&Vider la liste
database.reload=&Recharger la base
database.reload_hash_info=Recharger les &empreintes
search=&Recherche
search.new_search=&Nouvelle recherche\tCtrl+N
search.recent=Recherches &récentes
search.recent.clear=&Vider la liste
search.recent_locations=&Emplacements récents
search.recent_locations.clear=&Vider la liste
search.named_searches=Recherches &enregistrées
search.named_searches.empty=(Vide)
search.named_searches.config=&Configurer les recherches enregistrées...
search.go_back=&Précédent\tAlt+Gauche
search.go_forward=&Suivant\tAlt+Droite
search.go_up=Dossier &parent\tAlt+Haut
search.query_composer=&Composer une requête...
tools=&Outils
tools.options=&Options...
tools.keyboard_shortcuts=&Raccourcis clavier...
tools.open_db_location=Ouvrir le dossier de la &base
tools.web_server=Serveur &web...
tools.preview_window=Fenêtre d'&aperçu
tools.compute_content_hashes=Calculer les empreintes de &contenu...
view=&Affichage
view.folder_tree=&Arborescence des dossiers
view.toolbar=&Barre d'outils
view.navigation_buttons=Boutons de &navigation
view.thumbnails=&Miniatures
view.alt_row_group_color=Couleurs de lignes &alternées
view.statusbar=Barre d'é&tat
view.search_button=Bouton de &recherche
help=&Aide
help.help=&Aide\tF1
help.website=Visiter le &site web
help.check_for_updates=Rechercher des &mises à jour...
help.tip_of_the_day=&Astuce du jour
help.about=À &propos de Nusk...

[context_menu]
toolbar.customize=&Personnaliser la barre d'outils...
toolbar.large_buttons=&Grands boutons
search_box.undo=&Annuler
search_box.cut=Co&uper
search_box.copy=&Copier
search_box.paste=C&oller
search_box.delete=&Supprimer
search_box.select_all=&Tout sélectionner
list_header.fit_columns=&Ajuster les colonnes au contenu
list_header.fill_columns=&Étendre les colonnes à la fenêtre
list_header.use_current_sort_order_in_query=Reporter le &tri actuel dans la requête
list.find_same_content=Rechercher les fichiers de même &contenu

[toolbar]
new_search=Nouvelle recherche
query_composer=Composer
recent_searches=Recherches récentes
named_searches=Recherches enregistrées
open_path=Ouvrir l'emplacement
open=Ouvrir
properties=Propriétés
more_actions=Autres actions
copy_full_name=Copier le chemin
copy_name=Copier le nom
copy=Copier
build_all=Tout construire
build=Construire
clean_all=Tout vider
clean=Vider
show_statistics=Statistiques
view_folder_tree=Arborescence
options=Options
exit=Quitter
help=Aide
about=À propos
check_for_udpates=Mises à jour
thumbnails=Miniatures
alt_row_group_color=Lignes alternées
web_server=Serveur web

[ribbon]
app.menu=Menu
app.help=Aide
app.recent_opened_items=Éléments ouverts récemment
tab.home=Accueil
tab.database=Base de données
tab.view=Affichage
tab.tools=Outils
group.file=Fichier
group.copy=Copier
group.search=Recherche
group.application=Application
group.build=Construction
group.clean=Nettoyage
group.misc=Divers
group.tools=Outils
group.zoom=Zoom
group.show_or_hide=Afficher/Masquer
group.display=Affichage
group.result_list=Liste des résultats
group_external_tools=Outils externes
command.open_path=Ouvrir l'emplacement
command.open=Ouvrir
command.properties=Propriétés
command.more_actions=Autres actions
command.more_actions.config=Configurer les actions
command.copy_path=Copier le chemin
command.copy_name=Copier le nom
command.copy=Copier
command.recent_searches=Recherches récentes
command.recent_searches.clear=Vider la liste
command.named_searches=Recherches enregistrées
command.named_searches.config=Configurer les recherches enregistrées
command.folder_tree=Arborescence
command.exit=Quitter
command.load_db=Charger une base
command.load_db.browse=Parcourir
command.load_db.default_location=Emplacement par défaut
command.build_all=Tout construire
command.build=Construire un lecteur
command.clean=Vider
command.clean.clean_all=Tout vider
command.statistics=Statistiques
command.show_ignored_folders=Dossiers ignorés
command.reload_database=Recharger la base
command.zoom_in=Agrandir
command.zoom_out=Réduire
command.zoom_reset=Taille normale
command.show_navigation_buttons=Boutons de navigation
command.show_statusbar=Barre d'état
command.show_search_button=Bouton de recherche
command.thumbnails=Miniatures
command.preview=Aperçu
command.alt_row_group_color=Couleurs de lignes alternées
command.show_folder_size=Taille des dossiers
command.hide_selected_items=Masquer la sélection
command.goto_row=Aller à la ligne
command.options=Options
command.sumtor=Calculer les empreintes
command.web_server=Serveur web
command.go_back=Précédent
command.go_forward=Suivant
command.go_up=Dossier parent
command.new_search=Nouvelle recherche
command.query_composer=Composer une requête
command.export=Exporter
command.help=Aide
command.about=À propos de Nusk
command.visit_website=Visiter le site web
command.check_for_updates=Rechercher des mises à jour
command.tip_of_the_day=Astuce du jour
command.recent_locations=Emplacements récents

[dialog]
options=Options
named_searches_config=Recherches enregistrées
custom_actions_config=Actions personnalisées
keyboard_shortcuts_config=Raccourcis clavier
statistics=Statistiques
tip_of_the_day=Astuce du jour
query_composer=Composer une requête
web_server=Serveur web
goto_row=Aller à la ligne
ignored_folders=Dossiers ignorés
about=À propos de Nusk
check_for_updates=Rechercher des mises à jour
browse_for_db_location=Choisir le dossier de la base...

[tab]
general=Général
result_list=Liste des résultats
database=Base de données
volumes=Lecteurs
misc=Divers
folder_tree=Dossiers

[button]
ok=OK
cancel=Annuler
close=Fermer
help=Aide
restore_defaults=Valeurs par défaut
config_named_searches=Recherches enregistrées...
config_custom_actions=Actions...
config_keyboard_shortcuts=Raccourcis...
next_tip=Astuce &suivante
previous_tip=Astuce &précédente
start=Démarrer
stop=Arrêter
launch_browser=Ouvrir le navigateur
assign=&Attribuer
remove=&Supprimer

[label]
keyboard_shortcut=Raccourci clavier :
language=Langue :
restart_required=(redémarrage nécessaire)
volumes=Lecteurs à inclure dans la base :
all_item_count=Nombre total d'éléments :
folder_count=Dossiers :
file_count=Fichiers :
last_build_time=Dernière construction :
global_filter=Filtre global :
root_dir=Dossier racine :
partial_path=Chemin partiel :
file_name_begin=Le nom commence par :
file_name_contains=Le nom contient :
file_name_end=Le nom se termine par :
search_for=Rechercher :
min_file_size=Taille minimale :
max_file_size=Taille maximale :
modofied_date=Date de modification :
drive_status=État du lecteur :
misc_conditions=Autres conditions :
port=Port :
username=Nom d'utilisateur :
password=Mot de passe :
enter_row_number=Numéro de ligne :
custom_actions_hint=Une action par ligne : nom=ligne de commande (%1 : l'élément sélectionné, %~dp1 : son dossier)
named_searches_hint=Une recherche enregistrée par ligne : nom=recherche (utilisée comme @nom)
ignored_folders=Dossiers exclus de la base parce qu'ils contiennent un fichier _nuskIgnore :
minutes=Minutes
hours=Heures
days=Jours
same_as_below=Comme ci-dessous
size_bytes=octets
bytes=Octets
kb=Ko
mb=Mo
gb=Go
tb=To

[checkbox]
ribbon_ui=Utiliser le ruban au lieu du menu et de la barre d'outils
explorer_style_result_list=Liste des résultats de style Explorateur
minimize_to_tray=Réduire dans la zone de notification à la fermeture
start_minimized=Démarrer réduit
no_minimize_notification=Pas de notification lors de la réduction
close_by_esc=Fermer avec Échap
allow_mlti_instance=Autoriser plusieurs instances
show_folder_size=Afficher la taille des dossiers
human_readable_size=Tailles lisibles (Ko, Mo, Go)
show_build_notification=Notifier la fin de la construction
show_all_items_for_empty_search=Afficher tous les éléments pour une recherche vide
large_thumbnails=Grandes miniatures
auto_stretch_columns=Ajuster automatiquement les colonnes
avoid_waking_up_sleeping_hdds=Ne pas réveiller les disques en veille
exclude_hidden=Exclure les fichiers cachés et système
exclude_by_name=Exclure par nom :
build_in_background=Construire en arrière-plan
build_on_startup=Construire au démarrage
build_periodically=Construire régulièrement, toutes les
check_all=Tout cocher
remember_recent_searches=Mémoriser les recherches récentes
remember_opened_files=Mémoriser les fichiers ouverts
remember_recent_locations=Mémoriser les emplacements récents
show_on_startup=Afficher au démarrage
show_info_tip_on_ctrl_down=Info-bulles seulement avec Ctrl enfoncé
detailed_info_tip=Info-bulles détaillées

[groupbox]
building=Construction
exclusion=Exclusions
privacy=Confidentialité
info_tip=Info-bulles
address=Adresse
authentication=Authentification
control=Contrôle

[radio]
files=Fichiers
folders=Dossiers
both=Les deux
online=Disponible
offline=Indisponible
unspecified=Indifférent

[link]
reset_defaults=Rétablir les valeurs par défaut

[prompt]
sorting_not_supported=Cette colonne ne permet pas le tri
database_built_successfully=Base de données construite
clean_after_crash=Nusk ne s'est pas fermé correctement la dernière fois.\nLa cause la plus fréquente est une base de données endommagée.\nVider la base puis la reconstruire entièrement peut résoudre le problème.\nVoulez-vous vider la base maintenant ?
rebuild_database_required=Votre base de données Nusk n'est pas compatible avec cette version de Nusk.\nElle doit être reconstruite avant de continuer.\nCliquez sur OK pour confirmer la reconstruction, ou sur Annuler pour quitter.
build_failure_detected=La construction semble s'être arrêtée de manière inattendue.\nExcluez le lecteur en échec %s dans les options, puis relancez la construction.
build_database_when_empty=La base de données est vide. Voulez-vous la construire maintenant ?
clean_database_confirmation=Voulez-vous vraiment vider la base de données ?\n(Reconstruisez-la ensuite,\nsinon la recherche de fichiers ne fonctionnera pas.)
no_file_selected=Veuillez d'abord sélectionner un fichier
check_update_failed=Impossible de lire les informations de version sur le site de Nusk.
new_version_available=Une nouvelle version de Nusk (%s) est disponible.\nVoulez-vous la télécharger maintenant ?
up_to_date=Nusk est à jour !
remove_from_most_recent_opened_list=Impossible d'ouvrir le fichier ou le dossier « %s ». Voulez-vous le retirer de la liste des éléments récents ?
no_nusk_ignore_folder_found=Aucun dossier ne contient de fichier _nuskIgnore.
restart_required_to_apply_changed_options=Certaines modifications ne prendront effet qu'après un redémarrage. Voulez-vous redémarrer maintenant ?
invalid_interval_value=Intervalle non valide, veuillez saisir un nombre
database_files_not_deleted=Certains fichiers de la base de données n'ont pas pu être supprimés ; la base est construite par-dessus.
database_clean_failed=La base de données n'a pas pu être vidée : un de ses fichiers n'a pas pu être supprimé.
feature_not_supported_in_old_style_list=Seule la liste de style Explorateur prend en charge cette fonction.\nActivez-la d'abord dans les options.
too_many_custom_actions=Les actions personnalisées sont limitées à 24

[msg]
listview_empty_message=Saisissez un nom de fichier dans la zone de texte pour lancer la recherche
ready_status=Prêt
total_status=%s éléments au total
result_found_count=%s éléments trouvés (%d) ms
build_time=Durée de construction : %d ms
did_you_know=Le saviez-vous...
what_s_new=Nouveautés
empty_menu=(Vide)
loading_database=Chargement de la base...

[action]
copy_full_name=Copier le nom complet dans le presse-papiers
locate_in_folder_tree=Afficher dans l'arborescence
search_containing_folder=Rechercher dans le dossier parent
open_path=Ouvrir l'emplacement
find_duplicates=Rechercher les doublons
go_back=Précédent
go_forward=Suivant
go_up=Dossier parent

[column]
name=Nom
path=Chemin
size=Taille
date=Modifié le
type=Type
creation_date=Créé le
attributes=Attributs
extension=Extension
file_count=Nombre de fichiers
hash=Empreinte
duplicate_count=Doublons
command=Commande
shortcut=Raccourci

[term]
default=Par défaut
none=Aucun

[tip]
tip_1=Les résultats suivent chaque touche tapée : inutile d'appuyer sur Entrée.
tip_2=Ctrl+Entrée ouvre le dossier qui contient l'élément sélectionné.
tip_3=Ctrl+Maj+C copie le chemin complet des éléments sélectionnés.
tip_4=Le compositeur de requête (Ctrl+Q) construit une recherche à partir d'un dossier, de parties du nom, de tailles et de dates.
tip_5=Alt+Gauche et Alt+Droite parcourent les recherches de cette fenêtre en arrière et en avant.
tip_6=Faites glisser des éléments de la liste vers tout programme qui accepte des fichiers.
tip_7=Ctrl+Plus et Ctrl+Moins changent la taille du texte de la liste ; Ctrl+0 la rétablit.
tip_8=Outils > Serveur Web permet à un navigateur sur un autre ordinateur de chercher dans cet index.

[menuhelp]
file.export=Exporter la liste des résultats dans un fichier
file.close=Fermer la fenêtre
edit.copy=Copier les éléments sélectionnés dans le presse-papiers
edit.copy_name=Copier le nom des éléments sélectionnés
edit.copy_full_name=Copier le chemin complet des éléments sélectionnés
edit.text_size=Changer la taille du texte de la liste
edit.text_size.increase=Agrandir le texte de la liste
edit.text_size.decrease=Réduire le texte de la liste
edit.text_size.reset=Rétablir la taille du texte de la liste
database.build_all=Mettre à jour la base pour tous les lecteurs
database.rebuild_all=Reconstruire entièrement la base pour tous les lecteurs
database.clean=Retirer des entrées de la base
database.show_statistics=Afficher les statistiques de la base
database.show_ignored_folders=Afficher les dossiers marqués comme ignorés
search.recent=Relancer une recherche récente
search.go_backword=Revenir à la recherche précédente
search.go_forward=Passer à la recherche suivante
search.go_up=Rechercher dans le dossier parent
tools.options=Modifier les réglages de Nusk
view.folder_tree=Afficher ou masquer l'arborescence des dossiers
help.help=Afficher l'aide de Nusk
help.tip_of_the_day=Afficher l'astuce du jour
help.website=Visiter le site web de Nusk
help.check_for_updates=Rechercher une version plus récente de Nusk
help.about=Afficher la version de Nusk et l'emplacement de la base
)ini";

}  // namespace nusk
