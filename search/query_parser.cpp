#include "search/query_parser.h"

#include <cstdint>
#include <vector>

#include "util/utf.h"

namespace nusk {
namespace {

// Tokenizer state; one instance per call.
class Tokenizer {
 public:
  explicit Tokenizer(std::u16string_view text) : text_(text) {}

  TermList Run() {
    for (size_t i = 0; i < text_.size(); ++i) {
      const char16_t c = text_[i];
      if (quoted_) {
        if (c == u'"') {
          Finish();
          quoted_ = false;
        } else {
          token_ += c;
        }
      } else if (path_) {
        PathChar(i);
      } else if (!PlainChar(&i)) {
        return std::move(out_);  // an unclosed group took the rest of the line
      }
    }
    Finish();
    return std::move(out_);
  }

 private:
  void Finish() {
    if (!token_.empty()) out_.push_back(std::move(token_));
    token_.clear();
  }

  // Inside a path token a space belongs to the folder name when another backslash
  // follows before anything that starts a new condition ("|", ":", " /").
  void PathChar(size_t i) {
    const char16_t c = text_[i];
    if (c == u'|') {
      Finish();
      out_.push_back(u"|");
      path_ = false;
    } else if (c == u' ') {
      if (!token_.empty() && token_.back() == u'\\') {
        Finish();
        path_ = false;
      } else if (BackslashAhead(i + 1)) {
        token_ += c;
      } else {
        Finish();
        path_ = false;
      }
    } else {
      token_ += c;
    }
  }

  // Whether a scan from `from` meets a backslash before "|", ":" or " /". Answered for
  // every position in one backward pass on first use, so a long path with many spaces
  // costs linear time, not one scan to the end per space.
  bool BackslashAhead(size_t from) {
    if (ahead_.empty()) {
      ahead_.assign(text_.size() + 1, 0);
      for (size_t j = text_.size(); j-- > 0;) {
        const char16_t c = text_[j];
        const bool stop = c == u'|' || c == u':' || (c == u'/' && j > 0 && text_[j - 1] == u' ');
        ahead_[j] = stop ? 0 : (c == u'\\' ? 1 : ahead_[j + 1]);
      }
    }
    return ahead_[from] != 0;
  }

  // Returns false when tokenizing must stop (an unclosed group swallowed the rest).
  bool PlainChar(size_t* pos) {
    const size_t i = *pos;
    const char16_t c = text_[i];
    switch (c) {
      case u'"':
        Finish();
        quoted_ = true;
        return true;
      case u'|':
        Finish();
        out_.push_back(u"|");
        return true;
      case u'<': Finish(); return Group(pos);
      case u' ': Finish(); return true;
      default:
        token_ += c;
        path_ = (c == u'\\');
        return true;
    }
  }

  // A "<" ends at the ">" where its depth count returns to 0, which is the ">" matching it
  // as brackets match. Unmatched, it takes the rest of the line when no other unmatched
  // "<" follows (depth 1 at the end); otherwise it is dropped.
  bool Group(size_t* pos) {
    const size_t start = *pos;
    if (close_.empty()) MatchBrackets();
    if (close_[start] != kOpen) {
      out_.emplace_back(text_.substr(start, close_[start] - start + 1));
      *pos = close_[start];
      return true;
    }
    if (start == last_open_) {
      out_.emplace_back(text_.substr(start));
      return false;
    }
    // Nested groups left open: drop this "<" and read on after it.
    return true;
  }

  // One pass with a stack instead of a scan to the end of the line per "<": close_[i] is
  // the position of the ">" matching the "<" at i, kOpen when none does.
  void MatchBrackets() {
    close_.assign(text_.size(), kOpen);
    std::vector<size_t> open;
    for (size_t j = 0; j < text_.size(); ++j) {
      if (text_[j] == u'<') {
        open.push_back(j);
      } else if (text_[j] == u'>' && !open.empty()) {
        close_[open.back()] = j;
        open.pop_back();
      }
    }
    last_open_ = open.empty() ? kOpen : open.back();
  }

  static constexpr size_t kOpen = static_cast<size_t>(-1);
  std::u16string_view text_;
  TermList out_;
  std::u16string token_;
  bool quoted_ = false;
  bool path_ = false;
  std::vector<uint8_t> ahead_;  // BackslashAhead per position, filled on first use
  std::vector<size_t> close_;   // matching ">" per "<", filled on the first group
  size_t last_open_ = kOpen;    // the last "<" without a match
};

bool IsFolderToken(const std::u16string& t) {
  if (t.empty() || t[0] == u'<') return false;
  return (t.size() >= 2 && t[1] == u':') || t.find(u'\\') != std::u16string::npos;
}

// "*abc*" is the keyword "abc": a star, starless text, a star.
void TrimEnclosingStars(std::u16string* t) {
  if (t->size() <= 1 || (*t)[0] != u'*' || t->find(u'*', 1) != t->size() - 1) return;
  size_t end = t->find_last_not_of(u'*');
  t->erase(end == std::u16string::npos ? 0 : end + 1);
  t->erase(0, t->find_first_not_of(u'*') == std::u16string::npos ? t->size() : t->find_first_not_of(u'*'));
}

}  // namespace

TermList TokenizeQuery(std::u16string_view text) { return Tokenizer(text).Run(); }

void SplitQuery(std::u16string_view text, TermList* terms, TermList* folders) {
  TermList tokens = TokenizeQuery(text);
  bool previous_folder = false;
  bool join_next = false;
  for (size_t i = 0; i < tokens.size(); ++i) {
    std::u16string& t = tokens[i];
    if (IsFolderToken(t)) {
      if (folders) folders->push_back(std::move(t));
      previous_folder = true;
      continue;
    }
    if (t == u"|") {
      if (!previous_folder) {
        if (!terms->empty()) terms->back() += u'|';
        join_next = true;
      }
      continue;
    }
    TrimEnclosingStars(&t);
    if (join_next && !terms->empty()) {
      terms->back() += t;
      if (t == u"!" && i + 1 < tokens.size() && !tokens[i + 1].empty() && tokens[i + 1][0] == u'<') {
        terms->back() += tokens[++i];
      }
    } else {
      terms->push_back(std::move(t));
    }
    join_next = false;
    previous_folder = false;
  }
}

ParsedQuery ParseQuery(std::u16string_view text) {
  ParsedQuery q;
  SplitQuery(text, &q.terms, &q.folders);
  const size_t folder_tokens = q.folders.size();
  if (folder_tokens == 1) {
    q.folder = std::move(q.folders[0]);
    q.folders.clear();
  }
  for (auto it = q.terms.begin(); it != q.terms.end(); ++it) {
    if (it->rfind(u"/sort", 0) == 0) {
      q.sort = std::move(*it);
      q.terms.erase(it);
      break;
    }
  }
  if (q.terms.size() == 1 && folder_tokens < 2) {
    const std::u16string& t = q.terms[0];
    const bool named = t.size() > 1 && t[0] == u'@';
    const bool special = !t.empty() && (t[0] == u'/' || t[0] == u'<' || t[0] == u'>');
    if (t.find(u'|') == std::u16string::npos && !special && !named) {
      q.pattern = std::move(q.terms[0]);
      q.terms.clear();
    }
  }
  return q;
}

}  // namespace nusk
