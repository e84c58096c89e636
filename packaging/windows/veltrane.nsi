; The Windows installer, one per architecture. Built by CMake with makensis:
;   makensis -DARCH=win64 -DVERSION=1.0.0.1 -DCOMPANY=... -DCOPYRIGHT=...
;            -DAPP_EXE=... -DCLI_EXE=... -DICON=... -DREADME=... -DLICENSE=...
;            -DOUTFILE=... [-DSIGN=COMMAND] veltrane.nsi
; SIGN, when given, is a command that signs the file named after it in place:
; the installer and its uninstaller are signed with it as they are made.
;
; Installed for everyone (Program Files, the machine's registry and PATH,
; an administrator's rights) or for the user alone (the user's own programs
; folder, registry hive and PATH, no elevation), chosen on the first page or
; by /ALLUSERS or /CURRENTUSER; an upgrade keeps the kind installed before.
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
!include "MUI2.nsh"
!include "nsDialogs.nsh"

Name "Veltrane"
OutFile "${OUTFILE}"
; Elevation only for an install for everyone, asked for when it is chosen.
RequestExecutionLevel user
; No default here: $INSTDIR is empty after .onInit unless /D= named a folder.
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText " "

!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif
; A copy of the uninstaller as made, for the build's checks of its version
; block and signature without installing.
!ifdef UNINSTALLER_COPY
  !uninstfinalize 'cp "%1" "${UNINSTALLER_COPY}"' = 0
!endif

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Veltrane"
VIAddVersionKey /LANG=1033 "FileDescription" "Veltrane setup: installs and uninstalls Veltrane"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane"
; Where the installer notes the folder it added to a PATH, in the same hive
; as that PATH: the uninstaller takes out only that.
!define PATH_RECORD_KEY "Software\Veltrane"
; Explorer's context menu for every file.
!define MENU_KEY "Software\Classes\*\shell\Veltrane"
!define MACHINE_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define SM_PROGRAM "$SMPROGRAMS\Veltrane.lnk"
!define SM_README "$SMPROGRAMS\Veltrane ReadMe.lnk"

; 1 for everyone, 0 for this user; the registry root SHCTX and the shell
; folders follow it.
Var AllUsers
; Where the chosen kind keeps its PATH, under SHCTX.
Var EnvironmentKey
; The installed copy of the chosen kind, "" when there is none.
Var PreviousDir
; The folder as /D= gave it, "" without.
Var GivenDir
Var ModeRadio
; 1 when /ALLUSERS or /CURRENTUSER chose the kind.
Var KindGiven
; The file that could not be written, for the message that says so.
Var FailedFile

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\veltrane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(T_START)"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(T_SHOW_README)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
; Leaving these two pages, the running programs are asked to close: Cancel
; there quits, instead of ending on a page that says "Completed".
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CloseRunningPrograms
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE un.CloseRunningPrograms
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
; The installer's own texts, then each language of po/ with NSIS's own
; translation of its pages and ours of the rest; Windows' language for
; programs chooses among them.
!include /CHARSET=UTF8 "${TEXTS}"
!include /CHARSET=UTF8 "${TRANSLATED_TEXTS}"

; A program's file can't be replaced or removed while the program runs from
; it, and changing the files around it would leave a mixed installation. So
; before anything is written, each program is opened for writing, which
; Windows (and Wine) refuse just while it runs; the user is asked to close
; it, and a silent run ends with an error, every file as it was. Renaming
; would not tell: a running program can be renamed.
!macro HELD_PROGRAM DIR NAME
  ${If} ${FileExists} "${DIR}\${NAME}"
    ClearErrors
    FileOpen $1 "${DIR}\${NAME}" a
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
; yet, and a silent run ends with an error. The folder an upgrade moves
; from is asked for too, since it is removed first.
!macro CLOSE_RUNNING_PROGRAMS UN
Function ${UN}HeldIn
  Exch $R9
  Push $0
  Push $1
  again:
  StrCpy $0 ""
  !insertmacro HELD_PROGRAM $R9 veltrane.exe
  !insertmacro HELD_PROGRAM $R9 veltrane-cli.exe
  ${If} $0 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "$(T_RUNNING)" \
      /SD IDCANCEL IDRETRY again
    SetErrorLevel 2
    !if "${UN}" == "un."
      ${IfThen} ${Silent} ${|} Call un.RemoveOwnCopyLater ${|}
    !endif
    Quit
  ${EndIf}
  Pop $1
  Pop $0
  Pop $R9
FunctionEnd
Function ${UN}CloseRunningPrograms
  Push $INSTDIR
  Call ${UN}HeldIn
  !if "${UN}" == ""
    ${If} $PreviousDir != ""
    ${AndIf} $PreviousDir != $INSTDIR
      Push $PreviousDir
      Call HeldIn
    ${EndIf}
  !endif
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAMS ""
!insertmacro CLOSE_RUNNING_PROGRAMS "un."

; Whether this process has an administrator's rights (elevated, on systems
; with UAC).
!macro IS_ADMIN UN
Function ${UN}IsAdmin
  Push $0
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Exch $0
FunctionEnd
!macroend
!insertmacro IS_ADMIN ""
!insertmacro IS_ADMIN "un."

; Makes the kind in $AllUsers the one SHCTX, the shell folders and the PATH
; functions use.
!macro USE_KIND UN
Function ${UN}UseKind
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $EnvironmentKey "${MACHINE_ENVIRONMENT}"
  ${Else}
    SetShellVarContext current
    StrCpy $EnvironmentKey "Environment"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro USE_KIND ""
!insertmacro USE_KIND "un."

; The PATH of the chosen kind, for veltrane-cli.exe to be found by its name:
; a list of folders split at ";", whose names Windows compares without regard
; to case. These functions use $0-$2, $R0-$R2 freely: they are called from
; sections only.
!macro PATH_FUNCTIONS UN
; $R0: the PATH as written (%VARIABLES% unexpanded), "" when there is none.
; The error flag: a PATH longer than an NSIS string holds, which would come
; back cut short, so it is left alone.
Function ${UN}ReadPath
  ClearErrors
  ReadRegStr $R0 SHCTX $EnvironmentKey "Path"
  ${If} ${Errors}
    ; A missing value reads as an error too; that one is just empty.
    StrCpy $0 0
    ${Do}
      EnumRegValue $1 SHCTX $EnvironmentKey $0
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

; $R0 without its first entry that is $R2, whole, and $R1 = 1; or $R0 as it
; was and $R1 = 0. The other entries keep their order and text, and no
; separator is left doubled or dangling.
Function ${UN}PathWithout
  StrCpy $R1 0
  StrCpy $0 0 ; where the entry being read starts
  StrCpy $1 0 ; the character looked at
  ${DoWhile} $R0 != ""
    StrCpy $2 $R0 1 $1
    ${If} $2 == ";"
    ${OrIf} $2 == ""
      IntOp $2 $1 - $0
      StrCpy $2 $R0 $2 $0
      ${If} $2 == $R2
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

; Takes the folder this installer noted out of the PATH, if it is $R2.
Function ${UN}RemoveFromPath
  ReadRegStr $R0 SHCTX "${PATH_RECORD_KEY}" "AddedToPath"
  ${IfThen} $R0 == "" ${|} Return ${|}
  ${IfThen} $R0 != $R2 ${|} Return ${|}
  Call ${UN}ReadPath
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION \
      "$(T_PATH_TOO_LONG_REMOVE)" /SD IDOK
  ${Else}
    Call ${UN}PathWithout
    ${If} $R1 == 1
      ${If} $R0 == ""
        DeleteRegValue SHCTX $EnvironmentKey "Path"
      ${Else}
        WriteRegExpandStr SHCTX $EnvironmentKey "Path" $R0
      ${EndIf}
      Call ${UN}AnnouncePathChange
    ${EndIf}
  ${EndIf}
  DeleteRegValue SHCTX "${PATH_RECORD_KEY}" "AddedToPath"
  DeleteRegKey /ifempty SHCTX "${PATH_RECORD_KEY}"
FunctionEnd
!macroend
!insertmacro PATH_FUNCTIONS ""
!insertmacro PATH_FUNCTIONS "un."

; Adds $INSTDIR at the end of the PATH unless it is there already, and notes
; it only if it was added.
Function AddToPath
  StrCpy $R2 $INSTDIR
  Call ReadPath
  StrCpy $0 ${NSIS_MAX_STRLEN} ; too long, unless counted below
  ${IfNot} ${Errors}
    Call PathWithout
    ${IfThen} $R1 == 1 ${|} Return ${|}
    StrLen $0 $R0
    StrLen $1 $INSTDIR
    IntOp $0 $0 + $1
    IntOp $0 $0 + 1 ; the ";"
  ${EndIf}
  ${If} $0 >= ${NSIS_MAX_STRLEN}
    MessageBox MB_ICONEXCLAMATION \
      "$(T_PATH_TOO_LONG_ADD)" /SD IDOK
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
  WriteRegExpandStr SHCTX $EnvironmentKey "Path" $R0
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION "$(T_PATH_NOT_ADDED)" /SD IDOK
    Return
  ${EndIf}
  WriteRegStr SHCTX "${PATH_RECORD_KEY}" "AddedToPath" $INSTDIR
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
    StrCpy $FailedFile "$INSTDIR\${NAME}"
    MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$(T_NOT_WRITTEN)" \
      /SD IDCANCEL IDRETRY put_file_${PUT_FILE_ID}
    SetErrorLevel 2
    Abort "$(T_NOT_WRITTEN)"
  ${EndIf}
  !undef PUT_FILE_ID
!macroend

; Read-only: the programs themselves are not a choice.
Section "Veltrane"
  SectionIn RO
  ; Again, for a silent run, which shows no pages, and for a program
  ; started since.
  Call CloseRunningPrograms
  ; An install into another folder moves it: the copy there goes first,
  ; with its entries and its PATH entry, by its own uninstaller, so that
  ; one installation is left.
  ${If} $PreviousDir != ""
  ${AndIf} $PreviousDir != $INSTDIR
    ${If} ${FileExists} "$PreviousDir\uninstall.exe"
      ClearErrors
      ExecWait '"$PreviousDir\uninstall.exe" /S _?=$PreviousDir' $0
      ${If} ${Errors}
      ${OrIf} $0 != 0
        MessageBox MB_ICONSTOP "$(T_NOT_REMOVED)" /SD IDOK
        SetErrorLevel 2
        Abort "$(T_NOT_REMOVED_LOG)"
      ${EndIf}
      Delete "$PreviousDir\uninstall.exe"
      RMDir "$PreviousDir"
    ${EndIf}
    ; Whatever its uninstaller left of the entries is written over below;
    ; a PATH entry it left is taken out here.
    StrCpy $R2 $PreviousDir
    Call RemoveFromPath
  ${EndIf}
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
    StrCpy $FailedFile "$INSTDIR\uninstall.exe"
    Abort "$(T_NOT_WRITTEN)"
  ${EndIf}
  CreateShortcut "${SM_PROGRAM}" "$INSTDIR\veltrane.exe"
  CreateShortcut "${SM_README}" "$INSTDIR\ReadMe.txt"
  ; Started from a file: Explorer's context menu, and for an install of
  ; one user Send To, which Windows keeps for each user alone. An upgrade
  ; writes the same key and shortcuts again, so one of each stays.
  WriteRegStr SHCTX "${MENU_KEY}" "" "$(T_MENU_ITEM)"
  WriteRegStr SHCTX "${MENU_KEY}" "Icon" '"$INSTDIR\veltrane.exe",0'
  WriteRegStr SHCTX "${MENU_KEY}\command" "" '"$INSTDIR\veltrane.exe" "%1"'
  ; Earlier versions put one for everyone in the profile of whoever ran
  ; the installer; that account can't also have an install of its own.
  ${If} $AllUsers == 0
    CreateShortcut "$SENDTO\Veltrane.lnk" "$INSTDIR\veltrane.exe"
  ${Else}
    Delete "$SENDTO\Veltrane.lnk"
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Veltrane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\veltrane.exe",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: on the components page, or with /PATH on the command line.
Section /o "$(T_PATH_MINE)" SEC_PATH
  Call AddToPath
SectionEnd

; An upgrade whose box was cleared takes back the PATH entry added before.
Section "-"
  ${IfNot} ${SectionIsSelected} ${SEC_PATH}
    StrCpy $R2 $INSTDIR
    Call RemoveFromPath
  ${EndIf}
SectionEnd

; The folder of the chosen kind's installed copy, and $INSTDIR: the folder
; /D= gave, else that copy's, else the kind's own programs folder.
Function ChooseKind
  Call UseKind
  ReadRegStr $PreviousDir SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $GivenDir != ""
    StrCpy $INSTDIR $GivenDir
  ${ElseIf} $PreviousDir != ""
    StrCpy $INSTDIR $PreviousDir
  ${ElseIf} $AllUsers == 1
!if "${ARCH}" == "win64"
    StrCpy $INSTDIR "$PROGRAMFILES64\Veltrane"
!else
    StrCpy $INSTDIR "$PROGRAMFILES\Veltrane"
!endif
  ${Else}
    GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB} ; FOLDERID_UserProgramFiles
    ${IfThen} $INSTDIR == "" ${|} StrCpy $INSTDIR "$LOCALAPPDATA\Programs" ${|}
    StrCpy $INSTDIR "$INSTDIR\Veltrane"
  ${EndIf}
  ; The PATH box says whose PATH it is.
  ${If} $AllUsers == 1
    SectionSetText ${SEC_PATH} "$(T_PATH_EVERYONE)"
  ${Else}
    SectionSetText ${SEC_PATH} "$(T_PATH_MINE)"
  ${EndIf}
FunctionEnd

; An install for everyone needs an administrator's rights: without them the
; installer starts itself again elevated, from the page after this one, and
; this copy ends.
Function Elevate
  Call IsAdmin
  Pop $0
  ${IfThen} $0 == 1 ${|} Return ${|}
  ${If} ${Silent}
    MessageBox MB_ICONSTOP "$(T_NEEDS_ADMIN)" /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  StrCpy $1 "/ALLUSERS"
  ${If} ${SectionIsSelected} ${SEC_PATH}
    StrCpy $1 "$1 /PATH"
  ${EndIf}
  ${If} $GivenDir != ""
    StrCpy $1 "$1 /D=$GivenDir"
  ${EndIf}
  HideWindow
  ExecShellWait "runas" "$EXEPATH" $1
  Quit
FunctionEnd

Function ModePage
  ; An upgrade keeps the kind installed before, and a switch chose it.
  ${IfThen} $PreviousDir != "" ${|} Abort ${|}
  ${IfThen} $KindGiven == 1 ${|} Abort ${|}
  !insertmacro MUI_HEADER_TEXT "$(T_WHO_TITLE)" "$(T_WHO_TEXT)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 24u "$(T_ONLY_ME)"
  Pop $ModeRadio
  ${NSD_CreateRadioButton} 0 28u 100% 24u "$(T_EVERYONE)"
  Pop $1
  ; The keyboard starts on the choice made, as in any group of options.
  ${IfThen} $AllUsers == 0 ${|} StrCpy $1 $ModeRadio ${|}
  ${NSD_Check} $1
  ${NSD_SetFocus} $1
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeRadio $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 0
  ${Else}
    StrCpy $AllUsers 1
  ${EndIf}
  Call ChooseKind
  ${IfThen} $AllUsers == 1 ${|} Call Elevate ${|}
FunctionEnd

Function .onInit
!if "${ARCH}" == "win64"
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "$(T_NEEDS_32)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
!endif
  StrCpy $GivenDir $INSTDIR
  ${GetParameters} $2
  ; The kind: the one installed before (for everyone first), else as the
  ; switches say, else for everyone when the installer runs with an
  ; administrator's rights, as it did before it offered the choice.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $KindGiven 1
  ClearErrors
  ${GetOptions} $2 "/ALLUSERS" $3
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${Else}
    ClearErrors
    ${GetOptions} $2 "/CURRENTUSER" $3
    ${If} ${Errors}
      StrCpy $KindGiven 0
    ${Else}
      StrCpy $AllUsers 0
    ${EndIf}
  ${EndIf}
  ; One installation: installing the other way is uninstalling first.
  StrCpy $3 ""
  ${If} $KindGiven == 0
    ${If} $0 != ""
      StrCpy $AllUsers 1
    ${ElseIf} $1 != ""
      StrCpy $AllUsers 0
    ${Else}
      Call IsAdmin
      Pop $AllUsers
    ${EndIf}
  ${ElseIf} $AllUsers == 1
  ${AndIf} $0 == ""
  ${AndIf} $1 != ""
    StrCpy $3 "$(T_INSTALLED_FOR_YOU)"
  ${ElseIf} $AllUsers == 0
  ${AndIf} $0 != ""
    StrCpy $3 "$(T_INSTALLED_FOR_ALL)"
  ${EndIf}
  ${If} $3 != ""
    MessageBox MB_ICONSTOP "$3" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  Call ChooseKind
  ; An upgrade keeps the PATH choice made before, unless the box is cleared.
  ReadRegStr $1 SHCTX "${PATH_RECORD_KEY}" "AddedToPath"
  ClearErrors
  ${GetOptions} $2 "/PATH" $3
  ${If} $1 != ""
  ${OrIfNot} ${Errors}
    !insertmacro SelectSection ${SEC_PATH}
  ${EndIf}
  ; Where no page asks, the rights are asked for now.
  ${If} $AllUsers == 1
    ${If} ${Silent}
    ${OrIf} $KindGiven == 1
    ${OrIf} $PreviousDir != ""
      Call Elevate
    ${EndIf}
  ${EndIf}
FunctionEnd

; 1 when this uninstaller's folder is the installation the registry names
; for the kind in $AllUsers, however the two are spelled (a short name, or
; under Wine a path through drive Z:): a mark made in the one is looked for
; in the other.
!define SAME_FOLDER_MARK "veltrane-uninstall.mark"
Function un.IsRegistered
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $1 0
  ${If} $0 == $INSTDIR
    StrCpy $1 1
  ${ElseIf} $0 != ""
    ClearErrors
    FileOpen $2 "$INSTDIR\${SAME_FOLDER_MARK}" w
    ${IfNot} ${Errors}
      FileClose $2
      ${IfThen} ${FileExists} "$0\${SAME_FOLDER_MARK}" ${|} StrCpy $1 1 ${|}
      Delete "$INSTDIR\${SAME_FOLDER_MARK}"
    ${EndIf}
  ${EndIf}
  ; From here on the folder goes by the registry's spelling, which is the
  ; one its PATH entry has.
  ${IfThen} $1 == 1 ${|} StrCpy $INSTDIR $0 ${|}
  Push $1
FunctionEnd

; NSIS runs an uninstaller from a copy of it in %TEMP%\~nsuN.tmp and leaves
; that folder behind (for a restart to remove). A hidden command, started as
; the copy ends, removes the copy and its folder once it has ended.
Function un.RemoveOwnCopyLater
  ${GetFileName} $EXEDIR $0
  StrCpy $0 $0 4
  ${GetParent} $EXEDIR $1
  ${If} $0 == "~nsu"
  ${AndIf} $1 == $TEMP
    SetOutPath $TEMP
    ExecShell "" "$SYSDIR\cmd.exe" '/c for /l %i in (1,1,200) do @if exist "$EXEDIR" \
      (ping -n 2 127.0.0.1 >nul & del "$EXEPATH" 2>nul & rd "$EXEDIR" 2>nul )' SW_HIDE
  ${EndIf}
FunctionEnd

; The kind this copy was installed as, from where its entries are. A copy
; the registry doesn't name (one left in a folder an install moved from, or
; copied by hand) removes its own files and nothing else.
Var Registered
Function un.onInit
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
  StrCpy $AllUsers 1
  Call un.UseKind
  Call un.IsRegistered
  Pop $Registered
  ${If} $Registered == 0
    StrCpy $AllUsers 0
    Call un.UseKind
    Call un.IsRegistered
    Pop $Registered
  ${EndIf}
  ${If} $Registered == 1
  ${AndIf} $AllUsers == 1
    Call un.IsAdmin
    Pop $0
    ${If} $0 == 0
      ${If} ${Silent}
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Call un.RemoveOwnCopyLater
        Quit
      ${EndIf}
      ; Again as an administrator, in place of this copy.
      HideWindow
      ExecShellWait "runas" "$EXEPATH" "_?=$INSTDIR"
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; Exactly what the installer put there, and the folder only if it is then
; empty: files a user left beside the programs stay.
Section "Uninstall"
  Call un.CloseRunningPrograms
  ${If} $Registered == 1
    StrCpy $R2 $INSTDIR
    Call un.RemoveFromPath
    Delete "${SM_PROGRAM}"
    Delete "${SM_README}"
    ; (For everyone, one an earlier version made.)
    Delete "$SENDTO\Veltrane.lnk"
    DeleteRegKey SHCTX "${MENU_KEY}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
  Delete "$INSTDIR\veltrane.exe"
  Delete "$INSTDIR\veltrane-cli.exe"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${IfThen} ${Silent} ${|} Call un.RemoveOwnCopyLater ${|}
SectionEnd

Function un.onGUIEnd
  Call un.RemoveOwnCopyLater
FunctionEnd
