// The view of a loaded search index that matchers, cursors and sorting read: the raw
// arrays of NuskDb for hot loops, the name text buffer, and the optional per-item
// content-hash tables.
//
// A view borrows everything; the index (and hash tables) must outlive it and must not
// be reloaded while it is in use. One thread at a time: path building and the derived
// tables of the index are shared state.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "index/index_types.h"
#include "index/nusk_db.h"

namespace nusk {

class HashInfo;

class SearchView {
 public:
  // db must be loaded (an empty index is fine); hashes may be null (no hash information).
  explicit SearchView(NuskDb* db, const HashInfo* hashes = nullptr);

  NuskDb& db() const { return *db_; }

  uint32_t item_count = 0;                // N
  uint32_t folder_count = 0;              // F: items 0 .. F-1 are folders
  uint32_t name_count = 0;                // M
  uint32_t folder_name_count = 0;         // FM
  const uint32_t* hash_values = nullptr;  // N or null
  const uint16_t* dup_counts = nullptr;   // N or null

  // The tables, taken from the index when first asked for (a table of a search snapshot
  // is checked then): a search answered from a few rows never reads the others whole.
  const NameRow* names() const { return db_->name_rows(); }
  const uint32_t* parents() const { return db_->parents(); }
  const uint8_t* drives() const { return db_->drives(); }
  const uint32_t* name_of_item() const { return db_->names_of_items(); }
  // The name text buffer: row n's text starts at n.text_offset.
  const char16_t* text_base() const { return db_->name_text(); }

  // Lower-cased text of a name row (NUL-terminated; the kind character precedes it).
  const char16_t* TextPtr(const NameRow& n) const { return text_base() + n.text_offset; }
  std::u16string_view Text(const NameRow& n) const { return {TextPtr(n), n.length}; }
  bool IsFolderName(const NameRow& n) const { return TextPtr(n)[-1] == u'1'; }

  bool is_folder(uint32_t item) const { return item < folder_count; }
  uint32_t parent(uint32_t item) const { return db_->Parent(item); }
  uint32_t time(uint32_t item) const { return db_->Time(item); }
  uint32_t size_form(uint32_t item) const { return db_->SizeForm(item); }
  bool shown(uint32_t item) const { return db_->GetHideState(item) == HideState::kShown; }
  bool hidden(uint32_t item) const { return db_->GetHideState(item) == HideState::kHidden; }
  // True when `folder` is among the ancestors of item, starting from its parent.
  bool IsBelow(uint32_t item, uint32_t folder) const;

  // The path order of the item's parent folder as one integer (path_rank.h): equal for
  // items of folders with equal paths, kNoParentRank for items without a parent. The
  // folder ranks are computed on first use, once per view (so once per loaded index),
  // safely from any thread.
  uint32_t ParentPathRank(uint32_t item) const;
  // ParentPathRank of items[0 .. count) into keys, for whole result lists: the ranks are
  // looked up once, not per item.
  void ParentPathRanks(const uint32_t* items, size_t count, uint64_t* keys, size_t key_stride) const;

 private:
  NuskDb* db_;
  mutable std::once_flag ranks_once_;
  mutable std::vector<uint32_t> folder_ranks_;
};

// Bits test shared by every name matcher and cursor: the text's own bits must all be set.
inline bool BitsPass(uint32_t name_bits, uint32_t text_bits) { return (name_bits & text_bits) == text_bits; }

// NameBits of a search text as typed: only 'a'-'z', '.', '_', '0'-'3' set bits, so the
// result is a subset of the stored signature of every name that contains the text.
uint32_t SearchTextBits(std::u16string_view text);

}  // namespace nusk
