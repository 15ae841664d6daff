// Tools > Preview window: the viewer is a separate program, "Orvi.exe" beside this one.
// The command closes the viewer when its window exists, and otherwise starts it with the
// selected file's path in double quotes (or reports that the program is missing).
#pragma once
#include <string>
#include <string_view>

namespace nusk {

inline constexpr char16_t kPreviewProgram[] = u"Orvi.exe";
inline constexpr char16_t kPreviewWindowClass[] = u"Orvi_Main_Window";
// While the viewer's window exists, each selection change hands it the first selected
// item's full path: WM_COPYDATA with this tag, the path in UTF-16 without a terminator.
inline constexpr unsigned long kPreviewShowFileTag = 0x4F525649;  // "ORVI"

enum class PreviewStep { kCloseViewer, kStartViewer, kReportMissing };

struct PreviewPlan {
  PreviewStep step;
  std::u16string program;     // the viewer's full path
  std::u16string parameters;  // kStartViewer: "\"<file>\"", or empty without a file
  std::u16string message;     // kReportMissing: "File not found: <program>"
};

// folder: the program's own folder, ending with a separator. file: the selected item's
// path, empty when nothing is selected.
PreviewPlan PlanPreview(bool viewer_window_exists, std::u16string_view folder, bool program_exists,
                        std::u16string_view file);

}  // namespace nusk
