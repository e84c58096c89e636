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
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${LICENSE}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane"

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
FunctionEnd

Function un.onInit
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
FunctionEnd

Section "Veltrane"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=veltrane.exe" "${APP_EXE}"
  File "/oname=veltrane-cli.exe" "${CLI_EXE}"
  File "/oname=ReadMe.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Veltrane.lnk" "$INSTDIR\veltrane.exe"
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

; Exactly what the installer put there, and the folder only if it is then
; empty: files a user left beside the programs stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Veltrane.lnk"
  Delete "$INSTDIR\veltrane.exe"
  Delete "$INSTDIR\veltrane-cli.exe"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
