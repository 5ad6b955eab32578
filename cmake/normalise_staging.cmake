# CPack runs this over the staged files before it archives them, so that the archives hold the
# same modes whatever the umask of the one who packs: 755 for folders and programs, else 644.
# (Times come from SOURCE_DATE_EPOCH, which CPack's archive writers take for every entry.)
execute_process(COMMAND chmod -R u=rwX,go=rX ${CPACK_TEMPORARY_DIRECTORY}
                COMMAND_ERROR_IS_FATAL ANY)
