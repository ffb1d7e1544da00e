# Read by cpack when it starts: the package's files are dated by SOURCE_DATE_EPOCH, which a
# rebuilder sets; otherwise by the date of the changelog's first entry.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TENVARI_SOURCE_DATE_EPOCH}")
endif()
