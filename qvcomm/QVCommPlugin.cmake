# qvcomm_add_plugin(<target> <sources>...)
#
# Builds a plug-in library for QVComm: a loadable module exporting "Initialize", "Terminate",
# "GetPluginId" and "GetPlugin" under their plain names (declare them with QV_PLUGIN_ENTRY_POINTS
# from <qvcomm/qvcomm.h>). On Windows the file is <target>.dll, self-contained; elsewhere
# lib<target>.so with only the entry points visible.
set(_QVCOMM_PLUGIN_DIR ${CMAKE_CURRENT_LIST_DIR})

function(qvcomm_add_plugin target)
  add_library(${target} MODULE ${ARGN})
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(TARGET qv_platform)
    # Inside the source tree of the system itself.
    target_include_directories(${target} PRIVATE
      ${PROJECT_SOURCE_DIR}/platform/include ${PROJECT_SOURCE_DIR}/qvcomm/include)
  else()
    # Installed: <prefix>/lib/cmake/qvcomm/QVCommPlugin.cmake beside <prefix>/include/qvcomm.
    get_filename_component(_qvcomm_prefix "${_QVCOMM_PLUGIN_DIR}/../../.." ABSOLUTE)
    target_include_directories(${target} PRIVATE ${_qvcomm_prefix}/include)
  endif()
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "")
    target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -Wl,--kill-at
      -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic)
  else()
    set_target_properties(${target} PROPERTIES PREFIX "lib")
  endif()
endfunction()
