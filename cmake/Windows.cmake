# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake): Firebird's headers, the
# program as a windowed executable, the libraries it needs beside it in the build folder (so that
# the program and the tests run from there under Wine) and the install rules that make the package
# an operator unzips beside qor.ini. Included from the top-level CMakeLists.txt before src/.

# Firebird's public headers are the same for every platform: take them from the build machine's
# firebird-dev, alone, through a folder of links (its /usr/include must not be on the path of a
# Windows compiler). The client library itself is the installation's own fbclient.dll, loaded at
# run time from the path the settings give.
set(UC_FIREBIRD_INCLUDE_DIR /usr/include CACHE PATH "Folder that holds firebird/Interface.h and ibase.h")
set(uc_fb_headers ${CMAKE_BINARY_DIR}/firebird-headers)
file(MAKE_DIRECTORY ${uc_fb_headers})
foreach(entry firebird ibase.h iberror.h)
    if(NOT EXISTS ${UC_FIREBIRD_INCLUDE_DIR}/${entry})
        message(FATAL_ERROR "Firebird's headers are missing: ${UC_FIREBIRD_INCLUDE_DIR}/${entry} (install firebird-dev)")
    endif()
    file(CREATE_LINK ${UC_FIREBIRD_INCLUDE_DIR}/${entry} ${uc_fb_headers}/${entry} SYMBOLIC)
endforeach()
include_directories(SYSTEM ${uc_fb_headers})
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN UNICODE _UNICODE)

# The runtime libraries the program needs beside it: Qt's, and the MinGW runtime that Qt and the
# program are linked against.
function(uc_mingw_runtime_dll out name)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The MinGW runtime library ${name} was not found")
    endif()
    get_filename_component(path "${path}" REALPATH)
    set(${out} "${path}" PARENT_SCOPE)
endfunction()
uc_mingw_runtime_dll(uc_libstdcxx libstdc++-6.dll)
uc_mingw_runtime_dll(uc_libgcc libgcc_s_seh-1.dll)
uc_mingw_runtime_dll(uc_libwinpthread libwinpthread-1.dll)
set(UC_MINGW_RUNTIME ${uc_libstdcxx} ${uc_libgcc} ${uc_libwinpthread})

# Runs once the whole project is read, when every target exists.
function(uc_windows_finish)
    set_target_properties(unifica-contribuintes PROPERTIES WIN32_EXECUTABLE ON)

    # Beside the executables in the build folder: what the program needs, plus the test library
    # and the offscreen platform that the tests use.
    set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    add_custom_target(uc_windows_runtime ALL
        COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/styles
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${UC_MINGW_RUNTIME}
            $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> $<TARGET_FILE:Qt6::Test>
            ${bin}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different
            $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>
            ${bin}/platforms
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> ${bin}/styles
        COMMENT "Qt and MinGW runtime libraries beside the executables"
        VERBATIM)

    # The package: the executable, Qt's libraries and the plugins it loads (the Windows platform
    # and the native style), the MinGW runtime. Nothing else: the Firebird client library and
    # qor.ini are the installation's.
    install(TARGETS unifica-contribuintes RUNTIME DESTINATION .)
    install(FILES ${UC_MINGW_RUNTIME} $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
            DESTINATION .)
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL uc_windows_finish)
