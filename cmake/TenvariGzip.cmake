# tenvari_install_gzipped(TARGET DESTINATION FILE...): compresses each FILE (relative to the
# current source folder) as Debian wants it, gzip -9n (best compression, no name or time stamp,
# so the result is reproducible), and installs FILE.gz into DESTINATION. TARGET builds them.
find_program(TENVARI_GZIP gzip REQUIRED)

function(tenvari_install_gzipped target destination)
    set(outputs)
    foreach(file IN LISTS ARGN)
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
    install(FILES ${outputs} DESTINATION "${destination}")
endfunction()
