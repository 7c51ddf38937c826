# make windows-package: the zip a Windows user downloads, tessellon-<version>-windows-x64.zip
# in the build folder. It holds the program, the libraries and plugins it loads (found by
# following the DLLs that each file imports, from the program and the plugins it was
# deployed with), the licence texts of Qt and of the MinGW runtime, and a README.txt.
#
# The Qt licences are read from a Qt source tree (TESSELLON_QT_SOURCE_DIR), which
# scripts/windows-build names; the MinGW runtime's from TESSELLON_MINGW_LICENSES, by default
# Debian's copyright files of the cross compiler's packages.
set(TESSELLON_QT_SOURCE_DIR "" CACHE PATH "The Qt source tree whose licence texts the zip holds")
set(_mingw_licenses "")
if(MINGW)
    foreach(file /usr/share/doc/gcc-mingw-w64-base/copyright
                 /usr/share/doc/mingw-w64-common/copyright)
        if(EXISTS ${file})
            list(APPEND _mingw_licenses ${file})
        endif()
    endforeach()
endif()
set(TESSELLON_MINGW_LICENSES "${_mingw_licenses}" CACHE STRING
    "The licence texts of the MinGW runtime that the zip holds")

function(tessellon_add_windows_package target)
    set(zip ${PROJECT_BINARY_DIR}/tessellon-${PROJECT_VERSION}-windows-x64.zip)
    string(REPLACE ";" "|" mingw_licenses "${TESSELLON_MINGW_LICENSES}")
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/README.txt.in
                   ${PROJECT_BINARY_DIR}/package-README.txt @ONLY NEWLINE_STYLE CRLF)
    add_custom_target(windows_package
        COMMAND ${CMAKE_COMMAND}
            -DPROGRAM=$<TARGET_FILE:${target}>
            -DSTAGE=${PROJECT_BINARY_DIR}/package
            -DZIP=${zip}
            -DREADME=${PROJECT_BINARY_DIR}/package-README.txt
            -DOWN_LICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DQT_SOURCE=${TESSELLON_QT_SOURCE_DIR}
            -DMINGW=${MINGW}
            "-DMINGW_LICENSES=${mingw_licenses}"
            -DOBJDUMP=${CMAKE_OBJDUMP}
            -DSTRIP=$<$<BOOL:${MINGW}>:${CMAKE_STRIP}>
            -P ${PROJECT_SOURCE_DIR}/cmake/windows_package_script.cmake
        DEPENDS ${target}
        COMMENT "Packing ${zip}"
        VERBATIM)
endfunction()
