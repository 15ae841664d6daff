// Traditional Chinese texts of the built-in language table, in the language-file format.
#include "l10n/builtin_ui.h"

namespace nusk {

const std::string_view kTraditionalChineseLanguageText = R"ini([META-INF]
language_name=正體中文

[menu]
file=檔案(&F)
file.open_path=開啟路徑(&P)\tCtrl+Enter
file.open=開啟(&O)\tEnter
file.properties=內容(&R)\tAlt+Enter
file.export=匯出(&E)...\tCtrl+S
file.close=關閉視窗(&C)\tCtrl+W
file.exit=結束(&X)
file.recent_opened=最近開啟的項目(&T)
file.recent_opened.clear=清除清單(&L)
file.more_actions=更多動作(&M)
file.more_actions.config=設定動作(&G)...
edit=編輯(&E)
edit.copy=複製(&C)\tCtrl+C
edit.copy_name=複製名稱(&N)
edit.copy_full_name=複製完整路徑(&F)\tCtrl+Shift+C
edit.text_size=文字大小(&T)
edit.text_size.increase=放大(&I)\tCtrl++
edit.text_size.decrease=縮小(&D)\tCtrl+-
edit.text_size.reset=原始大小(&R)\tCtrl+0
edit.select_all=全選(&A)\tCtrl+A
edit.select_none=取消選取(&S)
edit.invert_selection=反向選取(&V)
edit.goto_row=跳至指定列(&G)...\tCtrl+G
edit.hide_selected_items=隱藏選取的項目(&H)
database=資料庫(&D)
database.build_all=建立所有磁碟機(&A)\tF5
database.rebuild_all=重新建立所有磁碟機(&R)
database.build=建立磁碟機(&B)
database.clean=清除資料庫(&C)
database.clean.empty=移除空白項目(&E)
database.clean.all=全部清除(&A)
database.show_statistics=統計資訊(&S)
database.show_ignored_folders=已忽略的資料夾(&I)
database.load=載入資料庫(&L)
database.load.default=預設位置(&D)
database.load.browse=瀏覽(&B)...
database.load.clear_recent=清除清單(&L)
database.reload=重新載入資料庫(&O)
database.reload_hash_info=重新載入雜湊資訊(&H)
search=搜尋(&S)
search.new_search=新搜尋(&N)\tCtrl+N
search.recent=最近的搜尋(&R)
search.recent.clear=清除清單(&L)
search.recent_locations=最近的位置(&O)
search.recent_locations.clear=清除清單(&L)
search.named_searches=已儲存的搜尋(&S)
search.named_searches.empty=(空白)
search.named_searches.config=設定已儲存的搜尋(&C)...
search.go_back=上一頁(&B)\tAlt+←
search.go_forward=下一頁(&F)\tAlt+→
search.go_up=上一層資料夾(&U)\tAlt+↑
search.query_composer=組合查詢條件(&Q)...
tools=工具(&T)
tools.options=選項(&O)...
tools.keyboard_shortcuts=鍵盤快速鍵(&K)...
tools.open_db_location=開啟資料庫資料夾(&D)
tools.web_server=網頁伺服器(&W)...
tools.preview_window=預覽視窗(&P)
tools.compute_content_hashes=計算內容雜湊值(&H)...
view=檢視(&V)
view.folder_tree=資料夾樹狀結構(&F)
view.toolbar=工具列(&T)
view.navigation_buttons=瀏覽按鈕(&N)
view.thumbnails=縮圖(&H)
view.alt_row_group_color=交替列色彩(&A)
view.statusbar=狀態列(&S)
view.search_button=搜尋按鈕(&B)
help=說明(&H)
help.help=說明(&H)\tF1
help.website=造訪網站(&W)
help.check_for_updates=檢查更新(&U)...
help.tip_of_the_day=每日提示(&T)
help.about=關於 Nusk(&A)...

[context_menu]
toolbar.customize=自訂工具列(&C)...
toolbar.large_buttons=大型按鈕(&L)
search_box.undo=復原(&U)
search_box.cut=剪下(&T)
search_box.copy=複製(&C)
search_box.paste=貼上(&P)
search_box.delete=刪除(&D)
search_box.select_all=全選(&A)
list_header.fit_columns=欄寬符合內容(&F)
list_header.fill_columns=欄寬填滿視窗(&W)
list_header.use_current_sort_order_in_query=將目前的排序加入查詢條件(&S)
list.find_same_content=尋找內容相同的檔案(&C)

[toolbar]
new_search=新搜尋
query_composer=組合查詢
recent_searches=最近的搜尋
named_searches=已儲存的搜尋
open_path=開啟路徑
open=開啟
properties=內容
more_actions=更多動作
copy_full_name=複製路徑
copy_name=複製名稱
copy=複製
build_all=全部建立
build=建立
clean_all=全部清除
clean=清除
show_statistics=統計資訊
view_folder_tree=資料夾樹狀結構
options=選項
exit=結束
help=說明
about=關於
check_for_udpates=檢查更新
thumbnails=縮圖
alt_row_group_color=交替列色彩
web_server=網頁伺服器

[ribbon]
app.menu=功能表
app.help=說明
app.recent_opened_items=最近開啟的項目
tab.home=常用
tab.database=資料庫
tab.view=檢視
tab.tools=工具
group.file=檔案
group.copy=複製
group.search=搜尋
group.application=應用程式
group.build=建立
group.clean=清除
group.misc=其他
group.tools=工具
group.zoom=縮放
group.show_or_hide=顯示/隱藏
group.display=顯示
group.result_list=結果清單
group_external_tools=外部工具
command.open_path=開啟路徑
command.open=開啟
command.properties=內容
command.more_actions=更多動作
command.more_actions.config=設定動作
command.copy_path=複製路徑
command.copy_name=複製名稱
command.copy=複製
command.recent_searches=最近的搜尋
command.recent_searches.clear=清除清單
command.named_searches=已儲存的搜尋
command.named_searches.config=設定已儲存的搜尋
command.folder_tree=資料夾樹狀結構
command.exit=結束
command.load_db=載入資料庫
command.load_db.browse=瀏覽
command.load_db.default_location=預設位置
command.build_all=全部建立
command.build=建立磁碟機
command.clean=清除
command.clean.clean_all=全部清除
command.statistics=統計資訊
command.show_ignored_folders=已忽略的資料夾
command.reload_database=重新載入資料庫
command.zoom_in=放大
command.zoom_out=縮小
command.zoom_reset=原始大小
command.show_navigation_buttons=瀏覽按鈕
command.show_statusbar=狀態列
command.show_search_button=搜尋按鈕
command.thumbnails=縮圖
command.preview=預覽
command.alt_row_group_color=交替列色彩
command.show_folder_size=資料夾大小
command.hide_selected_items=隱藏選取項目
command.goto_row=跳至指定列
command.options=選項
command.sumtor=計算雜湊值
command.web_server=網頁伺服器
command.go_back=上一頁
command.go_forward=下一頁
command.go_up=上一層
command.new_search=新搜尋
command.query_composer=組合查詢條件
command.export=匯出
command.help=說明
command.about=關於 Nusk
command.visit_website=造訪網站
command.check_for_updates=檢查更新
command.tip_of_the_day=每日提示
command.recent_locations=最近的位置

[dialog]
options=選項
named_searches_config=已儲存的搜尋
custom_actions_config=自訂動作
keyboard_shortcuts_config=鍵盤快速鍵
statistics=統計資訊
tip_of_the_day=每日提示
query_composer=組合查詢條件
web_server=網頁伺服器
goto_row=跳至指定列
ignored_folders=已忽略的資料夾
about=關於 Nusk
check_for_updates=檢查更新
browse_for_db_location=選擇資料庫位置...

[tab]
general=一般
result_list=結果清單
database=資料庫
volumes=磁碟機
misc=其他
folder_tree=資料夾

[button]
ok=確定
cancel=取消
close=關閉
help=說明
restore_defaults=還原預設值
config_named_searches=已儲存的搜尋...
config_custom_actions=自訂動作...
config_keyboard_shortcuts=快速鍵...
next_tip=下一則提示(&N)
previous_tip=上一則提示(&P)
start=啟動
stop=停止
launch_browser=在瀏覽器中開啟
assign=指派(&A)
remove=移除(&R)

[label]
keyboard_shortcut=快速鍵:
language=語言:
restart_required=(需要重新啟動)
volumes=要納入資料庫的磁碟機:
all_item_count=項目總數:
folder_count=資料夾數:
file_count=檔案數:
last_build_time=上次建立時間:
global_filter=全域篩選:
root_dir=根資料夾:
partial_path=部分路徑:
file_name_begin=檔名開頭為:
file_name_contains=檔名包含:
file_name_end=檔名結尾為:
search_for=搜尋對象:
min_file_size=最小大小:
max_file_size=最大大小:
modofied_date=修改日期:
drive_status=磁碟機狀態:
misc_conditions=其他條件:
port=連接埠:
username=使用者名稱:
password=密碼:
enter_row_number=輸入列號:
custom_actions_hint=每行一個動作: 名稱=命令列 (%1: 選取的項目, %~dp1: 其所在資料夾)
named_searches_hint=每行一個已儲存的搜尋: 名稱=搜尋內容 (以 @名稱 使用)
ignored_folders=因包含 _nuskIgnore 檔案而未加入資料庫的資料夾:
minutes=分鐘
hours=小時
days=天
same_as_below=同下
size_bytes=位元組
bytes=位元組
kb=KB
mb=MB
gb=GB
tb=TB

[checkbox]
ribbon_ui=使用功能區取代功能表與工具列
explorer_style_result_list=檔案總管樣式的結果清單
minimize_to_tray=關閉時最小化到通知區域
start_minimized=啟動時最小化
no_minimize_notification=最小化時不顯示通知
close_by_esc=按 Esc 關閉
allow_mlti_instance=允許多個執行個體
show_folder_size=顯示資料夾大小
human_readable_size=以 KB、MB、GB 顯示大小
show_build_notification=建立完成時通知
show_all_items_for_empty_search=搜尋為空白時顯示所有項目
large_thumbnails=大型縮圖
auto_stretch_columns=自動調整欄寬
avoid_waking_up_sleeping_hdds=不喚醒休眠中的硬碟
exclude_hidden=排除隱藏檔與系統檔
exclude_by_name=依名稱排除:
build_in_background=在背景建立
build_on_startup=啟動時建立
build_periodically=定期建立,間隔:
check_all=全選
remember_recent_searches=記住最近的搜尋
remember_opened_files=記住開啟過的檔案
remember_recent_locations=記住最近的位置
show_on_startup=啟動時顯示
show_info_tip_on_ctrl_down=僅在按住 Ctrl 時顯示提示
detailed_info_tip=詳細提示

[groupbox]
building=建立
exclusion=排除
privacy=隱私
info_tip=提示
address=位址
authentication=驗證
control=控制

[radio]
files=檔案
folders=資料夾
both=兩者
online=連線
offline=離線
unspecified=不指定

[link]
reset_defaults=還原預設值

[prompt]
sorting_not_supported=此欄不支援排序
database_built_successfully=資料庫建立完成
clean_after_crash=Nusk 上次沒有正常結束。\n這通常是資料庫損毀所造成。\n清除目前的資料庫並完整重新建立,或許可以解決問題。\n要立即清除資料庫嗎?
rebuild_database_required=現有的 Nusk 資料庫與此版本的 Nusk 不相容。\n必須重新建立資料庫才能繼續。\n按 [確定] 重新建立,或按 [取消] 結束。
build_failure_detected=建立程序似乎意外停止。\n您可能需要在選項中排除失敗的磁碟機 %s,然後再建立一次。
build_database_when_empty=資料庫是空的,要立即建立嗎?
clean_database_confirmation=確定要清除檔案資料庫嗎?\n(清除之後請務必重新建立資料庫,\n否則將無法搜尋檔案。)
no_file_selected=請先選取檔案
check_update_failed=無法從 Nusk 網站讀取最新版本資訊。
new_version_available=有新版本的 Nusk (%s) 可用。\n要立即下載嗎?
up_to_date=Nusk 已是最新版本!
remove_from_most_recent_opened_list=無法開啟檔案或資料夾「%s」。要將它從最近開啟的清單中移除嗎?
no_nusk_ignore_folder_found=沒有任何資料夾含有 _nuskIgnore。
restart_required_to_apply_changed_options=部分選項變更需要重新啟動應用程式才會生效,要立即重新啟動嗎?
invalid_interval_value=間隔值無效,請輸入數字
database_files_not_deleted=部分資料庫檔案無法刪除;資料庫將在其上重新建置。
database_clean_failed=無法清除資料庫: 其中一個檔案無法刪除。
feature_not_supported_in_old_style_list=只有檔案總管樣式的結果清單支援此功能。\n請先在選項中啟用此樣式。
too_many_custom_actions=自訂動作最多 24 項

[msg]
listview_empty_message=請在文字方塊中輸入檔案名稱以開始搜尋
ready_status=就緒
total_status=共 %s 個項目
result_found_count=找到 %s 個項目 (%d) ms
build_time=建立時間: %d ms
did_you_know=您知道嗎...
what_s_new=新功能
empty_menu=(空白)
loading_database=正在載入資料庫..

[action]
copy_full_name=將完整名稱複製到剪貼簿
locate_in_folder_tree=在資料夾樹狀結構中定位
search_containing_folder=搜尋所在資料夾
open_path=開啟路徑
find_duplicates=尋找重複項目
go_back=上一頁
go_forward=下一頁
go_up=上一層

[column]
name=名稱
path=路徑
size=大小
date=修改日期
type=類型
creation_date=建立日期
attributes=屬性
extension=副檔名
file_count=檔案數
hash=雜湊值
duplicate_count=重複數
command=命令
shortcut=快速鍵

[term]
default=預設
none=無

[tip]
tip_1=結果會隨每次按鍵即時更新，不需要按 Enter。
tip_2=Ctrl+Enter 開啟包含所選項目的資料夾。
tip_3=Ctrl+Shift+C 複製所選項目的完整路徑。
tip_4=查詢產生器 (Ctrl+Q) 可依資料夾、名稱片段、大小和日期組合搜尋。
tip_5=Alt+左 和 Alt+右 在本視窗的搜尋記錄中後退和前進。
tip_6=可將結果清單中的項目拖曳到任何接受檔案的程式中。
tip_7=Ctrl+加號 和 Ctrl+減號 調整清單文字大小，Ctrl+0 恢復原大小。
tip_8=工具 > Web 伺服器 可讓另一台電腦上的瀏覽器搜尋此索引。

[menuhelp]
file.export=將結果清單匯出到檔案
file.close=關閉視窗
edit.copy=將選取的項目複製到剪貼簿
edit.copy_name=複製選取項目的名稱
edit.copy_full_name=複製選取項目的完整路徑
edit.text_size=變更結果清單的文字大小
edit.text_size.increase=放大結果清單的文字
edit.text_size.decrease=縮小結果清單的文字
edit.text_size.reset=還原結果清單的文字大小
database.build_all=更新所有磁碟機的資料庫
database.rebuild_all=完整重新建立所有磁碟機的資料庫
database.clean=從資料庫移除項目
database.show_statistics=顯示資料庫的統計資訊
database.show_ignored_folders=顯示含有忽略標記的資料夾
search.recent=再次執行最近的搜尋
search.go_backword=回到上一個搜尋
search.go_forward=前往下一個搜尋
search.go_up=搜尋上一層資料夾
tools.options=變更 Nusk 的設定
view.folder_tree=顯示或隱藏資料夾樹狀結構
help.help=顯示 Nusk 說明
help.tip_of_the_day=顯示每日提示
help.website=造訪 Nusk 網站
help.check_for_updates=檢查是否有新版本的 Nusk
help.about=顯示 Nusk 的版本與資料庫位置
)ini";

}  // namespace nusk
