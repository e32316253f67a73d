# The Debian package. In a Release build, `cpack -G DEB` makes
# trackfold_<version>_<architecture>.deb from the install rules of app/ and the
# files installed here; scripts/package.sh does exactly that.
include(GNUInstallDirs)

set(TRACKFOLD_MAINTAINER "Trackfold maintainers <maintainers@trackfold.org>"
    CACHE STRING "Maintainer named in the package and its changelog")
set(TRACKFOLD_HOMEPAGE "https://github.com/trackfold/trackfold")
set(TRACKFOLD_SCREENSHOTS
    "https://raw.githubusercontent.com/trackfold/trackfold/v${PROJECT_VERSION}/docs")
set(TRACKFOLD_APPSTREAM_ID org.trackfold.Trackfold)

if(UNIX AND NOT APPLE)
    set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/trackfold)
    set(made_dir ${PROJECT_BINARY_DIR}/packaging)

    # Software centres list the programs from this file.
    set(metainfo ${made_dir}/${TRACKFOLD_APPSTREAM_ID}.metainfo.xml)
    configure_file(${packaging_dir}/${TRACKFOLD_APPSTREAM_ID}.metainfo.xml.in ${metainfo} @ONLY)
    install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # Debian reads the licence from a machine-readable copyright file; its text
    # is LICENSE, indented one space, with " ." standing for each empty line.
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
    string(STRIP "${licence}" licence)
    string(REPLACE "\n" "\n " licence "${licence}")
    string(REPLACE "\n \n" "\n .\n" licence "${licence}")
    string(REPLACE "\n \n" "\n .\n" licence "${licence}")
    file(WRITE ${made_dir}/copyright
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        "Upstream-Name: Trackfold\n"
        "Source: ${TRACKFOLD_HOMEPAGE}\n"
        "\n"
        "Files: *\n"
        "Copyright: 2026 The Trackfold developers\n"
        "License: Expat\n"
        " ${licence}\n")
    install(FILES ${made_dir}/copyright DESTINATION ${doc_dir})

    # Debian wants the changelog compressed at the highest level and without a
    # time stamp in the gzip header, so the package is the same at every build.
    find_program(GZIP gzip REQUIRED)
    configure_file(${packaging_dir}/changelog.in ${made_dir}/changelog @ONLY)
    add_custom_command(OUTPUT ${made_dir}/changelog.gz
        COMMAND ${GZIP} -9nkf ${made_dir}/changelog
        DEPENDS ${made_dir}/changelog
        COMMENT "Compressing the changelog"
        VERBATIM)
    add_custom_target(trackfold_changelog ALL DEPENDS ${made_dir}/changelog.gz)
    install(FILES ${made_dir}/changelog.gz DESTINATION ${doc_dir})
endif()

set(CPACK_PACKAGE_NAME trackfold)
set(CPACK_PACKAGE_VENDOR "The Trackfold developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "writes a jukebox playlist from a folder tree of MP3 files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Trackfold fills the playlists of a jukebox program. Name a music folder tree\n"
    "and a playlist name, press Start, and Trackfold walks the tree and writes an\n"
    "XML playlist document in which every folder holding MP3 files is an album\n"
    "with its tracks, then rewrites the XML index through which the jukebox finds\n"
    "its playlists. It comes as two programs, songrig_en in English and\n"
    "songrig_nl in Dutch.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${TRACKFOLD_HOMEPAGE})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed programs carry no symbol tables; Debian refuses unstripped ones.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TRACKFOLD_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are those of the libraries the programs link, with the
# versions the build machine's libraries demand; dpkg-shlibdeps reads them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The architecture is left to CPack, which asks dpkg --print-architecture.

include(CPack)
