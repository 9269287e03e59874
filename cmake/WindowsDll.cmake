# The shared libraries as Windows DLLs: tavrel.dll, exports from a
# module-definition file, a version resource, and an import library that
# mingw programs link against.
#
# The .def file sits beside the Linux version script, with the same name,
# and names each export as 32-bit Windows decorates a __stdcall function:
# Name@ArgumentBytes @Ordinal.
#  - x86: ld matches Name@N to the function and --kill-at exports it as the
#    plain Name. ld's own import library then lacks the "@N" that a caller
#    compiled against the header (which declares the function __stdcall)
#    looks for, so dlltool writes it again from the .def: its symbols keep
#    "@N", the import by name has none.
#  - x64 and ARM: nothing is decorated; a copy of the .def without "@N" is
#    linked.
# No function is dllexport in the library's build: ld would then export the
# decorated name as well.

# FileDescription of each library's version resource.
set(tavrel_dll_description_tavrel "Speed effect for PCM WAV files")
set(tavrel_dll_description_orlesk "Recorder of mono PCM WAV files")

# __stdcall decorates names on 32-bit x86 alone: 32-bit ARM has one calling
# convention, as x64 does.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^([Xx]86|i[3-6]86)$")
  set(tavrel_dll_stdcall ON)
else()
  set(tavrel_dll_stdcall OFF)
endif()

# The .def file that the build links for `target`: `def` itself on x86, the
# undecorated copy elsewhere.
function(tavrel_dll_module_definition target def out_var)
  if(tavrel_dll_stdcall)
    set(${out_var} ${def} PARENT_SCOPE)
    return()
  endif()
  file(READ ${def} text)
  string(REGEX REPLACE "([A-Za-z0-9_])@[0-9]+" "\\1" text "${text}")
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
  file(CONFIGURE OUTPUT ${copy} CONTENT "${text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  set(${out_var} ${copy} PARENT_SCOPE)
endfunction()

function(tavrel_configure_dll target def)
  set(DLL_TARGET ${target})
  set(DLL_NAME ${target}.dll)
  string(SUBSTRING ${target} 0 1 initial)
  string(SUBSTRING ${target} 1 -1 rest)
  string(TOUPPER ${initial} initial)
  set(DLL_PRODUCT ${initial}${rest})
  set(DLL_DESCRIPTION "${tavrel_dll_description_${target}}")
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${resource} @ONLY)

  tavrel_dll_module_definition(${target} ${def} linked_def)
  target_sources(${target} PRIVATE ${resource} ${linked_def})
  # tavrel.dll, not libtavrel.dll; the import library stays libtavrel.dll.a,
  # which -ltavrel finds. The .def goes with it for other toolchains.
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    TAVREL_MODULE_DEFINITION ${linked_def})
  # The same bytes from the same sources: no link time stamp in the DLL.
  # Release builds drop the symbol table, so the DLL the tests load is the
  # one that ships.
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp $<$<CONFIG:Release,MinSizeRel>:-s>)
  if(tavrel_dll_stdcall)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
    add_custom_command(TARGET ${target} POST_BUILD
      # dlltool names its symbols after the output's path: run it in place.
      COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${def}
              --dllname $<TARGET_FILE_NAME:${target}>
              --output-lib $<TARGET_LINKER_FILE_NAME:${target}>
      WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:${target}>
      COMMENT "Writing ${target}'s import library with __stdcall names"
      VERBATIM)
  endif()
endfunction()
