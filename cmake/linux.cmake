# What only Linux builds get: hardening with GCC, and the manual page and the
# package's documents with their install rules.

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Bounds-checked C library calls; fortify needs optimisation (at -O0 glibc
  # warns, which -Werror would stop), and it clashes with AddressSanitizer,
  # which checks those calls itself. -U first: a compiler may define it
  # already, at another level, and a redefinition warns.
  if(NOT VDDB_SANITIZE)
    set(vddb_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
    add_compile_options($<${vddb_optimised}:-U_FORTIFY_SOURCE> $<${vddb_optimised}:-D_FORTIFY_SOURCE=2>)
  endif()
  # Relocations resolved at start and then made read-only.
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()

include(GNUInstallDirs)

# Compressed as Debian wants them: -9, and -n so that no name or time in the
# header makes two builds differ.
set(vddb_compressed ${CMAKE_BINARY_DIR}/compressed)
add_custom_command(OUTPUT ${vddb_compressed}/vddb.1.gz ${vddb_compressed}/changelog.Debian.gz
                   COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/src/app/vddb.1 ${vddb_compressed}/vddb.1
                   COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
                           ${vddb_compressed}/changelog.Debian
                   COMMAND gzip -n9 -f ${vddb_compressed}/vddb.1 ${vddb_compressed}/changelog.Debian
                   DEPENDS src/app/vddb.1 cmake/debian/changelog VERBATIM)
add_custom_target(vddb_documents ALL DEPENDS ${vddb_compressed}/vddb.1.gz ${vddb_compressed}/changelog.Debian.gz)

install(FILES ${vddb_compressed}/vddb.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES cmake/debian/copyright ${vddb_compressed}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES cmake/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vddb)

# Rules on the program, made once src/ has defined it.
function(vddb_linux_program)
  # So that `cmake --install` after building only the program finds them.
  add_dependencies(vddb vddb_documents)
  # Without the compilers' .comment notes, as Debian's own stripping leaves
  # it; after the program's own install rule.
  string(CONFIGURE [[
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND "@CMAKE_OBJCOPY@" --remove-section=.comment
                              "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/vddb" COMMAND_ERROR_IS_FATAL ANY)
    endif()
  ]] strip_comment @ONLY)
  install(CODE "${strip_comment}")
endfunction()
cmake_language(DEFER CALL vddb_linux_program)
