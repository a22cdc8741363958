// The data file over one run: the open at Start (create new, or the append
// question), one record per reading, and the status lines of both.
#pragma once

#include <string>

#include "data_file.h"
#include "view.h"

namespace ticklog {

enum class DataFileOpening { Created, Overwritten, Appended, Failed, Cancelled };

struct DataFileRun {
    DataFileOpening outcome = DataFileOpening::Failed;
    bool write_failure_shown = false;
};

// Opens `file_name` for a run. Cancelled means the user chose another name in the append
// question: the run must not begin and no status line is shown. Failed means no file
// could be had: the run must not begin either, with "Could not open data file" shown.
DataFileRun OpenDataFileForRun(const std::string& file_name, DataFile& file, View& view);

// "Data file created", "... overwritten", "... appended", "Could not open data
// file"; empty for Cancelled.
std::string DataFileStatusLine(DataFileOpening outcome);

// Writes the record of one reading. Returns "Could not write data file" at the
// first failed or short write of a run that has a file, else empty text.
std::string WriteRecord(DataFile& file, double scaled, DataFileRun& run);

}  // namespace ticklog
