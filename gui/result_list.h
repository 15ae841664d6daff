// The result list: a virtual list view (LVS_OWNERDATA) over the current result. The
// control never holds row texts: it asks for the cells of the visible rows, and the list
// computes them from the index record of the row.
//
// Window thread only. The result is the list's own copy of the item indexes (taken on
// 20427), so the worker may search again while the list shows the last result.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/cell_text.h"
#include "ui/columns.h"
#include "ui/list_rows.h"
#include "gui/list_look.h"
#include "gui/row_details.h"
#include "search/search_view.h"
#include "search/sort.h"

namespace nusk {

// Sent by the list to its parent for the first item an Open command opened (wParam: the
// row; the main window adds the item to the recently-opened list).
inline constexpr UINT kMsgOpenedItem = 20433;

class ResultList {
 public:
  // Hooks into the window: status text for the selection, the unsortable-column message.
  struct Hooks {
    std::function<void()> selection_changed;
    std::function<void(std::u16string_view)> message;     // information box with this text
    std::function<bool(std::u16string_view)> ask;         // Yes/No question; true for Yes
    std::function<std::u16string()> box_text;             // the search box's text
    std::function<void()> wait_idle;                      // before computing index totals
    std::function<void(std::u16string_view)> put_in_box;  // new text for the search box
    std::function<void(int)> column_shown;                // a column was added (its id)
  };

  bool Create(HWND parent, int id, const Hooks& hooks);
  HWND hwnd() const { return hwnd_; }

  // Columns (ids of the column registry, display order).
  void SetColumns(const std::vector<int>& ids, const std::vector<int>& widths);
  const std::vector<int>& columns() const { return columns_; }
  std::vector<int> DisplayOrder() const;  // ids in the header's current order
  std::vector<int> Widths() const;        // widths in display order
  int ClientWidth() const;
  void ToggleColumn(int id);
  void set_auto_stretch(bool on) { auto_stretch_ = on; }
  // Info tips: only while Ctrl is held (`ShowInfoTipOnCtrlDown`); the longer form with every
  // shown column and the row's details (`DetailedInfoTip`), else the full path alone.
  void set_info_tips(bool ctrl_only, bool detailed) { tip_ctrl_only_ = ctrl_only, tip_detailed_ = detailed; }
  std::u16string InfoTip(uint32_t row);
  void FitColumns();
  void StretchColumns();

  // The index rows are read from (null while none is loaded).
  void SetView(SearchView* view, const CellOptions& options);
  // Another view of the same index (new hash tables): the rows, selection and hidden
  // items stay; the rows are drawn again.
  void ReplaceView(SearchView* view);
  const CellOptions& cell_options() const { return cell_options_; }
  // Takes a new result (already sorted by the worker), keeps the list's sort keys.
  // Memory for the rows of the results to come, in place of fresh memory (touched on
  // another thread beforehand: the window's loader does while the window is made).
  void GiveRowMemory(std::vector<uint32_t> memory);
  void SetResult(std::vector<uint32_t> items);
  // The same, written by `fill` into the list's own array. The list's arrays keep their
  // memory from one result to the next: fresh memory costs a page fault per 4 KiB (about
  // 5 ms for half a million rows under Wine), on every keystroke.
  void SetResult(const std::function<void(std::vector<uint32_t>*)>& fill);
  void Clear();
  uint32_t count() const { return static_cast<uint32_t>(items().size()); }
  uint32_t ItemAt(uint32_t row) const { return items()[row]; }
  std::u16string CellText(uint32_t row, int column);
  // The row-details worker (type names, creation times, attributes of the visible rows).
  RowDetailsWorker* details() { return details_.get(); }
  // Alternate row-group colours and thumbnails.
  ListLook& look() { return *look_; }
  // The path the recently-opened list keeps for a row: folders end with a backslash.
  std::u16string OpenedPath(uint32_t row);

  // Sorting. SortByColumn returns false (and sorts nothing) for an unsortable column.
  bool SortByColumn(int column, bool add);
  bool SortByPlace(int place);  // Ctrl+1..9: the column at that place in display order
  const SortKeys& sort_keys() const { return keys_; }
  void SetSortKeys(const SortKeys& keys);  // sorts the current rows by them
  void UpdateHeaderArrows();

  // Selection and the commands on it.
  std::vector<uint32_t> SelectedRows() const;
  void SelectAll(bool select);
  void InvertSelection();
  void GotoRow(uint32_t row);  // 1-based row number; selects and shows it
  uint32_t FocusedRow() const;
  void SetFocusRow(uint32_t row, int top_row);
  int TopRow() const;
  std::u16string FullPath(uint32_t row);
  std::u16string CopyNames(bool full);  // the selection's names or paths, CR LF between
  bool CopyToClipboard(bool full);
  bool CopyFiles();
  void OpenSelection();
  void OpenContainingFolders();
  void HideSelected();
  void UnhideAll();
  uint32_t hidden_count() const { return static_cast<uint32_t>(hidden_.count()); }
  bool Export(const std::u16string& path);
  void BeginDrag();

  // Zoom in percent (10..1400).
  void SetZoom(int percent);
  int zoom() const { return zoom_; }

  void ShowHeaderMenu(POINT screen);
  // WM_NOTIFY from the list or its header; true when handled (*result set).
  bool OnNotify(NMHDR* hdr, LRESULT* result);
  // WM_COMMAND ids of the header menu.
  bool OnCommand(int id);

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void RebuildColumns(const std::vector<int>& widths);
  void RepaintAll(bool erase);  // the rows and the column header
  void ApplyFont();
  void RequestVisibleDetails();
  int DefaultWidth(int id) const;  // a new column's width at the current zoom
  void DrawEmptyText(HDC dc);
  void Resort();
  void Refilter();
  void ClearSelection();  // no selected and no focused row
  // The rows shown: all_ without the hidden rows.
  const std::vector<uint32_t>& items() const { return hidden_.count() ? unhidden_ : all_; }
  std::vector<uint32_t> SelectedItems() const;

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  Hooks hooks_;
  SearchView* view_ = nullptr;
  CellOptions cell_options_;
  std::vector<int> columns_ = DefaultColumns();
  std::vector<uint32_t> all_;       // the result as sorted
  std::vector<uint32_t> unhidden_;  // all_ without hidden_, while some row is hidden
  HiddenRows hidden_;               // items hidden by the user
  SortKeys keys_;
  int zoom_ = 100;
  bool auto_stretch_ = false;
  bool tip_ctrl_only_ = false;
  bool tip_detailed_ = false;  // `AutoStretchColumns`: columns fill the width after changes
  std::wstring cell_;          // the text handed to the control for one cell
  std::unique_ptr<RowDetailsWorker> details_;
  std::unique_ptr<ListLook> look_;
  bool details_asked_ = false;  // a request for the visible rows is on its way
};

}  // namespace nusk
