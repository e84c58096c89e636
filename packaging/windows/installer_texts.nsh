; The installer's own texts, in English, each named for veltrane.nsi's
; $(NAME). Their translations are in po/ with the programs' texts: the build
; writes them for NSIS from there (installer_texts.py), and `make pot` puts
; these into the template. NSIS's own pages come in its own translations.
LangString T_START ${LANG_ENGLISH} "&Start Veltrane"
LangString T_SHOW_README ${LANG_ENGLISH} "Show &ReadMe.txt"
LangString T_RUNNING ${LANG_ENGLISH} "Veltrane is running from $R9 ($0).$\r$\n$\r$\nClose it, then choose Retry."
LangString T_PATH_TOO_LONG_REMOVE ${LANG_ENGLISH} "The PATH is too long for this program to change. Remove $R2 from it yourself."
LangString T_PATH_TOO_LONG_ADD ${LANG_ENGLISH} "The PATH is too long for this installer to change. Add $INSTDIR to it yourself."
LangString T_PATH_NOT_ADDED ${LANG_ENGLISH} "Could not add $INSTDIR to the PATH."
LangString T_NOT_WRITTEN ${LANG_ENGLISH} "Could not write $FailedFile."
LangString T_NOT_REMOVED ${LANG_ENGLISH} "Could not remove Veltrane from $PreviousDir; nothing was installed."
LangString T_NOT_REMOVED_LOG ${LANG_ENGLISH} "Could not remove Veltrane from $PreviousDir."
LangString T_MENU_ITEM ${LANG_ENGLISH} "Encrypt or decrypt with Veltrane"
LangString T_PATH_MINE ${LANG_ENGLISH} "Add veltrane-cli to my PATH"
LangString T_PATH_EVERYONE ${LANG_ENGLISH} "Add veltrane-cli to the PATH of every user"
LangString T_NEEDS_ADMIN ${LANG_ENGLISH} "Installing for every user needs an administrator's rights."
LangString T_WHO_TITLE ${LANG_ENGLISH} "Who is Veltrane for?"
LangString T_WHO_TEXT ${LANG_ENGLISH} "Install it for yourself, or for everyone who uses this computer."
LangString T_ONLY_ME ${LANG_ENGLISH} "&Only for me: in my own programs folder, no administrator's rights needed"
LangString T_EVERYONE ${LANG_ENGLISH} "For &everyone who uses this computer: in Program Files (asks for an administrator)"
LangString T_NEEDS_32 ${LANG_ENGLISH} "This is the 64-bit Veltrane; this Windows needs the 32-bit one."
LangString T_INSTALLED_FOR_YOU ${LANG_ENGLISH} "Veltrane is installed for you alone. Uninstall it first to install it the other way."
LangString T_INSTALLED_FOR_ALL ${LANG_ENGLISH} "Veltrane is installed for every user. Uninstall it first to install it the other way."
