# Fails, naming file, line and include, when a source of one of the engine's
# layers includes a header of a layer it does not use.
#
#   cmake -DJET_DIR=<jet folder> -DJET_LAYER_RULES="base:;format:base;..." -P CheckJetLayers.cmake
#
# A rule "layer:used;used" names the layers a layer links directly; what it may
# include is its own layer and every layer reached through those. The top
# (jet/*.h, jet/*.cpp) may include any layer; tests are not checked.
cmake_minimum_required(VERSION 3.20)

set(layers)
foreach(rule ${JET_LAYER_RULES})
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 layer)
  list(REMOVE_AT parts 0)
  string(REPLACE "," ";" uses "${parts}")
  set(uses_${layer} ${uses})
  list(APPEND layers ${layer})
endforeach()

# The layers each layer reaches, itself included.
foreach(layer ${layers})
  set(reach ${layer})
  set(queue ${uses_${layer}})
  while(queue)
    list(POP_FRONT queue next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND queue ${uses_${next}})
    endif()
  endwhile()
  set(reach_${layer} ${reach})
endforeach()

set(failures 0)
foreach(layer ${layers})
  file(GLOB sources ${JET_DIR}/${layer}/*.h ${JET_DIR}/${layer}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"jet/")
    foreach(line ${lines})
      string(REGEX MATCH "\"jet/([^\"]*)\"" include "${line}")
      set(target "${CMAKE_MATCH_1}")
      if(target MATCHES "^([a-z_]+)/")
        set(included ${CMAKE_MATCH_1})
      else()
        set(included "(top)")
      endif()
      if(NOT included IN_LIST reach_${layer})
        file(RELATIVE_PATH shown ${JET_DIR} ${source})
        message(SEND_ERROR "jet/${shown}: ${layer} includes jet/${target} of layer ${included}, "
                           "which it may not use (it reaches: ${reach_${layer}})")
        math(EXPR failures "${failures} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures EQUAL 0)
  list(LENGTH layers count)
  message(STATUS "${count} layers: every include points down")
endif()
