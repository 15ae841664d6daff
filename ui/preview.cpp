#include "ui/preview.h"

namespace nusk {

PreviewPlan PlanPreview(bool viewer_window_exists, std::u16string_view folder, bool program_exists,
                        std::u16string_view file) {
  PreviewPlan plan{PreviewStep::kStartViewer, std::u16string(folder) + kPreviewProgram, {}, {}};
  if (viewer_window_exists) {
    plan.step = PreviewStep::kCloseViewer;
  } else if (!program_exists) {
    plan.step = PreviewStep::kReportMissing;
    plan.message = u"File not found: " + plan.program;
  } else if (!file.empty()) {
    plan.parameters = u"\"" + std::u16string(file) + u"\"";
  }
  return plan;
}

}  // namespace nusk
