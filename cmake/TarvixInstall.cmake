# The installed program folder: `cmake --install <build> --prefix <folder>` lays out
#
#   <folder>/tarvix, brimsett          the programs (each named with tarvix_install_program)
#   <folder>/tarvixresource/           everything of <build>/bin/tarvixresource
#   <folder>/LobbyData/                client.ini, addr.ini, lobby.cfg, gamelist.xml
#   <folder>/update.ini                the update server's addresses
#   <folder>/updateTarvix.cl           the hall's check-list: exactly the files installed above
#
# The defaults of LobbyData/ and update.ini are games/hall/app/program_folder/. The check-list
# names only what this install put there, so that games, caches and the user's files in a folder
# installed over are never taken for the hall's own (the applier removes files that a newer list
# of the hall no longer names).

# tarvix_install_program(target): the program goes into the program folder.
function(tarvix_install_program target)
  set_property(GLOBAL APPEND PROPERTY TARVIX_INSTALLED_PROGRAMS ${target})
endfunction()

# Called once at the end of the top-level CMakeLists.txt, after every program is defined, so that
# the check-list is made after everything else has been installed.
function(tarvix_install_program_folder)
  get_property(_programs GLOBAL PROPERTY TARVIX_INSTALLED_PROGRAMS)
  if(_programs)
    install(TARGETS ${_programs} RUNTIME DESTINATION .)
  endif()
  if(EXISTS ${CMAKE_BINARY_DIR}/bin/tarvixresource)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/tarvixresource/ DESTINATION tarvixresource)
  endif()
  set(_defaults ${PROJECT_SOURCE_DIR}/games/hall/app/program_folder)
  install(FILES
      ${_defaults}/LobbyData/client.ini
      ${_defaults}/LobbyData/addr.ini
      ${_defaults}/LobbyData/lobby.cfg
      ${_defaults}/LobbyData/gamelist.xml
    DESTINATION LobbyData)
  install(FILES ${_defaults}/update.ini DESTINATION .)

  if(NOT TARGET tarvix_make_check_list)
    message(WARNING "the program folder gets no check-list: tarvix_make_check_list is missing")
    return()
  endif()
  # CMAKE_INSTALL_MANIFEST_FILES holds every file installed so far, with DESTDIR and prefix.
  install(CODE "
    set(_folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    set(_names \"\")
    foreach(_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
      file(RELATIVE_PATH _relative \"\${_folder}\" \"\${_file}\")
      string(APPEND _names \"\${_relative}\\n\")
    endforeach()
    string(MD5 _key \"\${_folder}\")
    set(_name_file \"${CMAKE_BINARY_DIR}/program_folder_files_\${_key}.txt\")
    file(WRITE \"\${_name_file}\" \"\${_names}\")
    message(STATUS \"Check-list: \${_folder}/updateTarvix.cl\")
    execute_process(
      COMMAND \"$<TARGET_FILE:tarvix_make_check_list>\" \"\${_folder}\"
              -o \"\${_folder}/updateTarvix.cl\" -f \"\${_name_file}\"
      RESULT_VARIABLE _result OUTPUT_QUIET)
    file(REMOVE \"\${_name_file}\")
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR \"the hall's check-list could not be made (\${_result})\")
    endif()
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_folder}/updateTarvix.cl\")
  ")
endfunction()
