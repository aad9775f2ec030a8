# One static library per layer of the core, each with the layers it may use.
# A source that includes a header of any other layer fails the build.
#
#   skyrelay_layer(<folder> [USES <folder>...] [LINKS <target>...])
#
# builds skyrelay_<folder> from src/<folder>/*.cpp, linked to the libraries of
# the folders it uses (and their uses), and checks its includes before it compiles.
function(skyrelay_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;LINKS;EXCLUDE")
  file(GLOB sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/${layer}/*.cpp ${PROJECT_SOURCE_DIR}/src/${layer}/*.h)
  foreach(pattern IN LISTS arg_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  # What it may include: its own folder, the folders it uses and theirs.
  set(allowed "")
  foreach(used IN LISTS arg_USES)
    get_property(transitive GLOBAL PROPERTY SKYRELAY_LAYER_${used})
    list(APPEND allowed ${used} ${transitive})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY SKYRELAY_LAYER_${layer} "${allowed}")

  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/layer_${layer}.checked)
  set(listing ${CMAKE_CURRENT_BINARY_DIR}/layer_${layer}.cmake)
  file(WRITE ${listing} "set(LAYER ${layer})\nset(ALLOWED \"${allowed}\")\nset(SOURCES \"${sources}\")\n")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLISTING=${listing} -P ${PROJECT_SOURCE_DIR}/cmake/check_includes.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${sources} ${listing} ${PROJECT_SOURCE_DIR}/cmake/check_includes.cmake
    COMMENT "Checking the includes of src/${layer}"
    VERBATIM)
  add_custom_target(skyrelay_${layer}_includes DEPENDS ${stamp})

  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  add_library(skyrelay_${layer} STATIC ${sources})
  add_dependencies(skyrelay_${layer} skyrelay_${layer}_includes)
  target_include_directories(skyrelay_${layer} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  foreach(used IN LISTS arg_USES)
    target_link_libraries(skyrelay_${layer} PUBLIC skyrelay_${used})
  endforeach()
  if(arg_LINKS)
    target_link_libraries(skyrelay_${layer} PUBLIC ${arg_LINKS})
  endif()
endfunction()
