#include "search/path_rank.h"

#include <algorithm>

#include "index/index_types.h"

namespace nusk {
namespace {

// Children of every folder in one array (compressed rows): children of folder p are
// child[start[p] .. start[p+1]); roots (no parent) are kept apart.
struct FolderTree {
  std::vector<uint32_t> start, child, roots;
};

FolderTree BuildTree(const uint32_t* parents, uint32_t f) {
  FolderTree t;
  t.start.assign(size_t{f} + 1, 0);
  for (uint32_t i = 0; i < f; ++i) {
    const uint32_t p = parents[i];
    if (p == kNoItem) t.roots.push_back(i);
    else if (p < f) ++t.start[p + 1];
  }
  for (uint32_t p = 0; p < f; ++p) t.start[p + 1] += t.start[p];
  t.child.resize(t.start[f]);
  std::vector<uint32_t> fill(t.start.begin(), t.start.end() - 1);
  // Folders in index order are in name order, so each child list comes out sorted.
  for (uint32_t i = 0; i < f; ++i) {
    const uint32_t p = parents[i];
    if (p != kNoItem && p < f) t.child[fill[p]++] = i;
  }
  return t;
}

// One level of the walk: the siblings still to visit, sorted by name index. `own` holds
// the merged children of a class of several equal-chain folders; otherwise the range
// points into the tree.
struct Frame {
  const uint32_t* next;
  const uint32_t* end;
  std::vector<uint32_t> own;
};

class Ranker {
 public:
  Ranker(const uint32_t* names, uint32_t f, const FolderTree& tree) : names_(names), tree_(tree), rank_(f, f + 1) {}

  std::vector<uint32_t> Run() {
    Push(tree_.roots.data(), tree_.roots.data() + tree_.roots.size(), {});
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next == top.end) {
        stack_.pop_back();
        continue;
      }
      // The run of siblings with one name index is one class: one rank, merged children.
      const uint32_t name = names_[*top.next];
      const uint32_t* run_end = top.next;
      while (run_end != top.end && names_[*run_end] == name) rank_[*run_end++] = next_rank_;
      ++next_rank_;
      const uint32_t* first = top.next;
      top.next = run_end;
      if (run_end - first == 1) {
        PushChildren(*first);
      } else {
        std::vector<uint32_t> merged;
        for (const uint32_t* m = first; m != run_end; ++m) merged.insert(merged.end(), Begin(*m), End(*m));
        Push(nullptr, nullptr, std::move(merged));
      }
    }
    return std::move(rank_);
  }

 private:
  const uint32_t* Begin(uint32_t p) const { return tree_.child.data() + tree_.start[p]; }
  const uint32_t* End(uint32_t p) const { return tree_.child.data() + tree_.start[p + 1]; }

  void PushChildren(uint32_t p) {
    if (Begin(p) != End(p)) Push(Begin(p), End(p), {});
  }

  // A moved vector keeps its buffer, so a frame may point into its own list while the
  // stack grows.
  void Push(const uint32_t* b, const uint32_t* e, std::vector<uint32_t> own) {
    Frame& fr = stack_.emplace_back(Frame{b, e, std::move(own)});
    if (!fr.own.empty() || b == nullptr) {
      fr.next = fr.own.data();
      fr.end = fr.own.data() + fr.own.size();
    }
    const auto by_name = [this](uint32_t a, uint32_t c) { return names_[a] < names_[c]; };
    if (!std::is_sorted(fr.next, fr.end, by_name)) {
      if (fr.own.empty()) fr.own.assign(fr.next, fr.end);
      std::sort(fr.own.begin(), fr.own.end(), by_name);
      fr.next = fr.own.data();
      fr.end = fr.own.data() + fr.own.size();
    }
  }

  const uint32_t* names_;
  const FolderTree& tree_;
  std::vector<uint32_t> rank_;
  std::vector<Frame> stack_;
  uint32_t next_rank_ = kNoParentRank + 1;
};

}  // namespace

std::vector<uint32_t> ComputeFolderPathRanks(const uint32_t* parents, const uint32_t* names_of_items,
                                             uint32_t folder_count) {
  const FolderTree tree = BuildTree(parents, folder_count);
  return Ranker(names_of_items, folder_count, tree).Run();
}

}  // namespace nusk
