# Builds Kelvara-VERSION-x64.msi with wixl from the packaged programs, and beside it the winget
# manifests for it (winget/<version>/). CPack runs it after the zip (CPACK_POST_BUILD_SCRIPTS);
# the package tests also run it by hand for a second, higher version of the same programs:
#   cmake -DFILES=<folder of the programs> -DVERSION=1.2.3.4 -DOUTPUT_DIR=<folder>
#         -DSOURCE_DIR=<Kelvara's sources> -DSETUP_LIBRARY=<kelvara_setup.dll> -DSTRIP=<strip>
#         -DRELEASE_URL_BASE=<where the releases are published> -DHELP_URL=<help address>
#         -P make_msi.cmake
# Under CPack, the same values come as CPACK_KELVARA_* variables.
if(NOT DEFINED FILES AND CPACK_TEMPORARY_DIRECTORY)
    set(FILES "${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(name FILES VERSION OUTPUT_DIR SOURCE_DIR SETUP_LIBRARY STRIP RELEASE_URL_BASE HELP_URL)
    if(NOT DEFINED ${name} AND DEFINED CPACK_KELVARA_${name})
        set(${name} "${CPACK_KELVARA_${name}}")
    endif()
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "make_msi.cmake needs ${name}")
    endif()
endforeach()

find_program(WIXL wixl REQUIRED)
set(msi_name Kelvara-${VERSION}-x64.msi)

# wixl takes sources only relative to the folder it runs in: everything goes into one.
set(work ${OUTPUT_DIR}/msi-work-${VERSION})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${FILES}/ DESTINATION ${work}/files)
file(COPY ${SETUP_LIBRARY} ${SOURCE_DIR}/welcome/kelvara.ico ${SOURCE_DIR}/packaging/Kelvara.wxs
     DESTINATION ${work})
get_filename_component(setup_name ${SETUP_LIBRARY} NAME)
execute_process(COMMAND ${STRIP} ${work}/${setup_name} RESULT_VARIABLE stripped)
if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "${STRIP} failed on ${setup_name}")
endif()

# One product code per version, the same on every build of it.
# Never changes: every version upgrades every earlier one in place.
set(upgrade_code C7A4D0E2-5B19-4F3E-8A62-1D9B7E40C5F8)
string(UUID product_code NAMESPACE ${upgrade_code} NAME "Kelvara ${VERSION} x64"
       TYPE SHA1 UPPER)
execute_process(COMMAND ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${product_code} -D UpgradeCode=${upgrade_code}
                        -D Files=files -D Icon=kelvara.ico -D SetupLibrary=${setup_name}
                        -D HelpUrl=${HELP_URL} -o ${msi_name} Kelvara.wxs
                WORKING_DIRECTORY ${work} RESULT_VARIABLE built OUTPUT_VARIABLE log ERROR_VARIABLE log)
# wixl reports attributes it does not know as warnings and carries on: none is allowed.
if(NOT built EQUAL 0 OR log MATCHES "WARNING|CRITICAL")
    message(FATAL_ERROR "wixl failed:\n${log}")
endif()
file(RENAME ${work}/${msi_name} ${OUTPUT_DIR}/${msi_name})
file(REMOVE_RECURSE ${work})

# winget's manifests for the MSI: the version, the installer and the default locale.
file(SHA256 ${OUTPUT_DIR}/${msi_name} sha256)
string(TOUPPER ${sha256} INSTALLER_SHA256)
set(PACKAGE_VERSION ${VERSION})
set(PRODUCT_CODE "{${product_code}}")
set(UPGRADE_CODE "{${upgrade_code}}")
set(INSTALLER_URL ${RELEASE_URL_BASE}/v${VERSION}/${msi_name})
set(manifests ${OUTPUT_DIR}/winget/${VERSION})
foreach(manifest Kelvara.Kelvara.yaml Kelvara.Kelvara.installer.yaml Kelvara.Kelvara.locale.en-US.yaml)
    configure_file(${SOURCE_DIR}/packaging/winget/${manifest}.in ${manifests}/${manifest} @ONLY)
endforeach()
message(STATUS "${OUTPUT_DIR}/${msi_name} and its winget manifests in ${manifests}")
