// Process entry: hands the split command line to start-up, which runs one sub-command.
#include "app/startup.h"
#include "platform/entry.h"

NUSK_CONSOLE_MAIN(nusk::RunProgram)
