# What `cmake --install` puts where, and the Debian package CPack makes of it (./scripts/package).
# Included from the top-level CMakeLists.txt.
include(GNUInstallDirs)

set(VARNEL_APP_ID pt.tesmar.Varnel)
# The date of this version's entry in packaging/changelog.
set(VARNEL_RELEASE_DATE 2026-12-07)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(package_dir ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${package_dir})

# Icons rendered from the tray icon's SVG, the AppStream file with this version, the changelog
# compressed without a time stamp. Built by ./scripts/package, and by test builds, whose package
# test packs the tree it is in.
find_program(VARNEL_RSVG_CONVERT rsvg-convert)
set(icon_svg ${CMAKE_SOURCE_DIR}/qml/imgs/src/ic_systray_on.svg)
set(package_files ${package_dir}/changelog.gz ${package_dir}/varnel.1.gz)
foreach(file changelog varnel.1)
    add_custom_command(OUTPUT ${package_dir}/${file}.gz
        COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/${file} > ${package_dir}/${file}.gz
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${file})
endforeach()
foreach(size 48 128 256)
    add_custom_command(OUTPUT ${package_dir}/icon-${size}.png
        COMMAND ${VARNEL_RSVG_CONVERT} -w ${size} -h ${size} -o ${package_dir}/icon-${size}.png ${icon_svg}
        DEPENDS ${icon_svg})
    list(APPEND package_files ${package_dir}/icon-${size}.png)
    install(FILES ${package_dir}/icon-${size}.png RENAME ${VARNEL_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
if(VARNEL_TESTS)
    set(package_files_in_all ALL)
endif()
add_custom_target(varnel_package_files ${package_files_in_all} DEPENDS ${package_files})
configure_file(${CMAKE_CURRENT_LIST_DIR}/${VARNEL_APP_ID}.metainfo.xml ${package_dir}/${VARNEL_APP_ID}.metainfo.xml @ONLY)

install(TARGETS varnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The CUPS backend for escpos: device URIs. World-executable, so CUPS runs it as lp (whose group
# owns USB printer devices), not as root.
install(TARGETS escpos RUNTIME DESTINATION lib/cups/backend
    PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(FILES ${CMAKE_BINARY_DIR}/printclient_en.qm ${CMAKE_BINARY_DIR}/printclient_es.qm
    ${CMAKE_BINARY_DIR}/printclient_pt.qm ${CMAKE_BINARY_DIR}/printclient_pt_BR.qm
    DESTINATION ${CMAKE_INSTALL_DATADIR}/varnel/translations)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VARNEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${package_dir}/${VARNEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${icon_svg} RENAME ${VARNEL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${package_dir}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnel)
# Chrome 142 and later ask before a public page may reach a local address; these policies answer
# yes for the web application's origins only: LocalNetworkAccessAllowedForUrls, and from Chrome 146
# LoopbackNetworkAllowedForUrls, which takes precedence for loopback addresses. Chrome's copy is
# linked into /etc/opt by postinst.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/local-network-access.json RENAME varnel.json
    DESTINATION /etc/chromium/policies/managed)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/local-network-access.json RENAME chrome-policy.json
    DESTINATION ${CMAKE_INSTALL_DATADIR}/varnel)
install(FILES ${package_dir}/varnel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR Tesmar)
set(CPACK_PACKAGE_CONTACT "Tesmar <varnel@tesmar.pt>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "receipt printers and payment terminals for Tesmar's web invoicing")
set(CPACK_PACKAGE_DESCRIPTION "Varnel runs on a point-of-sale computer beside the Tesmar web
invoicing application and serves it a local HTTPS API: receipts printed on
ESC/POS printers through CUPS, Ingenico and Newnote card-payment terminals on
USB serial ports, and order notifications. Each installation makes its own
certificate for that API; varnel --trust adds it to the browsers' stores.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tesmar.pt/varnel/download)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the screens' QML modules, certutil, and
# the font of the receipt preview.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qml-module-qtquick2, qml-module-qtquick-window2, \
qml-module-qtquick-controls, qml-module-qtquick-controls2, qml-module-qt-labs-platform, \
qml-module-qtgraphicaleffects, libqt5sql5-sqlite, libnss3-tools, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/conffiles ${CMAKE_CURRENT_LIST_DIR}/postinst
    ${CMAKE_CURRENT_LIST_DIR}/postrm)
include(CPack)
