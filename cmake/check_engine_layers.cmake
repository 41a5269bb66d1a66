# Fails when a file of the engine reaches up its layers: each folder of
# src/engine may include its own headers and those of the folders listed
# before it, never one listed after it, nor anything outside the engine.
#
#   cmake -DENGINE_DIR=<src/engine> -P check_engine_layers.cmake
#
# The order, lowest first: the byte formats other processes share; the
# operating system; the texts; the presets; the list of jobs; what the engine
# asks of the window and the desktop; one encoder job; the batch; the
# window's behaviour.
set(ENGINE_LAYERS formats platform texts settings jobs desktop encoding batch window)

if(NOT ENGINE_DIR)
  message(FATAL_ERROR "ENGINE_DIR is not set")
endif()

file(GLOB_RECURSE engine_files RELATIVE ${ENGINE_DIR} ${ENGINE_DIR}/*.h ${ENGINE_DIR}/*.cpp)
set(faults "")
foreach(file IN LISTS engine_files)
  string(REGEX MATCH "^[^/]+" layer "${file}")
  list(FIND ENGINE_LAYERS "${layer}" rank)
  if(rank EQUAL -1)
    string(APPEND faults "\n  ${file}: folder ${layer} has no place in the layers")
    continue()
  endif()
  file(STRINGS ${ENGINE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    if(NOT header MATCHES "^engine/([^/]+)/")
      string(APPEND faults "\n  ${file}: includes \"${header}\", which is not the engine's")
      continue()
    endif()
    list(FIND ENGINE_LAYERS "${CMAKE_MATCH_1}" used)
    if(used EQUAL -1 OR used GREATER rank)
      string(APPEND faults "\n  ${file}: ${layer} includes \"${header}\" from a layer above it")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "The engine's layers are broken (order: ${ENGINE_LAYERS}):${faults}")
endif()
