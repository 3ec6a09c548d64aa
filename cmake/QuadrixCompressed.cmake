# Debian wants manual pages and changelogs compressed with gzip -9n: the best
# compression, and no file name or time stamp inside, so the same sources
# always give the same package.
find_program(QUADRIX_GZIP gzip REQUIRED)
# Builds every compressed file, for what installs them before a full build.
add_custom_target(quadrix_compressed ALL)

# quadrix_install_compressed(FILE DESTINATION): installs FILE.gz into DESTINATION.
function(quadrix_install_compressed file destination)
    get_filename_component(name "${file}" NAME)
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/compressed")
    add_custom_command(OUTPUT "${folder}/${name}.gz"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${folder}"
        COMMAND ${CMAKE_COMMAND} -E copy "${file}" "${folder}/${name}"
        COMMAND ${QUADRIX_GZIP} -9nf "${folder}/${name}"
        DEPENDS "${file}"
        VERBATIM)
    string(MAKE_C_IDENTIFIER "compressed_${name}" target)
    add_custom_target(${target} DEPENDS "${folder}/${name}.gz")
    add_dependencies(quadrix_compressed ${target})
    install(FILES "${folder}/${name}.gz" DESTINATION "${destination}")
endfunction()
