# The layers of the house: every library folder, and the folders directly below it that it may
# use. A folder may include from, and link to, itself and every folder it reaches through this
# table, and nothing else; "qt" marks the folders that may use Qt. Tools, benchmarks and the
# tests' own helpers sit on top and may use anything; a test folder (tests/X) may use what X may.
#
# vz_layer(target folder) files a library under its folder. At the end of configuration
# vz_check_layers() refuses a library or test program that links to a library above its folder,
# and writes layers.json, from which the layer test (scripts/check-layers.py) checks includes
# and the symbols the libraries need from each other.

set(VZ_LAYER_RULES
  "planner/base:"
  "planner/schedule:planner/base"
  "planner/xml:planner/base"
  "planner:planner/xml"
  "planner/chart:planner,planner/schedule"
  "planner/grid:planner,planner/schedule,planner/chart,qt"
  "exchange:planner/schedule,planner/xml"
  "db/storage:planner/base"
  "db/lock:db/storage"
  "db/record:db/lock"
  "db/index:db/record"
  "db/sql:db/index"
  "db/exec:db/sql"
  "db/objects:db/exec"
  "db/access:db/objects"
  "report:planner/xml"
  "app/core:planner,planner/schedule,planner/chart,exchange,db/access,report"
  "app:app/core,planner/grid,qt"
)

# The folders a folder may use, itself included, in VZ_REACH_<folder>.
foreach(rule ${VZ_LAYER_RULES})
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(LENGTH parts n)
  set(below "")
  if(n GREATER 1)
    list(GET parts 1 below)
    string(REPLACE "," ";" below "${below}")
  endif()
  set(reach ${folder})
  foreach(b ${below})
    if(b STREQUAL "qt")
      list(APPEND reach qt)
    else()
      if(NOT DEFINED VZ_REACH_${b})
        message(FATAL_ERROR "Layer ${folder} names ${b}, which is not listed before it")
      endif()
      list(APPEND reach ${VZ_REACH_${b}})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set(VZ_REACH_${folder} ${reach})
  list(APPEND VZ_LAYER_FOLDERS ${folder})
endforeach()

function(vz_layer target folder)
  if(NOT DEFINED VZ_REACH_${folder})
    message(FATAL_ERROR "vz_layer: ${folder} is not a layer of cmake/VzLayers.cmake")
  endif()
  set_property(TARGET ${target} PROPERTY VZ_LAYER ${folder})
  set_property(GLOBAL APPEND PROPERTY VZ_LAYER_TARGETS ${target})
endfunction()

# vz_layer_test(target folder): a test program of the layer folder.
function(vz_layer_test target folder)
  if(NOT DEFINED VZ_REACH_${folder})
    message(FATAL_ERROR "vz_layer_test: ${folder} is not a layer of cmake/VzLayers.cmake")
  endif()
  set_property(TARGET ${target} PROPERTY VZ_LAYER ${folder})
  set_property(GLOBAL APPEND PROPERTY VZ_LAYER_TEST_TARGETS ${target})
endfunction()

# The layer a linked item belongs to: a filed library's folder, "qt" for Qt, nothing otherwise.
function(_vz_layer_of item out)
  set(result "")
  if(TARGET ${item})
    get_target_property(aliased ${item} ALIASED_TARGET)
    if(aliased)
      set(item ${aliased})
    endif()
    get_target_property(layer ${item} VZ_LAYER)
    if(layer)
      set(result ${layer})
    endif()
  endif()
  if(item MATCHES "^Qt6::|^Qt::")
    set(result qt)
  endif()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

function(vz_check_layers)
  get_property(libs GLOBAL PROPERTY VZ_LAYER_TARGETS)
  get_property(tests GLOBAL PROPERTY VZ_LAYER_TEST_TARGETS)
  set(json_libs "")
  foreach(t ${libs} ${tests})
    get_target_property(folder ${t} VZ_LAYER)
    get_target_property(linked ${t} LINK_LIBRARIES)
    if(NOT linked)
      set(linked "")
    endif()
    foreach(item ${linked})
      _vz_layer_of(${item} layer)
      if(layer AND NOT layer IN_LIST VZ_REACH_${folder})
        message(FATAL_ERROR
          "Layer check: ${t} (${folder}) links to ${item} (${layer}), which is not below it")
      endif()
    endforeach()
  endforeach()
  foreach(t ${libs})
    get_target_property(folder ${t} VZ_LAYER)
    get_target_property(sources ${t} SOURCES)
    string(JOIN "\",\"" reach ${VZ_REACH_${folder}})
    list(APPEND json_libs
      "{\"target\":\"${t}\",\"folder\":\"${folder}\",\"archive\":\"$<TARGET_FILE:${t}>\",\"reach\":[\"${reach}\"]}")
  endforeach()
  set(json_rules "")
  foreach(folder ${VZ_LAYER_FOLDERS})
    string(JOIN "\",\"" reach ${VZ_REACH_${folder}})
    list(APPEND json_rules "\"${folder}\":[\"${reach}\"]")
  endforeach()
  string(JOIN ",\n  " json_libs_text ${json_libs})
  string(JOIN ",\n  " json_rules_text ${json_rules})
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/layers.json CONTENT
"{\"libraries\":[\n  ${json_libs_text}\n],\n\"reach\":{\n  ${json_rules_text}\n}}\n")
endfunction()
