# cmake -DFROM=<generated folder> -DTO=<this build's resource folder> -P link-resources.cmake
# Makes TO a symbolic link to FROM, replacing whatever TO was.
if(NOT EXISTS "${FROM}/file.csv" OR NOT IS_DIRECTORY "${FROM}/res")
  message(FATAL_ERROR "${FROM} holds no generated pictures; build the plain build first "
                      "(cmake --build <plain build> --target resources)")
endif()
if(IS_SYMLINK "${TO}")
  file(READ_SYMLINK "${TO}" current)
  if(current STREQUAL "${FROM}")
    return()
  endif()
  file(REMOVE "${TO}")
elseif(EXISTS "${TO}")
  file(REMOVE_RECURSE "${TO}")
endif()
get_filename_component(parent "${TO}" DIRECTORY)
file(MAKE_DIRECTORY "${parent}")
file(CREATE_LINK "${FROM}" "${TO}" SYMBOLIC)
