// KeyWatch over the console input buffer (PeekConsoleInputW / ReadConsoleInputW).
#include <windows.h>

#include "platform/key_watch.h"

namespace nusk {

namespace {

class Win32KeyWatch : public KeyWatch {
 public:
  explicit Win32KeyWatch(HANDLE in) : in_(in) {}

  bool KeyPressed() override {
    bool pressed = false;
    for (;;) {
      INPUT_RECORD rec;
      DWORD n = 0;
      if (!PeekConsoleInputW(in_, &rec, 1, &n)) {
        OutputDebugStringW(L"nusk: PeekConsoleInputW failed; key presses are not watched\n");
        return false;
      }
      if (n == 0) return pressed;
      if (!ReadConsoleInputW(in_, &rec, 1, &n) || n == 0) return pressed;
      if (rec.EventType == KEY_EVENT && rec.Event.KeyEvent.bKeyDown) pressed = true;
    }
  }

 private:
  HANDLE in_;
};

}  // namespace

std::unique_ptr<KeyWatch> KeyWatch::Open() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (in == nullptr || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) return nullptr;
  return std::make_unique<Win32KeyWatch>(in);
}

}  // namespace nusk
