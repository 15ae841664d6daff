#include "gui/toolbar.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "gui/accelerators.h"
#include "gui/program_icon.h"
#include "gui/resource.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

constexpr int kToolbarId = 1004;
constexpr int kRebarId = 1005;
// The standard image of a custom action whose program is not found (an opened file).
constexpr int kGenericActionImage = STD_FILEOPEN;

// Buttons whose commands have no name in the shortcut table.
struct NameId {
  std::u16string_view name;
  int id;
};
constexpr NameId kUnnamed[] = {
    {u"Database.Statistics", IDM_DATABASE_STATISTICS},
    {u"File.Exit", IDM_FILE_EXIT},
    {u"Database.Build", IDM_DATABASE_BUILD_MENU},
    {u"Database.Clean", IDM_DATABASE_CLEAN_MENU},
};

// Buttons that show their text beside the image; the others show it as their tooltip.
bool ShowsText(const ToolbarButtonDef& def) { return def.menu == ToolbarMenu::kWhole; }

BYTE MenuStyle(ToolbarMenu menu) {
  switch (menu) {
    case ToolbarMenu::kWhole: return BTNS_WHOLEDROPDOWN;
    case ToolbarMenu::kArrow: return BTNS_DROPDOWN;
    case ToolbarMenu::kNone: break;
  }
  return 0;
}

std::u16string ButtonText(const ToolbarButtonDef& def) {
  CMUI* ui = CurrentUI();
  if (!ui) return std::u16string(def.english);
  if (def.menu_key) return ToolbarTextFromMenuText(ui->MenuText(def.text_key, def.english));
  const std::u16string* text = ui->ToolbarText(def.text_key);
  return text && !text->empty() ? *text : std::u16string(def.english);
}

}  // namespace

int ToolbarCommandId(const ToolbarButtonDef& button) {
  if (const int id = CommandIdOf(button.command)) return id;
  for (const NameId& n : kUnnamed)
    if (n.name == button.command) return n.id;
  return 0;
}

MainToolbar::~MainToolbar() {
  if (rebar_ && IsWindow(rebar_)) DestroyWindow(rebar_);
}

bool MainToolbar::Create(HWND owner, bool visible, bool big, const std::vector<ToolbarSlot>& slots,
                         const std::vector<CustomAction>& actions) {
  owner_ = owner;
  big_ = big;
  actions_ = actions;
  rebar_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, L"",
                           WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT | RBS_BANDBORDERS |
                               CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
                           0, 0, 0, 0, owner, reinterpret_cast<HMENU>(kRebarId), GetModuleHandleW(nullptr), nullptr);
  if (!rebar_) return false;
  REBARINFO ri{};
  ri.cbSize = sizeof(ri);
  SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&ri));
  MakeToolbar();
  AddSlots(slots);
  FitBand();
  Show(visible);
  return toolbar_ != nullptr;
}

void MainToolbar::MakeToolbar() {
  if (toolbar_) {
    SendMessageW(rebar_, RB_DELETEBAND, 0, 0);
    DestroyWindow(toolbar_);
  }
  toolbar_ =
      CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                          CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_ADJUSTABLE,
                      0, 0, 0, 0, rebar_, reinterpret_cast<HMENU>(kToolbarId), GetModuleHandleW(nullptr), nullptr);
  if (!toolbar_) return;
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  // Commands and notifications go to the main window, not to the rebar.
  SendMessageW(toolbar_, TB_SETPARENT, reinterpret_cast<WPARAM>(owner_), 0);
  SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_DRAWDDARROWS);
  const int edge = big_ ? 24 : 16;
  SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(edge, edge));
  const UINT_PTR sets[3] = {big_ ? static_cast<UINT_PTR>(IDB_STD_LARGE_COLOR) : IDB_STD_SMALL_COLOR,
                            big_ ? static_cast<UINT_PTR>(IDB_VIEW_LARGE_COLOR) : IDB_VIEW_SMALL_COLOR,
                            big_ ? static_cast<UINT_PTR>(IDB_HIST_LARGE_COLOR) : IDB_HIST_SMALL_COLOR};
  for (int i = 0; i < 3; ++i) {
    TBADDBITMAP ab{HINST_COMMCTRL, sets[i]};
    image_base_[i] = static_cast<int>(SendMessageW(toolbar_, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&ab)));
  }
  HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar_, TB_GETIMAGELIST, 0, 0));
  system_images_ = list ? ImageList_GetImageCount(list) : 0;
}

// Each custom action's image: its program's icon, one image per program after the system
// images, or the generic image when the program is not found. The list is cut back to the
// system images first, so making the buttons again never grows it.
void MainToolbar::AddActionImages() {
  action_images_.assign(actions_.size(), ImageIndex(ToolbarImageSet::kStandard, kGenericActionImage));
  HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar_, TB_GETIMAGELIST, 0, 0));
  if (!list || !system_images_) return;
  ImageList_SetImageCount(list, static_cast<UINT>(system_images_));
  std::map<std::u16string, int> by_program;
  for (size_t i = 0; i < actions_.size() && i < kMaxCustomActions; ++i) {
    const std::u16string expanded = ExpandEnvironment(actions_[i].command);
    const auto [it, fresh] = by_program.try_emplace(CommandProgram(expanded), -1);
    if (fresh) {
      if (HICON icon = ProgramIcon(expanded, big_ ? 24 : 16)) {
        it->second = ImageList_AddIcon(list, icon);
        DestroyIcon(icon);
      }
    }
    if (it->second >= 0) action_images_[i] = it->second;
  }
}

int MainToolbar::ImageIndex(ToolbarImageSet set, int image) const {
  const int base = image_base_[static_cast<int>(set)];
  return base < 0 ? I_IMAGENONE : base + image;
}

TBBUTTON MainToolbar::ButtonFor(const ToolbarButtonDef& def) {
  TBBUTTON b{};
  b.idCommand = ToolbarCommandId(def);
  b.iBitmap = ImageIndex(def.images, def.image);
  b.fsState = TBSTATE_ENABLED | (def.nav && !nav_shown_ ? TBSTATE_HIDDEN : 0);
  b.fsStyle =
      static_cast<BYTE>(BTNS_BUTTON | BTNS_AUTOSIZE | MenuStyle(def.menu) | (ShowsText(def) ? BTNS_SHOWTEXT : 0));
  texts_.push_back(W(ButtonText(def)));
  b.iString = reinterpret_cast<INT_PTR>(texts_.back().c_str());
  return b;
}

TBBUTTON MainToolbar::ActionButton(size_t action_index) {
  TBBUTTON b{};
  b.idCommand = IDM_CUSTOM_ACTION_FIRST + static_cast<int>(action_index);
  b.iBitmap = action_images_[action_index];
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
  texts_.push_back(W(actions_[action_index].name));
  b.iString = reinterpret_cast<INT_PTR>(texts_.back().c_str());
  return b;
}

void MainToolbar::AddSlots(const std::vector<ToolbarSlot>& slots) {
  if (!toolbar_) return;
  while (SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(toolbar_, TB_DELETEBUTTON, 0, 0);
  texts_.clear();
  AddActionImages();
  std::vector<TBBUTTON> buttons;
  for (const ToolbarSlot& s : slots) {
    switch (s.kind) {
      case ToolbarSlot::Kind::kSeparator: {
        TBBUTTON b{};
        b.fsStyle = BTNS_SEP;
        buttons.push_back(b);
        break;
      }
      case ToolbarSlot::Kind::kButton:
        if (const ToolbarButtonDef* def = FindToolbarButton(s.code); def && ToolbarCommandId(*def))
          buttons.push_back(ButtonFor(*def));
        break;
      case ToolbarSlot::Kind::kCustomAction: {
        const auto it =
            std::find_if(actions_.begin(), actions_.end(), [&](const CustomAction& a) { return a.name == s.action; });
        const size_t index = static_cast<size_t>(it - actions_.begin());
        if (it != actions_.end() && index < 24) buttons.push_back(ActionButton(index));
        break;
      }
    }
  }
  if (!buttons.empty())
    SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void MainToolbar::FitBand() {
  if (!rebar_ || !toolbar_) return;
  const DWORD size = static_cast<DWORD>(SendMessageW(toolbar_, TB_GETBUTTONSIZE, 0, 0));
  SIZE ideal{};
  SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
  REBARBANDINFOW band{};
  band.cbSize = sizeof(band);
  band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE | RBBIM_IDEALSIZE;
  band.fStyle = RBBS_NOGRIPPER | RBBS_CHILDEDGE;
  band.hwndChild = toolbar_;
  band.cxMinChild = 0;
  band.cyMinChild = HIWORD(size);
  band.cx = static_cast<UINT>(ideal.cx);
  band.cxIdeal = static_cast<UINT>(ideal.cx);
  if (SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0) > 0) {
    SendMessageW(rebar_, RB_SETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
  } else {
    SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
  }
}

int MainToolbar::height() const {
  if (!shown_ || !rebar_) return 0;
  // Before the rebar has a width it may report no height: the buttons' height and the band's edges.
  const int bar = static_cast<int>(SendMessageW(rebar_, RB_GETBARHEIGHT, 0, 0));
  const int buttons = toolbar_ ? HIWORD(SendMessageW(toolbar_, TB_GETBUTTONSIZE, 0, 0)) + 4 : 0;
  return std::max(bar, buttons);
}

std::vector<ToolbarSlot> MainToolbar::Slots() const {
  std::vector<ToolbarSlot> slots;
  if (!toolbar_) return slots;
  const int n = static_cast<int>(SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    TBBUTTON b{};
    if (!SendMessageW(toolbar_, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b))) continue;
    if (b.fsStyle & BTNS_SEP) {
      slots.push_back(ToolbarSlot::Separator());
      continue;
    }
    const int action = b.idCommand - IDM_CUSTOM_ACTION_FIRST;
    if (action >= 0 && static_cast<size_t>(action) < actions_.size()) {
      slots.push_back(ToolbarSlot::Action(actions_[static_cast<size_t>(action)].name));
      continue;
    }
    for (const ToolbarButtonDef& def : ToolbarButtons()) {
      if (ToolbarCommandId(def) == b.idCommand) {
        slots.push_back(ToolbarSlot::Button(def.code));
        break;
      }
    }
  }
  return slots;
}

void MainToolbar::SetSlots(const std::vector<ToolbarSlot>& slots, const std::vector<CustomAction>& actions) {
  actions_ = actions;
  AddSlots(slots);
  FitBand();
}

void MainToolbar::SetBig(bool big) {
  if (big == big_ || !rebar_) return;
  const std::vector<ToolbarSlot> slots = Slots();
  big_ = big;
  MakeToolbar();
  AddSlots(slots);
  FitBand();
}

void MainToolbar::Show(bool show) {
  shown_ = show;
  if (rebar_) ShowWindow(rebar_, show ? SW_SHOW : SW_HIDE);
}

void MainToolbar::ShowNavButtons(bool show) {
  nav_shown_ = show;
  if (!toolbar_) return;
  for (const ToolbarButtonDef& def : ToolbarButtons())
    if (def.nav) SendMessageW(toolbar_, TB_HIDEBUTTON, ToolbarCommandId(def), MAKELPARAM(!show, 0));
  SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  FitBand();
}

void MainToolbar::Enable(int command, bool enable) {
  if (toolbar_) SendMessageW(toolbar_, TB_ENABLEBUTTON, command, MAKELPARAM(enable, 0));
}

void MainToolbar::Check(int command, bool checked) {
  if (toolbar_) SendMessageW(toolbar_, TB_CHECKBUTTON, command, MAKELPARAM(checked, 0));
}

bool MainToolbar::IsEnabled(int command) const {
  return toolbar_ && SendMessageW(toolbar_, TB_COMMANDTOINDEX, command, 0) >= 0 &&
         SendMessageW(toolbar_, TB_ISBUTTONENABLED, command, 0) != 0;
}

void MainToolbar::Customize() {
  if (!toolbar_) return;
  before_customize_ = Slots();
  SendMessageW(toolbar_, TB_CUSTOMIZE, 0, 0);
}

RECT MainToolbar::ButtonRect(int command) const {
  RECT rc{};
  if (!toolbar_ || !SendMessageW(toolbar_, TB_GETRECT, command, reinterpret_cast<LPARAM>(&rc))) return rc;
  MapWindowPoints(toolbar_, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

bool MainToolbar::OnNotify(NMHDR* hdr, LRESULT* result) {
  if (!toolbar_ || hdr->hwndFrom != toolbar_) return false;
  *result = 0;
  switch (hdr->code) {
    case TBN_DROPDOWN: {
      auto* tb = reinterpret_cast<NMTOOLBARW*>(hdr);
      const RECT rc = ButtonRect(tb->iItem);
      if (drop_down) drop_down(tb->iItem, POINT{rc.left, rc.bottom});
      *result = TBDDRET_DEFAULT;
      return true;
    }
    case TBN_BEGINADJUST:
    case TBN_ENDADJUST: return true;
    case TBN_INITCUSTOMIZE: *result = TBNRF_HIDEHELP; return true;
    case TBN_QUERYINSERT:
    case TBN_QUERYDELETE: *result = TRUE; return true;
    case TBN_GETBUTTONINFOW: {
      // The buttons the dialog offers: the table's, then one per custom action.
      auto* tb = reinterpret_cast<NMTOOLBARW*>(hdr);
      const size_t table = ToolbarButtons().size();
      const size_t index = static_cast<size_t>(tb->iItem);
      TBBUTTON b{};
      if (index < table) {
        const ToolbarButtonDef& def = ToolbarButtons()[index];
        b = ButtonFor(def);
      } else if (index - table < actions_.size() && index - table < 24) {
        b = ActionButton(index - table);
      } else {
        *result = FALSE;
        return true;
      }
      tb->tbButton = b;
      tb->tbButton.fsState &= static_cast<BYTE>(~TBSTATE_HIDDEN);
      if (tb->pszText && tb->cchText > 0) {
        lstrcpynW(tb->pszText, reinterpret_cast<const wchar_t*>(b.iString), tb->cchText);
        tb->tbButton.iString = reinterpret_cast<INT_PTR>(tb->pszText);
      }
      if (texts_.size() > 256) texts_.pop_front();  // the dialog copies what it is given
      *result = TRUE;
      return true;
    }
    case TBN_RESET:
      AddSlots(before_customize_);
      FitBand();
      *result = TBNRF_ENDCUSTOMIZE;
      return true;
    case TBN_TOOLBARCHANGE:
      FitBand();
      if (changed) changed();
      return true;
  }
  return false;
}

}  // namespace nusk
