#include "db/ClientLibrary.h"

#include "common/Win1252.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringDecoder>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace uc::db {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<QString, std::unique_ptr<ClientLibrary>> libraries; // by file
    bool postRoutineAdded = false;
};

Registry& registry() {
    // Never destroyed: the exit handlers below still reach it.
    static Registry* r = new Registry;
    return *r;
}

void shutdownAtExit() {
    ClientLibrary::shutdownAll();
}

std::atomic<bool> programEndsOnSignals{false};

// Asked by the client library before it shuts down; a non-zero answer keeps it from doing so.
int refuseSignalShutdown(const int reason, const int, void*) {
    return reason == fb_shutrsn_signal && programEndsOnSignals.load() ? 1 : 0;
}

QString loadFailure(const QString& vendorLib, const QString& file, const QString& detail) {
    QString message = QStringLiteral("Não foi possível carregar a biblioteca do cliente Firebird: %1").arg(vendorLib);
    if (file != vendorLib)
        message += QStringLiteral(" (%1)").arg(file);
    if (!detail.isEmpty())
        message += QStringLiteral("\n%1").arg(detail);
    return message;
}

#ifdef _WIN32
using Module = HMODULE;

// The system's own text for an error code, in the workstation's language.
QString systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = n ? QString::fromWCharArray(text, qsizetype(n)).trimmed() : QString();
    LocalFree(text);
    return message;
}

bool isAbsoluteWindowsPath(const QString& file) {
    const bool driveLetter =
        file.size() > 2 && file[0].isLetter() && file[1] == u':' && (file[2] == u'\\' || file[2] == u'/');
    const bool unc = file.startsWith(QStringLiteral("\\\\")) || file.startsWith(QStringLiteral("//"));
    return driveLetter || unc;
}

Module openModule(const QString& file, QString* detail) {
    // A client library named by its full path finds the libraries it needs (the C++ runtime that
    // Firebird installs beside fbclient.dll) in its own folder first, not in the program's.
    const DWORD flags = isAbsoluteWindowsPath(file) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    // A failure is reported by the program's own error box only, never by a box of the system's.
    DWORD previousMode = 0;
    const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    Module m = LoadLibraryExW(reinterpret_cast<const wchar_t*>(file.utf16()), nullptr, flags);
    const DWORD code = m ? 0 : GetLastError();
    if (modeSet)
        SetThreadErrorMode(previousMode, nullptr);
    if (!m) {
        const QString text = systemMessage(code);
        *detail =
            text.isEmpty() ? QStringLiteral("erro %1").arg(code) : QStringLiteral("erro %1: %2").arg(code).arg(text);
    }
    return m;
}
void* symbol(Module m, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(m, name));
}
#else
using Module = void*;
Module openModule(const QString& file, QString* detail) {
    Module m = dlopen(file.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m) {
        const char* e = dlerror();
        *detail = e ? QString::fromLocal8Bit(e) : QString();
    }
    return m;
}
void* symbol(Module m, const char* name) {
    return dlsym(m, name);
}
#endif

QString decodeMessage(const QByteArray& bytes) {
    // Object names come as UTF-8; anything else is taken as the connection's code page.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return win1252::decode(bytes);
}

} // namespace

QString ClientLibrary::fileFor(const QString& vendorLib) {
#ifdef _WIN32
    return vendorLib;
#else
    static const QRegularExpression driveLetter(QStringLiteral("^[A-Za-z]:"));
    // The installation's settings name a Windows client library; here the system's own serves.
    if (vendorLib.contains(QLatin1Char('\\')) || driveLetter.match(vendorLib).hasMatch() ||
        (!vendorLib.contains(QLatin1Char('/')) && vendorLib.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive)))
        return QStringLiteral("libfbclient.so.2");
    return vendorLib;
#endif
}

ClientLibrary& ClientLibrary::load(const QString& vendorLib) {
    const QString file = fileFor(vendorLib);
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.libraries.find(file);
    if (it != reg.libraries.end()) {
        if (it->second->m_shutDown)
            throw Error(loadFailure(vendorLib, file, QStringLiteral("A biblioteca já foi encerrada.")));
        return *it->second;
    }

    QString detail;
    Module module = openModule(file, &detail);
    if (!module)
        throw Error(loadFailure(vendorLib, file, detail));
    // The module stays loaded for the rest of the process, whatever happens below.
    auto masterFn = reinterpret_cast<MasterFn>(symbol(module, "fb_get_master_interface"));
    auto sqlStateFn = reinterpret_cast<SqlStateFn>(symbol(module, "fb_sqlstate"));
    auto shutdownFn = reinterpret_cast<ShutdownFn>(symbol(module, "fb_shutdown"));
    auto shutdownCallbackFn = reinterpret_cast<ShutdownCallbackFn>(symbol(module, "fb_shutdown_callback"));
    if (!masterFn || !sqlStateFn || !shutdownFn || !shutdownCallbackFn)
        throw Error(loadFailure(vendorLib, file, QStringLiteral("A biblioteca não é um cliente Firebird 3.")));

    std::unique_ptr<ClientLibrary> lib(new ClientLibrary);
    lib->m_master = masterFn();
    lib->m_sqlState = sqlStateFn;
    lib->m_shutdownFn = shutdownFn;
    if (!lib->m_master)
        throw Error(loadFailure(vendorLib, file, QString()));
    lib->m_util = lib->m_master->getUtilInterface();
    lib->m_provider = lib->m_master->getDispatcher();
    // Registered before anything attaches, which is when the library installs its signal handlers.
    ISC_STATUS_ARRAY callbackStatus = {};
    shutdownCallbackFn(callbackStatus, refuseSignalShutdown, fb_shut_confirmation, nullptr);

    // Shut the client down before its own globals go: while the application object is destroyed
    // when there is one, and in an exit handler registered after the library's own.
    if (!reg.postRoutineAdded && QCoreApplication::instance()) {
        qAddPostRoutine(shutdownAtExit);
        reg.postRoutineAdded = true;
    }
    std::atexit(shutdownAtExit);

    ClientLibrary& result = *lib;
    reg.libraries.emplace(file, std::move(lib));
    return result;
}

void ClientLibrary::leaveSignalsToTheProgram() {
    programEndsOnSignals = true;
}

void ClientLibrary::shutdownAll() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    for (auto& [file, lib] : reg.libraries)
        lib->shutdown();
}

void ClientLibrary::shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_provider) {
        m_provider->release();
        m_provider = nullptr;
    }
    m_shutdownFn(0, fb_shutrsn_app_stopped);
}

Error ClientLibrary::errorFrom(Firebird::IStatus* status) const {
    char buffer[2048];
    const unsigned length = m_util->formatStatus(buffer, sizeof buffer, status);
    const QString message = decodeMessage(QByteArray(buffer, int(qMin<unsigned>(length, sizeof buffer - 1))));

    const intptr_t* vector = status->getErrors();
    char state[8] = {};
    m_sqlState(state, vector);

    std::vector<long> codes;
    for (const intptr_t* p = vector; *p != isc_arg_end;) {
        const intptr_t kind = *p++;
        switch (kind) {
        case isc_arg_gds:
            codes.push_back(long(*p++));
            break;
        case isc_arg_cstring:
            p += 2; // length, pointer
            break;
        default: // every other argument is one word
            ++p;
            break;
        }
    }
    return Error(message.trimmed(), QString::fromLatin1(state), std::move(codes));
}

} // namespace uc::db
