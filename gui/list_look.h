// The explorer-style result list's look: alternate row-group colours (drawn through the
// list's custom draw) and thumbnails (an image list whose slots hold the pictures of the
// rows on screen, fetched by a worker thread so that the window never waits for a disk).
//
// Window thread only, except ThumbnailWorker's own thread.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "gui/row_pass.h"
#include "platform/thumbnail.h"
#include "ui/row_groups.h"

namespace nusk {

class ResultList;
struct WindowOptions;

// Posted to the list when a row's picture is ready (wParam: row, lParam: item).
inline constexpr UINT kMsgThumbnailReady = WM_APP + 2;
// Posted to the list when a shown row lacks its picture.
inline constexpr UINT kMsgWantThumbnails = WM_APP + 3;

// Whether an item's path may be asked about (`AvoidWakingUpHdds`); null: always.
using MayTouchFn = std::function<bool(std::u16string_view path)>;

// Fetches pictures of rows on a thread of its own: the newest request replaces a pass in
// progress (restart flag), each finished row is posted as kMsgThumbnailReady.
class ThumbnailWorker {
 public:
  struct Row {
    uint32_t row = 0;
    uint32_t item = 0;
    bool folder = false;
    std::u16string path;
  };
  struct Picture {
    bool generic = true;  // no picture of its own: the generic icon stands in
    bool folder = false;
    ThumbnailPixels pixels;
  };

  ThumbnailWorker(HWND notify, int size, MayTouchFn may_touch);

  void Request(std::vector<Row> rows) { pass_.Request(std::move(rows)); }
  // Moves out the picture fetched for an item; false when none waits.
  bool Take(uint32_t item, Picture* out);
  bool running() const { return pass_.running(); }

 private:
  void Visit(const Row& r);

  HWND notify_;
  int size_;
  MayTouchFn may_touch_;
  std::mutex mu_;  // guards ready_
  std::unordered_map<uint32_t, Picture> ready_;
  RowPass<Row> pass_;  // last: stopped before the members it uses go
};

class ListLook {
 public:
  explicit ListLook(HWND list) : list_(list) {}
  ~ListLook();

  // Alternate row-group colours on or off (redraws).
  void SetAltRowColors(bool on);
  bool alt_row_colors() const { return alt_rows_; }
  // Thumbnails of `size` pixels (clamped to 32..256) on or off: rows grow to the size.
  void SetThumbnails(bool on, int size);
  bool thumbnails() const { return images_ != nullptr; }
  int thumbnail_size() const { return size_; }
  void set_may_touch(MayTouchFn may_touch) { may_touch_ = std::move(may_touch); }
  // The rows changed (a new result, another order, hidden rows).
  void RowsChanged(uint32_t count);

  // NM_CUSTOMDRAW of the list. group_key: the key that forms row groups (parent folder).
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* cd, const RowGroups::KeyOfRow& group_key);
  // The image of a shown row (LVN_GETDISPINFO with LVIF_IMAGE); a row without its picture
  // shows the generic icon and its picture is asked for.
  int ImageOf(uint32_t row, uint32_t item, bool folder);
  // kMsgWantThumbnails: the shown rows' pictures are fetched; row_of gives each row's item,
  // folder flag and path.
  void RequestShown(uint32_t row_count, const std::function<ThumbnailWorker::Row(uint32_t row)>& row_of);
  // kMsgThumbnailReady.
  void OnThumbnailReady(uint32_t row, uint32_t item);
  // The item's picture is in the image list (its own, not the generic icon).
  bool HasOwnPicture(uint32_t item) const;
  ThumbnailWorker* worker() { return worker_.get(); }
  // The tint of odd row groups (0x00BBGGRR).
  COLORREF tint() const { return tint_; }

 private:
  int SlotFor(uint32_t item);
  void PutPixels(int slot, const ThumbnailPixels& pixels);

  HWND list_;
  bool alt_rows_ = false;
  COLORREF tint_ = 0;
  RowGroups groups_;
  int size_ = 48;
  HIMAGELIST images_ = nullptr;
  // Slots 0 and 1: the generic file and folder icons; 2..: pictures of items.
  std::unordered_map<uint32_t, int> slot_of_;  // item -> slot (0 or 1 for generic)
  std::vector<uint32_t> item_in_slot_;
  std::vector<uint64_t> slot_used_;
  uint64_t use_clock_ = 0;
  bool asked_ = false;  // a kMsgWantThumbnails is on its way
  MayTouchFn may_touch_;
  std::unique_ptr<ThumbnailWorker> worker_;
};

// Applies the explorer-style options (alternate colours, thumbnails, AvoidWakingUpHdds for
// the pictures and the row details) to the list.
void ApplyListLook(ResultList* list, const WindowOptions& options);

// The drive-state question of `AvoidWakingUpHdds` for this machine's drives (any thread):
// false only for a drive whose disk says it is spun down; a drive whose volume or disk
// cannot be opened, or whose disk does not tell, counts as awake (nothing is known to sleep).
std::function<bool(char16_t)> SystemDriveSpinning();

}  // namespace nusk
