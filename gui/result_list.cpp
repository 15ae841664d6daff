#include "gui/result_list.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>

#include "gui/resource.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "ui/column_sort.h"
#include "ui/export.h"
#include "ui/open_batch.h"
#include "ui/status_text.h"
#include "ui/zoom.h"
#include "util/utf.h"

namespace nusk {

namespace {

// Posted to the list itself when a visible row lacks its details.
constexpr UINT kMsgWantDetails = WM_APP + 1;

bool CtrlDown() { return GetKeyState(VK_CONTROL) < 0; }

bool PutClipboardText(HWND owner, const std::u16string& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool ok = false;
  if (mem) {
    memcpy(GlobalLock(mem), text.c_str(), bytes);
    GlobalUnlock(mem);
    ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
    if (!ok) GlobalFree(mem);
  }
  CloseClipboard();
  return ok;
}

}  // namespace

bool ResultList::Create(HWND parent, int id, const Hooks& hooks) {
  hooks_ = hooks;
  // WS_CLIPCHILDREN: invalidating the rows for a new result leaves the column header alone
  // (it has not changed; repainting it cost about 6 ms per keystroke under Wine). Changes
  // to the columns repaint it themselves (RepaintAll).
  hwnd_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  ListView_SetExtendedListViewStyle(
      hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
  SetWindowTheme(hwnd_, L"Explorer", nullptr);
  SetWindowSubclass(hwnd_, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  details_ = std::make_unique<RowDetailsWorker>(hwnd_);
  look_ = std::make_unique<ListLook>(hwnd_);
  ApplyFont();
  RebuildColumns({});
  return true;
}

LRESULT CALLBACK ResultList::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<ResultList*>(data);
  switch (msg) {
    case WM_PAINT:
      if (self->items().empty()) {
        LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
        HDC dc = GetDC(hwnd);
        self->DrawEmptyText(dc);
        ReleaseDC(hwnd, dc);
        return r;
      }
      break;
    case kMsgWantDetails:
      self->details_asked_ = false;
      self->RequestVisibleDetails();
      return 0;
    case kMsgRowDetail: ListView_RedrawItems(hwnd, static_cast<int>(wp), static_cast<int>(wp)); return 0;
    case kMsgRowDetailsDone: return 0;
    case kMsgWantThumbnails:
      self->look_->RequestShown(self->count(), [self](uint32_t row) {
        const uint32_t item = self->items()[row];
        return ThumbnailWorker::Row{row, item, self->view_->is_folder(item), self->FullPath(row)};
      });
      return 0;
    case kMsgThumbnailReady:
      self->look_->OnThumbnailReady(static_cast<uint32_t>(wp), static_cast<uint32_t>(lp));
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == ListView_GetHeader(hwnd)) {
        self->ShowHeaderMenu({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
      }
      break;
    case WM_SIZE:
      if (self->items().empty()) InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case WM_NCDESTROY: RemoveWindowSubclass(hwnd, SubclassProc, 1); break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

void ResultList::DrawEmptyText(HDC dc) {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  RECT header;
  if (GetWindowRect(ListView_GetHeader(hwnd_), &header)) rc.top += header.bottom - header.top;
  rc.top += 20;
  const std::wstring text = W(EmptyListText());
  HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), -1, &rc, DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
}

void ResultList::ApplyFont() {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  LOGFONTW lf = ncm.lfMessageFont;
  if (lf.lfHeight == 0) lf.lfHeight = -12;
  lf.lfHeight = MulDiv(lf.lfHeight, zoom_, 100);
  if (lf.lfHeight == 0) lf.lfHeight = -1;
  HFONT font = CreateFontIndirectW(&lf);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (font_) DeleteObject(font_);
  font_ = font;
}

void ResultList::SetZoom(int percent) {
  zoom_ = ClampZoom(percent);
  if (hwnd_) ApplyFont();
}

void ResultList::RebuildColumns(const std::vector<int>& widths) {
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  while (ListView_DeleteColumn(hwnd_, 0)) {}
  for (size_t i = 0; i < columns_.size(); ++i) {
    const ColumnInfo& c = Column(columns_[i]);
    const std::wstring title = W(ColumnTitle(columns_[i]));
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = c.right_aligned && i > 0 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    col.cx = i < widths.size() && widths[i] > 0 ? widths[i] : DefaultWidth(columns_[i]);
    col.pszText = const_cast<wchar_t*>(title.c_str());
    col.iSubItem = static_cast<int>(i);
    ListView_InsertColumn(hwnd_, static_cast<int>(i), &col);
  }
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  UpdateHeaderArrows();
  RepaintAll(true);
}

void ResultList::RepaintAll(bool erase) {
  // The header's own changes were made while the list did not draw: it is painted again
  // with the rows (the list clips its children, so invalidating the list alone would not).
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | (erase ? RDW_ERASE : 0));
}

int ResultList::DefaultWidth(int id) const {
  int width = ZoomedSize(Column(id).default_width, zoom_);
  // Date columns hold a fixed-form text: never narrower than that text in the list's font.
  if (id == kColDate || id == kColCreated) {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size = {};
    GetTextExtentPoint32W(dc, L"8888-88-88 88:88:88", 19, &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    width = std::max<int>(width, size.cx + 16);
  }
  return width;
}

void ResultList::SetColumns(const std::vector<int>& ids, const std::vector<int>& widths) {
  columns_ = ids.empty() ? DefaultColumns() : ids;
  if (hwnd_) RebuildColumns(widths);
}

std::vector<int> ResultList::DisplayOrder() const {
  std::vector<int> order(columns_.size());
  ListView_GetColumnOrderArray(hwnd_, static_cast<int>(order.size()), order.data());
  std::vector<int> ids;
  for (int sub : order)
    if (sub >= 0 && sub < static_cast<int>(columns_.size())) ids.push_back(columns_[sub]);
  return ids;
}

std::vector<int> ResultList::Widths() const {
  std::vector<int> order(columns_.size());
  ListView_GetColumnOrderArray(hwnd_, static_cast<int>(order.size()), order.data());
  std::vector<int> widths;
  for (int sub : order) widths.push_back(ListView_GetColumnWidth(hwnd_, sub));
  return widths;
}

int ResultList::ClientWidth() const {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  return rc.right - rc.left;
}

void ResultList::ToggleColumn(int id) {
  const std::vector<int> ids = DisplayOrder();
  const std::vector<int> widths = Widths();
  const std::vector<int> next = nusk::ToggleColumn(ids, id);
  std::vector<int> next_widths;
  for (int c : next) {
    auto it = std::find(ids.begin(), ids.end(), c);
    next_widths.push_back(it != ids.end() ? widths[it - ids.begin()] : DefaultWidth(c));
  }
  if ((Column(id).needs & kNeedsFileCounts) && view_) {
    if (hooks_.wait_idle) hooks_.wait_idle();  // the worker may be reading the index
    view_->db().ComputeFolderFileCounts();
  }
  const bool added = next.size() > ids.size();
  columns_ = next;
  if (auto_stretch_) {
    // Shares of the default widths fill the window: an earlier stretch does not squeeze
    // the new column.
    for (size_t i = 0; i < next.size(); ++i) next_widths[i] = DefaultWidth(next[i]);
    RebuildColumns(next_widths);
    StretchColumns();
  } else {
    RebuildColumns(next_widths);
  }
  if (added && hooks_.column_shown) hooks_.column_shown(id);
}

void ResultList::FitColumns() {
  for (size_t i = 0; i < columns_.size(); ++i)
    ListView_SetColumnWidth(hwnd_, static_cast<int>(i), LVSCW_AUTOSIZE_USEHEADER);
}

void ResultList::StretchColumns() {
  if (!hwnd_ || columns_.empty()) return;
  const int client = ClientWidth() - GetSystemMetrics(SM_CXVSCROLL);
  if (client <= 0) return;
  std::vector<int> order(columns_.size());
  ListView_GetColumnOrderArray(hwnd_, static_cast<int>(order.size()), order.data());
  const std::vector<int> stretched = StretchWidths(Widths(), client);
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  for (size_t i = 0; i < order.size() && i < stretched.size(); ++i)
    ListView_SetColumnWidth(hwnd_, order[i], stretched[i]);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  RepaintAll(false);
}

void ResultList::SetView(SearchView* view, const CellOptions& options) {
  view_ = view;
  cell_options_ = options;
  details_->Clear();
  Clear();
}

void ResultList::ReplaceView(SearchView* view) {
  view_ = view;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void ResultList::Clear() {
  // The memory the arrays kept for the next result goes back too.
  std::vector<uint32_t>().swap(unhidden_);
  std::vector<uint32_t>().swap(all_);
  hidden_.Clear();
  look_->RowsChanged(0);
  ListView_SetItemCountEx(hwnd_, 0, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void ResultList::Refilter() {
  // With nothing hidden the rows are the result itself: no copy, no memory of its own.
  if (hidden_.count()) unhidden_ = hidden_.Filter(all_);
  else std::vector<uint32_t>().swap(unhidden_);
  look_->RowsChanged(static_cast<uint32_t>(items().size()));
  ClearSelection();
  // Setting the count redraws the scroll bars at once (5-15 ms under Wine even when the
  // count is the same); a list of the same length only needs its rows painted again.
  if (ListView_GetItemCount(hwnd_) != static_cast<int>(items().size()))
    ListView_SetItemCountEx(hwnd_, static_cast<int>(items().size()), LVSICF_NOSCROLL);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void ResultList::ClearSelection() {
  // Clearing the state of "all items" (-1) visits every row of an owner-data list in some
  // list-view implementations (1.4 s at a million rows under Wine): clear only the rows
  // that hold a state.
  if (ListView_GetSelectedCount(hwnd_) > 0) {
    for (uint32_t r : SelectedRows()) ListView_SetItemState(hwnd_, r, 0, LVIS_SELECTED);
  }
  const int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  if (focused >= 0) ListView_SetItemState(hwnd_, focused, 0, LVIS_FOCUSED);
}

void ResultList::GiveRowMemory(std::vector<uint32_t> memory) {
  if (memory.capacity() <= all_.capacity()) return;
  memory.assign(all_.begin(), all_.end());
  all_.swap(memory);
}

void ResultList::SetResult(std::vector<uint32_t> items) {
  SetResult([&items](std::vector<uint32_t>* all) { *all = std::move(items); });
}

void ResultList::SetResult(const std::function<void(std::vector<uint32_t>*)>& fill) {
  fill(&all_);
  hidden_.Clear();
  Refilter();
  if (!items().empty()) ListView_EnsureVisible(hwnd_, 0, FALSE);
}

void ResultList::RequestVisibleDetails() {
  if (!view_ || items().empty()) return;
  const uint32_t top = static_cast<uint32_t>(std::max(0, ListView_GetTopIndex(hwnd_)));
  const uint32_t page = static_cast<uint32_t>(std::max(1, ListView_GetCountPerPage(hwnd_))) + 1;
  std::vector<RowDetailsWorker::Row> rows;
  for (uint32_t r = top; r < items().size() && r < top + page; ++r) {
    rows.push_back({r, items()[r], ItemFullPath(view_->db(), items()[r])});
  }
  details_->Request(std::move(rows));
}

std::u16string ResultList::CellText(uint32_t row, int column) {
  if (!view_ || row >= items().size() || column < 0 || column >= static_cast<int>(columns_.size())) return {};
  const uint32_t item = items()[row];
  const uint32_t needs = Column(columns_[column]).needs;
  if (needs & (kNeedsTypeName | kNeedsCreationTime | kNeedsAttributes)) {
    RowDetails details;
    if (details_->Get(item, &details))
      return nusk::CellText(*view_, item, columns_[column], row, cell_options_, &details);
    if (!details_asked_) {
      details_asked_ = true;
      PostMessageW(hwnd_, kMsgWantDetails, 0, 0);
    }
  }
  return nusk::CellText(*view_, item, columns_[column], row, cell_options_, nullptr);
}

std::u16string ResultList::FullPath(uint32_t row) { return ItemFullPath(view_->db(), items()[row]); }

std::u16string ResultList::OpenedPath(uint32_t row) {
  if (!view_ || row >= items().size()) return {};
  std::u16string path = FullPath(row);
  if (view_->is_folder(items()[row])) path += u'\\';
  return path;
}

std::u16string ResultList::InfoTip(uint32_t row) {
  if (!view_ || row >= items().size() || (tip_ctrl_only_ && !CtrlDown())) return {};
  std::u16string text = FullPath(row);
  if (!tip_detailed_) return text;
  const uint32_t item = items()[row];
  RowDetails details;
  const bool have = details_->Get(item, &details);
  for (int id : {kColSize, kColDate, kColType, kColCreated, kColAttributes}) {
    const std::u16string cell = nusk::CellText(*view_, item, id, row, cell_options_, have ? &details : nullptr);
    if (!cell.empty()) text += u"\n" + ColumnTitle(id) + u": " + cell;
  }
  return text;
}

bool ResultList::SortByColumn(int column, bool add) {
  const std::optional<SortKeys> keys = nusk::SortByColumn(keys_, column, add);
  if (!keys) {
    if (hooks_.message) hooks_.message(Tr(u"MSG.SORTING_NOT_SUPPORTED", u"This column does not support sorting"));
    return false;
  }
  SetSortKeys(*keys);
  return true;
}

bool ResultList::SortByPlace(int place) {
  const std::vector<int> ids = DisplayOrder();
  if (place < 1 || place > static_cast<int>(ids.size())) return false;
  return SortByColumn(ids[place - 1], false);
}

void ResultList::SetSortKeys(const SortKeys& keys) {
  keys_ = keys;
  Resort();
  UpdateHeaderArrows();
}

void ResultList::Resort() {
  if (!view_ || keys_.empty()) return;
  HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  // Sorting may fill the index's derived tables (file counts, path ranks): not while the
  // worker reads them.
  if (hooks_.wait_idle) hooks_.wait_idle();
  SortItems(&all_, keys_, *view_, cell_options_.show_folder_size);
  SetCursor(old);
  const uint32_t focused = FocusedRow();
  (void)focused;
  Refilter();
}

void ResultList::UpdateHeaderArrows() {
  HWND header = ListView_GetHeader(hwnd_);
  for (size_t i = 0; i < columns_.size(); ++i) {
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, static_cast<int>(i), &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    const int arrow = SortArrow(keys_, columns_[i]);
    if (arrow > 0) item.fmt |= HDF_SORTUP;
    if (arrow < 0) item.fmt |= HDF_SORTDOWN;
    Header_SetItem(header, static_cast<int>(i), &item);
  }
}

std::vector<uint32_t> ResultList::SelectedRows() const {
  std::vector<uint32_t> rows;
  int i = -1;
  while ((i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED)) >= 0) rows.push_back(static_cast<uint32_t>(i));
  return rows;
}

std::vector<uint32_t> ResultList::SelectedItems() const {
  std::vector<uint32_t> chosen;
  for (uint32_t r : SelectedRows()) chosen.push_back(items()[r]);
  return chosen;
}

void ResultList::SelectAll(bool select) { ListView_SetItemState(hwnd_, -1, select ? LVIS_SELECTED : 0, LVIS_SELECTED); }

void ResultList::InvertSelection() {
  for (uint32_t r = 0; r < items().size(); ++r) {
    const UINT state = ListView_GetItemState(hwnd_, r, LVIS_SELECTED);
    ListView_SetItemState(hwnd_, r, state ? 0 : LVIS_SELECTED, LVIS_SELECTED);
  }
}

void ResultList::GotoRow(uint32_t row) {
  if (row == 0 || items().empty()) return;
  const uint32_t r = std::min<uint32_t>(row, static_cast<uint32_t>(items().size())) - 1;
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(hwnd_, r, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(hwnd_, r, FALSE);
  SetFocus(hwnd_);
}

uint32_t ResultList::FocusedRow() const {
  const int r = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  return r < 0 ? UINT32_MAX : static_cast<uint32_t>(r);
}

void ResultList::SetFocusRow(uint32_t row, int top_row) {
  if (items().empty()) return;
  if (top_row >= 0 && static_cast<size_t>(top_row) < items().size()) {
    // Scroll so that top_row is the first visible row.
    ListView_EnsureVisible(hwnd_, static_cast<int>(items().size()) - 1, FALSE);
    ListView_EnsureVisible(hwnd_, top_row, FALSE);
  }
  if (row < items().size()) {
    ListView_SetItemState(hwnd_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if (top_row < 0) ListView_EnsureVisible(hwnd_, row, FALSE);
  }
}

int ResultList::TopRow() const { return ListView_GetTopIndex(hwnd_); }

std::u16string ResultList::CopyNames(bool full) {
  std::vector<std::u16string> lines;
  for (uint32_t r : SelectedRows()) lines.push_back(full ? FullPath(r) : view_->db().ItemName(items()[r]));
  return ClipboardLines(lines);
}

bool ResultList::CopyToClipboard(bool full) {
  if (!view_ || SelectedRows().empty()) return false;
  return PutClipboardText(GetParent(hwnd_), CopyNames(full));
}

bool ResultList::CopyFiles() {
  if (!view_) return false;
  std::wstring files;
  for (uint32_t r : SelectedRows()) files += W(FullPath(r)) + L'\0';
  if (files.empty()) return false;
  files += L'\0';
  const size_t bytes = sizeof(DROPFILES) + files.size() * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!mem) return false;
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), files.data(), files.size() * sizeof(wchar_t));
  GlobalUnlock(mem);
  if (!OpenClipboard(GetParent(hwnd_))) {
    GlobalFree(mem);
    return false;
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_HDROP, mem) != nullptr;
  if (!ok) GlobalFree(mem);
  CloseClipboard();
  return ok;
}

void ResultList::OpenSelection() {
  size_t opened = 0;
  bool reported = false;
  for (uint32_t r : SelectedRows()) {
    if (AskBeforeOpening(opened) && hooks_.ask && !hooks_.ask(ContinueOpeningQuestion(opened, false))) { return; }
    const std::wstring path = W(FullPath(r));
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOASYNC;
    sei.hwnd = GetParent(hwnd_);
    sei.lpVerb = nullptr;
    sei.lpFile = path.c_str();
    sei.nShow = SW_SHOWNORMAL;
    const bool ok = ShellExecuteExW(&sei);
    ++opened;
    if (ok && !reported) {
      reported = true;
      SendMessageW(GetParent(hwnd_), kMsgOpenedItem, r, 0);
    }
  }
}

void ResultList::OpenContainingFolders() {
  size_t opened = 0;
  for (uint32_t r : SelectedRows()) {
    if (AskBeforeOpening(opened) && hooks_.ask && !hooks_.ask(ContinueOpeningQuestion(opened, true))) { return; }
    const std::wstring params = W(SelectInFolderParameters(FullPath(r)));
    ShellExecuteW(GetParent(hwnd_), L"Open", L"explorer.exe", params.c_str(), nullptr, SW_SHOWNORMAL);
    ++opened;
  }
}

void ResultList::HideSelected() {
  const std::vector<uint32_t> rows = SelectedRows();
  if (rows.empty()) return;
  const uint32_t first = rows.front();
  hidden_.Hide(items(), rows);
  Refilter();
  if (!items().empty()) {
    const uint32_t r = std::min<uint32_t>(first, static_cast<uint32_t>(items().size()) - 1);
    ListView_SetItemState(hwnd_, r, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  }
}

void ResultList::UnhideAll() {
  if (!hidden_.count()) return;
  hidden_.Clear();
  Refilter();
}

bool ResultList::Export(const std::u16string& path) {
  if (!view_) return false;
  ExportOptions options;
  options.show_folder_size = cell_options_.show_folder_size;
  options.utc_offset = cell_options_.utc_offset;
  return ExportList(Env::Default(), path, *view_, items(), options).ok();
}

void ResultList::ShowHeaderMenu(POINT screen) {
  HMENU menu = CreatePopupMenu();
  CMUI* ui = CurrentUI();
  auto text = [ui](std::u16string_view key, std::u16string_view english) {
    return W(ui ? ui->MenuText(key, english) : std::u16string(english));
  };
  if (OffersSortInQuery(keys_)) {
    AppendMenuW(menu, MF_STRING, IDM_HEADER_USE_SORT,
                text(u"list_header.use_current_sort_order_in_query", u"Use current sort order in the query").c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  }
  AppendMenuW(menu, MF_STRING, IDM_HEADER_FIT,
              text(u"list_header.fit_columns", u"Size columns to fit content").c_str());
  AppendMenuW(menu, MF_STRING, IDM_HEADER_STRETCH,
              text(u"list_header.fill_columns", u"Stretch columns to fill window").c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  const std::vector<int> shown = DisplayOrder();
  for (int id = 0; id < kColumnCount; ++id) {
    const bool on = std::find(shown.begin(), shown.end(), id) != shown.end();
    AppendMenuW(menu, MF_STRING | (on ? MF_CHECKED : 0), IDM_COLUMN_FIRST + id, W(ColumnTitle(id)).c_str());
  }
  const int cmd =
      TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, GetParent(hwnd_), nullptr);
  DestroyMenu(menu);
  if (cmd) OnCommand(cmd);
}

bool ResultList::OnCommand(int id) {
  if (id == IDM_HEADER_USE_SORT) {
    if (hooks_.put_in_box && hooks_.box_text) hooks_.put_in_box(SortClauseForQuery(hooks_.box_text(), keys_));
    return true;
  }
  if (id == IDM_HEADER_FIT) {
    FitColumns();
    return true;
  }
  if (id == IDM_HEADER_STRETCH) {
    StretchColumns();
    return true;
  }
  if (id >= IDM_COLUMN_FIRST && id < IDM_COLUMN_FIRST + kColumnCount) {
    ToggleColumn(id - IDM_COLUMN_FIRST);
    return true;
  }
  return false;
}

bool ResultList::OnNotify(NMHDR* hdr, LRESULT* result) {
  if (hdr->hwndFrom != hwnd_) return false;
  *result = 0;
  switch (hdr->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(hdr);
      if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 0) {
        cell_ = W(CellText(static_cast<uint32_t>(info->item.iItem), info->item.iSubItem));
        lstrcpynW(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
      }
      if ((info->item.mask & LVIF_IMAGE) && info->item.iSubItem == 0) {
        const uint32_t row = static_cast<uint32_t>(info->item.iItem);
        info->item.iImage = row < items().size() && view_
                                ? look_->ImageOf(row, items()[row], view_->is_folder(items()[row]))
                                : I_IMAGENONE;
      }
      return true;
    }
    case LVN_GETINFOTIPW: {
      auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(hdr);
      if (tip->iItem >= 0 && static_cast<size_t>(tip->iItem) < items().size() && tip->cchTextMax > 0) {
        lstrcpynW(tip->pszText, W(InfoTip(static_cast<uint32_t>(tip->iItem))).c_str(), tip->cchTextMax);
      }
      return true;
    }
    case LVN_COLUMNCLICK: {
      auto* lv = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (lv->iSubItem >= 0 && lv->iSubItem < static_cast<int>(columns_.size())) {
        SortByColumn(columns_[lv->iSubItem], CtrlDown());
      }
      return true;
    }
    case LVN_ITEMCHANGED: {
      auto* lv = reinterpret_cast<NMLISTVIEW*>(hdr);
      if ((lv->uChanged & LVIF_STATE) && ((lv->uOldState ^ lv->uNewState) & LVIS_SELECTED) &&
          hooks_.selection_changed) {
        hooks_.selection_changed();
      }
      return true;
    }
    case LVN_ODSTATECHANGED:
      if (hooks_.selection_changed) hooks_.selection_changed();
      return true;
    case NM_CUSTOMDRAW:
      *result = look_->OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(hdr), [this](uint32_t row) {
        return row < items().size() && view_ ? view_->db().Parent(items()[row]) : 0u;
      });
      return true;
    case NM_DBLCLK: OpenSelection(); return true;
    case LVN_BEGINDRAG: BeginDrag(); return true;
  }
  return false;
}

}  // namespace nusk
