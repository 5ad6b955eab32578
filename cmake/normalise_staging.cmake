# CPack runs this over the staged files before it archives them, so that the archives hold the
# same modes whatever the umask of the one who packs (755 for folders and programs, else 644)
# and, with SOURCE_DATE_EPOCH set, that time on everything, whenever it was built.
execute_process(COMMAND chmod -R u=rwX,go=rX ${CPACK_TEMPORARY_DIRECTORY}
                COMMAND_ERROR_IS_FATAL ANY)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d
                          @$ENV{SOURCE_DATE_EPOCH} {} + COMMAND_ERROR_IS_FATAL ANY)
endif()
