#pragma once

#include <QString>

namespace uc {

// What the location resolver needs of the operating system. The real host serves the program;
// tests give their own program folder and so choose the settings file.
class Host {
public:
    virtual ~Host() = default;
    // The folder of the running executable, ending with a separator.
    virtual QString programFolder() const = 0;
    // The key's value without surrounding blanks, or the default when the file, the section or the
    // key is missing; names matched without regard to case.
    virtual QString readSetting(const QString& file, const QString& section, const QString& key,
                                const QString& defaultValue) const = 0;
    // True only for an existing folder (a plain file does not count).
    virtual bool folderExists(const QString& path) const = 0;
    // Creates that one folder, whose parent must exist; false on failure.
    virtual bool createFolder(const QString& path) const = 0;
};

} // namespace uc
