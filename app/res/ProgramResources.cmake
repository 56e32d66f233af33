# program_resources(TARGET NAME DESCRIPTION COMMON_CONTROLS): gives a
# Windows program its version resource and application manifest (asInvoker,
# the supported systems, DPI awareness, and version 6 of the common
# controls when COMMON_CONTROLS is true).
function(program_resources target name description common_controls)
  set(MANIFEST_NAME "Morlund.${name}")
  set(MANIFEST_DESCRIPTION "${description}")
  if(common_controls)
    set(MANIFEST_DEPENDENCY "  <dependency>
    <dependentAssembly>
      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"
                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>
    </dependentAssembly>
  </dependency>")
  else()
    set(MANIFEST_DEPENDENCY "")
  endif()
  set(MANIFEST_FILE "${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest")
  configure_file(${CMAKE_SOURCE_DIR}/app/res/manifest.xml.in ${MANIFEST_FILE} @ONLY)
  set(VERSION_FILE "${name}.exe")
  set(VERSION_NAME "${name}")
  set(VERSION_DESCRIPTION "${description}")
  string(REPLACE "." "," VERSION_COMMAS "${PROJECT_VERSION},0")
  configure_file(${CMAKE_SOURCE_DIR}/app/res/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc
    PROPERTIES OBJECT_DEPENDS ${MANIFEST_FILE})
endfunction()
