// Deciding folders by their chain of parents, for chains of any depth and any damage.
//
// Several places give every folder a verdict that depends on its ancestors: the index
// checks that every chain reaches a root (and none loops), the commit cuts loops before
// they are written, the loader hides folders whose chain lost its root, the NTFS scan
// leaves out everything below an excluded folder. All of them walk up from a folder until
// they meet a folder already decided, the end of the chain, or a folder already on the
// same walk (a loop), and then give the whole walked chain one verdict. Each folder is
// walked once, without recursion, so a path 1,000 levels deep costs what 1,000 siblings
// cost and a hostile chain cannot exhaust the stack.
#pragma once
#include <cstdint>
#include <vector>

namespace nusk {

// Verdicts are one byte per folder. These two values are the walk's own; callers use any
// other values for their verdicts.
inline constexpr uint8_t kChainUndecided = 0xFF;  // not walked yet
inline constexpr uint8_t kChainOnWalk = 0xFE;     // on the walk in progress

// No parent: the chain ends at this folder.
inline constexpr uint32_t kChainEnd = 0xFFFFFFFFu;

// Decides `start` (undecided on entry) and every undecided folder above it.
//   parent(x)     the folder above x, or kChainEnd when x ends the chain (no parent, or
//                 a parent outside the table: the caller decides what that means)
//   at_end(x)     the verdict of a chain that ends at x
//   at_loop(walk) the verdict of a chain that comes back to a folder of `walk` (the
//                 folders walked so far, start first); it may change what parent() says
// Returns the verdict the walked folders took. `walk` is scratch space, kept by the caller
// so that deciding a whole table allocates once.
template <typename Parent, typename AtEnd, typename AtLoop>
uint8_t DecideChain(std::vector<uint8_t>& verdicts, uint32_t start, std::vector<uint32_t>* walk, Parent parent,
                    AtEnd at_end, AtLoop at_loop) {
  walk->clear();
  uint8_t verdict;
  for (uint32_t x = start;;) {
    verdicts[x] = kChainOnWalk;
    walk->push_back(x);
    const uint32_t p = parent(x);
    if (p == kChainEnd) {
      verdict = at_end(x);
      break;
    }
    if (verdicts[p] == kChainOnWalk) {
      verdict = at_loop(*walk);
      break;
    }
    if (verdicts[p] != kChainUndecided) {
      verdict = verdicts[p];
      break;
    }
    x = p;
  }
  for (uint32_t w : *walk) verdicts[w] = verdict;
  return verdict;
}

}  // namespace nusk
