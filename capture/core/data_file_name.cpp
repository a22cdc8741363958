#include "data_file_name.h"

namespace ticklog {
namespace {

constexpr std::string_view kForbidden = "?\"/\\<>*|:";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

void Warn(View& view, const std::string& text, const std::string& caption) {
    view.MessageBox({text, caption, Buttons::Ok, Icon::Warning, Answer::Ok, true});
}

}  // namespace

int CheckDataFileName(std::string& name, DataFileNameParts& parts, Folders& folders, View& view,
                      const std::string& caption) {
    // Pieces: drive ("X:"), folder (up to the last separator), base name, extension.
    std::string drive;
    std::string_view rest = name;
    if (rest.size() >= 2 && rest[1] == ':') {
        drive = std::string(rest.substr(0, 2));
        rest.remove_prefix(2);
    }
    std::size_t folder_end = 0;
    for (std::size_t i = 0; i < rest.size(); ++i)
        if (IsSeparator(rest[i])) folder_end = i + 1;
    std::string folder(rest.substr(0, folder_end));
    const std::string_view file = rest.substr(folder_end);
    const std::size_t dot = file.rfind('.');
    parts.base_name = std::string(file.substr(0, dot));
    parts.extension = dot == std::string_view::npos ? std::string() : std::string(file.substr(dot));

    // A drive-relative folder becomes absolute on that drive.
    if (!drive.empty() && (folder.empty() || folder[0] != '\\')) folder = "\\" + folder;

    name = drive + folder + parts.base_name + parts.extension;
    parts.folder = drive + folder;
    parts.name_and_extension = parts.base_name + parts.extension;

    if (parts.name_and_extension.empty() ||
        parts.name_and_extension.find_first_of(kForbidden) != std::string::npos) {
        Warn(view, "Invalid Filename", caption);
        return 0;
    }
    if (parts.folder.size() <= 1) return 1;
    if (folders.IsUsable(parts.folder)) return 1;

    const Answer answer =
        view.MessageBox({"The specified path does not exits.\nDo you wish to create it?", caption,
                         Buttons::YesNo, Icon::Question, Answer::Yes, true});
    if (answer != Answer::Yes) return 0;
    // Every missing level is made; a name whose folder cannot be made is not taken,
    // since every run on it would fail to open its data file.
    if (!folders.CreateAll(parts.folder)) {
        Warn(view, "The specified path could not be created.", caption);
        return 0;
    }
    return 1;
}

}  // namespace ticklog
