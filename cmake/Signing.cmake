# Authenticode signing of the kit's executables and libraries.
#
# Give the build a certificate and its key, and every .exe and .dll written to
# the kit is signed with osslsigncode (SHA-256) right after it is linked:
#
#   cmake --preset x86 -DBOOTSTRAPPER_SIGN_CERT=signer.pem -DBOOTSTRAPPER_SIGN_KEY=signer.key
#   cmake --preset x86 -DBOOTSTRAPPER_SIGN_CERT=signer.pfx -DBOOTSTRAPPER_SIGN_PASSWORD_FILE=pass.txt
#
# Without a certificate nothing is signed. The signing time is the build's
# SOURCE_DATE_EPOCH when that is set, so that a signed kit is as reproducible
# as an unsigned one; a time-stamp server (BOOTSTRAPPER_SIGN_TIMESTAMP_URL)
# makes every signature different, but keeps it valid after the certificate
# expires, which is what a release wants.

set(BOOTSTRAPPER_SIGN_CERT "" CACHE FILEPATH
    "Code-signing certificate: PEM (with BOOTSTRAPPER_SIGN_KEY) or PKCS#12 (.pfx/.p12, key included); empty: no signing")
set(BOOTSTRAPPER_SIGN_KEY "" CACHE FILEPATH "Private key of a PEM certificate")
set(BOOTSTRAPPER_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the key's password, if it has one")
set(BOOTSTRAPPER_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server, e.g. http://timestamp.digicert.com")
set(BOOTSTRAPPER_SIGN_DESCRIPTION "Zel Morvanto 9.5" CACHE STRING "Description shown in the signature")

if(BOOTSTRAPPER_SIGN_CERT)
    find_program(BOOTSTRAPPER_OSSLSIGNCODE osslsigncode REQUIRED)
    if(NOT EXISTS "${BOOTSTRAPPER_SIGN_CERT}")
        message(FATAL_ERROR "BOOTSTRAPPER_SIGN_CERT: no such file: ${BOOTSTRAPPER_SIGN_CERT}")
    endif()
    if(NOT BOOTSTRAPPER_SIGN_CERT MATCHES "\\.(pfx|p12)$")
        if(NOT BOOTSTRAPPER_SIGN_KEY OR NOT EXISTS "${BOOTSTRAPPER_SIGN_KEY}")
            message(FATAL_ERROR "BOOTSTRAPPER_SIGN_CERT is a PEM certificate: BOOTSTRAPPER_SIGN_KEY must name its key")
        endif()
    endif()
    message(STATUS "Kit files are signed with ${BOOTSTRAPPER_SIGN_CERT}")
endif()

# bootstrapper_sign_kit_file(<target>): sign the target's file after each link.
function(bootstrapper_sign_kit_file target)
    if(NOT BOOTSTRAPPER_SIGN_CERT)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}"
            "-DOSSLSIGNCODE=${BOOTSTRAPPER_OSSLSIGNCODE}"
            "-DCERT=${BOOTSTRAPPER_SIGN_CERT}"
            "-DKEY=${BOOTSTRAPPER_SIGN_KEY}"
            "-DPASSWORD_FILE=${BOOTSTRAPPER_SIGN_PASSWORD_FILE}"
            "-DTIMESTAMP_URL=${BOOTSTRAPPER_SIGN_TIMESTAMP_URL}"
            "-DDESCRIPTION=${BOOTSTRAPPER_SIGN_DESCRIPTION}"
            "-DFILE=$<TARGET_FILE:${target}>"
            -P "${CMAKE_SOURCE_DIR}/cmake/SignFile.cmake"
        VERBATIM)
endfunction()
