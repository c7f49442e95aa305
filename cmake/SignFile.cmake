# cmake -P SignFile.cmake with OSSLSIGNCODE, CERT, KEY, PASSWORD_FILE,
# TIMESTAMP_URL, DESCRIPTION and FILE: signs FILE in place. On failure FILE
# is removed, so that the next build links and signs it again instead of
# shipping it unsigned.

if(CERT MATCHES "\\.(pfx|p12)$")
    set(identity -pkcs12 "${CERT}")
else()
    set(identity -certs "${CERT}" -key "${KEY}")
endif()
set(options -h sha256 -n "${DESCRIPTION}")
if(PASSWORD_FILE)
    list(APPEND options -readpass "${PASSWORD_FILE}")
endif()
if(TIMESTAMP_URL)
    list(APPEND options -ts "${TIMESTAMP_URL}")
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
    list(APPEND options -time "$ENV{SOURCE_DATE_EPOCH}")
endif()

set(unsigned "${FILE}.unsigned")
file(RENAME "${FILE}" "${unsigned}")
execute_process(
    COMMAND "${OSSLSIGNCODE}" sign ${identity} ${options} -in "${unsigned}" -out "${FILE}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
file(REMOVE "${unsigned}")
if(NOT result EQUAL 0)
    file(REMOVE "${FILE}")
    message(FATAL_ERROR "signing ${FILE} failed:\n${output}")
endif()
file(CHMOD "${FILE}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
