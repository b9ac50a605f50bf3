# The program code is split into layers, each an object library built from the .cpp files of its
# folder. A layer's objects are compiled once and linked into the static library quellmoor_core,
# and into any test, tool or benchmark that needs only some layers.

# qm_layer(NAME SOURCES... [DEPS target...]): an object library named qm_NAME.
function(qm_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT L_SOURCES)
    # A layer whose first file has not been written yet still links.
    set(stub ${CMAKE_BINARY_DIR}/empty_layer_${name}.cpp)
    file(WRITE ${stub} "// no sources yet\n")
    set(L_SOURCES ${stub})
  endif()
  add_library(qm_${name} OBJECT ${L_SOURCES})
  target_include_directories(qm_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(L_DEPS)
    target_link_libraries(qm_${name} PUBLIC ${L_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY QM_LAYERS ${name})
endfunction()

# qm_use(TARGET LAYER...): links the objects and usage requirements of the given layers.
function(qm_use target)
  foreach(layer IN LISTS ARGN)
    target_link_libraries(${target} PRIVATE qm_${layer})
  endforeach()
endfunction()
