# Gives a Windows executable its resources: the icon, drawn from the same SVG as the
# window's icon at 16, 24, 32, 48 and 256 pixels; version information from the project's
# version; and the application manifest. windres (MinGW) or rc (MSVC) compiles them.
#
# librsvg's rsvg-convert draws each size (it already draws the toolbar's icons where Qt Svg
# is missing) and ImageMagick packs the drawings into one .ico, the 256-pixel one as PNG.
function(tessellon_add_windows_resources target svg)
    find_program(RSVG_CONVERT rsvg-convert REQUIRED)
    # On Windows, convert.exe is the system's file-system converter: only magick will do.
    if(CMAKE_HOST_WIN32)
        find_program(IMAGEMAGICK magick REQUIRED)
    else()
        find_program(IMAGEMAGICK NAMES magick convert REQUIRED)
    endif()

    set(folder ${CMAKE_CURRENT_BINARY_DIR}/windows-resources)
    set(icon ${folder}/${target}.ico)
    set(drawings)
    set(commands)
    foreach(size 16 24 32 48 256)
        set(drawing ${folder}/icon-${size}.png)
        list(APPEND drawings ${drawing})
        list(APPEND commands COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${drawing} ${svg})
    endforeach()
    add_custom_command(OUTPUT ${icon}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        ${commands}
        COMMAND ${IMAGEMAGICK} ${drawings} ${icon}
        DEPENDS ${svg} VERBATIM)

    string(TOLOWER "${PROJECT_DESCRIPTION}" TESSELLON_LOWER_DESCRIPTION)
    set(TESSELLON_ICON ${icon})
    set(TESSELLON_MANIFEST ${folder}/${target}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/tessellon.manifest.in
                   ${TESSELLON_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/tessellon.rc.in
                   ${folder}/${target}.rc @ONLY)

    target_sources(${target} PRIVATE ${folder}/${target}.rc)
    set_source_files_properties(${folder}/${target}.rc PROPERTIES
        OBJECT_DEPENDS "${icon};${TESSELLON_MANIFEST}")
    if(MSVC)
        # The linker embeds the manifests it is given, and one of its own otherwise.
        target_sources(${target} PRIVATE ${TESSELLON_MANIFEST})
    else()
        set_property(SOURCE ${folder}/${target}.rc APPEND PROPERTY
            COMPILE_DEFINITIONS TESSELLON_EMBED_MANIFEST)
    endif()
endfunction()
