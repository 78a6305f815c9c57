# dbrepair_platform_sources(VAR): drop from the list VAR the sources written
# for the other kind of system. Code that calls the system is one file per
# system, named *_posix.cpp or *_win32.cpp, beside the shared code that
# declares it.
function(dbrepair_platform_sources var)
  set(sources ${${var}})
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${var} ${sources} PARENT_SCOPE)
endfunction()
