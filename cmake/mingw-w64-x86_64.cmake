# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (POSIX thread model, which
# std::thread and std::mutex need). Qt for Windows is found through CMAKE_PREFIX_PATH (the folder
# that holds its lib/cmake); its moc, uic and rcc come from the build machine's Qt of the same
# version (qt6-base-dev-tools). Windows programs built this way run here under Wine, which serves
# as the emulator for ctest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(UC_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${UC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UC_MINGW_TRIPLE}-windres)

# Libraries, headers and CMake packages only from the MinGW tree and from the Windows Qt; programs
# only from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${UC_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host tools of the build machine's Qt.
if(NOT DEFINED QT_HOST_PATH)
    set(QT_HOST_PATH /usr CACHE PATH "Prefix of the build machine's Qt (moc, uic, rcc)")
endif()
if(NOT DEFINED QT_HOST_PATH_CMAKE_DIR)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "CMake packages of the build machine's Qt")
endif()

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(UC_WINE NAMES wine64 wine)
    if(UC_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${UC_WINE})
    endif()
endif()
