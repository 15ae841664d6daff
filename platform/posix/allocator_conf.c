/* The allocator of the Linux `nusk` executable: jemalloc backed by transparent huge pages
 * for every command but `find`, the C library's allocator for `find`.
 *
 * A build touches a hundred megabytes of fresh memory (records, name table, the new
 * database files). With 4 KiB pages that is tens of thousands of page faults, and in a
 * virtual machine each costs microseconds: measured, about a tenth of the CPU of a
 * build of "/". Backing jemalloc's memory with transparent huge pages (where the system
 * allows them) leaves a few thousand faults; the memory use hardly changes, as the build
 * uses every page it maps.
 *
 * `find` is the opposite: a short process that allocates little, where start-up is most
 * of the time. Starting jemalloc alone (its metadata, first arena and first extent, some
 * 70 page faults) costs about 2 ms of CPU, more than the search itself; the C library's
 * allocator is ready at no cost. So the jemalloc archive is linked with its entry points
 * renamed (malloc -> nusk_je_malloc and so on, see jemalloc_names.txt), without its
 * constructor and without its C++ operators (the C++ runtime's call malloc and free), and
 * the functions below pass each call to one allocator or the other. Which one is decided
 * once, at the first call, and never changes, so every block is freed by the allocator
 * that made it. Before the first allocation (the executable's pre-initialisers run before
 * every library's initialiser) a `find` command line asks for the C library's allocator
 * and turns transparent huge pages off for the process, except in memory that asks for
 * them (madvise; the snapshot's block cache, search_snapshot.cpp) where the kernel can
 * tell the two apart (Linux 6.18); if anything allocated earlier, jemalloc stays and only
 * speed differs.
 *
 * Linked into an executable only together with the renamed jemalloc archive (see
 * platform/CMakeLists.txt). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stddef.h>
#include <string.h>
#include <sys/prctl.h>

/* PR_THP_DISABLE_EXCEPT_ADVISED of Linux 6.18, which older headers lack. */
#define NUSK_THP_DISABLE_EXCEPT_ADVISED (1UL << 1)

const char* malloc_conf = "thp:always,metadata_thp:auto";

void* nusk_je_malloc(size_t size);
void* nusk_je_calloc(size_t count, size_t size);
void* nusk_je_realloc(void* block, size_t size);
void nusk_je_free(void* block);
void* nusk_je_aligned_alloc(size_t alignment, size_t size);
int nusk_je_posix_memalign(void** block, size_t alignment, size_t size);
void* nusk_je_memalign(size_t alignment, size_t size);
void* nusk_je_valloc(size_t size);
size_t nusk_je_malloc_usable_size(void* block);

/* The C library's allocator under the names glibc exports for allocators that wrap it. */
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);

enum { kUndecided, kJemalloc, kSystem };
static int g_allocator = kUndecided;
static int g_system_wanted; /* set by the pre-initialiser, read at the first allocation */

/* The first call decides; it comes before the program starts any thread. */
static inline int UseSystem(void) {
  int allocator = __atomic_load_n(&g_allocator, __ATOMIC_RELAXED);
  if (__builtin_expect(allocator == kUndecided, 0)) {
    allocator = g_system_wanted ? kSystem : kJemalloc;
    __atomic_store_n(&g_allocator, allocator, __ATOMIC_RELAXED);
  }
  return allocator == kSystem;
}

void* malloc(size_t size) { return UseSystem() ? __libc_malloc(size) : nusk_je_malloc(size); }

void* calloc(size_t count, size_t size) {
  return UseSystem() ? __libc_calloc(count, size) : nusk_je_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  return UseSystem() ? __libc_realloc(block, size) : nusk_je_realloc(block, size);
}

void free(void* block) {
  if (UseSystem()) {
    __libc_free(block);
  } else {
    nusk_je_free(block);
  }
}

static int ValidAlignment(size_t alignment) { return alignment != 0 && (alignment & (alignment - 1)) == 0; }

void* aligned_alloc(size_t alignment, size_t size) {
  if (!UseSystem()) return nusk_je_aligned_alloc(alignment, size);
  if (!ValidAlignment(alignment)) {
    errno = EINVAL;
    return NULL;
  }
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) {
  if (!UseSystem()) return nusk_je_posix_memalign(block, alignment, size);
  if (!ValidAlignment(alignment) || alignment % sizeof(void*) != 0) return EINVAL;
  int saved = errno;
  void* made = __libc_memalign(alignment, size);
  errno = saved;
  if (made == NULL) return ENOMEM;
  *block = made;
  return 0;
}

void* memalign(size_t alignment, size_t size) {
  return UseSystem() ? __libc_memalign(alignment, size) : nusk_je_memalign(alignment, size);
}

void* valloc(size_t size) { return UseSystem() ? __libc_valloc(size) : nusk_je_valloc(size); }

/* glibc exports its own only under this name, which the definition here replaces: it is
 * looked up past this executable on first use. */
size_t malloc_usable_size(void* block) {
  if (!UseSystem()) return nusk_je_malloc_usable_size(block);
  typedef size_t (*UsableSize)(void*);
  static UsableSize system_usable_size;
  UsableSize usable = __atomic_load_n(&system_usable_size, __ATOMIC_ACQUIRE);
  if (usable == NULL) {
    usable = (UsableSize)dlsym(RTLD_NEXT, "malloc_usable_size");
    __atomic_store_n(&system_usable_size, usable, __ATOMIC_RELEASE);
  }
  return usable(block);
}

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
      g_system_wanted = 1;
#ifdef PR_SET_THP_DISABLE
      if (prctl(PR_SET_THP_DISABLE, 1, NUSK_THP_DISABLE_EXCEPT_ADVISED, 0, 0) != 0)
        prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
#endif
    }
    return;
  }
}

typedef void (*PreInit)(int, char**, char**);
__attribute__((section(".preinit_array"), used)) static const PreInit kSmallPagesForFind = SmallPagesForFind;
