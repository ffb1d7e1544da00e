# Run by cpack on the staged files before it builds the package. Strips every ELF file as
# Debian's dh_strip does, the symbols and debug information and the .comment and .note sections;
# and gives every folder and file the mode dh_fixperms gives it (0755 for folders and
# executables, 0644 for the rest), so that the umask of the build leaves no trace.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(path IN LISTS staged)
    if(IS_SYMLINK "${path}")
        continue()
    endif()
    if(IS_DIRECTORY "${path}")
        file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
             GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
        continue()
    endif()
    file(READ "${path}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(
            COMMAND "${CPACK_TENVARI_STRIP}" --remove-section=.comment --remove-section=.note
                    "${path}"
            RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "cannot strip ${path}")
        endif()
    endif()
    if(magic STREQUAL "7f454c46" OR path MATCHES "/bin/[^/]+$")
        file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
             GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    else()
        file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
endforeach()
