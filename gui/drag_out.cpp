// Dragging rows out of the result list: the selected items are offered to other programs
// as a shell item list ("Shell IDList Array"), built by the shell from their paths.
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "gui/result_list.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

// The drag source: the drag goes on while the left button is held; Escape cancels it.
class DropSource : public IDropSource {
 public:
  virtual ~DropSource() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDropSource) {
      *out = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    if (!(keys & (MK_LBUTTON | MK_RBUTTON))) return DRAGDROP_S_DROP;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  ULONG refs_ = 1;
};

}  // namespace

// The selection as a data object holding absolute item id lists; null when none resolves.
IDataObject* SelectionDataObject(const std::vector<std::u16string>& paths) {
  std::vector<PIDLIST_ABSOLUTE> ids;
  for (const std::u16string& p : paths) {
    if (PIDLIST_ABSOLUTE id = ILCreateFromPathW(W(p).c_str())) ids.push_back(id);
  }
  IDataObject* data = nullptr;
  if (!ids.empty()) {
    SHCreateDataObject(nullptr, static_cast<UINT>(ids.size()), const_cast<PCUITEMID_CHILD_ARRAY>(ids.data()), nullptr,
                       IID_IDataObject, reinterpret_cast<void**>(&data));
  }
  for (PIDLIST_ABSOLUTE id : ids) ILFree(id);
  return data;
}

void ResultList::BeginDrag() {
  std::vector<std::u16string> paths;
  for (uint32_t r : SelectedRows()) paths.push_back(FullPath(r));
  IDataObject* data = SelectionDataObject(paths);
  if (!data) return;
  DropSource* source = new DropSource;
  DWORD effect = 0;
  DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
  source->Release();
  data->Release();
}

}  // namespace nusk
