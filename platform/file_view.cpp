// The portable form of Env::ViewWholeFile: one read into memory the view owns.
#include "platform/env.h"

namespace nusk {

namespace {
class OwnedFileView : public FileView {
 public:
  std::string_view bytes() const override { return data_; }
  std::string data_;
};
}  // namespace

Status Env::ViewWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) {
  auto owned = std::make_unique<OwnedFileView>();
  Status s = ReadWholeFile(path, &owned->data_);
  if (s.ok()) *view = std::move(owned);
  return s;
}

}  // namespace nusk
