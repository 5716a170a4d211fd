# What a Windows host links against, beside tarnlet.dll in the build folder:
#   libtarnlet.dll.a  MinGW's import library
#   tarnlet.lib       the same for Microsoft's linker
#   tarnlet.def       the exports in Microsoft's syntax
# All are made from the .def files here. On x86 the linker's own
# import library would have a caller of tarnlet.h import __Tarnlet1@8, a
# name the DLL does not export, so the linker's is written to a folder of
# its own on both builds.
# The target tarnlet_import links the library the way a host does.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_arch x86)
  set(_machine i386)
else()
  set(_arch x64)
  set(_machine i386:x86-64)
endif()
set_target_properties(tarnlet PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/linker-import)
if(NOT CMAKE_DLLTOOL)
  find_program(CMAKE_DLLTOOL NAMES dlltool REQUIRED)
endif()

set(_dir ${CMAKE_CURRENT_LIST_DIR})
set(_mingw_lib ${PROJECT_BINARY_DIR}/libtarnlet.dll.a)
set(_msvc_def ${PROJECT_BINARY_DIR}/tarnlet.def)
# dlltool names the archive's members after the output path: a relative one
# keeps the build folder out of the shipped file.
add_custom_command(OUTPUT ${_mingw_lib} ${_msvc_def}
  COMMAND ${CMAKE_DLLTOOL} -m ${_machine} -d ${_dir}/import-${_arch}.def -l libtarnlet.dll.a
  COMMAND ${CMAKE_COMMAND} -E copy ${_dir}/tarnlet-${_arch}.def ${_msvc_def}
  DEPENDS ${_dir}/import-${_arch}.def ${_dir}/tarnlet-${_arch}.def
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM)
set(_outputs ${_mingw_lib} ${_msvc_def})

# Microsoft's linker wants import objects of its own format, which also mark
# the library safe for /SAFESEH on x86 (dlltool's objects are not). lld-link
# writes them, as LINK does, for a stand-in DLL with the exports of
# tarnlet.def; it works in a folder of its own, away from the real DLL.
find_program(TARNLET_CLANG NAMES clang clang-14)
find_program(TARNLET_LLD_LINK NAMES lld-link lld-link-14)
if(TARNLET_CLANG AND TARNLET_LLD_LINK)
  if(_arch STREQUAL x86)
    set(_msvc_target i686-pc-windows-msvc)
  else()
    set(_msvc_target x86_64-pc-windows-msvc)
  endif()
  set(_msvc_dir ${PROJECT_BINARY_DIR}/msvc-import)
  set(_msvc_lib ${PROJECT_BINARY_DIR}/tarnlet.lib)
  file(MAKE_DIRECTORY ${_msvc_dir})
  add_custom_command(OUTPUT ${_msvc_lib}
    COMMAND ${TARNLET_CLANG} --target=${_msvc_target} -ffreestanding -Wall -Werror
            -c ${_dir}/import_stub.c -o stand-in.obj
    COMMAND ${TARNLET_LLD_LINK} /nologo /dll /noentry /nodefaultlib /machine:${_arch}
            /def:${_dir}/tarnlet-${_arch}.def stand-in.obj /out:stand-in.dll /implib:tarnlet.lib
    COMMAND ${CMAKE_COMMAND} -E copy tarnlet.lib ${_msvc_lib}
    DEPENDS ${_dir}/import_stub.c ${_dir}/tarnlet-${_arch}.def
    WORKING_DIRECTORY ${_msvc_dir}
    VERBATIM)
  list(APPEND _outputs ${_msvc_lib})
else()
  message(STATUS "tarnlet.lib is not made: it needs clang and lld-link")
endif()
add_custom_target(tarnlet_import_libraries ALL DEPENDS ${_outputs})

add_library(tarnlet_import INTERFACE)
target_link_libraries(tarnlet_import INTERFACE ${_mingw_lib})
target_include_directories(tarnlet_import INTERFACE ${PROJECT_SOURCE_DIR}/include)
add_dependencies(tarnlet_import tarnlet_import_libraries tarnlet)
