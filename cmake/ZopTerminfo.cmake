# Finds the terminfo library and the term.h that goes with it, as a pair: a
# second ncurses (pkgsrc, MacPorts, Homebrew) beside the system's must not
# lend its header to the other's library.  Sets ZOP_TERMINFO_LIBRARIES and
# ZOP_TERMINFO_INCLUDE_DIRS, or stops with what to install.
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

# Every call the terminfo reader makes, compiled and linked against the pair.
set(_zop_terminfo_probe [[
#include <curses.h>
#include <term.h>
int main(void)
{
    static char term[] = "dumb", name[] = "cup";
    int error = 0;
    if (setupterm(term, -1, &error) != OK)
        return 1;
    char *cup = tigetstr(name);
    char *filled = tparm(cup, 1L, 2L, 0L, 0L, 0L, 0L, 0L, 0L, 0L);
    int answer = tigetflag(name) + tigetnum(name) + (filled != 0);
    del_curterm(cur_term);
    return answer;
}
]])

# Whether the library (a path or a target) and include directories make a pair
# that compiles and links; the answer is kept per pair, in case the cache changes.
function(_zop_terminfo_works result libraries includes)
  string(SHA1 pair "${libraries}|${includes}")
  string(SUBSTRING "${pair}" 0 12 pair)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_LIBRARIES ${libraries})
  set(CMAKE_REQUIRED_INCLUDES ${includes})
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("${_zop_terminfo_probe}" ZOP_TERMINFO_PAIR_${pair})
  cmake_pop_check_state()
  set(${result} ${ZOP_TERMINFO_PAIR_${pair}} PARENT_SCOPE)
endfunction()

# The prefix a library was installed under: /usr for /usr/lib/x86_64-linux-gnu/libtinfo.so.
function(_zop_terminfo_prefix result library)
  get_filename_component(dir "${library}" DIRECTORY)
  string(REGEX REPLACE "/lib(32|64|x32)?(/[^/]+)?$" "" prefix "${dir}")
  set(${result} "${prefix}" PARENT_SCOPE)
endfunction()

# pkg-config knows the pair where it is installed with the library.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_search_module(ZOP_TERMINFO_PC QUIET IMPORTED_TARGET tinfo ncursesw ncurses)
  if(ZOP_TERMINFO_PC_FOUND)
    _zop_terminfo_works(works PkgConfig::ZOP_TERMINFO_PC "")
    if(works)
      set(ZOP_TERMINFO_LIBRARIES PkgConfig::ZOP_TERMINFO_PC)
      set(ZOP_TERMINFO_INCLUDE_DIRS "")
      message(STATUS "terminfo: ${ZOP_TERMINFO_PC_MODULE_NAME} through pkg-config")
      return()
    endif()
  endif()
endif()

# Else by name (NetBSD's is libterminfo), and term.h first under the library's own prefix.
find_library(ZOP_TERMINFO_LIBRARY NAMES terminfo tinfo tinfow ncursesw ncurses curses)
if(ZOP_TERMINFO_LIBRARY)
  _zop_terminfo_prefix(prefix "${ZOP_TERMINFO_LIBRARY}")
  find_path(ZOP_TERMINFO_INCLUDE_DIR term.h NO_DEFAULT_PATH
            PATHS "${prefix}/include" "${prefix}/include/ncursesw" "${prefix}/include/ncurses")
  find_path(ZOP_TERMINFO_INCLUDE_DIR term.h PATH_SUFFIXES ncursesw ncurses)
  _zop_terminfo_works(works "${ZOP_TERMINFO_LIBRARY}" "${ZOP_TERMINFO_INCLUDE_DIR}")
  if(works)
    set(ZOP_TERMINFO_LIBRARIES "${ZOP_TERMINFO_LIBRARY}")
    set(ZOP_TERMINFO_INCLUDE_DIRS "${ZOP_TERMINFO_INCLUDE_DIR}")
    message(STATUS "terminfo: ${ZOP_TERMINFO_LIBRARY} with ${ZOP_TERMINFO_INCLUDE_DIR}/term.h")
    return()
  endif()
endif()

message(FATAL_ERROR "No terminfo library with its term.h that compiles and links the calls the "
  "game makes (library: ${ZOP_TERMINFO_LIBRARY}, term.h in: ${ZOP_TERMINFO_INCLUDE_DIR}). "
  "Install it: on Debian or Ubuntu libncurses-dev; on Fedora ncurses-devel; on macOS the "
  "Command Line Tools (xcode-select --install), whose SDK has ncurses; on FreeBSD and OpenBSD "
  "it is in the base system, on NetBSD too (libterminfo); on illumos the ncurses package, or "
  "the system's curses.")
