/* Allocator settings of the Linux executables, read by jemalloc when it starts.
 *
 * A build touches a hundred megabytes of fresh memory (records, name table, the new
 * database files). With 4 KiB pages that is tens of thousands of page faults, and in a
 * virtual machine each costs microseconds: measured, about a tenth of the CPU of a
 * build of "/". Backing the allocator's memory with transparent huge pages (where the
 * system allows them) leaves a few thousand faults; the memory use hardly changes, as
 * the build uses every page it maps.
 *
 * Linked into an executable only together with jemalloc (see platform/CMakeLists.txt);
 * the definition replaces the library's empty default. */
const char* malloc_conf = "thp:always,metadata_thp:auto";
