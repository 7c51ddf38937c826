# Run by the windows_package target (cmake -P): stages the zip's files in STAGE and packs
# them into ZIP. See windows_package.cmake.
cmake_minimum_required(VERSION 3.25)

get_filename_component(build ${PROGRAM} DIRECTORY)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})

# The plugins the program was deployed with, each loaded by Qt at need.
set(plugins)
foreach(folder platforms imageformats iconengines styles)
    file(GLOB found ${build}/${folder}/*.dll)
    list(APPEND plugins ${found})
endforeach()

# Every DLL of the build folder that the program or a plugin imports, directly or through
# another: the system's own are not in the build folder and stay out. Off Windows the
# resolver looks for the names in lower case, which a case-sensitive file system does not
# find: those are matched here, and their own imports followed in the next round.
if(NOT CMAKE_HOST_WIN32)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${OBJDUMP})
endif()
file(GLOB candidates ${build}/*.dll)
set(libraries)
while(TRUE)
    file(GET_RUNTIME_DEPENDENCIES
        EXECUTABLES ${PROGRAM}
        LIBRARIES ${libraries}
        MODULES ${plugins}
        DIRECTORIES ${build}
        RESOLVED_DEPENDENCIES_VAR resolved
        UNRESOLVED_DEPENDENCIES_VAR unresolved
        PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
        POST_INCLUDE_REGEXES "^${build}/[^/]*$"
        POST_EXCLUDE_REGEXES ".*")
    set(found ${resolved})
    foreach(candidate IN LISTS candidates)
        get_filename_component(name ${candidate} NAME)
        string(TOLOWER ${name} name)
        if(name IN_LIST unresolved)
            list(APPEND found ${candidate})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES found)
    list(LENGTH found count)
    list(LENGTH libraries known)
    if(count EQUAL known)
        break()
    endif()
    set(libraries ${found})
endwhile()

file(COPY ${PROGRAM} ${libraries} DESTINATION ${STAGE})
foreach(plugin IN LISTS plugins)
    file(RELATIVE_PATH relative ${build} ${plugin})
    get_filename_component(folder ${relative} DIRECTORY)
    file(COPY ${plugin} DESTINATION ${STAGE}/${folder})
endforeach()
# Without the symbols the compiler's runtime comes with, the zip is a third of the size.
if(STRIP)
    file(GLOB_RECURSE staged_binaries ${STAGE}/*.exe ${STAGE}/*.dll)
    foreach(binary IN LISTS staged_binaries)
        execute_process(COMMAND ${STRIP} --strip-unneeded ${binary} COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()
file(COPY_FILE ${README} ${STAGE}/README.txt)

# The licences: the program's own, Qt's (its LGPL is the GPL's version 3 with additional
# permissions, so both come), the notices of the code Qt bundles into these libraries, and
# the MinGW runtime's.
set(licenses ${STAGE}/LICENSES)
file(MAKE_DIRECTORY ${licenses}/Qt/third-party)
file(COPY_FILE ${OWN_LICENSE} ${licenses}/Tessellon.txt)
if(NOT IS_DIRECTORY "${QT_SOURCE}/LICENSES")
    message(FATAL_ERROR "No Qt source tree with its LICENSES at '${QT_SOURCE}': "
                        "set TESSELLON_QT_SOURCE_DIR")
endif()
foreach(text LGPL-3.0-only GPL-3.0-only GPL-2.0-only)
    file(COPY_FILE ${QT_SOURCE}/LICENSES/${text}.txt ${licenses}/Qt/${text}.txt)
endforeach()
# Core: blake2, double-conversion, easing, md4, md5, pcre2, rfc6234, sha1, sha3, tinycbor,
# zlib; Gui: harfbuzz-ng, icc, libpng, md4c; the JPEG plugin: libjpeg.
foreach(component blake2 double-conversion easing harfbuzz-ng icc libjpeg libpng md4c pcre2
                  rfc6234 sha3 tinycbor zlib)
    set(folder ${QT_SOURCE}/src/3rdparty/${component})
    file(READ ${folder}/qt_attribution.json attribution)
    string(REGEX MATCHALL "\"LicenseFiles?\" *: *(\\[[^]]*\\]|\"[^\"]*\")" fields "${attribution}")
    foreach(field IN LISTS fields)
        string(REGEX MATCHALL "\"[^\"]+\"" names "${field}")
        list(REMOVE_AT names 0)
        foreach(name IN LISTS names)
            string(REPLACE "\"" "" name ${name})
            get_filename_component(base ${name} NAME_WLE)
            file(COPY_FILE ${folder}/${name} ${licenses}/Qt/third-party/${component}-${base}.txt)
        endforeach()
    endforeach()
endforeach()
if(MINGW)
    if(NOT MINGW_LICENSES)
        message(FATAL_ERROR "No licence texts of the MinGW runtime: set TESSELLON_MINGW_LICENSES")
    endif()
    string(REPLACE "|" ";" MINGW_LICENSES "${MINGW_LICENSES}")
    file(MAKE_DIRECTORY ${licenses}/MinGW)
    foreach(text IN LISTS MINGW_LICENSES)
        get_filename_component(package ${text} DIRECTORY)
        get_filename_component(package ${package} NAME)
        file(COPY_FILE ${text} ${licenses}/MinGW/${package}.txt)
    endforeach()
endif()

file(REMOVE ${ZIP})
file(GLOB_RECURSE staged RELATIVE ${STAGE} ${STAGE}/*)
list(SORT staged)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip -- ${staged}
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
file(SIZE ${ZIP} size)
math(EXPR kib "${size} / 1024")
list(LENGTH staged count)
message(STATUS "${ZIP}: ${count} files, ${kib} KiB")
