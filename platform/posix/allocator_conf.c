/* Allocator settings of the Linux executables, read by jemalloc when it starts.
 *
 * A build touches a hundred megabytes of fresh memory (records, name table, the new
 * database files). With 4 KiB pages that is tens of thousands of page faults, and in a
 * virtual machine each costs microseconds: measured, about a tenth of the CPU of a
 * build of "/". Backing the allocator's memory with transparent huge pages (where the
 * system allows them) leaves a few thousand faults; the memory use hardly changes, as
 * the build uses every page it maps.
 *
 * `find` is the opposite: a short process that allocates little. There the first
 * touches of the allocator's huge pages were most of its resident memory (6 MiB) and a
 * fifth of its start-up CPU (zeroing them). So before anything runs (the executable's
 * pre-initialisers run before every library's initialiser, hence before the first
 * allocation) a `find` command line turns transparent huge pages off for the process
 * and the allocator is not asked for them.
 *
 * Linked into an executable only together with jemalloc (see platform/CMakeLists.txt);
 * the definition replaces the library's empty default. */
#include <string.h>
#include <sys/prctl.h>

const char* malloc_conf = "thp:always,metadata_thp:auto";

/* The sub-command is the first word that is not "--dbdir" or its folder (as start-up
 * reads it); a wrong guess costs speed only. */
static void SmallPagesForFind(int argc, char** argv, char** envp) {
  (void)envp;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--dbdir") == 0) {
      ++i;
      continue;
    }
    if (strcmp(argv[i], "find") == 0) {
      malloc_conf = "thp:default,metadata_thp:disabled";
#ifdef PR_SET_THP_DISABLE
      prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
#endif
    }
    return;
  }
}

typedef void (*PreInit)(int, char**, char**);
__attribute__((section(".preinit_array"), used)) static const PreInit kSmallPagesForFind = SmallPagesForFind;
