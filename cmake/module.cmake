# The camera module: one source tree, three build variants.
#   vellary_module_core       everything the variants share (object library)
#   vellary_module_testN      core + the variant's ray finish and server name (static, for tests)
#   vellary_plugin_testN      the loadable module file: dist/testN/Ostrelin.p or Brevanic.p

set(VELLARY_VARIANTS 1 2 3)
set(VELLARY_PLUGIN_NAME_1 Ostrelin)
set(VELLARY_PLUGIN_NAME_2 Ostrelin)
set(VELLARY_PLUGIN_NAME_3 Brevanic)

add_library(vellary_module_core OBJECT
  host/activation.cpp
  host/host_services.cpp
  lifecycle/instance_lifecycle.cpp
  lifecycle/scene_persistence.cpp
  model/camera_instance.cpp
  model/instance_parameters.cpp
  model/lens_at_time.cpp
  model/preview_projection.cpp
  model/sample_table.cpp
  model/unit_ray_direction.cpp
  model/vec_math.cpp
  panel/focal_length_readout.cpp
  panel/panel_build.cpp
  panel/panel_tables.cpp
  panel/panel_values.cpp
  panel/tilt_thumbnail.cpp
)

# Flags of every module object: no exceptions or RTTI to leak into the host, nothing exported
# but the descriptor, and (on Windows) no assumption about the host's stack alignment.
function(vellary_module_flags target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -Werror=conversion-null)
  if(WIN32)
    target_compile_options(${target} PRIVATE -mincoming-stack-boundary=2)
  endif()
endfunction()

vellary_module_flags(vellary_module_core)

set(VELLARY_VARIANT_SOURCES model/ray_evaluation.cpp host/module_descriptor.cpp)

foreach(variant IN LISTS VELLARY_VARIANTS)
  # Static library for tests that call the module's functions directly.
  add_library(vellary_module_test${variant} STATIC
    ${VELLARY_VARIANT_SOURCES} $<TARGET_OBJECTS:vellary_module_core>)
  target_compile_definitions(vellary_module_test${variant} PUBLIC VELLARY_BUILD_VARIANT=${variant})
  vellary_module_flags(vellary_module_test${variant})

  # The loadable module as the host loads it.
  set(_plugin vellary_plugin_test${variant})
  add_library(${_plugin} SHARED ${VELLARY_VARIANT_SOURCES} $<TARGET_OBJECTS:vellary_module_core>)
  target_compile_definitions(${_plugin} PRIVATE VELLARY_BUILD_VARIANT=${variant})
  vellary_module_flags(${_plugin})
  set_target_properties(${_plugin} PROPERTIES
    PREFIX ""
    SUFFIX ".p"
    OUTPUT_NAME ${VELLARY_PLUGIN_NAME_${variant}}
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/dist/test${variant}
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/dist/test${variant})
  if(WIN32)
    # Only _mod_descrip is exported (the list disables mingw's export-everything default), and
    # the file needs nothing beside it but the Windows system runtime.
    target_sources(${_plugin} PRIVATE ${PROJECT_SOURCE_DIR}/host/module.def)
    # No TLS directory and so no TLS callbacks: nothing of the module runs on load.
    target_sources(${_plugin} PRIVATE ${PROJECT_SOURCE_DIR}/host/no_tls_callbacks.cpp)
    target_link_options(${_plugin} PRIVATE -static -static-libgcc -static-libstdc++
      -Wl,--no-undefined -Wl,--enable-stdcall-fixup)
    set_target_properties(${_plugin} PROPERTIES LINKER_LANGUAGE C)
  else()
    target_link_options(${_plugin} PRIVATE -Wl,--no-undefined)
  endif()
  set_property(GLOBAL APPEND PROPERTY VELLARY_PLUGIN_FILES $<TARGET_FILE:${_plugin}>)
endforeach()

add_custom_target(plugins ALL DEPENDS vellary_plugin_test1 vellary_plugin_test2 vellary_plugin_test3)
