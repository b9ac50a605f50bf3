# The browser build (emscripten): the show twice over, one program for the page and one for node
# (which reads the data folder from disk: the digest checks run it). The libraries come from
# QM_WEB_DEPS (scripts/build-web-deps.sh); the data is forged by a native build.

set(common_link -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sTOTAL_STACK=8388608)

add_executable(quellmoor-node ${PROJECT_SOURCE_DIR}/src/shell/main.cpp)
set_target_properties(quellmoor-node PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(quellmoor-node PRIVATE quellmoor_core)
target_link_options(quellmoor-node PRIVATE ${common_link} -sNODERAWFS=1 -sENVIRONMENT=node)

# The page's program: started by the page (createQuellmoor, then callMain) once per Run, with
# the data written into its memory file system. It gives the browser its turn once a frame by
# suspending itself (asyncify) where the page driver waits, so the show's loop stays as it is.
set(glue ${PROJECT_SOURCE_DIR}/src/platform/web_glue.js)
set_target_properties(quellmoor PROPERTIES LINK_DEPENDS ${glue})
target_link_options(quellmoor PRIVATE ${common_link} -sENVIRONMENT=web -sMODULARIZE=1
  -sEXPORT_NAME=createQuellmoor -sINVOKE_RUN=0 -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=['FS','callMain']" -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536
  --pre-js ${glue})
