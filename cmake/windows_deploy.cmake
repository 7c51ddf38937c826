# Puts beside a Windows executable what it needs to run from its folder as it is: Qt's
# libraries, the plugins it loads (the windows platform, the image formats, the style) in
# their folders, and the compiler's runtime where the compiler is MinGW's.
function(tessellon_deploy_runtime target)
    set(libraries Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Concurrent)
    set(plugins
        platforms Qt6::QWindowsIntegrationPlugin
        imageformats Qt6::QGifPlugin
        imageformats Qt6::QICOPlugin
        imageformats Qt6::QJpegPlugin
        styles Qt6::QWindowsVistaStylePlugin)
    if(TARGET Qt6::Svg)
        list(APPEND libraries Qt6::Svg)
        list(APPEND plugins imageformats Qt6::QSvgPlugin iconengines Qt6::QSvgIconPlugin)
    endif()

    set(commands)
    foreach(library IN LISTS libraries)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
             $<TARGET_FILE:${library}> $<TARGET_FILE_DIR:${target}>)
    endforeach()
    while(plugins)
        list(POP_FRONT plugins folder plugin)
        if(TARGET ${plugin})
            list(APPEND commands
                COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder}
                COMMAND ${CMAKE_COMMAND} -E copy_if_different
                        $<TARGET_FILE:${plugin}> $<TARGET_FILE_DIR:${target}>/${folder})
        endif()
    endwhile()
    if(MINGW)
        foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                            OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(IS_ABSOLUTE "${found}" AND EXISTS "${found}")
                list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
                     ${found} $<TARGET_FILE_DIR:${target}>)
            endif()
        endforeach()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
