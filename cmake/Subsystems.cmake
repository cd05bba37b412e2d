# One static library per subsystem folder, so a test links only the
# subsystems it needs. The graph below is the only place dependencies live.
function(dp_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
  if(srcs)
    add_library(dp_${name} STATIC ${srcs})
    target_include_directories(dp_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(dp_${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(dp_${name} INTERFACE)
    target_include_directories(dp_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(dp_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# Each line names only the subsystems its own files include (the rest comes
# through them); scripts/check_includes.sh holds the code to these edges.
dp_subsystem(util DEPS Threads::Threads)
dp_subsystem(platform DEPS dp_util SQLite::SQLite3)
dp_subsystem(lang DEPS dp_util)
dp_subsystem(app DEPS dp_platform dp_lang ${CMAKE_DL_LIBS})
dp_subsystem(queue DEPS dp_app)
dp_subsystem(source DEPS dp_util dp_platform dp_app dp_lang dp_scraper ${CMAKE_DL_LIBS})
dp_subsystem(scanner DEPS dp_source)
dp_subsystem(net DEPS dp_util CURL::libcurl)
dp_subsystem(scraper DEPS dp_util dp_net)
dp_subsystem(planning DEPS dp_platform dp_queue dp_source dp_scraper ${CMAKE_DL_LIBS})
dp_subsystem(pipeline DEPS dp_queue dp_source dp_planning)
dp_subsystem(update DEPS dp_net dp_app)

add_library(libdiscpress INTERFACE)
target_link_libraries(libdiscpress INTERFACE
  dp_util dp_platform dp_lang dp_app dp_queue dp_source dp_scanner
  dp_net dp_scraper dp_planning dp_pipeline dp_update)
