# Desktop integration, manual pages and the Debian package. Generated files are made at
# build time from the sources in packaging/ and resources/icons; the package is made with
# `cpack -G DEB` in the build folder.
set(pkg_src ${CMAKE_SOURCE_DIR}/packaging)
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)
set(app_id org.tessavel.Tessavel)
file(MAKE_DIRECTORY ${pkg_out})

# Installing (and so packaging) builds only what it installs, not the tests and benchmarks:
# the programs are built first (scripts/package-check.sh does), then cpack or cmake --install.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Installed folders and files are world-readable whatever the umask of whoever installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(pkg_outputs)

# The icon: the program's one SVG, and PNG renderings of it for the icon theme.
set(icon_svg ${CMAKE_SOURCE_DIR}/resources/icons/tessavel.svg)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${app_id}.svg)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    foreach(size 16 32 48 64 128 256)
        set(png ${pkg_out}/icons/${size}/${app_id}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${pkg_out}/icons/${size}
            COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --keep-aspect-ratio --output ${png} ${icon_svg}
            DEPENDS ${icon_svg} VERBATIM)
        list(APPEND pkg_outputs ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
else()
    message(WARNING "rsvg-convert not found (librsvg2-bin): the PNG icons are left out of the install")
endif()

# Manual pages from their scdoc sources.
find_program(SCDOC scdoc)
if(SCDOC)
    foreach(page tessavel tessavelctl tessavel-emulator Fennick)
        set(scd ${pkg_src}/man/${page}.1.scd)
        set(man ${pkg_out}/man/${page}.1.gz)
        add_custom_command(OUTPUT ${man}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${pkg_out}/man
            COMMAND sh -c "'${SCDOC}' < '${scd}' | gzip -9n > '${man}'"
            DEPENDS ${scd} VERBATIM)
        list(APPEND pkg_outputs ${man})
        install(FILES ${man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
else()
    message(WARNING "scdoc not found: the manual pages are left out of the install")
endif()

# The release in the metainfo follows the project's version.
configure_file(${pkg_src}/${app_id}.metainfo.xml.in ${pkg_out}/${app_id}.metainfo.xml @ONLY)

# What Debian asks of every package's documentation folder.
configure_file(${pkg_src}/debian/changelog.in ${pkg_out}/changelog @ONLY)
add_custom_command(OUTPUT ${pkg_out}/changelog.gz
    COMMAND sh -c "gzip -9n < '${pkg_out}/changelog' > '${pkg_out}/changelog.gz'"
    DEPENDS ${pkg_out}/changelog VERBATIM)
list(APPEND pkg_outputs ${pkg_out}/changelog.gz)

add_custom_target(packaging_files ALL DEPENDS ${pkg_outputs})

install(FILES ${pkg_src}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg_out}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pkg_src}/${app_id}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${app_id}.xml)
install(FILES ${pkg_src}/completion/tessavelctl DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${pkg_src}/tessavel-schedule@.service DESTINATION lib/systemd/user)
install(FILES ${pkg_src}/debian/copyright ${pkg_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessavel)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessavel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessavel developers <maintainers@tessavel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prepare pictures and send them to networked projectors")
# Lines of at most 79 characters, as Debian asks of a package description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tessavel is for the people who run rooms full of networked projectors.\n"
    "It keeps the projector list, prepares pictures in the projector picture\n"
    "format, sends them to one projector or many, schedules uploads and asks\n"
    "projectors what their picture stores hold.\n"
    "\n"
    "The package holds the desktop program, the command-line client tessavelctl\n"
    "with a systemd user unit that runs a schedule without a desktop session, a\n"
    "projector emulator for trying it without hardware, and the user tool.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessavel.org/")
# Libraries come from dpkg-shlibdeps. The display plugin is loaded at run time, where
# dpkg-shlibdeps cannot see it, and without it the program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# qt6-translations-l10n: Qt's own dialogs and buttons in Chinese when the window is.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, tango-icon-theme, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
