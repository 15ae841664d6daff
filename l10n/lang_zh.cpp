// Simplified Chinese texts of the built-in language table, in the language-file format.
#include "l10n/builtin_ui.h"

namespace nusk {

const std::string_view kSimplifiedChineseLanguageText = R"ini([META-INF]
language_name=简体中文

[menu]
file=文件(&F)
file.open_path=打开路径(&P)\tCtrl+Enter
file.open=打开(&O)\tEnter
file.properties=属性(&R)\tAlt+Enter
file.export=导出(&E)...\tCtrl+S
file.close=关闭窗口(&C)\tCtrl+W
file.exit=退出(&X)
file.recent_opened=最近打开的项目(&T)
file.recent_opened.clear=清除列表(&L)
file.more_actions=更多操作(&M)
file.more_actions.config=配置操作(&G)...
edit=编辑(&E)
edit.copy=复制(&C)\tCtrl+C
edit.copy_name=复制名称(&N)
edit.copy_full_name=复制完整路径(&F)\tCtrl+Shift+C
edit.text_size=文字大小(&T)
edit.text_size.increase=放大(&I)\tCtrl++
edit.text_size.decrease=缩小(&D)\tCtrl+-
edit.text_size.reset=原始大小(&R)\tCtrl+0
edit.select_all=全选(&A)\tCtrl+A
edit.select_none=取消选择(&S)
edit.invert_selection=反向选择(&V)
edit.goto_row=转到行(&G)...\tCtrl+G
edit.hide_selected_items=隐藏所选项目(&H)
database=数据库(&D)
database.build_all=构建所有驱动器(&A)\tF5
database.rebuild_all=重新构建所有驱动器(&R)
database.build=构建驱动器(&B)
database.clean=清空数据库(&C)
database.clean.empty=删除空项目(&E)
database.clean.all=全部清空(&A)
database.show_statistics=统计信息(&S)
database.show_ignored_folders=已忽略的文件夹(&I)
database.load=加载数据库(&L)
database.load.default=默认位置(&D)
database.load.browse=浏览(&B)...
database.load.clear_recent=清除列表(&L)
database.reload=重新加载数据库(&O)
database.reload_hash_info=重新加载哈希信息(&H)
search=搜索(&S)
search.new_search=新建搜索(&N)\tCtrl+N
search.recent=最近的搜索(&R)
search.recent.clear=清除列表(&L)
search.recent_locations=最近的位置(&O)
search.recent_locations.clear=清除列表(&L)
search.named_searches=已保存的搜索(&S)
search.named_searches.empty=(空)
search.named_searches.config=配置已保存的搜索(&C)...
search.go_back=后退(&B)\tAlt+←
search.go_forward=前进(&F)\tAlt+→
search.go_up=上一级文件夹(&U)\tAlt+↑
search.query_composer=组合查询条件(&Q)...
tools=工具(&T)
tools.options=选项(&O)...
tools.keyboard_shortcuts=键盘快捷键(&K)...
tools.open_db_location=打开数据库文件夹(&D)
tools.web_server=Web 服务器(&W)...
tools.preview_window=预览窗口(&P)
tools.compute_content_hashes=计算内容哈希值(&H)...
view=查看(&V)
view.folder_tree=文件夹树(&F)
view.toolbar=工具栏(&T)
view.navigation_buttons=导航按钮(&N)
view.thumbnails=缩略图(&H)
view.alt_row_group_color=交替行颜色(&A)
view.statusbar=状态栏(&S)
view.search_button=搜索按钮(&B)
help=帮助(&H)
help.help=帮助(&H)\tF1
help.website=访问网站(&W)
help.check_for_updates=检查更新(&U)...
help.tip_of_the_day=每日提示(&T)
help.about=关于 Nusk(&A)...

[context_menu]
toolbar.customize=自定义工具栏(&C)...
toolbar.large_buttons=大按钮(&L)
search_box.undo=撤销(&U)
search_box.cut=剪切(&T)
search_box.copy=复制(&C)
search_box.paste=粘贴(&P)
search_box.delete=删除(&D)
search_box.select_all=全选(&A)
list_header.fit_columns=列宽适应内容(&F)
list_header.fill_columns=列宽填满窗口(&W)
list_header.use_current_sort_order_in_query=将当前排序加入查询条件(&S)
list.find_same_content=查找内容相同的文件(&C)

[toolbar]
new_search=新建搜索
query_composer=组合查询
recent_searches=最近的搜索
named_searches=已保存的搜索
open_path=打开路径
open=打开
properties=属性
more_actions=更多操作
copy_full_name=复制路径
copy_name=复制名称
copy=复制
build_all=全部构建
build=构建
clean_all=全部清空
clean=清空
show_statistics=统计信息
view_folder_tree=文件夹树
options=选项
exit=退出
help=帮助
about=关于
check_for_udpates=检查更新
thumbnails=缩略图
alt_row_group_color=交替行颜色
web_server=Web 服务器

[ribbon]
app.menu=菜单
app.help=帮助
app.recent_opened_items=最近打开的项目
tab.home=主页
tab.database=数据库
tab.view=查看
tab.tools=工具
group.file=文件
group.copy=复制
group.search=搜索
group.application=应用程序
group.build=构建
group.clean=清空
group.misc=其他
group.tools=工具
group.zoom=缩放
group.show_or_hide=显示/隐藏
group.display=显示
group.result_list=结果列表
group_external_tools=外部工具
command.open_path=打开路径
command.open=打开
command.properties=属性
command.more_actions=更多操作
command.more_actions.config=配置操作
command.copy_path=复制路径
command.copy_name=复制名称
command.copy=复制
command.recent_searches=最近的搜索
command.recent_searches.clear=清除列表
command.named_searches=已保存的搜索
command.named_searches.config=配置已保存的搜索
command.folder_tree=文件夹树
command.exit=退出
command.load_db=加载数据库
command.load_db.browse=浏览
command.load_db.default_location=默认位置
command.build_all=全部构建
command.build=构建驱动器
command.clean=清空
command.clean.clean_all=全部清空
command.statistics=统计信息
command.show_ignored_folders=已忽略的文件夹
command.reload_database=重新加载数据库
command.zoom_in=放大
command.zoom_out=缩小
command.zoom_reset=原始大小
command.show_navigation_buttons=导航按钮
command.show_statusbar=状态栏
command.show_search_button=搜索按钮
command.thumbnails=缩略图
command.preview=预览
command.alt_row_group_color=交替行颜色
command.show_folder_size=文件夹大小
command.hide_selected_items=隐藏所选项目
command.goto_row=转到行
command.options=选项
command.sumtor=计算哈希值
command.web_server=Web 服务器
command.go_back=后退
command.go_forward=前进
command.go_up=向上
command.new_search=新建搜索
command.query_composer=组合查询条件
command.export=导出
command.help=帮助
command.about=关于 Nusk
command.visit_website=访问网站
command.check_for_updates=检查更新
command.tip_of_the_day=每日提示
command.recent_locations=最近的位置

[dialog]
options=选项
named_searches_config=已保存的搜索
custom_actions_config=自定义操作
keyboard_shortcuts_config=键盘快捷键
statistics=统计信息
tip_of_the_day=每日提示
query_composer=组合查询条件
web_server=Web 服务器
goto_row=转到行
ignored_folders=已忽略的文件夹
about=关于 Nusk
check_for_updates=检查更新
browse_for_db_location=选择数据库位置...

[tab]
general=常规
result_list=结果列表
database=数据库
volumes=驱动器
misc=其他
folder_tree=文件夹

[button]
ok=确定
cancel=取消
close=关闭
help=帮助
restore_defaults=恢复默认值
config_named_searches=已保存的搜索...
config_custom_actions=自定义操作...
config_keyboard_shortcuts=快捷键...
next_tip=下一条提示(&N)
previous_tip=上一条提示(&P)
start=启动
stop=停止
launch_browser=在浏览器中打开
assign=分配(&A)
remove=删除(&R)

[label]
keyboard_shortcut=快捷键:
language=语言:
restart_required=(需要重新启动)
volumes=要加入数据库的驱动器:
all_item_count=项目总数:
folder_count=文件夹数:
file_count=文件数:
last_build_time=上次构建时间:
global_filter=全局过滤器:
root_dir=根文件夹:
partial_path=部分路径:
file_name_begin=文件名开头为:
file_name_contains=文件名包含:
file_name_end=文件名结尾为:
search_for=搜索对象:
min_file_size=最小大小:
max_file_size=最大大小:
modofied_date=修改日期:
drive_status=驱动器状态:
misc_conditions=其他条件:
port=端口:
username=用户名:
password=密码:
enter_row_number=输入行号:
custom_actions_hint=每行一个操作: 名称=命令行 (%1: 所选项目, %~dp1: 其所在文件夹)
named_searches_hint=每行一个已保存的搜索: 名称=搜索内容 (以 @名称 使用)
ignored_folders=因包含 _nuskIgnore 文件而未加入数据库的文件夹:
minutes=分钟
hours=小时
days=天
same_as_below=同下
size_bytes=字节
bytes=字节
kb=KB
mb=MB
gb=GB
tb=TB

[checkbox]
ribbon_ui=使用功能区代替菜单和工具栏
explorer_style_result_list=资源管理器样式的结果列表
minimize_to_tray=关闭时最小化到通知区域
start_minimized=启动时最小化
no_minimize_notification=最小化时不显示通知
close_by_esc=按 Esc 关闭
allow_mlti_instance=允许多个实例
show_folder_size=显示文件夹大小
human_readable_size=以 KB、MB、GB 显示大小
show_build_notification=构建完成时通知
show_all_items_for_empty_search=搜索为空时显示所有项目
large_thumbnails=大缩略图
auto_stretch_columns=自动调整列宽
avoid_waking_up_sleeping_hdds=不唤醒休眠的硬盘
exclude_hidden=排除隐藏文件和系统文件
exclude_by_name=按名称排除:
build_in_background=在后台构建
build_on_startup=启动时构建
build_periodically=定期构建,间隔:
check_all=全选
remember_recent_searches=记住最近的搜索
remember_opened_files=记住打开过的文件
remember_recent_locations=记住最近的位置
show_on_startup=启动时显示
show_info_tip_on_ctrl_down=仅在按住 Ctrl 时显示提示
detailed_info_tip=详细提示

[groupbox]
building=构建
exclusion=排除
privacy=隐私
info_tip=提示
address=地址
authentication=身份验证
control=控制

[radio]
files=文件
folders=文件夹
both=两者
online=在线
offline=离线
unspecified=不限

[link]
reset_defaults=恢复默认值

[prompt]
sorting_not_supported=此列不支持排序
database_built_successfully=数据库构建成功
clean_after_crash=Nusk 上次没有正常退出。\n这通常是数据库损坏造成的。\n清空当前数据库并完整重新构建或许可以解决问题。\n要立即清空数据库吗?
rebuild_database_required=现有的 Nusk 数据库与此版本的 Nusk 不兼容。\n必须重新构建数据库才能继续。\n单击“确定”重新构建,或单击“取消”退出。
build_failure_detected=构建过程似乎意外停止。\n您可能需要在选项中排除失败的驱动器 %s,然后重新构建。
build_database_when_empty=数据库为空,要立即构建吗?
clean_database_confirmation=确定要清空文件数据库吗?\n(清空后请务必重新构建数据库,\n否则将无法搜索文件。)
no_file_selected=请先选择文件
check_update_failed=无法从 Nusk 网站读取最新版本信息。
new_version_available=Nusk 有新版本 (%s) 可用。\n要立即下载吗?
up_to_date=Nusk 已是最新版本!
remove_from_most_recent_opened_list=无法打开文件或文件夹“%s”。要将其从最近打开列表中删除吗?
no_nusk_ignore_folder_found=没有包含 _nuskIgnore 的文件夹。
restart_required_to_apply_changed_options=部分选项更改需要重新启动应用程序才能生效,要立即重新启动吗?
invalid_interval_value=间隔值无效,请输入数字
database_files_not_deleted=部分数据库文件无法删除;数据库将在其上重新构建。
database_clean_failed=无法清除数据库: 其中一个文件无法删除。
feature_not_supported_in_old_style_list=只有资源管理器样式的结果列表支持此功能。\n请先在选项中启用此样式。
too_many_custom_actions=自定义操作最多 24 项

[msg]
listview_empty_message=请在文本框中输入文件名以开始搜索
ready_status=就绪
total_status=共 %s 个项目
result_found_count=找到 %s 个项目 (%d) ms
build_time=构建时间: %d ms
did_you_know=您知道吗...
what_s_new=新功能
empty_menu=(空)
loading_database=正在加载数据库..

[action]
copy_full_name=将完整名称复制到剪贴板
locate_in_folder_tree=在文件夹树中定位
search_containing_folder=搜索所在文件夹
open_path=打开路径
find_duplicates=查找重复项
go_back=后退
go_forward=前进
go_up=向上

[column]
name=名称
path=路径
size=大小
date=修改日期
type=类型
creation_date=创建日期
attributes=属性
extension=扩展名
file_count=文件数
hash=哈希值
duplicate_count=重复数
command=命令
shortcut=快捷键

[term]
default=默认
none=无

[tip]
tip_1=结果随每次按键即时更新，无需按 Enter。
tip_2=Ctrl+Enter 打开包含所选项目的文件夹。
tip_3=Ctrl+Shift+C 复制所选项目的完整路径。
tip_4=查询生成器 (Ctrl+Q) 可根据文件夹、名称片段、大小和日期组合搜索。
tip_5=Alt+左 和 Alt+右 在本窗口的搜索记录中后退和前进。
tip_6=可将结果列表中的项目拖到任何接受文件的程序中。
tip_7=Ctrl+加号 和 Ctrl+减号 调整列表文字大小，Ctrl+0 恢复原大小。
tip_8=工具 > Web 服务器 可让另一台计算机上的浏览器搜索此索引。

[menuhelp]
file.export=将结果列表导出到文件
file.close=关闭窗口
edit.copy=将所选项目复制到剪贴板
edit.copy_name=复制所选项目的名称
edit.copy_full_name=复制所选项目的完整路径
edit.text_size=更改结果列表的文字大小
edit.text_size.increase=放大结果列表的文字
edit.text_size.decrease=缩小结果列表的文字
edit.text_size.reset=恢复结果列表的文字大小
database.build_all=更新所有驱动器的数据库
database.rebuild_all=完整重新构建所有驱动器的数据库
database.clean=从数据库中删除项目
database.show_statistics=显示数据库统计信息
database.show_ignored_folders=显示带有忽略标记的文件夹
search.recent=再次执行最近的搜索
search.go_backword=返回上一个搜索
search.go_forward=前往下一个搜索
search.go_up=搜索上一级文件夹
tools.options=更改 Nusk 的设置
view.folder_tree=显示或隐藏文件夹树
help.help=显示 Nusk 帮助
help.tip_of_the_day=显示每日提示
help.website=访问 Nusk 网站
help.check_for_updates=检查是否有新版本的 Nusk
help.about=显示 Nusk 的版本和数据库位置
)ini";

}  // namespace nusk
