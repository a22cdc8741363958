// The data file of a run: opened at Start, one write per record, released at Stop.
// Every open allows other programs to read the file while it is written.
#pragma once

#include <string>
#include <string_view>

namespace ticklog {

class DataFile {
public:
    virtual ~DataFile() = default;

    // Creates `path` as a new file; fails when it exists or cannot be created.
    virtual bool CreateNew(const std::string& path) = 0;
    // Creates `path` or empties an existing one.
    virtual bool Overwrite(const std::string& path) = 0;
    // Opens an existing `path` with the write position at its end.
    virtual bool Append(const std::string& path) = 0;

    virtual bool IsOpen() const = 0;

    // `name` as a full path: a name relative to the working folder gets that folder.
    // Where the platform cannot tell, the name as it is.
    virtual std::string FullPath(const std::string& name) const { return name; }

    // Writes `record` with one write call; true only when all of it was written.
    virtual bool Write(std::string_view record) = 0;

    // Releases the handle, if one is held.
    virtual void Release() = 0;
};

// The folder test of the data-file name check.
class Folders {
public:
    virtual ~Folders() = default;

    // True when `folder` exists and could be made the working folder.
    virtual bool IsUsable(const std::string& folder) = 0;
    // Creates `folder` with every missing parent; true when it exists afterwards.
    virtual bool CreateAll(const std::string& folder) = 0;
};

}  // namespace ticklog
