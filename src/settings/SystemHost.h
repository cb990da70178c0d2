#pragma once

#include "settings/Host.h"

namespace uc {

// The operating system as the location resolver sees it. On a host that is not Windows every "\"
// of a path is handed to the file system as "/", so the Windows-shaped texts still name folders.
class SystemHost : public Host {
public:
    // The program folder is the executable's.
    SystemHost();
    // The given folder (ending with a separator) stands for the program folder, and so chooses
    // which qor.ini is read.
    explicit SystemHost(QString programFolder);

    QString programFolder() const override;
    QString readSetting(const QString& file, const QString& section, const QString& key,
                        const QString& defaultValue) const override;
    bool folderExists(const QString& path) const override;
    bool createFolder(const QString& path) const override;

    // The executable's folder, ending with a separator.
    static QString executableFolder();

private:
    QString m_programFolder;
};

} // namespace uc
