# Helpers of the run command's fast build (POLESET_FAST_BUILD).

# Compiles the sources of the given libraries as part of `into`, with their include
# directories, definitions and links; links among the folded libraries are dropped, as are
# links to the layered libraries, which the caller replaces by the folded library.
function(poleset_fold into)
    set(_folded ${ARGN})
    set(_layers "^poleset_(core|settings|serial|setup|operations|app)$")
    get_target_property(_links ${into} LINK_LIBRARIES)
    if(_links)
        list(REMOVE_ITEM _links ${_folded})
        set_property(TARGET ${into} PROPERTY LINK_LIBRARIES ${_links})
    endif()
    foreach(_lib IN LISTS _folded)
        get_target_property(_dir ${_lib} SOURCE_DIR)
        get_target_property(_sources ${_lib} SOURCES)
        foreach(_source IN LISTS _sources)
            cmake_path(ABSOLUTE_PATH _source BASE_DIRECTORY "${_dir}")
            target_sources(${into} PRIVATE "${_source}")
        endforeach()
        foreach(_property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS
                          COMPILE_OPTIONS)
            get_target_property(_values ${_lib} ${_property})
            if(_values)
                set_property(TARGET ${into} APPEND PROPERTY ${_property} ${_values})
            endif()
        endforeach()
        foreach(_property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(_links ${_lib} ${_property})
            foreach(_link IN LISTS _links)
                if(NOT _link IN_LIST _folded AND NOT _link MATCHES "${_layers}")
                    set_property(TARGET ${into} APPEND PROPERTY ${_property} "${_link}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    # Its moc needs no other target built first: no target generates headers.
    set_target_properties(${into} PROPERTIES AUTOGEN_ORIGIN_DEPENDS OFF)
endfunction()

# Compiles the target's sources in `batches` unity batches of about equal size.
function(poleset_unity target batches)
    get_target_property(_sources ${target} SOURCES)
    list(FILTER _sources INCLUDE REGEX "\\.cpp$")
    list(LENGTH _sources _count)
    math(EXPR _size "(${_count} + ${batches} - 1) / ${batches}")
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${_size})
    # A type of a source's anonymous namespace used in a class of that source is fine; GCC
    # warns about it only when the source is included, as in a batch.
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
endfunction()
