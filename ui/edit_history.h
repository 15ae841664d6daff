// The search box's own undo and redo history.
//
// Keystrokes are grouped into steps: a run of typed characters (or of deletions) is one
// step, ended by a space typed, a change of kind, a caret moved elsewhere, or an undo/redo.
// Pastes, cuts and replacements of the whole text are steps of their own.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace nusk {

struct EditState {
  std::u16string text;
  size_t caret = 0;
  bool operator==(const EditState&) const = default;
};

enum class EditKind { kTyping, kDeleting, kOther };

class EditHistory {
 public:
  // limit: the most steps kept (the oldest go first).
  explicit EditHistory(size_t limit = 100) : limit_(limit) {}

  // Starts a new history whose only state is s (nothing to undo).
  void Reset(const EditState& s);
  // Records the state after an edit of the given kind. A state equal to the current one
  // records nothing. Recording drops every state that a redo could have reached.
  void Record(const EditState& after, EditKind kind);
  // The state to show, or nullopt when there is nothing to undo/redo.
  std::optional<EditState> Undo();
  std::optional<EditState> Redo();
  bool CanUndo() const { return cursor_ > 0; }
  bool CanRedo() const { return cursor_ + 1 < states_.size(); }

 private:
  size_t limit_;
  std::vector<EditState> states_{EditState{}};
  size_t cursor_ = 0;
  bool open_group_ = false;  // the last step may still take more keystrokes
  EditKind group_kind_ = EditKind::kOther;
};

}  // namespace nusk
