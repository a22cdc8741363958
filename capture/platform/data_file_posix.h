// The data file and the folder test on a POSIX file system. Both separators of a
// name ('/' and '\') are folder separators, as in the name check.
#pragma once

#include "core/data_file.h"

namespace ticklog {

class PosixDataFile final : public DataFile {
public:
    PosixDataFile() = default;
    PosixDataFile(const PosixDataFile&) = delete;
    PosixDataFile& operator=(const PosixDataFile&) = delete;
    ~PosixDataFile() override;

    bool CreateNew(const std::string& path) override;
    bool Overwrite(const std::string& path) override;
    bool Append(const std::string& path) override;
    bool IsOpen() const override { return fd_ >= 0; }
    std::string FullPath(const std::string& name) const override;
    bool Write(std::string_view record) override;
    void Release() override;

private:
    bool OpenWith(const std::string& path, int flags);
    int fd_ = -1;
};

class PosixFolders final : public Folders {
public:
    bool IsUsable(const std::string& folder) override;
    bool CreateAll(const std::string& folder) override;
};

// `name` with every '\' turned into '/'.
std::string PosixPath(const std::string& name);

}  // namespace ticklog
