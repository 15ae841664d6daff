#include "gui/list_look.h"

#include <algorithm>

#include "gui/program_icon.h"
#include "gui/result_list.h"
#include "platform/env.h"
#include "platform/volume.h"
#include "scan/volume_drives.h"
#include "settings/drive_map.h"
#include "ui/sleeping_drives.h"
#include "ui/window_options.h"

namespace nusk {

// ---- ThumbnailWorker ----

ThumbnailWorker::ThumbnailWorker(HWND notify, int size, MayTouchFn may_touch)
    : notify_(notify), size_(size), may_touch_(std::move(may_touch)), pass_([this](const Row& r) { Visit(r); }, {}) {}

bool ThumbnailWorker::Take(uint32_t item, Picture* out) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = ready_.find(item);
  if (it == ready_.end()) return false;
  *out = std::move(it->second);
  ready_.erase(it);
  return true;
}

void ThumbnailWorker::Visit(const Row& r) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (ready_.count(r.item)) return;  // fetched, not taken yet
  }
  Picture p;
  p.folder = r.folder;
  // A sleeping drive is not woken for a picture: the generic icon stands in.
  if (!may_touch_ || may_touch_(r.path)) p.generic = !MakeThumbnailPixels(r.path, size_, &p.pixels).ok();
  {
    std::lock_guard<std::mutex> lock(mu_);
    ready_[r.item] = std::move(p);
  }
  PostMessageW(notify_, kMsgThumbnailReady, r.row, r.item);
}

// ---- ListLook ----

ListLook::~ListLook() {
  worker_.reset();
  if (images_) ImageList_Destroy(images_);
}

void ListLook::SetAltRowColors(bool on) {
  alt_rows_ = on;
  tint_ = AltRowColor(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_HIGHLIGHT));
  InvalidateRect(list_, nullptr, FALSE);
}

void ListLook::RowsChanged(uint32_t count) { groups_.Reset(count); }

LRESULT ListLook::OnCustomDraw(NMLVCUSTOMDRAW* cd, const RowGroups::KeyOfRow& group_key) {
  if (!alt_rows_) return CDRF_DODEFAULT;
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const uint32_t row = static_cast<uint32_t>(cd->nmcd.dwItemSpec);
      // A selected row keeps the selection's colours.
      if (ListView_GetItemState(list_, static_cast<int>(row), LVIS_SELECTED)) return CDRF_DODEFAULT;
      cd->clrTextBk = groups_.Odd(row, group_key) ? tint_ : GetSysColor(COLOR_WINDOW);
      return CDRF_NEWFONT;
    }
  }
  return CDRF_DODEFAULT;
}

void ListLook::SetThumbnails(bool on, int size) {
  worker_.reset();
  slot_of_.clear();
  item_in_slot_.clear();
  slot_used_.clear();
  asked_ = false;
  size_ = std::clamp(size, 32, 256);
  HIMAGELIST old = images_;
  images_ = nullptr;
  if (on) {
    // Enough slots for a few pages of rows, within about 16 MB of pictures.
    const int slots = std::clamp(16 * 1024 * 1024 / (size_ * size_ * 4), 16, 128);
    images_ = ImageList_Create(size_, size_, ILC_COLOR32, slots + 2, 0);
    for (int i = 0; i < slots + 2; ++i) {
      HDC screen = GetDC(nullptr);
      HBITMAP blank = CreateCompatibleBitmap(screen, size_, size_);
      ReleaseDC(nullptr, screen);
      ImageList_Add(images_, blank, nullptr);
      DeleteObject(blank);
    }
    item_in_slot_.assign(slots + 2, UINT32_MAX);
    slot_used_.assign(slots + 2, 0);
    for (bool folder : {false, true}) {
      ThumbnailPixels icon;
      if (GenericIconPixels(folder, &icon).ok()) PutPixels(folder ? 1 : 0, icon);
    }
    worker_ = std::make_unique<ThumbnailWorker>(list_, size_, may_touch_);
  }
  ListView_SetImageList(list_, images_, LVSIL_SMALL);
  if (old) ImageList_Destroy(old);
  InvalidateRect(list_, nullptr, TRUE);
}

void ListLook::PutPixels(int slot, const ThumbnailPixels& pixels) {
  // A size x size top-down picture, transparent around the centred pixels, premultiplied
  // as the image list's alpha drawing expects.
  const BITMAPINFO bi = TopDownBitmapInfo(size_, size_);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return;
  auto* out = static_cast<uint32_t*>(bits);
  std::fill(out, out + size_ * size_, 0u);
  const int w = std::min(pixels.width, size_), h = std::min(pixels.height, size_);
  const int x0 = (size_ - w) / 2, y0 = (size_ - h) / 2;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t v = pixels.bgra[static_cast<size_t>(y) * pixels.width + x];
      if (!pixels.premultiplied) {
        const uint32_t a = v >> 24;
        auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
        v = (a << 24) | (mul(v >> 16 & 0xFF) << 16) | (mul(v >> 8 & 0xFF) << 8) | mul(v & 0xFF);
      }
      out[(y0 + y) * size_ + x0 + x] = v;
    }
  }
  ImageList_Replace(images_, slot, dib, nullptr);
  DeleteObject(dib);
}

int ListLook::SlotFor(uint32_t item) {
  // The least recently used picture slot gives way.
  int best = 2;
  for (int s = 2; s < static_cast<int>(slot_used_.size()); ++s) {
    if (slot_used_[s] < slot_used_[best]) best = s;
  }
  if (item_in_slot_[best] != UINT32_MAX) slot_of_.erase(item_in_slot_[best]);
  item_in_slot_[best] = item;
  slot_used_[best] = ++use_clock_;
  slot_of_[item] = best;
  return best;
}

int ListLook::ImageOf(uint32_t row, uint32_t item, bool folder) {
  (void)row;
  if (!images_) return I_IMAGENONE;
  auto it = slot_of_.find(item);
  if (it != slot_of_.end()) {
    if (it->second >= 2) slot_used_[it->second] = ++use_clock_;
    return it->second;
  }
  if (!asked_) {
    asked_ = true;
    PostMessageW(list_, kMsgWantThumbnails, 0, 0);
  }
  return folder ? 1 : 0;
}

void ListLook::RequestShown(uint32_t row_count, const std::function<ThumbnailWorker::Row(uint32_t row)>& row_of) {
  asked_ = false;
  if (!worker_ || row_count == 0) return;
  const uint32_t top = static_cast<uint32_t>(std::max(0, ListView_GetTopIndex(list_)));
  const uint32_t page = static_cast<uint32_t>(std::max(1, ListView_GetCountPerPage(list_))) + 1;
  std::vector<ThumbnailWorker::Row> rows;
  for (uint32_t r = top; r < row_count && r < top + page; ++r) {
    ThumbnailWorker::Row row = row_of(r);
    if (!slot_of_.count(row.item)) rows.push_back(std::move(row));
  }
  if (!rows.empty()) worker_->Request(std::move(rows));
}

void ListLook::OnThumbnailReady(uint32_t row, uint32_t item) {
  ThumbnailWorker::Picture p;
  if (!worker_ || !worker_->Take(item, &p)) return;
  if (p.generic) {
    slot_of_[item] = p.folder ? 1 : 0;
  } else {
    PutPixels(SlotFor(item), p.pixels);
  }
  ListView_RedrawItems(list_, static_cast<int>(row), static_cast<int>(row));
}

bool ListLook::HasOwnPicture(uint32_t item) const {
  auto it = slot_of_.find(item);
  return it != slot_of_.end() && it->second >= 2;
}

// ---- options ----

std::function<bool(char16_t)> SystemDriveSpinning() {
  // One drive-state object for every thread that asks (it keeps answers for 7 s).
  struct Shared {
    std::mutex mu;
    Volumes* volumes = Volumes::Default();
    DriveSystem drives{DriveMap::Native(), Volumes::Default(), Env::Default()};
    uint64_t not_asleep_until[26] = {};  // GetTickCount64 until which "not known asleep" holds
  };
  auto shared = std::make_shared<Shared>();
  return [shared](char16_t letter) {
    if (letter < u'A' || letter > u'Z') return true;
    std::lock_guard<std::mutex> lock(shared->mu);
    const uint64_t now = GetTickCount64();
    uint64_t& until = shared->not_asleep_until[letter - u'A'];
    if (now < until || shared->drives.IsDriveSpinning(letter)) return true;
    // IsDriveSpinning also says no when the volume or its disk cannot be opened or the disk
    // does not tell its power state (every drive under Wine, and disks that need rights the
    // user lacks). Such a drive is not known to sleep, and asking about its files wakes
    // nothing that sleeps: only a disk that reports itself spun down is left alone.
    uint32_t disk = 0;
    const bool asleep =
        shared->volumes->DiskNumber(std::u16string{letter, u':', u'\\'}, &disk) == Volumes::DiskLookup::kDisk &&
        shared->volumes->QueryDiskPower(disk) == DiskPower::kAsleep;
    if (!asleep) until = now + 7000;
    return !asleep;
  };
}

void ApplyListLook(ResultList* list, const WindowOptions& options) {
  MayTouchFn may_touch;
  if (options.avoid_waking_up_hdds) {
    std::function<bool(char16_t)> spinning = SystemDriveSpinning();
    may_touch = [spinning](std::u16string_view path) { return MayTouchItem(path, true, spinning); };
  }
  list->details()->set_may_touch(may_touch);
  ListLook& look = list->look();
  look.set_may_touch(may_touch);
  // Both belong to the explorer-style list.
  look.SetAltRowColors(options.explorer_style_list && options.alt_row_group_color);
  look.SetThumbnails(options.explorer_style_list && options.thumbnails_view, options.thumbnail_size);
}

}  // namespace nusk
