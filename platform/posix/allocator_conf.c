/* Allocator settings of the Linux executables, read by jemalloc when it starts.
 *
 * A build touches a hundred megabytes of fresh memory (records, name table, the new
 * database files). With 4 KiB pages that is tens of thousands of page faults, and in a
 * virtual machine each costs microseconds: measured, a third of a build of "/" went to
 * them. Backing the allocator's memory with transparent huge pages (where the system
 * allows them) turns those into a few hundred faults; a build's memory use does not
 * change materially, as every page it maps gets used.
 *
 * Linked into an executable only together with jemalloc (see platform/CMakeLists.txt);
 * the definition replaces the library's empty default. */
const char* malloc_conf = "thp:always,metadata_thp:auto";
