#include "ui/edit_history.h"

namespace nusk {

void EditHistory::Reset(const EditState& s) {
  states_.assign(1, s);
  cursor_ = 0;
  open_group_ = false;
}

void EditHistory::Record(const EditState& after, EditKind kind) {
  if (after == states_[cursor_]) return;
  states_.resize(cursor_ + 1);
  const EditState& before = states_[cursor_];
  // A keystroke continues the open step when it is of the same kind and lands where the
  // last one left the caret (one unit further for typing, one back or in place for
  // deleting); a typed space closes the step after itself.
  bool joins = open_group_ && kind == group_kind_ && kind != EditKind::kOther;
  if (joins && kind == EditKind::kTyping) joins = after.caret == before.caret + 1;
  if (joins && kind == EditKind::kDeleting) joins = after.caret == before.caret || after.caret + 1 == before.caret;
  if (joins && cursor_ > 0) {
    states_[cursor_] = after;
  } else {
    states_.push_back(after);
    ++cursor_;
    if (states_.size() > limit_ + 1) {
      states_.erase(states_.begin());
      --cursor_;
    }
  }
  group_kind_ = kind;
  open_group_ = kind != EditKind::kOther && !(kind == EditKind::kTyping && after.caret > 0 &&
                                              after.caret <= after.text.size() && after.text[after.caret - 1] == u' ');
}

std::optional<EditState> EditHistory::Undo() {
  open_group_ = false;
  if (!CanUndo()) return std::nullopt;
  return states_[--cursor_];
}

std::optional<EditState> EditHistory::Redo() {
  open_group_ = false;
  if (!CanRedo()) return std::nullopt;
  return states_[++cursor_];
}

}  // namespace nusk
