// ScanRecord: one file or folder as a scanner reports it to its listener.
//
// Scanners (the NTFS MFT reader, the change-journal pass, the folder walk) never touch
// the index; they describe each item with one of these and hand it to an INuskListener.
#pragma once
#include <cstdint>
#include <string>

#include "index/file_reference.h"
#include "index/scan_record.h"

namespace nusk {

// Index references and their NTFS counterparts: index/file_reference.h.
// ScanRecord itself is the index's (index/scan_record.h): the scanners and the index share
// one definition.

}  // namespace nusk
