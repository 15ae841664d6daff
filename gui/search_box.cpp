#include "gui/search_box.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>

#include "gui/resource.h"
#include "gui/win_menu_text.h"
#include "platform/win32/win_text.h"
#include "ui/box_menu.h"

namespace nusk {

namespace {

constexpr UINT_PTR kBoxSubclass = 2;
constexpr UINT_PTR kPopupSubclass = 3;

}  // namespace

bool SearchBox::Create(HWND parent, int id, std::function<void()> on_change) {
  on_change_ = std::move(on_change);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
  const HMENU menu_id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  if (LoadLibraryW(L"Msftedit.dll")) {
    hwnd_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"RICHEDIT50W", L"", style, 0, 0, 0, 0, parent, menu_id, instance, nullptr);
  }
  rich_ = hwnd_ != nullptr;
  if (!hwnd_) {
    hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, 0, 0, 0, 0, parent, menu_id, instance, nullptr);
  }
  if (!hwnd_) return false;
  if (rich_) {
    SendMessageW(hwnd_, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO, 0);
    SendMessageW(hwnd_, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, 32767);
  }
  SetFontHeight(0);
  SetWindowSubclass(hwnd_, SubclassProc, kBoxSubclass, reinterpret_cast<DWORD_PTR>(this));
  popup_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"LISTBOX", L"",
                           WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0, 10, 10, parent,
                           nullptr, instance, nullptr);
  if (popup_) {
    SendMessageW(popup_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetWindowSubclass(popup_, PopupProc, kPopupSubclass, reinterpret_cast<DWORD_PTR>(this));
  }
  history_.Reset({});
  return true;
}

void SearchBox::SetFontHeight(int pixels) {
  HDC dc = GetDC(hwnd_);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd_, dc);
  LOGFONTW lf = {};
  lf.lfHeight = pixels > 0 ? -pixels : -MulDiv(11, dpi, 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  lstrcpyW(lf.lfFaceName, L"Segoe UI");
  HFONT font = CreateFontIndirectW(&lf);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (popup_) SendMessageW(popup_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (font_) DeleteObject(font_);
  font_ = font;
  height_ = -lf.lfHeight * 4 / 3 + 8;
}

std::u16string SearchBox::Text() const {
  const int n = GetWindowTextLengthW(hwnd_);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(std::max(got, 0)));
  // A rich edit ends its plain text with a paragraph mark; the search text has none.
  while (!buf.empty() && (buf.back() == L'\r' || buf.back() == L'\n')) buf.pop_back();
  return U(buf);
}

int SearchBox::Caret() const {
  DWORD start = 0, end = 0;
  SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end);
}

bool SearchBox::HasSelection() const {
  DWORD start = 0, end = 0;
  SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start != end;
}

bool SearchBox::AllSelected() const {
  DWORD start = 0, end = 0;
  SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == 0 && end >= Text().size();
}

void SearchBox::SelectAll() { SendMessageW(hwnd_, EM_SETSEL, 0, -1); }

void SearchBox::SetTextAndCaret(std::u16string_view text, int caret) {
  applying_ = true;
  SetWindowTextW(hwnd_, W(text).c_str());
  SendMessageW(hwnd_, EM_SETSEL, caret, caret);
  applying_ = false;
  // The control's own change report (if any) came before the caret was placed: the
  // change is handled once here, whether or not the control reported it.
  OnEnChange();
}

void SearchBox::SetText(std::u16string_view text) {
  pending_kind_ = EditKind::kOther;
  SetTextAndCaret(text, static_cast<int>(text.size()));
  CloseCompletion();
}

void SearchBox::OnEnChange() {
  if (applying_) return;  // handled by SetTextAndCaret once the caret is placed
  const std::u16string text = Text();
  if (!replaying_) history_.Record({text, static_cast<size_t>(Caret())}, pending_kind_);
  pending_kind_ = EditKind::kOther;
  if (typed_) UpdateCompletion();
  typed_ = false;
  if (on_change_) on_change_();
}

bool SearchBox::Undo() { return Replay(history_.Undo()); }

bool SearchBox::Redo() { return Replay(history_.Redo()); }

// Puts a state of the history back without recording it as a new edit.
bool SearchBox::Replay(const std::optional<EditState>& state) {
  if (!state) return false;
  replaying_ = true;
  SetTextAndCaret(state->text, static_cast<int>(state->caret));
  replaying_ = false;
  return true;
}

void SearchBox::UpdateCompletion() {
  const std::u16string text = Text();
  word_ = WordBeforeCaret(text, static_cast<size_t>(Caret()));
  candidates_.clear();
  if (word_) {
    candidates_ = word_->trigger == u'@' ? CompletionCandidates(std::span<const std::u16string>(named_), word_->word)
                                         : CompletionCandidates(OptionKeywords(), word_->word);
  }
  if (candidates_.empty() || !popup_) {
    CloseCompletion();
    return;
  }
  SendMessageW(popup_, LB_RESETCONTENT, 0, 0);
  for (const std::u16string& c : candidates_)
    SendMessageW(popup_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(c).c_str()));
  SendMessageW(popup_, LB_SETCURSEL, 0, 0);
  // Under the box, at the trigger character.
  POINT at = {};
  const WPARAM trigger_at = word_->start > 0 ? word_->start - 1 : 0;
  if (rich_) {
    POINTL p = {};
    SendMessageW(hwnd_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), static_cast<LPARAM>(trigger_at));
    at = {p.x, p.y};
  } else {
    const LRESULT pos = SendMessageW(hwnd_, EM_POSFROMCHAR, trigger_at, 0);
    at = {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
  }
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  ClientToScreen(hwnd_, &at);
  const int item_h = std::max<int>(16, static_cast<int>(SendMessageW(popup_, LB_GETITEMHEIGHT, 0, 0)));
  const int rows = std::min<int>(8, static_cast<int>(candidates_.size()));
  SetWindowPos(popup_, HWND_TOPMOST, at.x, rc.bottom, 180, rows * item_h + 8, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

std::vector<std::u16string> SearchBox::CompletionItems() const {
  return completion_open() ? candidates_ : std::vector<std::u16string>{};
}

void SearchBox::CloseCompletion() {
  if (popup_ && IsWindowVisible(popup_)) ShowWindow(popup_, SW_HIDE);
}

void SearchBox::AcceptCompletion(int index) {
  if (!word_ || index < 0 || index >= static_cast<int>(candidates_.size())) return;
  const CompletedText done = ApplyCompletion(Text(), *word_, candidates_[index]);
  CloseCompletion();
  pending_kind_ = EditKind::kOther;
  SetTextAndCaret(done.text, static_cast<int>(done.caret));
}

void SearchBox::ShowRecent() {
  if (recent_.empty()) return;
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < recent_.size() && i < 16; ++i) {
    AppendMenuW(menu, MF_STRING, IDM_RECENT_FIRST + i, W(recent_[i]).c_str());
  }
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  const int cmd = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN, rc.left, rc.bottom, hwnd_, nullptr);
  DestroyMenu(menu);
  if (cmd >= IDM_RECENT_FIRST && cmd < IDM_RECENT_FIRST + static_cast<int>(recent_.size())) {
    SetText(recent_[cmd - IDM_RECENT_FIRST]);
  }
}

void SearchBox::ShowContextMenu(POINT screen) {
  HMENU menu = CreatePopupMenu();
  DWORD start = 0, end = 0;
  SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const BoxMenuState on =
      SearchBoxMenu(Text().size(), start, end, CanUndo(), IsClipboardFormatAvailable(CF_UNICODETEXT));
  auto add = [menu](bool enabled, int id, std::u16string_view key, std::u16string_view english) {
    AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, MenuText(key, english).c_str());
  };
  add(on.undo, IDM_BOX_UNDO, u"search_box.undo", u"&Undo");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  add(on.cut, IDM_BOX_CUT, u"search_box.cut", u"Cu&t");
  add(on.copy, IDM_BOX_COPY, u"search_box.copy", u"&Copy");
  add(on.paste, IDM_BOX_PASTE, u"search_box.paste", u"&Paste");
  add(on.del, IDM_BOX_DELETE, u"search_box.delete", u"&Delete");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  add(on.select_all, IDM_BOX_SELECT_ALL, u"search_box.select_all", u"Select &All");
  if (screen.x == -1 && screen.y == -1) {
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    screen = {rc.left + 8, rc.bottom};
  }
  const int cmd = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, hwnd_, nullptr);
  DestroyMenu(menu);
  RunMenuCommand(cmd);
}

void SearchBox::RunMenuCommand(int cmd) {
  switch (cmd) {
    case IDM_BOX_UNDO: Undo(); break;
    case IDM_BOX_CUT:
      pending_kind_ = EditKind::kOther;
      SendMessageW(hwnd_, WM_CUT, 0, 0);
      break;
    case IDM_BOX_COPY: SendMessageW(hwnd_, WM_COPY, 0, 0); break;
    case IDM_BOX_PASTE:
      pending_kind_ = EditKind::kOther;
      SendMessageW(hwnd_, WM_PASTE, 0, 0);
      break;
    case IDM_BOX_DELETE:
      pending_kind_ = EditKind::kOther;
      SendMessageW(hwnd_, WM_CLEAR, 0, 0);
      break;
    case IDM_BOX_SELECT_ALL: SelectAll(); break;
  }
}

LRESULT CALLBACK SearchBox::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<SearchBox*>(data);
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  switch (msg) {
    case WM_KEYDOWN:
      if (self->completion_open()) {
        const int n = static_cast<int>(self->candidates_.size());
        int cur = static_cast<int>(SendMessageW(self->popup_, LB_GETCURSEL, 0, 0));
        if (wp == VK_DOWN || wp == VK_UP) {
          cur = std::clamp(cur + (wp == VK_DOWN ? 1 : -1), 0, n - 1);
          SendMessageW(self->popup_, LB_SETCURSEL, cur, 0);
          return 0;
        }
        if (wp == VK_RETURN || wp == VK_TAB) {
          self->AcceptCompletion(cur < 0 ? 0 : cur);
          return 0;
        }
        if (wp == VK_ESCAPE) {
          self->CloseCompletion();
          return 0;
        }
      }
      if (ctrl && (wp == 'Z' || wp == 'Y')) {
        if (wp == 'Z') self->Undo();
        else self->Redo();
        return 0;
      }
      if ((wp == VK_DOWN && GetKeyState(VK_MENU) < 0) || wp == VK_F4) {
        self->ShowRecent();
        return 0;
      }
      if (wp == VK_BACK || wp == VK_DELETE) self->pending_kind_ = EditKind::kDeleting;
      if (ctrl && (wp == 'V' || wp == 'X')) self->pending_kind_ = EditKind::kOther;
      break;
    case WM_SYSKEYDOWN:
      if (wp == VK_DOWN) {
        self->ShowRecent();
        return 0;
      }
      break;
    case WM_CHAR:
      if (ctrl && (wp == 0x1A || wp == 0x19)) return 0;  // Ctrl+Z / Ctrl+Y: our own history
      if (self->completion_open() && (wp == L'\r' || wp == L'\t' || wp == 0x1B)) return 0;
      if (wp == L'\r' || wp == L'\n' || wp == L'\t') return 0;  // one line; Tab moves focus
      if (wp >= 0x20) {
        self->pending_kind_ = EditKind::kTyping;
        self->typed_ = true;
      }
      break;
    case WM_KILLFOCUS:
      if (reinterpret_cast<HWND>(wp) != self->popup_) self->CloseCompletion();
      break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      if (msg == WM_RBUTTONUP) ClientToScreen(hwnd, &pt);
      self->ShowContextMenu(pt);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, SubclassProc, kBoxSubclass);
      if (self->popup_) DestroyWindow(self->popup_);
      self->popup_ = nullptr;
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK SearchBox::PopupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<SearchBox*>(data);
  switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_LBUTTONUP: {
      const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      self->AcceptCompletion(static_cast<int>(SendMessageW(hwnd, LB_GETCURSEL, 0, 0)));
      SetFocus(self->hwnd_);
      return r;
    }
    case WM_NCDESTROY: RemoveWindowSubclass(hwnd, PopupProc, kPopupSubclass); break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace nusk
