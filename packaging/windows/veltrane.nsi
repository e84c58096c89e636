; The Windows installer, one per architecture. Built by CMake with makensis:
;   makensis -DARCH=win64 -DVERSION=1.0.0.1 -DAPP_EXE=... -DCLI_EXE=...
;            -DICON=... -DREADME=... -DLICENSE=... -DOUTFILE=... veltrane.nsi
Unicode true
; The 64-bit program gets a 64-bit installer: it runs where the program does,
; also on systems without 32-bit support.
!if "${ARCH}" == "win64"
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

Name "Veltrane"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
RequestExecutionLevel admin
!if "${ARCH}" == "win64"
  InstallDir "$PROGRAMFILES64\Veltrane"
!else
  InstallDir "$PROGRAMFILES\Veltrane"
!endif
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Veltrane"
VIAddVersionKey /LANG=1033 "FileDescription" "Veltrane installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) the Veltrane authors"

Page license
Page components
; Leaving these two pages, the running programs are asked to close: Cancel
; there quits, instead of ending on a page that says "Completed".
Page directory "" "" CloseRunningPrograms
Page instfiles
UninstPage uninstConfirm "" "" un.CloseRunningPrograms
UninstPage instfiles
LicenseData "${LICENSE}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane"
; Where the installer notes the folder it added to the user's PATH, in the
; same user's hive as the PATH itself: the uninstaller takes out only that.
!define PATH_RECORD_KEY "Software\Veltrane"
; Explorer's context menu for every file.
!define MENU_KEY "Software\Classes\*\shell\Veltrane"

; A program's file can't be replaced or removed while the program runs from
; it, and changing the files around it would leave a mixed installation. So
; before anything is written, each program is opened for writing, which
; Windows (and Wine) refuse just while it runs; the user is asked to close
; it, and a silent run ends with an error, every file as it was. Renaming
; would not tell: a running program can be renamed.
!macro HELD_PROGRAM NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    FileOpen $1 "$INSTDIR\${NAME}" a
    ${If} ${Errors}
      ${If} $0 != ""
        StrCpy $0 "$0, "
      ${EndIf}
      StrCpy $0 "$0${NAME}"
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
!macroend
; Cancel quits, from a page or a section alike: nothing has been changed
; yet, and a silent run ends with an error.
!macro CLOSE_RUNNING_PROGRAMS UN
Function ${UN}CloseRunningPrograms
  Push $0
  Push $1
  again:
  StrCpy $0 ""
  !insertmacro HELD_PROGRAM veltrane.exe
  !insertmacro HELD_PROGRAM veltrane-cli.exe
  ${If} $0 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Veltrane is running from $INSTDIR ($0).$\r$\n$\r$\nClose it, then choose Retry." \
      /SD IDCANCEL IDRETRY again
    SetErrorLevel 2
    Quit
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAMS ""
!insertmacro CLOSE_RUNNING_PROGRAMS "un."

; The user's PATH, for veltrane-cli.exe to be found by its name: a list of
; folders split at ";", whose names Windows compares without regard to case.
; These functions use $0-$2, $R0 and $R1 freely: they are called from
; sections only.
!macro USER_PATH UN
; $R0: the user's PATH as written (%VARIABLES% unexpanded), "" when there is
; none. The error flag: a PATH longer than an NSIS string holds, which would
; come back cut short, so it is left alone.
Function ${UN}ReadUserPath
  ClearErrors
  ReadRegStr $R0 HKCU "Environment" "Path"
  ${If} ${Errors}
    ; A missing value reads as an error too; that one is just empty.
    StrCpy $0 0
    ${Do}
      EnumRegValue $1 HKCU "Environment" $0
      ${If} $1 == ""
        ClearErrors
        ${ExitDo}
      ${EndIf}
      ${If} $1 == "Path"
        SetErrors
        ${ExitDo}
      ${EndIf}
      IntOp $0 $0 + 1
    ${Loop}
  ${EndIf}
FunctionEnd

; $R0 without its first entry that is $INSTDIR, whole, and $R1 = 1; or $R0
; as it was and $R1 = 0. The other entries keep their order and text, and
; no separator is left doubled or dangling.
Function ${UN}PathWithoutInstDir
  StrCpy $R1 0
  StrCpy $0 0 ; where the entry being read starts
  StrCpy $1 0 ; the character looked at
  ${DoWhile} $R0 != ""
    StrCpy $2 $R0 1 $1
    ${If} $2 == ";"
    ${OrIf} $2 == ""
      IntOp $2 $1 - $0
      StrCpy $2 $R0 $2 $0
      ${If} $2 == $INSTDIR
        StrCpy $R1 1
        StrCpy $2 $R0 "" $1 ; from the ";" after it, if any
        ${If} $0 == 0
          StrCpy $R0 $2 "" 1
        ${Else}
          IntOp $0 $0 - 1
          StrCpy $R0 $R0 $0
          StrCpy $R0 "$R0$2"
        ${EndIf}
        ${ExitDo}
      ${EndIf}
      StrCpy $2 $R0 1 $1
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      IntOp $0 $1 + 1
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
FunctionEnd

; Running programs and Explorer read the environment again when told.
Function ${UN}AnnouncePathChange
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd

; Takes $INSTDIR out of the user's PATH if this installer put it there.
Function ${UN}RemoveFromUserPath
  ReadRegStr $R0 HKCU "${PATH_RECORD_KEY}" "AddedToPath"
  ${IfThen} $R0 != $INSTDIR ${|} Return ${|}
  Call ${UN}ReadUserPath
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION \
      "Your PATH is too long for this program to change. Remove $INSTDIR from it yourself." /SD IDOK
  ${Else}
    Call ${UN}PathWithoutInstDir
    ${If} $R1 == 1
      ${If} $R0 == ""
        DeleteRegValue HKCU "Environment" "Path"
      ${Else}
        WriteRegExpandStr HKCU "Environment" "Path" $R0
      ${EndIf}
      Call ${UN}AnnouncePathChange
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKCU "${PATH_RECORD_KEY}" "AddedToPath"
  DeleteRegKey /ifempty HKCU "${PATH_RECORD_KEY}"
FunctionEnd
!macroend
!insertmacro USER_PATH ""
!insertmacro USER_PATH "un."

; Adds $INSTDIR at the end of the user's PATH unless it is there already,
; and notes it only if it was added.
Function AddToUserPath
  Call ReadUserPath
  StrCpy $0 ${NSIS_MAX_STRLEN} ; too long, unless counted below
  ${IfNot} ${Errors}
    Call PathWithoutInstDir
    ${IfThen} $R1 == 1 ${|} Return ${|}
    StrLen $0 $R0
    StrLen $1 $INSTDIR
    IntOp $0 $0 + $1
    IntOp $0 $0 + 1 ; the ";"
  ${EndIf}
  ${If} $0 >= ${NSIS_MAX_STRLEN}
    MessageBox MB_ICONEXCLAMATION \
      "Your PATH is too long for this installer to change. Add $INSTDIR to it yourself." /SD IDOK
    Return
  ${EndIf}
  StrCpy $1 $R0 "" -1
  ${If} $R0 == ""
    StrCpy $R0 $INSTDIR
  ${ElseIf} $1 == ";"
    StrCpy $R0 "$R0$INSTDIR"
  ${Else}
    StrCpy $R0 "$R0;$INSTDIR"
  ${EndIf}
  ClearErrors
  WriteRegExpandStr HKCU "Environment" "Path" $R0
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION "Could not add $INSTDIR to your PATH." /SD IDOK
    Return
  ${EndIf}
  WriteRegStr HKCU "${PATH_RECORD_KEY}" "AddedToPath" $INSTDIR
  Call AnnouncePathChange
FunctionEnd

; NSIS would otherwise offer Ignore for a file it can't write, and a silent
; run takes Ignore: it would report success with the old file still there.
; A file that can't be written ends the installation with an error instead.
!macro PUT_FILE SOURCE NAME
  !define PUT_FILE_ID ${__COUNTER__}
  put_file_${PUT_FILE_ID}:
  ClearErrors
  File "/oname=${NAME}" "${SOURCE}"
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONSTOP "Could not write $INSTDIR\${NAME}." \
      /SD IDCANCEL IDRETRY put_file_${PUT_FILE_ID}
    SetErrorLevel 2
    Abort "Could not write $INSTDIR\${NAME}."
  ${EndIf}
  !undef PUT_FILE_ID
!macroend

Function un.onInit
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
FunctionEnd

; Read-only: the programs themselves are not a choice.
Section "Veltrane"
  SectionIn RO
  SetShellVarContext all
  ; Again, for a silent run, which shows no pages, and for a program
  ; started since.
  Call CloseRunningPrograms
  SetOutPath "$INSTDIR"
  SetOverwrite try
  !insertmacro PUT_FILE "${APP_EXE}" veltrane.exe
  !insertmacro PUT_FILE "${CLI_EXE}" veltrane-cli.exe
  !insertmacro PUT_FILE "${README}" ReadMe.txt
  !insertmacro PUT_FILE "${LICENSE}" LICENSE.txt
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "Could not write $INSTDIR\uninstall.exe."
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\Veltrane.lnk" "$INSTDIR\veltrane.exe"
  ; Started from a file: Explorer's context menu and Send To hand it over.
  ; An upgrade writes the same key and shortcut again, so one of each stays.
  WriteRegStr HKLM "${MENU_KEY}" "" "Encrypt or decrypt with Veltrane"
  WriteRegStr HKLM "${MENU_KEY}" "Icon" '"$INSTDIR\veltrane.exe",0'
  WriteRegStr HKLM "${MENU_KEY}\command" "" '"$INSTDIR\veltrane.exe" "%1"'
  CreateShortcut "$SENDTO\Veltrane.lnk" "$INSTDIR\veltrane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Veltrane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\veltrane.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Veltrane authors"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: on the components page, or with /PATH on the command line.
Section /o "Add veltrane-cli to my PATH" SEC_PATH
  Call AddToUserPath
SectionEnd

; An upgrade whose box was cleared takes back the PATH entry added before.
Section "-"
  ${IfNot} ${SectionIsSelected} ${SEC_PATH}
    Call RemoveFromUserPath
  ${EndIf}
SectionEnd

Function .onInit
!if "${ARCH}" == "win64"
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "This is the 64-bit Veltrane; this Windows needs the 32-bit one." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
!endif
  ; An upgrade goes where the installed copy is, so that there is only ever
  ; one installation and one uninstall entry. Read here, not by
  ; InstallDirRegKey, which looks before the 64-bit view is chosen.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ; An upgrade keeps the choice made before, unless the box is cleared.
  ReadRegStr $1 HKCU "${PATH_RECORD_KEY}" "AddedToPath"
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} $2 "/PATH" $2
  ${If} $1 != ""
  ${OrIfNot} ${Errors}
    !insertmacro SelectSection ${SEC_PATH}
  ${EndIf}
FunctionEnd

; Exactly what the installer put there, and the folder only if it is then
; empty: files a user left beside the programs stay.
Section "Uninstall"
  Call un.CloseRunningPrograms
  SetShellVarContext all
  Call un.RemoveFromUserPath
  Delete "$SMPROGRAMS\Veltrane.lnk"
  Delete "$SENDTO\Veltrane.lnk"
  DeleteRegKey HKLM "${MENU_KEY}"
  Delete "$INSTDIR\veltrane.exe"
  Delete "$INSTDIR\veltrane-cli.exe"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
