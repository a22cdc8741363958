// The data-file name check: normalises the name, refuses forbidden characters and
// offers to create a missing folder.
#pragma once

#include <string>

#include "data_file.h"
#include "view.h"

namespace ticklog {

// Caption of the check's message boxes in the capture window.
inline constexpr const char* kNameCheckCaption = "Marwen Ostrand Comm";

struct DataFileNameParts {
    std::string folder;              // drive followed by folder
    std::string name_and_extension;  // base name followed by extension
    std::string base_name;
    std::string extension;  // from the last '.' after the folder, or empty
};

// Checks `name` (rebuilt in place from its pieces). Returns 1 when the name may be
// used, 0 when not (a warning or a declined question was shown).
int CheckDataFileName(std::string& name, DataFileNameParts& parts, Folders& folders, View& view,
                      const std::string& caption);

}  // namespace ticklog
