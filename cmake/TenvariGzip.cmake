# tenvari_install_gzipped(TARGET DESTINATION FILE... [COMPONENT NAME] [EXCLUDE_FROM_ALL]):
# compresses each FILE (relative to the current source folder) as Debian wants it, gzip -9n
# (best compression, no name or time stamp, so the result is reproducible), and installs FILE.gz
# into DESTINATION, in the install component NAME when given. TARGET builds them.
find_program(TENVARI_GZIP gzip REQUIRED)

function(tenvari_install_gzipped target destination)
    cmake_parse_arguments(PARSE_ARGV 2 arg "EXCLUDE_FROM_ALL" "COMPONENT" "")
    set(install_options)
    if(arg_COMPONENT)
        list(APPEND install_options COMPONENT "${arg_COMPONENT}")
    endif()
    if(arg_EXCLUDE_FROM_ALL)
        list(APPEND install_options EXCLUDE_FROM_ALL)
    endif()
    set(outputs)
    foreach(file IN LISTS arg_UNPARSED_ARGUMENTS)
        get_filename_component(name "${file}" NAME)
        set(copy "${CMAKE_CURRENT_BINARY_DIR}/${target}/${name}")
        add_custom_command(
            OUTPUT "${copy}.gz"
            COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_CURRENT_SOURCE_DIR}/${file}" "${copy}"
            COMMAND "${TENVARI_GZIP}" -9nf "${copy}"
            DEPENDS "${file}"
            VERBATIM)
        list(APPEND outputs "${copy}.gz")
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${outputs})
    install(FILES ${outputs} DESTINATION "${destination}" ${install_options})
endfunction()
