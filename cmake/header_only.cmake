# A header-only library from Debian's /usr/include for one target. The
# cross compilers do not search /usr/include, so the target gets a folder
# of the build holding only the library's own folder.
#   tarnlet_header_only(TARGET VARIABLE FOLDER HEADER PACKAGE)
# VARIABLE is the cache path of the library's folder (default
# /usr/include/FOLDER), HEADER a file in it, PACKAGE the Debian package
# that installs it.
function(tarnlet_header_only target variable folder header package)
  set(${variable} /usr/include/${folder} CACHE PATH "${folder}'s header folder (the one holding ${header})")
  if(NOT EXISTS ${${variable}}/${header})
    message(FATAL_ERROR "${folder} not found at ${${variable}}: apt-get install ${package}")
  endif()
  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/${folder}-include)
  file(MAKE_DIRECTORY ${_dir})
  if(NOT EXISTS ${_dir}/${folder})
    file(CREATE_LINK ${${variable}} ${_dir}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} SYSTEM PRIVATE ${_dir})
endfunction()
