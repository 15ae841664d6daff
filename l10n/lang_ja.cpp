// Japanese texts of the built-in language table, in the language-file format.
#include "l10n/builtin_ui.h"

namespace nusk {

const std::string_view kJapaneseLanguageText = R"ini([META-INF]
language_name=日本語

[menu]
file=ファイル(&F)
file.open_path=パスを開く(&P)\tCtrl+Enter
file.open=開く(&O)\tEnter
file.properties=プロパティ(&R)\tAlt+Enter
file.export=エクスポート(&E)...\tCtrl+S
file.close=ウィンドウを閉じる(&C)\tCtrl+W
file.exit=終了(&X)
file.recent_opened=最近開いた項目(&T)
file.recent_opened.clear=一覧を消去(&L)
file.more_actions=その他の操作(&M)
file.more_actions.config=操作の設定(&G)...
edit=編集(&E)
edit.copy=コピー(&C)\tCtrl+C
edit.copy_name=名前をコピー(&N)
edit.copy_full_name=フルパスをコピー(&F)\tCtrl+Shift+C
edit.text_size=文字サイズ(&T)
edit.text_size.increase=拡大(&I)\tCtrl++
edit.text_size.decrease=縮小(&D)\tCtrl+-
edit.text_size.reset=元のサイズ(&R)\tCtrl+0
edit.select_all=すべて選択(&A)\tCtrl+A
edit.select_none=選択を解除(&S)
edit.invert_selection=選択を反転(&V)
edit.goto_row=指定行へ移動(&G)...\tCtrl+G
edit.hide_selected_items=選択した項目を隠す(&H)
database=データベース(&D)
database.build_all=すべてのドライブを構築(&A)\tF5
database.rebuild_all=すべてのドライブを再構築(&R)
database.build=ドライブを構築(&B)
database.clean=データベースを消去(&C)
database.clean.empty=空の項目を削除(&E)
database.clean.all=すべて消去(&A)
database.show_statistics=統計情報(&S)
database.show_ignored_folders=除外されたフォルダー(&I)
database.load=データベースを読み込む(&L)
database.load.default=既定の場所(&D)
database.load.browse=参照(&B)...
database.load.clear_recent=一覧を消去(&L)
database.reload=データベースを再読み込み(&O)
database.reload_hash_info=ハッシュ情報を再読み込み(&H)
search=検索(&S)
search.new_search=新しい検索(&N)\tCtrl+N
search.recent=最近の検索(&R)
search.recent.clear=一覧を消去(&L)
search.recent_locations=最近の場所(&O)
search.recent_locations.clear=一覧を消去(&L)
search.named_searches=保存した検索(&S)
search.named_searches.empty=(なし)
search.named_searches.config=保存した検索の設定(&C)...
search.go_back=戻る(&B)\tAlt+←
search.go_forward=進む(&F)\tAlt+→
search.go_up=上のフォルダー(&U)\tAlt+↑
search.query_composer=検索条件の作成(&Q)...
tools=ツール(&T)
tools.options=オプション(&O)...
tools.keyboard_shortcuts=キーボード ショートカット(&K)...
tools.open_db_location=データベースのフォルダーを開く(&D)
tools.web_server=Web サーバー(&W)...
tools.preview_window=プレビュー ウィンドウ(&P)
tools.compute_content_hashes=内容のハッシュを計算(&H)...
view=表示(&V)
view.folder_tree=フォルダー ツリー(&F)
view.toolbar=ツール バー(&T)
view.navigation_buttons=移動ボタン(&N)
view.thumbnails=縮小表示(&H)
view.alt_row_group_color=行の色を交互に変える(&A)
view.statusbar=ステータス バー(&S)
view.search_button=検索ボタン(&B)
help=ヘルプ(&H)
help.help=ヘルプ(&H)\tF1
help.website=Web サイトへ(&W)
help.check_for_updates=更新の確認(&U)...
help.tip_of_the_day=今日のヒント(&T)
help.about=Nusk について(&A)...

[context_menu]
toolbar.customize=ツール バーのカスタマイズ(&C)...
toolbar.large_buttons=大きいボタン(&L)
search_box.undo=元に戻す(&U)
search_box.cut=切り取り(&T)
search_box.copy=コピー(&C)
search_box.paste=貼り付け(&P)
search_box.delete=削除(&D)
search_box.select_all=すべて選択(&A)
list_header.fit_columns=列幅を内容に合わせる(&F)
list_header.fill_columns=列幅をウィンドウに合わせる(&W)
list_header.use_current_sort_order_in_query=現在の並べ替えを検索条件に使う(&S)
list.find_same_content=同じ内容のファイルを検索(&C)

[toolbar]
new_search=新しい検索
query_composer=検索条件の作成
recent_searches=最近の検索
named_searches=保存した検索
open_path=パスを開く
open=開く
properties=プロパティ
more_actions=その他の操作
copy_full_name=パスをコピー
copy_name=名前をコピー
copy=コピー
build_all=すべて構築
build=構築
clean_all=すべて消去
clean=消去
show_statistics=統計情報
view_folder_tree=フォルダー ツリー
options=オプション
exit=終了
help=ヘルプ
about=バージョン情報
check_for_udpates=更新の確認
thumbnails=縮小表示
alt_row_group_color=行の色分け
web_server=Web サーバー

[ribbon]
app.menu=メニュー
app.help=ヘルプ
app.recent_opened_items=最近開いた項目
tab.home=ホーム
tab.database=データベース
tab.view=表示
tab.tools=ツール
group.file=ファイル
group.copy=コピー
group.search=検索
group.application=アプリケーション
group.build=構築
group.clean=消去
group.misc=その他
group.tools=ツール
group.zoom=ズーム
group.show_or_hide=表示/非表示
group.display=表示
group.result_list=結果一覧
group_external_tools=外部ツール
command.open_path=パスを開く
command.open=開く
command.properties=プロパティ
command.more_actions=その他の操作
command.more_actions.config=操作の設定
command.copy_path=パスをコピー
command.copy_name=名前をコピー
command.copy=コピー
command.recent_searches=最近の検索
command.recent_searches.clear=一覧を消去
command.named_searches=保存した検索
command.named_searches.config=保存した検索の設定
command.folder_tree=フォルダー ツリー
command.exit=終了
command.load_db=データベースを読み込む
command.load_db.browse=参照
command.load_db.default_location=既定の場所
command.build_all=すべて構築
command.build=ドライブを構築
command.clean=消去
command.clean.clean_all=すべて消去
command.statistics=統計情報
command.show_ignored_folders=除外されたフォルダー
command.reload_database=データベースを再読み込み
command.zoom_in=拡大
command.zoom_out=縮小
command.zoom_reset=元のサイズ
command.show_navigation_buttons=移動ボタン
command.show_statusbar=ステータス バー
command.show_search_button=検索ボタン
command.thumbnails=縮小表示
command.preview=プレビュー
command.alt_row_group_color=行の色を交互に変える
command.show_folder_size=フォルダーのサイズ
command.hide_selected_items=選択項目を隠す
command.goto_row=指定行へ移動
command.options=オプション
command.sumtor=ハッシュを計算
command.web_server=Web サーバー
command.go_back=戻る
command.go_forward=進む
command.go_up=上へ
command.new_search=新しい検索
command.query_composer=検索条件の作成
command.export=エクスポート
command.help=ヘルプ
command.about=Nusk について
command.visit_website=Web サイトへ
command.check_for_updates=更新の確認
command.tip_of_the_day=今日のヒント
command.recent_locations=最近の場所

[dialog]
options=オプション
named_searches_config=保存した検索
custom_actions_config=カスタム操作
keyboard_shortcuts_config=キーボード ショートカット
statistics=統計情報
tip_of_the_day=今日のヒント
query_composer=検索条件の作成
web_server=Web サーバー
goto_row=指定行へ移動
ignored_folders=除外されたフォルダー
about=Nusk について
check_for_updates=更新の確認
browse_for_db_location=データベースの場所を選択...

[tab]
general=全般
result_list=結果一覧
database=データベース
volumes=ドライブ
misc=その他
folder_tree=フォルダー

[button]
ok=OK
cancel=キャンセル
close=閉じる
help=ヘルプ
restore_defaults=既定値に戻す
config_named_searches=保存した検索...
config_custom_actions=カスタム操作...
config_keyboard_shortcuts=ショートカット...
next_tip=次のヒント(&N)
previous_tip=前のヒント(&P)
start=開始
stop=停止
launch_browser=ブラウザーで開く
assign=割り当て(&A)
remove=削除(&R)

[label]
keyboard_shortcut=ショートカット キー:
language=言語:
restart_required=(再起動が必要です)
volumes=データベースに含めるドライブ:
all_item_count=項目の総数:
folder_count=フォルダー数:
file_count=ファイル数:
last_build_time=最終構築日時:
global_filter=共通フィルター:
root_dir=基準フォルダー:
partial_path=パスの一部:
file_name_begin=ファイル名の先頭:
file_name_contains=ファイル名に含む:
file_name_end=ファイル名の末尾:
search_for=検索対象:
min_file_size=最小サイズ:
max_file_size=最大サイズ:
modofied_date=更新日時:
drive_status=ドライブの状態:
misc_conditions=その他の条件:
port=ポート:
username=ユーザー名:
password=パスワード:
enter_row_number=行番号を入力:
custom_actions_hint=1 行に 1 つの操作: 名前=コマンド ライン (%1: 選択した項目、%~dp1: そのフォルダー)
named_searches_hint=1 行に 1 つの保存した検索: 名前=検索 (@名前 で使用)
ignored_folders=_nuskIgnore ファイルがあるためデータベースから除外されたフォルダー:
minutes=分
hours=時間
days=日
same_as_below=下と同じ
size_bytes=バイト
bytes=バイト
kb=KB
mb=MB
gb=GB
tb=TB

[checkbox]
ribbon_ui=メニューとツール バーの代わりにリボンを使う
explorer_style_result_list=エクスプローラー形式の結果一覧
minimize_to_tray=閉じるときに通知領域へ最小化する
start_minimized=最小化して起動する
no_minimize_notification=最小化したときに通知しない
close_by_esc=Esc キーで閉じる
allow_mlti_instance=複数の起動を許可する
show_folder_size=フォルダーのサイズを表示する
human_readable_size=サイズを KB、MB、GB で表示する
show_build_notification=構築の完了を通知する
show_all_items_for_empty_search=検索語が空のときはすべての項目を表示する
large_thumbnails=大きい縮小表示
auto_stretch_columns=列幅を自動調整する
avoid_waking_up_sleeping_hdds=休止中のハード ディスクを起こさない
exclude_hidden=隠しファイルとシステム ファイルを除外する
exclude_by_name=名前で除外する:
build_in_background=バックグラウンドで構築する
build_on_startup=起動時に構築する
build_periodically=定期的に構築する。間隔:
check_all=すべて選択
remember_recent_searches=最近の検索を記録する
remember_opened_files=開いたファイルを記録する
remember_recent_locations=最近の場所を記録する
show_on_startup=起動時に表示する
show_info_tip_on_ctrl_down=Ctrl キーを押している間だけヒントを表示する
detailed_info_tip=詳しいヒントを表示する

[groupbox]
building=構築
exclusion=除外
privacy=プライバシー
info_tip=ヒント
address=アドレス
authentication=認証
control=操作

[radio]
files=ファイル
folders=フォルダー
both=両方
online=オンライン
offline=オフライン
unspecified=指定なし

[link]
reset_defaults=既定値に戻す

[prompt]
sorting_not_supported=この列では並べ替えできません
database_built_successfully=データベースの構築が完了しました
clean_after_crash=前回 Nusk は正しく終了しませんでした。\n多くの場合、データベースの破損が原因です。\nデータベースを消去して完全に再構築すると解決する場合があります。\n今すぐデータベースを消去しますか?
rebuild_database_required=既存の Nusk データベースはこのバージョンの Nusk と互換性がありません。\n続行するにはデータベースの再構築が必要です。\n再構築する場合は [OK] を、終了する場合は [キャンセル] をクリックしてください。
build_failure_detected=構築処理が予期せず停止したようです。\nオプションで失敗したドライブ %s を除外してから、もう一度構築してください。
build_database_when_empty=データベースが空です。今すぐ構築しますか?
clean_database_confirmation=ファイル データベースを消去してもよろしいですか?\n(消去した後は必ずデータベースを構築してください。\n構築しないとファイルを検索できません。)
no_file_selected=先にファイルを選択してください
check_update_failed=Nusk の Web サイトから最新バージョンの情報を取得できませんでした。
new_version_available=Nusk の新しいバージョン (%s) が利用できます。\n今すぐダウンロードしますか?
up_to_date=Nusk は最新です。
remove_from_most_recent_opened_list=ファイルまたはフォルダー「%s」を開けません。最近開いた項目の一覧から削除しますか?
no_nusk_ignore_folder_found=_nuskIgnore を含むフォルダーはありません。
restart_required_to_apply_changed_options=一部の設定の変更を反映するにはアプリケーションの再起動が必要です。今すぐ再起動しますか?
invalid_interval_value=間隔の値が正しくありません。数値を入力してください
database_files_not_deleted=一部のデータベース ファイルを削除できませんでした。データベースはその上に作成されます。
database_clean_failed=データベースを消去できませんでした: データベースのファイルを削除できませんでした。
feature_not_supported_in_old_style_list=この機能はエクスプローラー形式の結果一覧でのみ使用できます。\n先にオプションでこの形式を有効にしてください。
too_many_custom_actions=カスタム操作は 24 個までです

[msg]
listview_empty_message=検索を始めるには、テキスト ボックスにファイル名を入力してください
ready_status=準備完了
total_status=合計 %s 項目
result_found_count=%s 項目が見つかりました (%d) ms
build_time=構築時間: %d ms
did_you_know=ご存じですか...
what_s_new=新機能
empty_menu=(なし)
loading_database=データベースを読み込んでいます..

[action]
copy_full_name=フルパスをクリップボードにコピー
locate_in_folder_tree=フォルダー ツリーで表示
search_containing_folder=親フォルダー内を検索
open_path=パスを開く
find_duplicates=重複を検索
go_back=戻る
go_forward=進む
go_up=上へ

[column]
name=名前
path=パス
size=サイズ
date=更新日時
type=種類
creation_date=作成日時
attributes=属性
extension=拡張子
file_count=ファイル数
hash=ハッシュ
duplicate_count=重複数
command=コマンド
shortcut=ショートカット

[term]
default=既定
none=なし

[tip]
tip_1=入力するたびに結果が更新されます。Enter キーを押す必要はありません。
tip_2=Ctrl+Enter で、選択した項目を含むフォルダーを開きます。
tip_3=Ctrl+Shift+C で、選択した項目のフルパスをコピーします。
tip_4=検索条件の作成 (Ctrl+Q) では、フォルダー、名前の一部、サイズ、日付から検索を組み立てられます。
tip_5=Alt+← と Alt+→ で、このウィンドウの検索を前後に移動できます。
tip_6=結果一覧の項目は、ファイルを受け付ける任意のプログラムへドラッグできます。
tip_7=Ctrl+プラスと Ctrl+マイナスで一覧の文字サイズを変更し、Ctrl+0 で元に戻します。
tip_8=ツール > Web サーバーを使うと、別のコンピューターのブラウザーからこのインデックスを検索できます。

[menuhelp]
file.export=結果一覧をファイルにエクスポートします
file.close=ウィンドウを閉じます
edit.copy=選択した項目をクリップボードにコピーします
edit.copy_name=選択した項目の名前をコピーします
edit.copy_full_name=選択した項目のフルパスをコピーします
edit.text_size=結果一覧の文字サイズを変更します
edit.text_size.increase=結果一覧の文字を大きくします
edit.text_size.decrease=結果一覧の文字を小さくします
edit.text_size.reset=結果一覧の文字サイズを元に戻します
database.build_all=すべてのドライブのデータベースを更新します
database.rebuild_all=すべてのドライブのデータベースを最初から作り直します
database.clean=データベースから項目を削除します
database.show_statistics=データベースの統計情報を表示します
database.show_ignored_folders=除外マーカーのあるフォルダーを表示します
search.recent=最近の検索をもう一度実行します
search.go_backword=前の検索に戻ります
search.go_forward=次の検索に進みます
search.go_up=親フォルダー内を検索します
tools.options=Nusk の設定を変更します
view.folder_tree=フォルダー ツリーの表示を切り替えます
help.help=Nusk のヘルプを表示します
help.tip_of_the_day=今日のヒントを表示します
help.website=Nusk の Web サイトを開きます
help.check_for_updates=Nusk の新しいバージョンを確認します
help.about=Nusk のバージョンとデータベースの場所を表示します
)ini";

}  // namespace nusk
