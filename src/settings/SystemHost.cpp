#include "settings/SystemHost.h"

#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace uc {

namespace {

// The path as this host's file system takes it: a Windows path's "\" is "/" elsewhere.
QString hostPath(const QString& path) {
#ifdef _WIN32
    return path;
#else
    QString p = path;
    return p.replace(u'\\', u'/');
#endif
}

// The operating system reads a path up to its first NUL, so a path holding one would name some
// other folder: such a path names nothing.
bool namesSomething(const QString& path) {
    return !path.isEmpty() && !path.contains(QChar(0));
}

#ifdef _WIN32
const wchar_t* wide(const QString& s) {
    return reinterpret_cast<const wchar_t*>(s.utf16());
}
#endif

} // namespace

SystemHost::SystemHost() : m_programFolder(executableFolder()) {}

SystemHost::SystemHost(QString programFolder) : m_programFolder(std::move(programFolder)) {}

QString SystemHost::programFolder() const {
    return m_programFolder;
}

QString SystemHost::executableFolder() {
#ifdef _WIN32
    // Paths longer than MAX_PATH come back truncated: grow the buffer until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            const QString path = QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(n));
            return path.left(path.lastIndexOf(u'\\') + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath() + u'/';
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return exe.left(exe.lastIndexOf(u'/') + 1);
#endif
}

QString SystemHost::readSetting(const QString& file, const QString& section, const QString& key,
                                const QString& defaultValue) const {
    if (!namesSomething(file))
        return defaultValue;
    return IniFile::readFile(hostPath(file), section, key, defaultValue);
}

bool SystemHost::folderExists(const QString& path) const {
    if (!namesSomething(path))
        return false;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat st {};
    return ::stat(QFile::encodeName(hostPath(path)).constData(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool SystemHost::createFolder(const QString& path) const {
    if (!namesSomething(path))
        return false;
#ifdef _WIN32
    return CreateDirectoryW(wide(path), nullptr) != 0;
#else
    // One level only, like CreateDirectoryW: a missing parent is a failure.
    return ::mkdir(QFile::encodeName(hostPath(path)).constData(), 0777) == 0;
#endif
}

} // namespace uc
