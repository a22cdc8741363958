#include "data_file_run.h"

#include "reading.h"

namespace ticklog {

DataFileRun OpenDataFileForRun(const std::string& file_name, DataFile& file, View& view) {
    DataFileRun run;
    if (file.CreateNew(file_name)) {
        run.outcome = DataFileOpening::Created;
        return run;
    }
    const Answer answer = view.MessageBox(
        {"A data file with this name already exists.\nDo you want to append data to it?\n\n"
         "Yes:\tAppend data\nNo:\tOverwrite data\nCancel:\tChoose another filename",
         "Ticklog - Append File?", Buttons::YesNoCancel, Icon::Question, Answer::Cancel, true});
    switch (answer) {
        case Answer::Yes:
            run.outcome =
                file.Append(file_name) ? DataFileOpening::Appended : DataFileOpening::Failed;
            break;
        case Answer::No:
            run.outcome =
                file.Overwrite(file_name) ? DataFileOpening::Overwritten : DataFileOpening::Failed;
            break;
        default:
            run.outcome = DataFileOpening::Cancelled;
            break;
    }
    return run;
}

std::string DataFileStatusLine(DataFileOpening outcome) {
    switch (outcome) {
        case DataFileOpening::Created:
            return "Data file created";
        case DataFileOpening::Overwritten:
            return "Data file overwritten";
        case DataFileOpening::Appended:
            return "Data file appended";
        case DataFileOpening::Failed:
            return "Could not open data file";
        case DataFileOpening::Cancelled:
            break;
    }
    return {};
}

std::string WriteRecord(DataFile& file, double scaled, DataFileRun& run) {
    // A run only begins with its file open; this is the guard all the same.
    if (!file.IsOpen()) return {};
    if (file.Write(FormatRecord(scaled)) || run.write_failure_shown) return {};
    run.write_failure_shown = true;
    return "Could not write data file";
}

}  // namespace ticklog
