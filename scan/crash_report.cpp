#include "scan/crash_report.h"

#include <cstdio>

#include "platform/crash.h"
#include "scan/build_log.h"
#include "scan/volume_drives.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk {

namespace {

constexpr char kVersion[] = NUSK_VERSION;

std::string DriveLine(char16_t letter, DriveSystem* drives) {
  Volumes* volumes = drives->volumes();
  std::u16string root = drives->Root(letter);
  VolumeInfo info;
  std::string fs = volumes->QueryVolume(root, &info) && !info.file_system.empty() ? ToUtf8(info.file_system) : "(N/A)";
  uint64_t total = 0, free_bytes = 0;
  volumes->QuerySpace(root, &total, &free_bytes);
  char line[160];
  std::snprintf(line, sizeof(line), "%c: type: %lu, fs: %s, free: %llu, total: %llu\n", static_cast<char>(letter),
                static_cast<unsigned long>(drives->TypeOf(letter)), fs.c_str(),
                static_cast<unsigned long long>(free_bytes), static_cast<unsigned long long>(total));
  return line;
}

}  // namespace

std::string CrashReportPrelude(const std::u16string& home, DriveSystem* drives) {
  std::string out = "--------------- build crashed ---------------\n-- nusk info --\n";
  out += std::string("Nusk version: ") + kVersion + ", " + std::to_string(sizeof(void*) * 8) + " bit\n";
  out += "Nusk home: " + ToUtf8(home) + "\n";
  out += "Portable: Y\n";
  out += "-- drive info --\n";
  for (char16_t letter : drives->ListVolumes()) out += DriveLine(letter, drives);
  out += DescribeSystemForCrash();
  return out;
}

bool InstallBuildCrashReport(const std::u16string& home, DriveSystem* drives) {
  CrashReportSetup setup;
  setup.log_path = BuildLog::PathIn(home, drives->env());
  setup.dump_folder = home;
  setup.prepared = CrashReportPrelude(home, drives);
  return InstallCrashHandler(setup);
}

}  // namespace nusk
